"""Evaluation driven from Python: the adapter's decisions, refreshes and legacy values, and the
node hooks the library calls."""

import pytest

import tam

H = tam.HowSet


class Host(tam.Adapter):
    """Modules from a dict; records the calls the library makes."""

    def __init__(self, texts, refuse=False, legacy=None):
        super().__init__()
        self.texts, self.refuse, self.legacy = texts, refuse, dict(legacy or {})
        self.calls = []

    def load_module(self, window, module_id):
        self.calls.append(("load", module_id))
        module = window.create_module(module_id)
        for module_name, option in self.legacy:
            if module_name == module_id:
                module.declare_legacy_option(option)
        module.text = self.texts[module_id]
        return True

    def refresh_module(self, window, module):
        self.calls.append(("refresh", module.id))
        return False

    def allow_option_override(self, existing, node, how):
        self.calls.append(("override", existing.how[0], how))
        return False if self.refuse else super().allow_option_override(existing, node, how)

    def get_legacy_option_value(self, window, option):
        return self.legacy[(option.module_id, option.name)]

    def set_legacy_option_value(self, window, option, value):
        self.calls.append(("legacy", option.name, value))


TEXT = ("module m\ninterface start\npublic a integer = 1 to 9 default 1\npublic b string = \"x\" \"y\"\n"
        "interface end\n")


@pytest.mark.parametrize(
    "first, second, refuse, expected",
    [
        (H.HOST, H.HOST_FIRM, False, 7),
        (H.FIX, H.SET, False, 3),
        (H.FIX, H.HOST_FORCED, False, 7),
        (H.INHERITED, H.HOST_FORCED, False, 7),
        (H.HOST, H.HOST_FORCED, True, 3),
    ],
)
def test_the_adapter_decides_whether_a_value_replaces_another(first, second, refuse, expected):
    host = Host({"m": TEXT}, refuse=refuse)
    window = tam.Window(host)
    a = window.find_option("m", "a")
    sos = tam.SelectedOptionSet(window)
    sos.set(a, 3, first)
    sos.set(a, 7, second)
    assert sos.get(a).value == expected
    assert ("override", first, second) in host.calls


def test_merge_takes_only_what_the_host_set():
    window = tam.Window(Host({"m": TEXT}))
    a, b = window.find_option("m", "a"), window.find_option("m", "b")
    given = tam.SelectedOptionSet(window)
    given.set(a, 4, H.SET)
    given.set(b, "y", H.HOST_FIRM)
    merged = tam.SelectedOptionSet(window)
    merged.merge(given)
    assert [(entry.option.name, entry.values, entry.how) for entry in merged] == [("b", ["y"], [H.HOST_FIRM])]
    assert merged.match_value("b", "y") and merged.get_option("b") == b


def test_queued_modules_are_refreshed_at_the_next_lookup():
    host = Host({"m": TEXT, "n": TEXT.replace("module m", "module n")})
    window = tam.Window(host)
    window.get_module("m")
    window.module_needs_refresh("m")
    window.module_needs_refresh("unknown")
    window.get_module("n")  # refreshing m declines, so m goes
    assert "m" not in window.modules
    window.get_module("m")
    assert host.calls == [("load", "m"), ("refresh", "m"), ("load", "n"), ("load", "m")]


class Tree(tam.Node):
    def __init__(self, window, module, parent=None, forced=tam.ConfigState.UNDECIDED, legacy=None):
        super().__init__(window)
        self.module_name, self.up, self.kids = module, parent, []
        self.forced, self.legacy, self.seen = forced, legacy, []
        if parent is not None:
            parent.kids.append(self)

    def parent(self):
        return self.up

    def children(self):
        return self.kids

    def has_module(self):
        return bool(self.module_name)

    def module_id(self):
        return self.module_name

    def path_id(self):
        return self.module_name or "group"

    def state_changed(self, state):
        self.seen.append(state)

    def forced_config_state(self):
        return self.forced

    def legacy_condition_exists(self):
        return self.legacy is not None

    def evaluate_legacy_condition(self):
        return self.legacy


def test_legacy_values_and_node_hooks_reach_python():
    texts = {
        "top": "module top\ninterface start\npublic on logical default true\ninterface end\n"
               "set top:code to top:code + \"!\"\n",
        "leaf": "module leaf\ninterface start\npublic v integer default 1\ninterface end\nset leaf:v to 2\n",
    }
    host = Host(texts, legacy={("top", "code"): "A7"})
    window = tam.Window(host)
    top = Tree(window, "top")
    shown = Tree(window, "leaf", top)
    shown.load_if = "top:on"
    hidden = Tree(window, "leaf", top, forced=tam.ConfigState.NOT_CONFIGURED)
    by_legacy = Tree(window, "leaf", top, legacy=tam.ConfigState.NOT_CONFIGURED)
    window.root = top
    window.evaluate()
    assert ("legacy", "code", "A7!") in host.calls
    assert shown.seen == [tam.ConfigState.CONFIGURED] and shown.config_state == tam.ConfigState.CONFIGURED
    assert by_legacy.seen == [tam.ConfigState.NOT_CONFIGURED]
    leaf_v = window.find_option("leaf", "v")
    assert shown.sos.get(leaf_v).values == [2]
    # Stopped nodes ran no rules: they show the default.
    assert hidden.sos.get(leaf_v).values == [1] and by_legacy.sos.get(leaf_v).values == [1]
    assert window.currently_evaluating is by_legacy
    window.evaluate(notify=False)
    assert shown.seen == [tam.ConfigState.CONFIGURED]
