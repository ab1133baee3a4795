"""Helpers for the tests of the quillet package: the in-tree package on
sys.path, a copy of it laid out as an installed package with its own data
directory, and the command line run as a subprocess."""
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

from conftest import BUILD_DIR, ROOT, make_data_dir

PYTHON_DIR = ROOT / "python"
REAL_DATA = ROOT / "data"
sys.path.insert(0, str(PYTHON_DIR))

needs_real_data = pytest.mark.skipif(
    not (REAL_DATA / "word.bin").is_file() or not (REAL_DATA / "char.bin").is_file(),
    reason="the real data directory is not built (python3 tools/build_data.py)")


def env_with_path(*entries):
    """os.environ with PYTHONPATH set to `entries` (then nothing else)."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(str(e) for e in entries)
    env.pop("PYTHONSTARTUP", None)
    return env


def in_tree_env():
    return env_with_path(PYTHON_DIR, BUILD_DIR)


def installed_copy(root, data_dir=None):
    """Lays the package out under `root` as an installation would: the
    package with a data/ directory inside (a small one unless `data_dir`
    is given) and the extension beside it. Returns the PYTHONPATH entry."""
    site = pathlib.Path(root) / "site-packages"
    shutil.copytree(PYTHON_DIR / "quillet", site / "quillet",
                    ignore=shutil.ignore_patterns("__pycache__", "data"))
    if data_dir is None:
        make_data_dir(site / "quillet" / "data")
    else:
        shutil.copytree(data_dir, site / "quillet" / "data")
    shutil.copy(BUILD_DIR / "_quillet.abi3.so", site / "_quillet.abi3.so")
    return site


def run_cli(*args, env=None, input=None, cwd=None, timeout=120):
    """Runs `python -m quillet ARGS` with the in-tree package unless `env`
    is given; returns the CompletedProcess with bytes output."""
    if isinstance(input, str):
        input = input.encode("utf-8")
    return subprocess.run([sys.executable, "-m", "quillet", *args], env=env or in_tree_env(),
                          input=input, capture_output=True, cwd=cwd, timeout=timeout)
