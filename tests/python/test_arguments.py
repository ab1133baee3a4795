"""Argument binding and conversion: the exact TypeError texts, the notes,
None rules, accepted types, load failures and the default data directory."""
import collections
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import BUILD_DIR, make_data_dir

NOTE = "while processing '{}'"


class StrSub(str):
    pass


class DictSub(dict):
    pass


def _call(quillet, data_dir, target, args, kwargs):
    if target == "new":
        return quillet.PyPipeline(*args, **kwargs)
    if target == "from_dir":
        return quillet.PyPipeline.from_dir(*args, **kwargs)
    pipeline = quillet.PyPipeline(data_dir=str(data_dir))
    return getattr(pipeline, target)(*args, **kwargs)


# (target, args, kwargs, message)
BINDING_ERRORS = [
    ("new", (True, None, None, None), {},
     "PyPipeline.__new__() takes from 0 to 3 positional arguments but 4 were given"),
    ("new", (True,), {"punc_norm": False},
     "PyPipeline.__new__() got multiple values for argument 'punc_norm'"),
    ("new", (), {"data": "x"}, "PyPipeline.__new__() got an unexpected keyword argument 'data'"),
    ("from_dir", (), {}, "PyPipeline.from_dir() missing 1 required positional argument: 'dir'"),
    ("from_dir", (), {"punc_norm": True},
     "PyPipeline.from_dir() missing 1 required positional argument: 'dir'"),
    ("from_dir", ("a", True, 3), {},
     "PyPipeline.from_dir() takes from 1 to 2 positional arguments but 3 were given"),
    ("from_dir", ("a",), {"dir": "b"},
     "PyPipeline.from_dir() got multiple values for argument 'dir'"),
    ("convert", (), {}, "PyPipeline.convert() missing 1 required positional argument: 'text'"),
    ("convert", ("a", "b"), {},
     "PyPipeline.convert() takes 1 positional arguments but 2 were given"),
    ("convert", (), {"texts": "a"},
     "PyPipeline.convert() got an unexpected keyword argument 'texts'"),
    ("convert_detailed", ("a",), {"text": "b"},
     "PyPipeline.convert_detailed() got multiple values for argument 'text'"),
    ("convert_candidates", (), {},
     "PyPipeline.convert_candidates() missing 1 required positional argument: 'text'"),
    ("convert_batch", ([], []), {},
     "PyPipeline.convert_batch() takes 1 positional arguments but 2 were given"),
    ("convert_detailed_batch", (), {"text": []},
     "PyPipeline.convert_detailed_batch() got an unexpected keyword argument 'text'"),
    ("convert_candidates_batch", (), {},
     "PyPipeline.convert_candidates_batch() missing 1 required positional argument: 'texts'"),
    # Keywords are checked in the order given: the first bad one decides.
    ("new", (), {"zzz": 1, "punc_norm": 5},
     "PyPipeline.__new__() got an unexpected keyword argument 'zzz'"),
]


@pytest.mark.parametrize("target,args,kwargs,message", BINDING_ERRORS)
def test_binding_errors(quillet, data_dir, target, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        _call(quillet, data_dir, target, args, kwargs)
    assert str(info.value) == message
    assert not hasattr(info.value, "__notes__")


class FakeMapping(collections.abc.Mapping):
    def __getitem__(self, key):
        raise KeyError(key)

    def __iter__(self):
        return iter(())

    def __len__(self):
        return 0


# (target, args, kwargs, message, parameter with the note)
CONVERSION_ERRORS = [
    ("new", (1,), {}, "'int' object is not an instance of 'bool'", "punc_norm"),
    ("new", (None,), {}, "'None' is not an instance of 'bool'", "punc_norm"),
    ("new", (), {"punc_norm": "yes"}, "'str' object is not an instance of 'bool'", "punc_norm"),
    ("new", (True, pathlib.Path("/tmp")), {}, "'PosixPath' object is not an instance of 'str'",
     "data_dir"),
    ("new", (), {"data_dir": b"/tmp"}, "'bytes' object is not an instance of 'str'", "data_dir"),
    ("new", (), {"user_dict": [("a", "b")]}, "'list' object is not an instance of 'dict'",
     "user_dict"),
    ("new", (), {"user_dict": FakeMapping()}, "'FakeMapping' object is not an instance of 'dict'",
     "user_dict"),
    ("new", (), {"user_dict": {"我": 1}}, "'int' object is not an instance of 'str'", "user_dict"),
    ("new", (), {"user_dict": {1: "ngo5"}}, "'int' object is not an instance of 'str'",
     "user_dict"),
    ("new", (), {"user_dict": {"我": None}}, "'None' is not an instance of 'str'", "user_dict"),
    ("from_dir", (None,), {}, "'None' is not an instance of 'str'", "dir"),
    ("from_dir", (pathlib.Path("."),), {}, "'PosixPath' object is not an instance of 'str'", "dir"),
    ("from_dir", (".", 0), {}, "'int' object is not an instance of 'bool'", "punc_norm"),
    ("convert", (None,), {}, "'None' is not an instance of 'str'", "text"),
    ("convert_detailed", (b"abc",), {}, "'bytes' object is not an instance of 'str'", "text"),
    ("convert_candidates", (), {"text": 3.5}, "'float' object is not an instance of 'str'", "text"),
    ("convert_batch", (("a",),), {}, "'tuple' object is not an instance of 'list'", "texts"),
    ("convert_detailed_batch", (None,), {}, "'None' is not an instance of 'list'", "texts"),
    ("convert_candidates_batch", (iter(["a"]),), {},
     "'list_iterator' object is not an instance of 'list'", "texts"),
    ("convert_batch", (["a", 1],), {}, "'int' object is not an instance of 'str'", None),
    ("convert_detailed_batch", ([None],), {}, "'None' is not an instance of 'str'", None),
]


@pytest.mark.parametrize("target,args,kwargs,message,parameter", CONVERSION_ERRORS)
def test_conversion_errors(quillet, data_dir, target, args, kwargs, message, parameter):
    # A data directory that does not exist: an argument error must come first.
    if target == "new" and len(args) < 2 and "data_dir" not in kwargs:
        kwargs = {"data_dir": str(data_dir / "missing"), **kwargs}
    with pytest.raises(TypeError) as info:
        _call(quillet, data_dir, target, args, kwargs)
    assert str(info.value) == message
    if parameter is None:
        assert not hasattr(info.value, "__notes__")
    else:
        assert info.value.__notes__ == [NOTE.format(parameter)]


@pytest.mark.parametrize("target,parameter", [
    ("convert", "text"), ("convert_detailed", "text"), ("convert_candidates", "text"),
])
def test_lone_surrogate_text(pipeline, target, parameter):
    with pytest.raises(UnicodeEncodeError) as info:
        getattr(pipeline, target)("ab\ud800")
    assert info.value.__notes__ == [NOTE.format(parameter)]


def test_lone_surrogate_elsewhere(quillet, pipeline, data_dir):
    with pytest.raises(UnicodeEncodeError) as info:
        quillet.PyPipeline(data_dir="\udcff")
    assert info.value.__notes__ == [NOTE.format("data_dir")]
    with pytest.raises(UnicodeEncodeError) as info:
        quillet.PyPipeline(data_dir=str(data_dir), user_dict={"我": "\ud800"})
    assert info.value.__notes__ == [NOTE.format("user_dict")]
    with pytest.raises(UnicodeEncodeError) as info:
        pipeline.convert_batch(["ok", "\ud800"])
    assert not hasattr(info.value, "__notes__")


def test_accepted_forms(quillet, data_dir):
    numpy = pytest.importorskip("numpy")
    d = str(data_dir)
    plain = quillet.PyPipeline(data_dir=d).convert("我哋「好」")
    for make in [
        lambda: quillet.PyPipeline(True, d, None),
        lambda: quillet.PyPipeline(numpy.bool_(True), d),
        lambda: quillet.PyPipeline(punc_norm=True, user_dict=None, data_dir=StrSub(d)),
        lambda: quillet.PyPipeline(data_dir=d, user_dict={}),
        lambda: quillet.PyPipeline(data_dir=d, user_dict=collections.OrderedDict()),
        lambda: quillet.PyPipeline.from_dir(punc_norm=True, dir=d),
        lambda: quillet.PyPipeline.from_dir(StrSub(d), numpy.True_),
    ]:
        assert make().convert("我哋「好」") == plain
    for off in [quillet.PyPipeline(False, d), quillet.PyPipeline(numpy.bool_(False), d),
                quillet.PyPipeline.from_dir(d, False)]:
        assert off.convert("我哋「好」") != plain  # brackets are kept


def test_numpy_bool_must_read_as_bool(quillet, data_dir):
    numpy = pytest.importorskip("numpy")
    with pytest.raises(TypeError) as info:
        quillet.PyPipeline(numpy.int64(1), str(data_dir))
    assert str(info.value) == "'int64' object is not an instance of 'bool'"
    assert info.value.__notes__ == [NOTE.format("punc_norm")]


def test_text_by_keyword_and_empty(pipeline):
    assert pipeline.convert(text="") == ""
    assert pipeline.convert_detailed("") == []
    assert pipeline.convert_candidates(text="") == []
    assert pipeline.convert(StrSub("我哋")) == pipeline.convert("我哋")


def test_user_dict_effects(quillet, data_dir):
    d = str(data_dir)
    plain = quillet.PyPipeline(data_dir=d)
    custom = quillet.PyPipeline(data_dir=d, user_dict=DictSub({"我哋": "ngo5 hei6", "去": "hoei3"}))
    assert plain.convert("我哋去") == "ngo5 dei6 heoi3"
    assert custom.convert("我哋去") == "ngo5 hei6 hoei3"
    assert custom.convert_detailed("我哋")[0][1:] == ("ngo5 hei6", "yue", "certain", "user_dict")
    assert custom.convert_candidates("我哋")[0][1] == ["ngo5 hei6"]
    # Later changes to the caller's dict do not reach the pipeline.
    source = {"好": "hou3"}
    frozen = quillet.PyPipeline(data_dir=d, user_dict=source)
    source["好"] = "zzz9"
    assert frozen.convert("好") == "hou3"


def test_results_shapes(pipeline):
    detailed = pipeline.convert_detailed("我哋去行山 OK!")
    candidates = pipeline.convert_candidates("我哋去行山 OK!")
    assert len(detailed) == len(candidates) > 0
    for d, c in zip(detailed, candidates):
        assert type(d) is tuple and len(d) == 5 and all(type(x) is str for x in d)
        assert type(c) is tuple and len(c) == 5 and type(c[1]) is list and c[1]
        assert all(type(x) is str for x in c[1])
        assert c[1][0] == d[1] and c[0] == d[0] and c[2:] == d[2:]
    assert [t[0] for t in detailed][:2] == ["我哋", "去"]
    assert pipeline.convert_candidates("行")[0][1] == ["hang4", "haang4", "hong4"]


def test_missing_word_bin(quillet, tmp_path):
    with pytest.raises(RuntimeError) as info:
        quillet.PyPipeline(data_dir=str(tmp_path))
    assert str(info.value) == "No such file or directory (os error 2)"
    assert not hasattr(info.value, "__notes__")
    with pytest.raises(RuntimeError) as info:
        quillet.PyPipeline.from_dir(str(tmp_path / "nope"))
    assert str(info.value) == "No such file or directory (os error 2)"


@pytest.mark.parametrize("content,message", [
    (b"CJYP", "file too short: 4 bytes (need at least 16)"),
    (b"XJYP" + bytes(12), "bad magic: expected [67, 74, 89, 80], got [88, 74, 89, 80]"),
    (b"CJYP\x02\x00\x00\x00" + bytes(8), "unsupported version 2 (expected 1)"),
])
def test_malformed_word_bin(quillet, tmp_path, content, message):
    make_data_dir(tmp_path)
    (tmp_path / "word.bin").write_bytes(content)
    with pytest.raises(RuntimeError) as info:
        quillet.PyPipeline.from_dir(str(tmp_path))
    assert str(info.value) == message


DEFAULT_DIR_SCRIPT = """
import sys
sys.path.insert(0, sys.argv[1])
import _quillet
try:
    print(_quillet.PyPipeline().convert("我哋"))
except RuntimeError as e:
    print("RuntimeError:", e)
"""


def _run_in(cwd, executable=sys.executable):
    out = subprocess.run([executable, "-c", DEFAULT_DIR_SCRIPT, str(BUILD_DIR)], cwd=cwd,
                         capture_output=True, text=True, timeout=60, check=True)
    return out.stdout.strip()


def test_default_data_dir_is_cwd_data(tmp_path):
    make_data_dir(tmp_path / "data", words={"我哋": "ngo5 dei9"})
    assert _run_in(tmp_path) == "ngo5 dei9"
    empty = tmp_path / "empty"
    empty.mkdir()
    assert _run_in(empty) == "RuntimeError: No such file or directory (os error 2)"


def test_default_data_dir_beside_executable(tmp_path):
    # A symbolic link to the interpreter: /proc/self/exe names the real
    # file, so copy the interpreter instead (it is small: libpython is shared).
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    exe = bin_dir / "python3"
    exe.write_bytes(pathlib.Path(os.path.realpath(sys.executable)).read_bytes())
    exe.chmod(0o755)
    make_data_dir(tmp_path / "cwd" / "data", words={"我哋": "ngo5 dei9"})
    make_data_dir(bin_dir / "data", words={"我哋": "ngo5 dei7"})
    try:
        result = _run_in(tmp_path / "cwd", str(exe))
    except subprocess.CalledProcessError as e:
        pytest.skip(f"copied interpreter does not start: {e.stderr[-200:]}")
    assert result == "ngo5 dei7"
    # A plain file named data beside the executable is chosen, and fails.
    for f in (bin_dir / "data").iterdir():
        f.unlink()
    (bin_dir / "data").rmdir()
    (bin_dir / "data").write_text("not a directory")
    assert _run_in(tmp_path / "cwd", str(exe)) == "RuntimeError: Not a directory (os error 20)"
