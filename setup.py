"""Builds the quillet wheel: CMake compiles the stable-ABI _quillet extension,
and the data directory (data/*.bin) and the extension's type stub are copied
into the package. Set QUILLET_BUILD_DATA=1 to let a checkout without data/
build it first with tools/build_data.py (needs Node, npm and a few minutes)."""
import importlib.util
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py

ROOT = Path(__file__).resolve().parent
DATA_DIR = ROOT / "data"


def _load_paths_module():
    """quillet/_paths.py, which reads the table of data files; loaded by path
    because importing the package needs the extension this build makes."""
    path = ROOT / "python" / "quillet" / "_paths.py"
    spec = importlib.util.spec_from_file_location("quillet_paths", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


_PATHS = _load_paths_module()
REQUIRED_DATA = _PATHS.REQUIRED_FILES


class CMakeBuildExt(build_ext):
    """Builds _quillet.abi3.so with the project's own CMake build."""

    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        subprocess.run([
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DQUILLET_WERROR=OFF",  # a user's newer compiler may warn where ours did not
            "-DQUILLET_PYTHON=ON", "-DQUILLET_TESTS=OFF", "-DQUILLET_BENCH=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ], check=True)
        subprocess.run([
            "cmake", "--build", str(build_dir), "--target", "quillet_python",
            "-j", str(os.cpu_count() or 1),
        ], check=True)
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(build_dir / "_quillet.abi3.so", target)


def _data_missing():
    return [name for name in REQUIRED_DATA if not (DATA_DIR / name).is_file()]


class BuildPyWithData(build_py):
    """Adds the data directory as quillet/data and the extension's stub as
    the stub-only package _quillet-stubs (type checkers find stubs of a
    top-level extension module only there)."""

    def run(self):
        super().run()
        if _data_missing() and os.environ.get("QUILLET_BUILD_DATA") == "1":
            subprocess.run([sys.executable, str(ROOT / "tools" / "build_data.py"),
                            "--out", str(DATA_DIR)], check=True)
        missing = _data_missing()
        if missing:
            sys.exit(f"quillet: {DATA_DIR} lacks {', '.join(missing)}: build the data directory "
                     "first with 'python3 tools/build_data.py' (see DATA.md), or set "
                     "QUILLET_BUILD_DATA=1 to let this build do it")
        target = Path(self.build_lib) / "quillet" / "data"
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True)
        for name in _PATHS.DATA_FILES:
            if (DATA_DIR / name).is_file():
                shutil.copyfile(DATA_DIR / name, target / name)
        stubs = Path(self.build_lib) / "_quillet-stubs"
        stubs.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(ROOT / "python" / "_quillet.pyi", stubs / "__init__.pyi")


setup(
    ext_modules=[Extension("_quillet", sources=[], py_limited_api=True)],
    cmdclass={"build_ext": CMakeBuildExt, "build_py": BuildPyWithData},
    options={
        "build": {"build_base": "build/setuptools"},
        "bdist_wheel": {"py_limited_api": "cp311"},
    },
)
