"""User dictionary files: what a good file gives, and that every malformed
line is reported with its file and line number."""
import pytest

import pkg_util  # noqa: F401 - puts the package on sys.path
from quillet import UserDictError, load_user_dict

# (file bytes, the dict it gives)
GOOD_FILES = [
    (b"", {}),
    (b"\xe5\xa4\xaa\xe5\x8f\xa4\xe5\x9f\x8e\ttaai3 gu2 sing4\n", {"太古城": "taai3 gu2 sing4"}),
    ("# words\n\n   \n太古城\ttaai3 gu2 sing4".encode(), {"太古城": "taai3 gu2 sing4"}),
    ("\ufeff沙田\tsaa1 tin4\r\n".encode(), {"沙田": "saa1 tin4"}),
    (" 沙田 \t saa1 tin4 \n".encode(), {"沙田": "saa1 tin4"}),
    ("沙田\tsaa1 tin4\n沙田\tsaa1 tin2\n".encode(), {"沙田": "saa1 tin2"}),
    ("m\tm4\nng\tng5\n".encode(), {"m": "m4", "ng": "ng5"}),
]


@pytest.mark.parametrize("content,expected", GOOD_FILES)
def test_good_files(tmp_path, content, expected):
    path = tmp_path / "words.tsv"
    path.write_bytes(content)
    assert load_user_dict(path) == expected, content


# (file bytes, line at fault, text the reason must contain)
BAD_FILES = [
    ("沙田 saa1 tin4\n".encode(), 1, "no tab"),
    ("沙田\tsaa1 tin4\n# ok\n\n太古城\ttaai3\tgu2\n".encode(), 4, "3 tab-separated fields"),
    ("\tsaa1 tin4\n".encode(), 1, "empty word"),
    ("沙田\t\n".encode(), 1, "empty reading"),
    ("沙田\t  \n".encode(), 1, "empty reading"),
    ("沙 田\tsaa1 tin4\n".encode(), 1, "white space"),
    ("沙田\tSaa1 tin4\n".encode(), 1, "not Jyutping"),
    ("沙田\tsaa1  tin4\n".encode(), 1, "not Jyutping"),
    ("沙田\tsaa tin4\n".encode(), 1, "not Jyutping"),
    ("沙田\tsaa7 tin4\n".encode(), 1, "not Jyutping"),
    ("沙田\tsaa1,tin4\n".encode(), 1, "not Jyutping"),
    ("沙田\tsaa1 tin4\n".encode() + b"\xe6\xb2\x99\xff\tsaa1\n", 2, "not valid UTF-8"),
    (b"\xef\xbb", 1, "not valid UTF-8"),
]


@pytest.mark.parametrize("content,line,reason", BAD_FILES)
def test_malformed_lines_are_named(tmp_path, content, line, reason):
    path = tmp_path / "words.tsv"
    path.write_bytes(content)
    with pytest.raises(UserDictError) as err:
        load_user_dict(path)
    e = err.value
    assert (e.path, e.line) == (str(path), line) and reason in e.reason, (content, e.line, e.reason)
    assert str(e).startswith(f"{path}:{line}: "), str(e)


@pytest.mark.parametrize("kind", ["missing", "directory"])
def test_unreadable_files(tmp_path, kind):
    path = tmp_path / "words.tsv"
    if kind == "directory":
        path.mkdir()
    with pytest.raises(UserDictError) as err:
        load_user_dict(path)
    assert err.value.line is None and str(err.value).startswith(f"{path}: cannot read"), str(err.value)
