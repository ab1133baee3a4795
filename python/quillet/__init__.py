"""Quillet: Cantonese (Hong Kong) text to Jyutping. `Pipeline()` loads the
data directory bundled with this package (with inline readings and letter
names as options); `to_ipa`, `to_yale` and `to_cantonese_pinyin` respell
readings; `syllable_parts` takes a syllable apart; `per_character` gives
one reading per character; `load_user_dict` reads a word list file. The
command line is `python3 -m quillet` (see quillet.cli)."""
from __future__ import annotations

try:
    from _quillet import PyPipeline
except ImportError as err:  # an in-tree package without its built extension
    raise ImportError(
        "the _quillet extension module cannot be imported; in a checkout, build it "
        "(cmake --build BUILD_DIR --target quillet_python) and put BUILD_DIR on "
        f"PYTHONPATH beside python/ ({err})") from err

from ._jyutping import SyllableParts, syllable_parts
from ._paths import DataDirNotFoundError, bundled_data_dir, is_data_dir
from ._per_character import per_character
from ._pipeline import Pipeline
from ._romanization import to_cantonese_pinyin, to_ipa, to_yale
from ._user_dict import UserDictError, load_user_dict

__all__ = [
    "DataDirNotFoundError",
    "Pipeline",
    "PyPipeline",
    "SyllableParts",
    "UserDictError",
    "bundled_data_dir",
    "is_data_dir",
    "load_user_dict",
    "per_character",
    "syllable_parts",
    "to_cantonese_pinyin",
    "to_ipa",
    "to_yale",
]
__version__ = "0.1.0"
