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
