"""Sweeps in Python give the records `tam sweep` writes, in the same order, whether the variants
are evaluated in this process, in worker processes or on a Dask cluster."""

import json
import os
import random
import subprocess
import sys
import threading

import pytest

import tam
from tam.sweep import iter_variants, sweep
from conftest import BASIC, EBIKE, PRODUCTS, run_tam

VARY = ["ebike:ebike:model", "ebike:ebike:usage", "ebike:ebike:market", "ebike.frame:frame:size=44,54,62,70"]
SELECT = ["ebike.frame:frame:size", "ebike.drive.motor:motor:power_w"]


@pytest.fixture(scope="module")
def single():
    """The records of the e-bike sweep evaluated in this process, as JSON text."""
    return list(sweep(str(EBIKE), vary=VARY, select=SELECT, jobs=1, raw=True))


def test_records_match_tam_sweep_and_do_not_depend_on_the_workers(single):
    status, output = run_tam("sweep", EBIKE, *[f"--vary={v}" for v in VARY], *[f"--select={s}" for s in SELECT],
                             "--jobs", 2)
    assert output.splitlines() == single
    assert status == 1  # size 70 is not allowed: those variants fail
    assert list(sweep(str(EBIKE), vary=VARY, select=SELECT, jobs=2, chunk_size=5, raw=True)) == single


def test_a_failing_variant_is_recorded_and_the_sweep_goes_on(single):
    records = list(sweep(str(EBIKE), vary=VARY, select=SELECT, jobs=1))
    assert len(records) == 4 * 4 * 3 * 4 and [r["variant"] for r in records] == list(range(len(records)))
    failed = [r for r in records if r["status"] == "failed"]
    assert {r["choices"]["ebike.frame:frame:size"] for r in failed} == {70}
    assert failed[0]["failure"]["message"].endswith("value 70 is not allowed for 'frame:size' (allowed: 44 to 62)")
    assert all(r["values"]["ebike.frame:frame:size"] in (44, 54, 62) for r in records if r["status"] != "failed")


def test_a_record_does_not_depend_on_the_variants_before_it(single):
    given = [variant.choices for variant in iter_variants(str(EBIKE), vary=VARY)]
    order = list(range(len(given)))
    random.Random(5).shuffle(order)
    shuffled = list(sweep(str(EBIKE), [given[i] for i in order], select=SELECT, jobs=1))
    for position, record in zip(order, shuffled):
        expected = json.loads(single[position])
        assert {k: record[k] for k in ("choices", "states", "values", "messages", "failure")} == {
            k: expected[k] for k in ("choices", "states", "values", "messages", "failure")}


def test_variants_from_files_dicts_and_seeds(monkeypatch):
    status, output = run_tam("sweep", "basic/product.json", "sweep/variants.csv", "--jobs", 1, cwd=PRODUCTS)
    monkeypatch.chdir(PRODUCTS)  # records name files as the product path was given
    assert list(sweep("basic/product.json", "sweep/variants.csv", jobs=1, raw=True)) == output.splitlines()
    assert status == 1
    from_dicts = list(sweep(str(BASIC), [{"bike:bike:speed": 20}, {"bike:bike:speed": [20, 30]}, {"bike:x": 1}],
                            jobs=1))
    assert [r["status"] for r in from_dicts] == ["ok", "failed", "failed"]
    drawn = [list(sweep(str(BASIC), vary=["bike:bike:speed", "bike.front:wheel:pressure"], sample=5, seed=seed,
                        jobs=1, raw=True)) for seed in (7, 7, 8)]
    assert drawn[0] == drawn[1] != drawn[2]
    with pytest.raises(tam.ProductError, match="no node 'bike.nowhere'"):
        sweep(str(BASIC), str(PRODUCTS / "sweep" / "unknown_node.csv"))


def test_the_program_writes_what_tam_sweep_writes(tmp_path, single):
    output = tmp_path / "records.jsonl"
    done = subprocess.run(
        [sys.executable, "-m", "tam.sweep", str(EBIKE), *[f"--vary={v}" for v in VARY],
         *[f"--select={s}" for s in SELECT], "--jobs", "1", "--output", str(output)],
        capture_output=True, text=True)
    assert done.returncode == 1 and done.stdout == ""
    assert output.read_text().splitlines() == single
    assert f"tam sweep: {len(single)} variants in " in done.stderr
    pipe = tmp_path / "records.fifo"
    os.mkfifo(pipe)
    writer = subprocess.Popen([sys.executable, "-m", "tam.sweep", str(EBIKE), *[f"--vary={v}" for v in VARY],
                               *[f"--select={s}" for s in SELECT], "--jobs", "1", "--output", str(pipe)],
                              stderr=subprocess.PIPE, text=True)
    received = []
    reader = threading.Thread(target=lambda: received.append(pipe.read_text()), daemon=True)
    reader.start()
    _, errors = writer.communicate()
    reader.join(timeout=60)  # a writer that never opened the pipe leaves the reader waiting
    assert not reader.is_alive() and writer.returncode == 1, errors
    assert received[0].splitlines() == single and pipe.is_fifo()  # written to, not replaced
    refused = subprocess.run([sys.executable, "-m", "tam.sweep", str(EBIKE), "--vary", "ebike:ebike:budget"],
                             capture_output=True, text=True)
    assert refused.returncode == 2 and "cannot be listed" in refused.stderr


def test_records_from_a_dask_cluster_equal_the_single_process_ones(single):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=40) as cluster:
        with distributed.Client(cluster) as client:
            assert list(sweep(str(EBIKE), vary=VARY, select=SELECT, client=client, chunk_size=7, raw=True)) == single
            workers = client.run(lambda: sorted(key[0] for key in __import__("tam.sweep").sweep._RUNNERS))
    # Each worker loaded the product once (by its absolute path) and kept it for every chunk.
    assert all(loaded == [os.path.abspath(str(EBIKE))] for loaded in workers.values())
