"""Reference counting: windows, their modules and options, nodes and adapters made and dropped by
the thousand leave nothing behind, neither library objects nor memory."""

import gc
import os

import tam

WINDOWS = 10_000
WARM_UP = 500
# Resident memory may grow a little as allocators settle; one window with its module, options,
# node and adapter takes several kilobytes, so a leak of them all would add tens of megabytes.
ALLOWED_GROWTH_KB = 4096

TEXT = (
    "module m\ninterface start\n"
    'public size integer "Size" = 1 to 9 default 2\npublic big logical default false\n'
    "interface end\nif m:size > 1 then\n  set m:big to true\nendif\n"
)


class Adapter(tam.Adapter):
    def load_module(self, window, module_id):
        window.create_module(module_id).text = TEXT
        return True

    def refresh_module(self, window, module):
        return True


class Node(tam.Node):
    def parent(self):
        return None

    def children(self):
        return []

    def has_module(self):
        return True

    def module_id(self):
        return "m"

    def path_id(self):
        return "root"


def rss_kb():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS in /proc/self/status")


def one_window():
    window = tam.Window(Adapter())
    node = Node(window)
    window.root = node
    window.evaluate()
    sos = node.sos
    entry = sos.get(window.get_module("m").get_option("big"))
    assert entry.value is True
    return entry.option.id


def test_ten_thousand_windows_leave_nothing_behind():
    for _ in range(WARM_UP):
        one_window()
    gc.collect()
    objects, memory = tam.live_objects(), rss_kb()
    for _ in range(WINDOWS):
        one_window()
    gc.collect()
    assert tam.live_objects() == objects
    if not os.environ.get("TAM_SANITIZED"):  # the sanitizer keeps freed memory in quarantine
        assert rss_kb() - memory < ALLOWED_GROWTH_KB


def test_the_collector_may_visit_objects_still_being_made():
    class Early(Node):
        def __init__(self, window):
            gc.collect()  # the instance exists, its C++ part not yet
            super().__init__(window)

    thresholds = gc.get_threshold()
    gc.set_threshold(1)  # collect at nearly every allocation
    try:
        window = tam.Window(Adapter())
        nodes = [Early(window) for _ in range(50)]
        option = window.find_option("m", "size")
        entries = [tam.SosEntry(option, [3], tam.HowSet.HOST, ["a", "b"]) for _ in range(50)]
        sets = [tam.SelectedOptionSet(window) for _ in range(50)]
    finally:
        gc.set_threshold(*thresholds)
    assert len(nodes) == len(entries) == len(sets) == 50
    assert entries[-1].path == tam.Path(["a", "b"])
