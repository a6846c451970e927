"""What explaining costs in Python: Product.evaluate on the e-bike example with and without
explain=True, side by side in one run, each the best of REPEATS rounds of EVALUATIONS (the
machine may be shared: compare the ratio, not absolute figures).

    PYTHONPATH=build/python /usr/bin/python3 bench/explain_bench.py

A module without explain (an older build) is measured without it only, so that two builds can be
compared run after run.
"""

import inspect
import pathlib
import time

import tam

ROOT = pathlib.Path(__file__).resolve().parents[1]
EBIKE = str(ROOT / "examples" / "ebike" / "product.json")
CHOICES = {"ebike:ebike:usage": "offroad"}
REPEATS = 7
EVALUATIONS = 200


def per_evaluation(evaluate):
    best = float("inf")
    for _ in range(REPEATS):
        start = time.perf_counter()
        for _ in range(EVALUATIONS):
            evaluate()
        best = min(best, (time.perf_counter() - start) / EVALUATIONS)
    return best


def main():
    product = tam.Product.load(EBIKE)
    explains = "explain" in inspect.signature(product.evaluate).parameters
    plain = per_evaluation(lambda: product.evaluate(set=CHOICES))
    print(f"e-bike, evaluate on a loaded product, best of {REPEATS} x {EVALUATIONS}:")
    print(f"  evaluate(set=...)                {plain * 1e3:8.3f} ms")
    if explains:
        explained = per_evaluation(lambda: product.evaluate(set=CHOICES, explain=True))
        print(f"  evaluate(set=..., explain=True)  {explained * 1e3:8.3f} ms"
              f"  ({explained / plain:.1f} x)")


if __name__ == "__main__":
    main()
