"""Throughput of sweeps over the e-bike example, and what Python costs per evaluation.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py build/tools/tam

Measures, side by side in one run, each the best of REPEATS (the machine may be shared: compare
ratios, not absolute figures):

* variants/s of `tam sweep` with 1 and 2 worker processes, of tam.sweep in this process, with 2
  worker processes, and on a Dask LocalCluster of 2 workers;
* one evaluation: `tam eval --json` as a process, tam.Product.load + evaluate, evaluate on a
  loaded product (host values applied anew, report made), the same tree evaluated by a host
  written in Python (adapter and nodes in Python) with the number of Python calls it answers,
  and the cost of one Python call, from a tree of plain Python nodes.
"""

import os
import pathlib
import subprocess
import sys
import time

import tam
from tam.sweep import sweep

ROOT = pathlib.Path(__file__).resolve().parents[1]
EBIKE = str(ROOT / "examples" / "ebike" / "product.json")
sys.path.insert(0, str(ROOT / "tests" / "python"))
import file_host  # noqa: E402  (the Python host of the tests)

REPEATS = 3
SAMPLE = int(os.environ.get("TAM_BENCH_SAMPLE", "4000"))
VARY = ["ebike:ebike:model", "ebike:ebike:usage", "ebike:ebike:market", "ebike:ebike:rider_height",
        "ebike.frame:frame:material", "ebike.equipment.lights:lights:front_lux"]


def best(action, repeats=REPEATS):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return min(times)


def tam_sweep(tam_binary, jobs):
    arguments = [tam_binary, "sweep", EBIKE, *[f"--vary={v}" for v in VARY], "--sample", str(SAMPLE),
                 "--jobs", str(jobs), "--output", os.devnull]
    return lambda: subprocess.run(arguments, check=False, capture_output=True)


def python_sweep(**where):
    return lambda: sum(1 for _ in sweep(EBIKE, vary=VARY, sample=SAMPLE, raw=True, **where))


class _Counting(tam.Adapter):
    def load_module(self, window, module_id):
        return False

    def refresh_module(self, window, module):
        return False


class _Plain(tam.Node):
    """A node without a module: evaluating it is little more than the library asking it."""

    calls = 0

    def __init__(self, window, parent, children=()):
        super().__init__(window)
        self._parent, self._children = parent, list(children)

    def parent(self):
        _Plain.calls += 1
        return self._parent

    def children(self):
        _Plain.calls += 1
        return self._children

    def has_module(self):
        _Plain.calls += 1
        return False

    def module_id(self):
        _Plain.calls += 1
        return ""

    def path_id(self):
        _Plain.calls += 1
        return "n"


def callback_cost(count=2000):
    """Seconds per node, and Python calls per node, for a flat tree of plain Python nodes."""
    window = tam.Window(_Counting())
    root = _Plain(window, None)
    root._children = [_Plain(window, root) for _ in range(count)]
    window.root = root
    _Plain.calls = 0
    window.evaluate()
    calls = _Plain.calls / (count + 1)
    return best(window.evaluate) / (count + 1), calls


def python_calls(evaluate):
    """How many calls of the Python host's methods one evaluation makes."""
    counted = [0]

    def profile(frame, event, _):
        if event == "call" and frame.f_code.co_filename == file_host.__file__:
            counted[0] += 1

    sys.setprofile(profile)
    try:
        evaluate()
    finally:
        sys.setprofile(None)
    return counted[0]


def python_host_evaluation():
    window, root, adapter = file_host.load(EBIKE)

    def evaluate():
        adapter.messages.clear()
        window.evaluate()
        return root  # the window does not keep its nodes: the closure does

    return evaluate


def main():
    tam_binary = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "build" / "tools" / "tam")
    rates = {
        "tam sweep, 1 process": SAMPLE / best(tam_sweep(tam_binary, 1)),
        "tam sweep, 2 processes": SAMPLE / best(tam_sweep(tam_binary, 2)),
        "tam.sweep, in this process": SAMPLE / best(python_sweep(jobs=1)),
        "tam.sweep, 2 worker processes": SAMPLE / best(python_sweep(jobs=2)),
    }
    try:
        import distributed

        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                      dashboard_address=None, silence_logs=40) as cluster:
            with distributed.Client(cluster) as client:
                rates["tam.sweep, Dask LocalCluster of 2 workers"] = SAMPLE / best(python_sweep(client=client))
    except ImportError:
        pass
    print(f"e-bike sweep of {SAMPLE} sampled variants, best of {REPEATS}:")
    for name, rate in rates.items():
        print(f"  {name:45s} {rate:8.0f} variants/s")

    evaluations = 200
    product = tam.Product.load(EBIKE)
    host = python_host_evaluation()
    command = best(lambda: subprocess.run([tam_binary, "eval", "--json", EBIKE], capture_output=True), 20)
    loaded = best(lambda: tam.Product.load(EBIKE).evaluate(), 20)
    cxx = best(lambda: [product.evaluate() for _ in range(evaluations)]) / evaluations
    python = best(lambda: [host() for _ in range(evaluations)]) / evaluations
    nodes = len(product.node_paths)
    per_node, calls = callback_cost()
    print("one evaluation of the e-bike:")
    print(f"  tam eval --json (a process)                 {command * 1e3:8.2f} ms")
    print(f"  tam.Product.load + evaluate                  {loaded * 1e3:8.2f} ms")
    print(f"  evaluate on a loaded product (C++ host)      {cxx * 1e3:8.3f} ms")
    print(f"  evaluate by a host in Python                 {python * 1e3:8.3f} ms")
    calls = python_calls(host)
    print(f"  the Python host's adapter and nodes answer {calls} calls per evaluation, "
          f"{calls / nodes:.0f} per node")
    print(f"a node in Python: {per_node * 1e6:.2f} us per evaluation, {calls:.0f} Python calls "
          f"({per_node / calls * 1e9:.0f} ns per call)")


if __name__ == "__main__":
    main()
