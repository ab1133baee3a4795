"""Shared fixtures for the _quillet tests: the built module on sys.path and
small data directories compiled with quillet_dictool."""
import os
import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD_DIR = pathlib.Path(os.environ.get("QUILLET_BUILD_DIR", ROOT / "build" / "release")).resolve()
sys.path.insert(0, str(BUILD_DIR))

DICTOOL = BUILD_DIR / "quillet_dictool"

# A tiny lexicon: enough words for segmentation to matter, every character
# of them in char.bin, plus one character with two readings.
WORDS = {
    "我哋": "ngo5 dei6",
    "食飯": "sik6 faan6",
    "香港": "hoeng1 gong2",
    "銀行": "ngan4 hong4",
    "行山": "haang4 saan1",
    "今日": "gam1 jat6",
}
CHARS = {
    "我": "ngo5", "哋": "dei6", "食": "sik6", "飯": "faan6", "香": "hoeng1",
    "港": "gong2", "銀": "ngan4", "行": "hang4", "山": "saan1", "今": "gam1",
    "日": "jat6", "好": "hou2", "去": "heoi3", "一": "jat1", "二": "ji6",
}
CHAR_CANDIDATES = {"行": "hang4|haang4|hong4"}


def write_dict(path, entries, prefix_table=False):
    """Compiles {key: value} into a dictionary file at `path`, with the prefix
    table after its index when asked."""
    tsv = "".join(f"{k}\t{v}\n" for k, v in sorted(entries.items()))
    flags = ["--prefix-table"] if prefix_table else []
    subprocess.run([str(DICTOOL), "build", *flags, "-", str(path)], input=tsv.encode(),
                   check=True)


def make_data_dir(directory, words=None, chars=None, extra=None):
    """Writes word.bin and char.bin (and any `extra` {file name: entries})."""
    directory = pathlib.Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    write_dict(directory / "word.bin", WORDS if words is None else words)
    write_dict(directory / "char.bin", CHARS if chars is None else chars)
    for name, entries in (extra or {}).items():
        write_dict(directory / name, entries)
    return directory


@pytest.fixture(scope="session")
def data_dir(tmp_path_factory):
    return make_data_dir(tmp_path_factory.mktemp("data"),
                         extra={"char_candidates.bin": CHAR_CANDIDATES})


@pytest.fixture(scope="session")
def quillet():
    import _quillet
    return _quillet


@pytest.fixture(scope="session")
def pipeline(quillet, data_dir):
    return quillet.PyPipeline(data_dir=str(data_dir))
