"""What Python sees of the module and the class: names, docstrings,
signatures, method order, and that the class is final and created once."""
import importlib
import os
import inspect
import sys

import pytest

CANDIDATES_DOC = (
    "Convert text to a list of (token, candidate_readings, lang,\n"
    "confidence, source) tuples. candidate_readings is rank-ordered\n"
    "(most-likely first); it has more than one entry only where the\n"
    "bundled data has 2+ known readings for that token (or, for OOV\n"
    "single chars, that character). confidence is \"certain\" (no\n"
    "ambiguity), \"ranked\" (ToJyutping's own context-aware ranking), or\n"
    "\"tied\" (rime-cantonese arbitrary tie-break \u2014 no real preference\n"
    "signal; also the default when the confidence sidecar has no entry\n"
    "for an ambiguous token). No numeric probability is exposed \u2014 no\n"
    "bundled source computes one honestly. source names the data layer\n"
    "that produced candidate_readings[0]: \"rime\", \"tojyutping\",\n"
    "\"tojyutping_tiebreak\", \"oral_hk\", \"unihan\", \"user_dict\",\n"
    "\"passthrough\", \"char_fallback\", \"unresolved\", or \"unknown\"."
)
DETAILED_DOC = (
    "Convert text to a list of (token, jyutping, lang, confidence, source)\n"
    "tuples. lang is \"yue\" (Cantonese CJK), \"en\" (Latin/English), or\n"
    "\"punct\" (punctuation/symbol). jyutping is always the rank-0\n"
    "(most-likely) reading. confidence/source are described on\n"
    "convert_candidates()."
)

# (method, text signature, docstring after the signature; None = free text)
METHODS = [
    ("convert", "($self, text)", "Convert a single string to Jyutping-annotated output."),
    ("convert_batch", "($self, texts)", None),
    ("convert_detailed", "($self, text)", DETAILED_DOC),
    ("convert_detailed_batch", "($self, texts)", None),
    ("convert_candidates", "($self, text)", CANDIDATES_DOC),
    ("convert_candidates_batch", "($self, texts)", None),
    ("from_dir", "(dir, punc_norm=True)",
     "Create a Pipeline loading dict files from an explicit directory path."),
]


def test_module_attributes(quillet):
    assert quillet.__name__ == "_quillet"
    assert quillet.__doc__ == ""
    assert quillet.__all__ == ["PyPipeline"]
    assert type(quillet.__all__) is list
    public = sorted(n for n in dir(quillet) if not n.startswith("_"))
    assert public == ["PyPipeline"]


def test_module_file_is_stable_abi(quillet):
    assert quillet.__file__.endswith("_quillet.abi3.so")


def test_class_identity(quillet):
    cls = quillet.PyPipeline
    assert cls.__module__ == "builtins"
    assert cls.__name__ == "PyPipeline"
    assert cls.__qualname__ == "PyPipeline"
    assert cls.__bases__ == (object,)
    assert cls.__repr__ is object.__repr__
    assert cls.__eq__ is object.__eq__
    assert cls.__hash__ is object.__hash__


def test_class_cannot_be_subclassed(quillet):
    with pytest.raises(TypeError, match="not an acceptable base type"):
        type("Derived", (quillet.PyPipeline,), {})


def test_class_signature_and_doc(quillet):
    cls = quillet.PyPipeline
    assert str(inspect.signature(cls)) == "(punc_norm=True, data_dir=None, user_dict=None)"
    assert cls.__text_signature__ == "(punc_norm=True, data_dir=None, user_dict=None)"
    doc = cls.__doc__
    assert "\n" not in doc and "grapheme-to-phoneme" in doc and "Python" in doc


def test_method_table_order(quillet):
    own = [n for n in vars(quillet.PyPipeline) if not n.startswith("__")]
    assert own == [m for m, _, _ in METHODS]


@pytest.mark.parametrize("name,text_signature,doc", METHODS)
def test_method_docstring_and_signature(quillet, name, text_signature, doc):
    method = getattr(quillet.PyPipeline, name)
    assert method.__text_signature__ == text_signature
    params = text_signature.strip("()").replace("$", "")
    assert str(inspect.signature(method)).replace(", /", "") == f"({params})"
    if doc is not None:
        assert method.__doc__ == doc
    else:
        lines = method.__doc__.split("\n")
        assert "in parallel" in lines[0]
        if name != "convert_batch":
            base = name[: -len("_batch")]
            assert lines == [lines[0], f"`{base}()`."]
            assert lines[0].endswith("same shape as")


def test_from_dir_is_static(quillet, data_dir, pipeline):
    assert isinstance(inspect.getattr_static(quillet.PyPipeline, "from_dir"), staticmethod)
    other = pipeline.from_dir(str(data_dir))
    assert type(other) is quillet.PyPipeline and other is not pipeline


def test_reimport_reuses_the_class(quillet):
    cls = quillet.PyPipeline
    saved = sys.modules.pop("_quillet")
    try:
        again = importlib.import_module("_quillet")
        assert again is not saved
        assert again.PyPipeline is cls
        assert again.__all__ == ["PyPipeline"]
    finally:
        sys.modules["_quillet"] = saved


def test_instances_have_no_attributes(pipeline):
    with pytest.raises(AttributeError):
        pipeline.anything = 1
    assert not hasattr(pipeline, "__dict__")


def test_object_new_cannot_bypass_the_constructor(quillet):
    # An instance without a loaded Pipeline must be impossible to make.
    with pytest.raises(TypeError, match="not safe"):
        object.__new__(quillet.PyPipeline)


def test_imports_in_the_python_first_on_path(quillet, data_dir):
    import shutil
    import subprocess
    other = shutil.which("python3")
    if other is None or os.path.realpath(other) == os.path.realpath(sys.executable):
        pytest.skip("no second python3 on PATH")
    script = ("import sys; sys.path.insert(0, sys.argv[1]); import _quillet; "
              "print(_quillet.PyPipeline(data_dir=sys.argv[2]).convert_batch(['我哋', '好']))")
    out = subprocess.run([other, "-c", script, os.path.dirname(quillet.__file__), str(data_dir)],
                         capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "['ngo5 dei6', 'hou2']"
