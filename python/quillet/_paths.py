"""Where the dictionary files live: the data directory bundled with an
installed package, or the checkout's data/ when the package runs in-tree."""
from __future__ import annotations

import os
from pathlib import Path

_PACKAGE_DIR = Path(__file__).resolve().parent


def read_data_files(table: Path = _PACKAGE_DIR / "data_files.tsv") -> list[tuple[str, bool]]:
    """(file name, required) for every dictionary file of a data directory,
    in loading order, from the table the engine's loader is built from.
    setup.py and tools/build_data.py load this module by path to read it."""
    files = []
    for line in table.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            name, need = line.split("\t")[:2]
            files.append((name, need == "required"))
    return files


#: Every dictionary file a data directory may hold, in loading order.
DATA_FILES = tuple(name for name, _ in read_data_files())
#: The files a data directory cannot do without.
REQUIRED_FILES = tuple(name for name, required in read_data_files() if required)


class DataDirNotFoundError(RuntimeError):
    """No usable data directory: none was given and none is bundled."""


def is_data_dir(path: str | os.PathLike[str]) -> bool:
    """True when `path` is a directory holding every required dictionary file."""
    p = Path(path)
    return all((p / name).is_file() for name in REQUIRED_FILES)


def candidate_data_dirs(package_dir: Path = _PACKAGE_DIR) -> list[Path]:
    """The places a bundled data directory may be, most specific first:
    `<package>/data` (an installed wheel carries its data there), then the
    checkout's `data/` when the package is imported from `python/` of a
    source tree (recognised by its CMakeLists.txt and data build script)."""
    places = [package_dir / "data"]
    checkout = package_dir.parent.parent
    if (checkout / "CMakeLists.txt").is_file() and (checkout / "tools" / "build_data.py").is_file():
        places.append(checkout / "data")
    return places


def bundled_data_dir(package_dir: Path = _PACKAGE_DIR) -> str:
    """The data directory this package was built or installed with, as an
    absolute path. Raises DataDirNotFoundError naming every place looked at
    when none of them holds word.bin and char.bin."""
    places = candidate_data_dirs(package_dir)
    for place in places:
        if is_data_dir(place):
            return str(place)
    looked = ", ".join(str(p) for p in places)
    raise DataDirNotFoundError(
        f"no Quillet data directory found (looked in {looked}); build it with "
        "'python3 tools/build_data.py' in a checkout, or pass data_dir")


def resolve_data_dir(data_dir: str | os.PathLike[str] | None) -> str:
    """`data_dir` as a string when given (not checked here: loading reports a
    missing file by name), else the bundled directory (may raise
    DataDirNotFoundError). Bytes paths are rejected with TypeError."""
    if data_dir is None:
        return bundled_data_dir()
    path = os.fspath(data_dir)
    if not isinstance(path, str):
        raise TypeError(f"data_dir must be a str or a path of str, not {type(path).__name__}")
    return path


def describe_load_failure(data_dir: str, error: BaseException) -> str:
    """A one-line explanation of why loading `data_dir` failed, naming the
    directory and, where one is missing, the required file; `error` is the
    loader's own failure, used when nothing more specific is found."""
    if not os.path.isdir(data_dir):
        return f"data directory {data_dir!r} does not exist or is not a directory"
    for name in REQUIRED_FILES:
        if not os.path.isfile(os.path.join(data_dir, name)):
            return f"data directory {data_dir!r} has no {name}"
    return f"cannot load data directory {data_dir!r}: {error}"
