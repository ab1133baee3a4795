"""Runs the usage examples of README.md so that they cannot rot: the Python
examples as doctests, the command-line examples through bash. With the real
data directory their printed output must match; without it (as in CI) they
run against a small data directory and must merely succeed."""
import contextlib
import doctest
import io
import os
import re
import stat
import subprocess
import sys

from conftest import ROOT
from pkg_util import REAL_DATA, env_with_path, in_tree_env, installed_copy

import quillet
from quillet import _paths

HAVE_REAL_DATA = (REAL_DATA / "word.bin").is_file() and (REAL_DATA / "char.bin").is_file()


def usage_blocks():
    """[(language, code)] of the fenced blocks between the usage markers."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    begin, end = text.index("<!-- usage:begin -->"), text.index("<!-- usage:end -->")
    return re.findall(r"^```(\w+)\n(.*?)^```$", text[begin:end], flags=re.M | re.S)


def console_steps(block):
    """[(command, expected output)] of a console block."""
    steps = []
    for line in block.splitlines(keepends=True):
        if line.startswith("$ "):
            steps.append([line[2:].rstrip("\n"), ""])
        else:
            steps[-1][1] += line
    return [tuple(step) for step in steps]


def test_every_promised_example_is_there():
    blocks = usage_blocks()
    code = "\n".join(body for _, body in blocks)
    languages = [lang for lang, _ in blocks]
    assert "sh" in languages and "console" in languages and languages.count("pycon") >= 5
    for needle in ["python3 -m venv", "quillet.Pipeline()", ".convert(", ".convert_detailed(",
                   ".convert_candidates(", "user_dict=", "convert_batch(", "quillet -i ",
                   "quillet.to_ipa(", "quillet.to_yale(", "tone_marks=False",
                   "quillet.to_cantonese_pinyin(", "quillet.syllable_parts(",
                   "quillet.per_character(", "inline_readings=True", "letter_names=True",
                   "dask.bag", 'scheduler="processes"', "quillet -r ", "-f chars",
                   "--inline-readings", "--letter-names"]:
        assert needle in code, needle


def test_python_examples(monkeypatch, tmp_path):
    """All pycon blocks in order, sharing one namespace as a reader's session does."""
    with contextlib.ExitStack() as stack:
        _run_python_examples(monkeypatch, tmp_path, stack)


def _run_python_examples(monkeypatch, tmp_path, stack):
    monkeypatch.chdir(tmp_path)
    if not HAVE_REAL_DATA:
        from conftest import make_data_dir
        small = str(make_data_dir(tmp_path / "data"))
        monkeypatch.setattr(_paths, "bundled_data_dir", lambda *a: small)
        # Dask's worker processes must see the small directory too: forked,
        # they inherit the patch (spawned ones would look for the real data).
        import dask
        stack.enter_context(dask.config.set({"multiprocessing.context": "fork"}))
    parser = doctest.DocTestParser()
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    namespace = {}
    for number, (lang, body) in enumerate(usage_blocks(), 1):
        if lang != "pycon":
            continue
        test = parser.get_doctest(body, namespace, f"README block {number}", "README.md", 0)
        if HAVE_REAL_DATA:
            report = io.StringIO()
            result = runner.run(test, out=report.write, clear_globs=False)
            assert result.failed == 0, report.getvalue()
        else:
            for example in test.examples:
                with contextlib.redirect_stdout(io.StringIO()):
                    exec(compile(example.source, f"README block {number}", "single"), test.globs)
        namespace = test.globs  # a DocTest works on a copy; the next block goes on from it
    assert isinstance(namespace["pipeline"], quillet.Pipeline)


def test_command_line_examples(tmp_path):
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    wrapper = bin_dir / "quillet"
    wrapper.write_text(f'#!/bin/sh\nexec "{sys.executable}" -m quillet "$@"\n')
    wrapper.chmod(wrapper.stat().st_mode | stat.S_IXUSR)
    env = in_tree_env() if HAVE_REAL_DATA else env_with_path(installed_copy(tmp_path), ROOT)
    env["PATH"] = f"{bin_dir}{os.pathsep}{env['PATH']}"
    work = tmp_path / "work"
    work.mkdir()
    ran = 0
    for lang, body in usage_blocks():
        if lang != "console":
            continue
        for command, expected in console_steps(body):
            result = subprocess.run(["bash", "-c", "exec 2>&1\n" + command], cwd=work, env=env,
                                    capture_output=True, timeout=120)
            output = result.stdout.decode("utf-8", "replace")
            assert result.returncode == 0, (command, output)
            if HAVE_REAL_DATA:
                assert output == expected, (command, output, expected)
            ran += 1
    assert ran >= 5
