"""Sweeps: evaluate many variants of one product and get one record per variant.

    from tam.sweep import sweep
    for record in sweep("product.json", "variants.csv", select=["ebike.frame:frame:size"]):
        print(record["variant"], record["status"], record["values"])

Variants come from a CSV or JSON Lines file (NODEPATH:module:option columns or keys), from any
iterable of dicts of such choices, or are generated from varied options: every combination of the
values of some options (vary=["ebike:ebike:model", "ebike.frame:frame:size=48,54,60"]), or
`sample` random draws from them with a `seed`. Records are those of `tam sweep` (JSON objects:
variant, source, choices, status, states, values, messages, failure) and come in variant order.
A variant that fails is recorded as failed; the sweep goes on.

Where the variants are evaluated:

* jobs=1: in this process.
* jobs=N (default: one per core): in N worker processes of this machine, each loading the
  product once. Processes, not threads: the library keeps process-wide state.
* scheduler="tcp://host:8786" (or client=distributed.Client(...)): on a Dask cluster. Chunks of
  variants go to the workers, which load the product once each; Dask schedules them, retries
  chunks whose worker was lost (`retries`), and moves the data. The product and module files
  must be at the same path on every worker; the product path is made absolute for them, so
  records name files by absolute paths.

Memory stays bounded: variants are read as they are needed and at most a few chunks per worker
are in flight.

Run as a program, it writes JSON Lines like `tam sweep`:

    python3 -m tam.sweep PRODUCT.json [VARIANTS] [--vary OPTION[=VALUES]]... [--sample N [--seed S]]
        [--select NODEPATH:module:option]... [--jobs N | --scheduler ADDRESS] [--output FILE]
"""

from __future__ import annotations

import argparse
import collections
import concurrent.futures
import itertools
import json
import multiprocessing
import os
import sys
import tempfile
import time
from typing import Any, Dict, Iterable, Iterator, List, Mapping, Optional, Sequence, Tuple, Union

from tam import _tam

DEFAULT_CHUNK_SIZE = 16
"""Variants handed to a worker at a time."""
IN_FLIGHT_PER_WORKER = 2
"""Chunks in flight per worker: one running, one waiting, so that workers never idle."""

STATUS_OK, STATUS_ERRORS, STATUS_FAILED = 0, 1, 2

VariantsArg = Union[str, os.PathLike, Iterable[Union[Mapping[str, Any], _tam.Variant]], None]

# The runner of each product a worker process has loaded, by product path and selection.
_RUNNERS: Dict[Tuple[str, Tuple[str, ...]], _tam.Runner] = {}


def _runner(product: str, select: Sequence[str]) -> _tam.Runner:
    key = (product, tuple(select))
    if key not in _RUNNERS:
        _RUNNERS[key] = _tam.Runner(product, list(select))
    return _RUNNERS[key]


def run_chunk(product: str, select: Sequence[str], chunk: List[_tam.Variant]) -> List[Tuple[int, str]]:
    """Evaluates a chunk of variants with the product loaded once per process: the task each
    worker runs. Returns (status, record JSON) per variant."""
    return _runner(product, select).run_many(chunk)


def _load_in_worker(product: str, select: Sequence[str]) -> None:
    _runner(product, select)


def iter_variants(
    product: str,
    source: VariantsArg = None,
    *,
    vary: Sequence[str] = (),
    sample: Optional[int] = None,
    seed: int = 1,
    format: str = "auto",
) -> Iterator[_tam.Variant]:
    """The variants a sweep would evaluate, one at a time (see the module's description).
    ProductError for a file or --vary option that cannot be used. A file's or a generator's iterator
    tells how many variants there are in `size` when that is known (else None)."""
    product = os.fspath(product)
    if source is not None and vary:
        raise ValueError("give variants or varied options, not both")
    if sample is not None and not vary:
        raise ValueError("sample draws from varied options: give some")
    if vary:
        return _runner(product, ()).generate(list(vary), sample, seed)
    if source is None:
        raise ValueError("nothing to sweep: give variants or varied options")
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        reader = _tam.read_variants(path, format)
        runner = _runner(product, ())
        for number, key in enumerate(reader.columns, 1):
            problem = runner.choice_problem(key)
            if problem:
                raise _tam.ProductError(f"{path}: column {number} '{key}': {problem}")
        return reader
    return (
        given if isinstance(given, _tam.Variant) else _tam.Variant(index, given)
        for index, given in enumerate(source)
    )


def _chunks(items: Iterator[_tam.Variant], size: int) -> Iterator[List[_tam.Variant]]:
    while True:
        chunk = list(itertools.islice(items, size))
        if not chunk:
            return
        yield chunk


class _Totals:
    def __init__(self) -> None:
        self.counts = [0, 0, 0]

    def add(self, status: int) -> None:
        self.counts[status] += 1

    @property
    def variants(self) -> int:
        return sum(self.counts)


def _ordered(
    submit, chunks: Iterator[List[_tam.Variant]], in_flight: int, failed
) -> Iterator[Tuple[int, str]]:
    """Submits chunks, at most `in_flight` at a time, and yields their records in order. A chunk
    whose task raised is recorded as failed."""
    pending: collections.deque = collections.deque()
    chunks = iter(chunks)
    exhausted = False
    while True:
        while not exhausted and len(pending) < in_flight:
            chunk = next(chunks, None)
            if chunk is None:
                exhausted = True
                break
            pending.append((chunk, submit(chunk)))
        if not pending:
            return
        chunk, future = pending.popleft()
        try:
            records = future.result()
        except Exception as error:  # the task or its worker failed; Dask has retried it
            reason = f"the worker evaluating the variant failed: {type(error).__name__}: {error}"
            records = [failed(variant, reason) for variant in chunk]
        yield from records


def _records(
    product: str,
    source: Iterator[_tam.Variant],
    select: Sequence[str],
    jobs: int,
    scheduler: Optional[str],
    client: Any,
    chunk_size: int,
    retries: int,
) -> Iterator[Tuple[int, str]]:
    local = _runner(product, select)
    chunks = _chunks(source, chunk_size)
    if scheduler is not None or client is not None:
        import distributed

        own = client is None
        if own:
            client = distributed.Client(scheduler)
        try:
            workers = max(1, len(client.scheduler_info()["workers"]))
            remote = os.path.abspath(product)
            yield from _ordered(
                lambda chunk: client.submit(run_chunk, remote, list(select), chunk, pure=False, retries=retries),
                chunks,
                workers * IN_FLIGHT_PER_WORKER,
                local.failed,
            )
        finally:
            if own:
                client.close()
        return
    if jobs == 1:
        for chunk in chunks:
            yield from local.run_many(chunk)
        return
    with concurrent.futures.ProcessPoolExecutor(
        max_workers=jobs,
        mp_context=multiprocessing.get_context("spawn"),
        initializer=_load_in_worker,
        initargs=(product, tuple(select)),
    ) as pool:
        yield from _ordered(
            lambda chunk: pool.submit(run_chunk, product, tuple(select), chunk),
            chunks,
            jobs * IN_FLIGHT_PER_WORKER,
            local.failed,
        )


def sweep(
    product: str,
    variants: VariantsArg = None,
    *,
    vary: Sequence[str] = (),
    sample: Optional[int] = None,
    seed: int = 1,
    select: Sequence[str] = (),
    jobs: Optional[int] = None,
    scheduler: Optional[str] = None,
    client: Any = None,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    retries: int = 2,
    format: str = "auto",
    raw: bool = False,
) -> Iterator[Union[Dict[str, Any], str]]:
    """Evaluates every variant and yields its record, in variant order: a dict, or with raw the
    JSON text `tam sweep` writes. The product, the variants and the selection are checked before
    this returns (ProductError, ValueError). See the module's description for the arguments."""
    records, _ = _sweep(
        product, variants, vary, sample, seed, select, jobs, scheduler, client, chunk_size, retries, format
    )
    return (record if raw else json.loads(record) for _, record in records)


def _sweep(product, source, vary, sample, seed, select, jobs, scheduler, client, chunk_size, retries, format):
    """The (status, record) pairs of a sweep, and the number of variants when it is known."""
    product = os.fspath(product)
    if jobs is not None and jobs < 1:
        raise ValueError("jobs must be at least 1")
    if chunk_size < 1:
        raise ValueError("chunk_size must be at least 1")
    found = iter_variants(product, source, vary=vary, sample=sample, seed=seed, format=format)
    _runner(product, select)  # checks the selection before any worker starts
    records = _records(
        product, iter(found), select, jobs or os.cpu_count() or 1, scheduler, client, chunk_size, retries
    )
    return records, getattr(found, "size", None)


class _Output:
    """Records go to standard output, or to a file that takes its name only when complete. A name
    that stands for something other than a regular file (/dev/null, a pipe) is written to
    directly; a symbolic link stays a link and its target is replaced."""

    def __init__(self, path: Optional[str]) -> None:
        self.path = path
        self.temporary: Optional[str] = None
        if path is None:
            self.file = sys.stdout
            return
        if os.path.exists(path) and not os.path.isfile(path):
            self.file = open(path, "w", encoding="utf-8")
            return
        self.path = os.path.realpath(path)
        folder = os.path.dirname(self.path)
        descriptor, self.temporary = tempfile.mkstemp(
            dir=folder, prefix="." + os.path.basename(self.path) + ".tam-"
        )
        self.file = os.fdopen(descriptor, "w", encoding="utf-8")

    def write(self, record: str) -> None:
        self.file.write(record)
        self.file.write("\n")

    def commit(self) -> None:
        self.file.flush()
        if self.path is None:
            return
        if self.temporary is None:
            self.file.close()
            self.path = None
            return
        os.fsync(self.file.fileno())
        self.file.close()
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(self.temporary, 0o666 & ~mask)
        os.replace(self.temporary, self.path)
        self.path = None

    def discard(self) -> None:
        if self.path is None:
            return
        self.file.close()
        if self.temporary is not None:
            os.unlink(self.temporary)


class _Progress:
    """A progress line on standard error, while it is a terminal."""

    INTERVAL = 0.1

    def __init__(self, total: Optional[int]) -> None:
        self.shown = sys.stderr.isatty()
        self.total = total
        self.done = 0
        self.start = time.monotonic()
        self.drawn = 0.0

    def advance(self) -> None:
        self.done += 1
        now = time.monotonic()
        if not self.shown or now - self.drawn < self.INTERVAL:
            return
        self.drawn = now
        rate = self.done / max(now - self.start, 1e-9)
        if self.total:
            width = 30
            filled = width * self.done // self.total
            text = f"[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total}"
        else:
            text = str(self.done)
        sys.stderr.write(f"\r{text} variants, {rate:.0f}/s\033[K")
        sys.stderr.flush()

    def clear(self) -> None:
        if self.shown:
            sys.stderr.write("\r\033[K")
            sys.stderr.flush()

    def seconds(self) -> float:
        return time.monotonic() - self.start


def _rate(value: float) -> str:
    return f"{value:.0f}" if value >= 100 else f"{value:.1f}"


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m tam.sweep",
        description="Evaluate many variants of a product and write one JSON Lines record per variant.",
    )
    parser.add_argument("product", metavar="PRODUCT", help="the product file (JSON)")
    parser.add_argument(
        "variants", metavar="VARIANTS", nargs="?", help="CSV or JSON Lines file of variants; - reads standard input"
    )
    parser.add_argument("--vary", action="append", default=[], metavar="OPTION[=VALUES]",
                        help="NODEPATH:module:option=V1,V2,... or NODEPATH:module:option (repeatable)")
    parser.add_argument("--sample", type=int, metavar="N", help="draw N random variants from the --vary values")
    parser.add_argument("--seed", type=int, metavar="S", help="seed of the random draws (default 1)")
    parser.add_argument("--select", action="append", default=[], metavar="NODEPATH:module:option",
                        help="report this value in every record (repeatable)")
    parser.add_argument("--jobs", "-j", type=int, metavar="N", help="worker processes (default: one per core)")
    parser.add_argument("--scheduler", metavar="ADDRESS", help="evaluate on the Dask cluster of this scheduler")
    parser.add_argument("--output", "-o", metavar="FILE", help="write the records to this file")
    parser.add_argument("--format", choices=["auto", "csv", "jsonl"], default="auto", help="format of VARIANTS")
    parser.add_argument("--chunk-size", type=int, default=DEFAULT_CHUNK_SIZE, help=argparse.SUPPRESS)
    options = parser.parse_args(argv)

    def usage(message: str) -> int:
        sys.stderr.write(f"python3 -m tam.sweep: error: {message}\n")
        return 2

    if options.seed is not None and options.sample is None:
        return usage("--seed is for --sample")
    if options.sample is not None and options.sample < 0:
        return usage("--sample must not be negative")
    if options.variants == "-" and options.format == "auto":
        return usage("reading variants from standard input needs --format csv or --format jsonl")
    try:
        records, total = _sweep(options.product, options.variants, options.vary, options.sample,
                                1 if options.seed is None else options.seed, options.select,
                                options.jobs, options.scheduler, None, options.chunk_size, 2,
                                options.format)
        output = _Output(options.output)
    except (_tam.ProductError, ValueError) as error:
        return usage(str(error))
    progress = _Progress(total)
    totals = _Totals()
    try:
        for status, record in records:
            output.write(record)
            totals.add(status)
            progress.advance()
        output.commit()
    except BaseException:
        output.discard()
        raise
    progress.clear()
    seconds = progress.seconds()
    jobs = options.jobs or os.cpu_count() or 1
    where = (
        f"Dask scheduler {options.scheduler}"
        if options.scheduler
        else f"{jobs} process{'es' if jobs != 1 else ''}"
    )
    ok, errors, failed = totals.counts
    sys.stderr.write(
        f"tam sweep: {totals.variants} variant{'s' if totals.variants != 1 else ''} in {seconds:.2f} s "
        f"({_rate(totals.variants / seconds if seconds > 0 else 0)} variants/s, {where}): "
        f"{ok} ok, {errors} with errors, {failed} failed\n"
    )
    return 1 if errors or failed else 0


if __name__ == "__main__":
    sys.exit(main())
