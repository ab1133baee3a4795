"""Quillet: Cantonese (Hong Kong) text to Jyutping. `Pipeline()` loads the
data directory bundled with this package; `load_user_dict` reads a word list
file; the command line is `python3 -m quillet` (see quillet.cli)."""
from __future__ import annotations

import os
from collections.abc import Mapping

try:
    from _quillet import PyPipeline
except ImportError as err:  # an in-tree package without its built extension
    raise ImportError(
        "the _quillet extension module cannot be imported; in a checkout, build it "
        "(cmake --build BUILD_DIR --target quillet_python) and put BUILD_DIR on "
        f"PYTHONPATH beside python/ ({err})") from err

from ._paths import (
    DataDirNotFoundError,
    bundled_data_dir,
    describe_load_failure,
    is_data_dir,
    resolve_data_dir,
)
from ._user_dict import UserDictError, load_user_dict

__all__ = [
    "DataDirNotFoundError",
    "Pipeline",
    "PyPipeline",
    "UserDictError",
    "bundled_data_dir",
    "is_data_dir",
    "load_user_dict",
]
__version__ = "0.1.0"


def Pipeline(  # noqa: N802 - named like the class it stands in for
    punc_norm: bool = True,
    data_dir: str | os.PathLike[str] | None = None,
    user_dict: Mapping[str, str] | None = None,
) -> PyPipeline:
    """A `PyPipeline` loaded from `data_dir`, or from the data directory
    bundled with this package when `data_dir` is None (unlike
    `PyPipeline()`, which looks beside the interpreter and then in the
    working directory). `user_dict` may be any mapping of word to reading.

    Raises DataDirNotFoundError when no directory is given and none is
    bundled, RuntimeError naming the directory (and the missing file, if
    one is) when it cannot be loaded, and TypeError for arguments of the
    wrong type."""
    path = resolve_data_dir(data_dir)
    if user_dict is not None and not isinstance(user_dict, dict):
        user_dict = dict(user_dict)
    try:
        return PyPipeline(punc_norm, path, user_dict)
    except RuntimeError as err:
        raise RuntimeError(describe_load_failure(path, err)) from err
