"""Building and installing the package with pip, offline. The real install
(a CMake build, then venvs of every Python 3 on the machine) takes minutes
and runs only with QUILLET_SLOW_TESTS=1; the refusal to build without a
data directory is quick and always runs."""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import ROOT
from pkg_util import needs_real_data

SKIP_IN_COPY = shutil.ignore_patterns(".git", "build", "dist", ".venv", "*.egg-info",
                                      "__pycache__", ".pytest_cache", "data")
BUILD_PYTHON = "/usr/bin/python3"


def _checkout_copy(target, with_data):
    shutil.copytree(ROOT, target, ignore=SKIP_IN_COPY)
    if with_data:
        shutil.copytree(ROOT / "data", target / "data")
    return target


def _can_build_wheels():
    if not os.path.exists(BUILD_PYTHON):
        return False
    probe = "import setuptools, wheel, pip"
    return subprocess.run([BUILD_PYTHON, "-c", probe], capture_output=True).returncode == 0


needs_build_tools = pytest.mark.skipif(
    not _can_build_wheels(), reason="needs /usr/bin/python3 with pip, setuptools and wheel")


def _pip_wheel(source, out_dir):
    env = dict(os.environ, PIP_NO_INDEX="1")
    env.pop("QUILLET_BUILD_DATA", None)
    return subprocess.run([BUILD_PYTHON, "-m", "pip", "wheel", "--no-build-isolation",
                           "--no-deps", "-w", str(out_dir), str(source)],
                          capture_output=True, text=True, env=env, timeout=1800)


@needs_build_tools
def test_build_without_data_stops_with_a_clear_message(tmp_path):
    source = _checkout_copy(tmp_path / "src", with_data=False)
    result = _pip_wheel(source, tmp_path / "dist")
    output = result.stdout + result.stderr
    assert result.returncode != 0
    assert "lacks word.bin, char.bin: build the data directory first" in output, output[-3000:]
    assert not list((tmp_path / "dist").glob("*.whl"))


def _interpreters():
    """Every distinct Python 3 on the machine: Debian's, the one first on
    PATH, and the one running the tests."""
    found = {}
    for candidate in [BUILD_PYTHON, shutil.which("python3"), sys.executable]:
        if candidate and os.path.exists(candidate):
            found.setdefault(os.path.realpath(candidate), candidate)
    return list(found.values())


def _venv(python, path, *extra):
    subprocess.run([python, "-m", "venv", *extra, str(path)], check=True, capture_output=True)
    return path / "bin"


USE = """
import json, quillet, _quillet
print(json.dumps({"data": quillet.bundled_data_dir(), "so": _quillet.__file__,
                  "text": quillet.Pipeline().convert("我哋今日去飲茶")}))
"""
REVEAL = "import quillet\nreveal_type(quillet.Pipeline().convert_candidates('x')[0][1])\n"


def _check_installed(bin_dir, tmp_path):
    """Runs the installed package from outside the checkout, as a library,
    as `python -m quillet` and as the console script."""
    import json
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir(exist_ok=True)
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "QUILLET_BUILD_DIR")}
    out = subprocess.run([str(bin_dir / "python"), "-c", USE], cwd=elsewhere, env=env,
                         capture_output=True, text=True, check=True).stdout
    facts = json.loads(out)
    site = str(bin_dir.parent)
    assert facts["data"].startswith(site) and facts["so"].startswith(site), facts
    assert facts["text"] == "ngo5 dei6 gam1 jat6 heoi3 jam2 caa4", facts
    for command in ([str(bin_dir / "quillet")], [str(bin_dir / "python"), "-m", "quillet"]):
        result = subprocess.run([*command, "-f", "tsv"], input="落雨\n", cwd=elsewhere, env=env,
                                capture_output=True, text=True)
        assert result.returncode == 0 and "1\t落雨\tlok6 jyu5\tyue" in result.stdout, result
    try:
        import mypy  # noqa: F401
    except ImportError:
        return
    (elsewhere / "use.py").write_text(REVEAL)
    result = subprocess.run([sys.executable, "-m", "mypy", "--python-executable",
                             str(bin_dir / "python"), "--cache-dir", str(tmp_path / "mypy"),
                             "use.py"], cwd=elsewhere, capture_output=True, text=True, env=env)
    assert 'Revealed type is "builtins.list[builtins.str]"' in result.stdout, result.stdout


@pytest.mark.skipif(os.environ.get("QUILLET_SLOW_TESTS") != "1",
                    reason="a real pip build and install takes minutes; set QUILLET_SLOW_TESTS=1")
@needs_real_data
@needs_build_tools
def test_pip_install_into_venvs(tmp_path):
    source = _checkout_copy(tmp_path / "src", with_data=True)

    # The README's own install commands, as written.
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    usage = readme[readme.index("<!-- usage:begin -->"):readme.index("<!-- usage:end -->")]
    install = re.search(r"^```sh\n(.*?)^```$", usage, flags=re.M | re.S).group(1)
    result = subprocess.run(["bash", "-euo", "pipefail", "-c", install], cwd=source,
                            capture_output=True, text=True, timeout=1800)
    assert result.returncode == 0, result.stdout[-3000:] + result.stderr[-3000:]
    assert result.stdout.splitlines()[-1] == "zou2 san4", result.stdout[-500:]
    wheels = list((source / "dist").glob("*.whl"))
    assert [w.name for w in wheels] == ["quillet-0.1.0-cp311-abi3-linux_x86_64.whl"]
    _check_installed(source / ".venv" / "bin", tmp_path)

    # The same wheel in a venv of every interpreter on the machine.
    for number, python in enumerate(_interpreters()):
        bin_dir = _venv(python, tmp_path / f"venv{number}")
        subprocess.run([str(bin_dir / "pip"), "install", "--no-index", str(wheels[0])],
                       check=True, capture_output=True)
        _check_installed(bin_dir, tmp_path)

    # `pip install .` straight from the checkout, with Debian's build tools.
    bin_dir = _venv(BUILD_PYTHON, tmp_path / "venv-direct", "--system-site-packages")
    result = subprocess.run([str(bin_dir / "pip"), "install", "--no-index",
                             "--no-build-isolation", str(source)],
                            capture_output=True, text=True, timeout=1800)
    assert result.returncode == 0, result.stdout[-3000:] + result.stderr[-3000:]
    _check_installed(bin_dir, tmp_path)
    assert Path(bin_dir / "quillet").exists()
