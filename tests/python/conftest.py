"""Paths the Python tests share. CTest passes the source tree and the built tam command; the
module itself comes from PYTHONPATH (the build tree's python folder)."""

import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("TAM_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EBIKE = SOURCE / "examples" / "ebike" / "product.json"
PRODUCTS = SOURCE / "tests" / "tools" / "products"
BASIC = PRODUCTS / "basic" / "product.json"


def tam_command():
    binary = os.environ.get("TAM_BINARY")
    if not binary:
        pytest.skip("TAM_BINARY names no tam command")
    return binary


def run_tam(*args, cwd=None):
    """Runs the tam command; returns (exit status, standard output)."""
    done = subprocess.run([tam_command(), *map(str, args)], capture_output=True, text=True, cwd=cwd)
    return done.returncode, done.stdout


def as_printed(value):
    """A value as tam prints it: reals with at most 15 significant digits (3.42 for
    6.0 - 2.15 * 1.2), other values as they are."""
    return float(f"{value:.15g}") if isinstance(value, float) else value
