"""The type stubs: the extension's stub matches the built module, the
package type-checks strictly, and a checker sees real types, not Any."""
import subprocess
import sys

import pytest

from conftest import BUILD_DIR
from pkg_util import PYTHON_DIR, env_with_path

mypy = pytest.importorskip("mypy", reason="mypy is not installed (Debian: python3-mypy)")


def _mypy(*args, cwd=None):
    env = env_with_path(BUILD_DIR)
    env["MYPYPATH"] = str(PYTHON_DIR)
    return subprocess.run([sys.executable, "-m", *args], env=env, cwd=cwd,
                          capture_output=True, text=True, timeout=300)


def test_stub_matches_the_built_extension():
    result = _mypy("mypy.stubtest", "_quillet")
    assert result.returncode == 0, result.stdout + result.stderr


def test_package_checks_strictly(tmp_path):
    result = _mypy("mypy", "--strict", "--cache-dir", str(tmp_path / "cache"),
                   str(PYTHON_DIR / "quillet"))
    assert result.returncode == 0, result.stdout + result.stderr


# (a line of user code, what mypy must say about it: a revealed type or an error)
USES = [
    ("reveal_type(quillet.Pipeline().convert('x'))", 'Revealed type is "builtins.str"'),
    ("reveal_type(quillet.Pipeline().convert_candidates('x')[0][1])",
     'Revealed type is "builtins.list[builtins.str]"'),
    ("reveal_type(quillet.Pipeline().convert_detailed_batch(['x'])[0][0])",
     'Revealed type is "Tuple[builtins.str, builtins.str, builtins.str, builtins.str, builtins.str]"'),
    ("reveal_type(quillet.load_user_dict('words.tsv'))",
     'Revealed type is "builtins.dict[builtins.str, builtins.str]"'),
    ("quillet.Pipeline().convert(1)", 'incompatible type "int"'),
    ("quillet.Pipeline().convert_batch(('a',))", 'incompatible type "Tuple[str]"'),
    ("quillet.PyPipeline.from_dir('d', punc_norm=None)", 'incompatible type "None"'),
    ("quillet.Pipeline(data_dir=b'd')", 'incompatible type "bytes"'),
    ("reveal_type(quillet.to_ipa('si1'))", 'Revealed type is "builtins.str"'),
    ("reveal_type(quillet.syllable_parts('si1').tone)", 'Revealed type is "builtins.int"'),
    ("reveal_type(quillet.per_character([]))",
     'Revealed type is "builtins.list[Tuple[builtins.str, builtins.str]]"'),
    ("reveal_type(quillet.Pipeline.from_dir('d', letter_names=True))",
     'Revealed type is "quillet._pipeline.Pipeline"'),
    ("quillet.to_yale('si1', tone_marks=None)", 'incompatible type "None"'),
    ("quillet.Pipeline(inline_readings=1)", 'incompatible type "int"'),
    ("quillet.Pipeline(True, None, None, True)", "Too many positional arguments"),
    ("quillet.to_cantonese_pinyin(['si1'])", 'incompatible type "List[str]"'),
]


def test_checker_sees_the_real_types(tmp_path):
    source = "import quillet\n" + "".join(f"{code}\n" for code, _ in USES)
    (tmp_path / "use.py").write_text(source)
    result = _mypy("mypy", "--cache-dir", str(tmp_path / "cache"), "use.py", cwd=tmp_path)
    report = result.stdout.splitlines()
    for line_number, (code, needle) in enumerate(USES, 2):
        said = [r for r in report if r.startswith(f"use.py:{line_number}:")]
        assert any(needle in r for r in said), (code, said)
