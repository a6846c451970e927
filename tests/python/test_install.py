"""What `cmake --install` puts in a prefix imports from Debian's interpreter: the package, its
compiled part (which finds libtam in the prefix by itself), its type stubs and the sweep
program."""

import os
import pathlib
import subprocess
import sys

import pytest

from conftest import EBIKE


def test_the_installed_package_works_from_a_prefix(tmp_path):
    build, folder = os.environ.get("TAM_BUILD_DIR"), os.environ.get("TAM_PYTHON_INSTALL_DIR")
    if not build or not folder:
        pytest.skip("TAM_BUILD_DIR and TAM_PYTHON_INSTALL_DIR name no build tree")
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", build, "--prefix", str(prefix)], check=True, capture_output=True)
    package = prefix / folder / "tam"
    assert {"__init__.py", "product.py", "sweep.py", "_tam.pyi", "py.typed"} <= {p.name for p in package.iterdir()}
    environment = {key: value for key, value in os.environ.items() if key not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    environment["PYTHONPATH"] = str(prefix / folder)
    script = (
        "import sys, tam, tam.sweep\n"
        "print(tam.__file__)\n"
        f"print(tam.Product.load({str(EBIKE)!r}).evaluate().status)\n"
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=environment,
                          cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    location, status = done.stdout.splitlines()
    assert pathlib.Path(location).parent == package and status == "ok"
