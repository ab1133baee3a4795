"""Finding the bundled data directory (installed and in-tree) and what
quillet.Pipeline does with it and with its arguments."""
import subprocess
import sys
import types

import pytest

from conftest import make_data_dir
from pkg_util import REAL_DATA, env_with_path, in_tree_env, installed_copy, needs_real_data

import quillet
from quillet import _paths


def _checkout(root):
    """A directory that looks like a source checkout (root/python/quillet)."""
    (root / "tools").mkdir(parents=True)
    (root / "tools" / "build_data.py").write_text("")
    (root / "CMakeLists.txt").write_text("")
    package = root / "python" / "quillet"
    package.mkdir(parents=True)
    return package


# (layout, which directory must be found: "package", "checkout" or None)
LAYOUTS = [
    ("installed package with data", "package"),
    ("checkout with data", "checkout"),
    ("checkout and package both with data", "package"),
    ("checkout with data, package data lacks char.bin", "checkout"),
    ("checkout without data", None),
    ("not a checkout, data two levels up", None),
]


@pytest.mark.parametrize("layout,expected", LAYOUTS, ids=[row[0] for row in LAYOUTS])
def test_bundled_data_dir_layouts(tmp_path, layout, expected):
    if layout.startswith("installed"):
        package = tmp_path / "site-packages" / "quillet"
        make_data_dir(package / "data")
    elif layout.startswith("not a checkout"):
        package = tmp_path / "lib" / "quillet"
        package.mkdir(parents=True)
        make_data_dir(tmp_path / "data")
    else:
        package = _checkout(tmp_path)
        if "checkout with data" in layout or "both" in layout:
            make_data_dir(tmp_path / "data")
        if "both" in layout:
            make_data_dir(package / "data")
        if "lacks char.bin" in layout:
            make_data_dir(package / "data")
            (package / "data" / "char.bin").unlink()

    if expected is None:
        with pytest.raises(quillet.DataDirNotFoundError) as err:
            _paths.bundled_data_dir(package)
        message = str(err.value)
        assert str(package / "data") in message, (layout, message)
        assert "build_data.py" in message, (layout, message)
    else:
        want = package / "data" if expected == "package" else tmp_path / "data"
        assert _paths.bundled_data_dir(package) == str(want), layout


def test_installed_copy_finds_its_own_data_from_any_directory(tmp_path):
    site = installed_copy(tmp_path)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    code = ("import quillet; print(quillet.bundled_data_dir()); "
            "print(quillet.Pipeline().convert('我哋食飯'))")
    out = subprocess.run([sys.executable, "-c", code], env=env_with_path(site), cwd=elsewhere,
                         capture_output=True, text=True, check=True).stdout.splitlines()
    assert out == [str(site / "quillet" / "data"), "ngo5 dei6 sik6 faan6"]


@needs_real_data
def test_in_tree_package_finds_checkout_data(tmp_path):
    code = "import quillet; print(quillet.bundled_data_dir())"
    out = subprocess.run([sys.executable, "-c", code], env=in_tree_env(), cwd=tmp_path,
                         capture_output=True, text=True, check=True).stdout.strip()
    assert out == str(REAL_DATA)


def test_pipeline_takes_paths_and_mappings(data_dir):
    pipeline = quillet.Pipeline(data_dir=data_dir,
                                user_dict=types.MappingProxyType({"食飯": "sik6 maan6"}))
    assert isinstance(pipeline, quillet.Pipeline)
    assert pipeline.convert("我哋食飯") == "ngo5 dei6 sik6 maan6"
    assert pipeline.convert_detailed("食飯")[0][4] == "user_dict"
    plain = quillet.Pipeline(False, str(data_dir))
    assert plain.convert("「我」") == "「 ngo5 」"


# (what the data directory is, text the RuntimeError must contain)
LOAD_FAILURES = [
    ("missing", "does not exist"),
    ("empty", "has no word.bin"),
    ("no char.bin", "has no char.bin"),
]


@pytest.mark.parametrize("kind,needle", LOAD_FAILURES, ids=[row[0] for row in LOAD_FAILURES])
def test_pipeline_load_failures_name_the_directory(tmp_path, kind, needle):
    target = tmp_path / "d"
    if kind != "missing":
        target.mkdir()
    if kind == "no char.bin":
        make_data_dir(target)
        (target / "char.bin").unlink()
    with pytest.raises(RuntimeError) as err:
        quillet.Pipeline(data_dir=target)
    assert needle in str(err.value) and str(target) in str(err.value), (kind, str(err.value))


def test_pipeline_rejects_bytes_paths(data_dir):
    with pytest.raises(TypeError):
        quillet.Pipeline(data_dir=bytes(data_dir))
