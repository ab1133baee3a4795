"""The command line, run as a subprocess: its output formats, its inputs,
its one-line errors and exit codes, the progress bar, and streaming."""
import json
import os
import pty
import select
import shutil
import signal
import subprocess
import sys

import pytest

from conftest import CHAR_CANDIDATES, make_data_dir
from pkg_util import env_with_path, in_tree_env, installed_copy, run_cli


@pytest.fixture(scope="module")
def small(tmp_path_factory):
    return str(make_data_dir(tmp_path_factory.mktemp("cli-data"),
                             extra={"char_candidates.bin": CHAR_CANDIDATES}))


HEADER = "line\ttoken\tjyutping\tlang\tconfidence\tsource\n"

# (name, arguments after --data-dir, standard input, expected standard output)
OUTPUTS = [
    ("text arguments", ["我哋今日去行山", "ok 香港"], None,
     "ngo5 dei6 gam1 jat6 heoi3 haang4 saan1\nok hoeng1 gong2\n"),
    ("a newline inside an argument gives two lines", ["香港\n我哋"], None,
     "hoeng1 gong2\nngo5 dei6\n"),
    ("empty argument gives an empty line", [""], None, "\n"),
    ("standard input, CRLF and no final newline", [], "香港\r\n\n食飯", "hoeng1 gong2\n\nsik6 faan6\n"),
    ("byte-order mark at the start of input", [], "\ufeff我", "ngo5\n"),
    ("dash reads standard input", ["-i", "-"], "行山\n", "haang4 saan1\n"),
    ("punctuation folded by default", ["「我」"], None, "ngo5\n"),
    ("--no-punc-norm keeps it", ["--no-punc-norm", "「我」"], None, "「 ngo5 」\n"),
    ("tsv: header then one row per token", ["-f", "tsv", "銀行 ok", "", "行"], None,
     HEADER + "1\t銀行\tngan4 hong4\tyue\tcertain\tunknown\n"
     "1\tok\tok\ten\tcertain\tpassthrough\n"
     "3\t行\thang4\tyue\ttied\tunknown\n"),
    ("tsv of no input is the header alone", ["-f", "tsv"], "", HEADER),
    ("json: one object per line with candidates", ["-f", "json", "行，", ""], None,
     json.dumps({"line": 1, "text": "行，", "tokens": [
         {"token": "行", "candidates": ["hang4", "haang4", "hong4"], "lang": "yue",
          "confidence": "tied", "source": "unknown"},
         {"token": "，", "candidates": ["，"], "lang": "punct", "confidence": "certain",
          "source": "passthrough"}]}, ensure_ascii=False) + "\n"
     + '{"line": 2, "text": "", "tokens": []}\n'),
    ("batch size one gives the same lines", ["--batch-size", "1", "香港", "今日"], None,
     "hoeng1 gong2\ngam1 jat6\n"),
]


@pytest.mark.parametrize("name,args,stdin,expected", OUTPUTS, ids=[row[0] for row in OUTPUTS])
def test_outputs(small, name, args, stdin, expected):
    result = run_cli("--data-dir", small, *args, input=stdin if stdin is not None else "")
    assert (result.returncode, result.stdout.decode(), result.stderr) == (0, expected, b""), name


def test_files_are_read_in_order_after_text_arguments(small, tmp_path):
    (tmp_path / "a.txt").write_text("香港\n食飯\n", encoding="utf-8")
    (tmp_path / "b.txt").write_text("行山\n", encoding="utf-8")
    result = run_cli("--data-dir", small, "-f", "tsv", "我", "-i", "a.txt", "--input", "b.txt",
                     cwd=tmp_path)
    rows = [line.split("\t")[:2] for line in result.stdout.decode().splitlines()[1:]]
    assert rows == [["1", "我"], ["2", "香港"], ["3", "食飯"], ["4", "行山"]], result.stderr


def test_user_dict_file_applies(small, tmp_path):
    (tmp_path / "words.tsv").write_text("# mine\n食飯\tsik6 maan6\n", encoding="utf-8")
    result = run_cli("--data-dir", small, "--user-dict", str(tmp_path / "words.tsv"),
                     "-f", "tsv", "我哋食飯")
    assert result.stdout.decode().splitlines()[2] == "1\t食飯\tsik6 maan6\tyue\tcertain\tuser_dict"


# (name, files to create {name: bytes}, arguments, exit status, text standard error must hold)
ERRORS = [
    ("missing input file", {}, ["-i", "nope.txt"], 1, "quillet: cannot read nope.txt: No such file"),
    ("input is a directory", {"d/x": b""}, ["-i", "d"], 1, "quillet: cannot read d: Is a directory"),
    ("input not UTF-8 names the line", {"in.txt": "香港\n".encode() + b"\xff\xfe\n"},
     ["-i", "in.txt"], 1, "quillet: in.txt:2: not valid UTF-8"),
    ("argument not UTF-8", {}, [b"\xff"], 1, "quillet: TEXT argument 1 is not valid UTF-8"),
    ("user dictionary missing", {}, ["--user-dict", "u.tsv", "x"], 1,
     "quillet: user dictionary u.tsv: cannot read"),
    ("user dictionary line without a tab", {"u.tsv": "香港\thoeng1 gong2\n食飯 sik6\n".encode()},
     ["--user-dict", "u.tsv", "x"], 1, "quillet: user dictionary u.tsv:2: expected WORD<TAB>READING"),
    ("user dictionary reading not Jyutping", {"u.tsv": "香港\tHoeng gong\n".encode()},
     ["--user-dict", "u.tsv", "x"], 1, "u.tsv:1: reading 'Hoeng gong'"),
    ("data directory missing", {}, ["--data-dir", "nodata", "x"], 1,
     "quillet: data directory 'nodata' does not exist"),
    ("data directory without word.bin", {"empty/readme": b""}, ["--data-dir", "empty", "x"], 1,
     "quillet: data directory 'empty' has no word.bin"),
    ("unknown format", {}, ["-f", "xml", "x"], 2, "invalid choice: 'xml'"),
    ("batch size zero", {}, ["--batch-size", "0", "x"], 2, "must be at least 1"),
    ("unknown option", {}, ["--frobnicate"], 2, "unrecognized arguments: --frobnicate"),
]


@pytest.mark.parametrize("name,files,args,status,needle", ERRORS, ids=[row[0] for row in ERRORS])
def test_errors_are_one_clear_line(small, tmp_path, name, files, args, status, needle):
    for rel, content in files.items():
        (tmp_path / rel).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / rel).write_bytes(content)
    if "--data-dir" not in args:
        args = ["--data-dir", small, *args]
    result = run_cli(*args, cwd=tmp_path)
    err = result.stderr.decode("utf-8", "replace")
    assert result.returncode == status and needle in err, (name, result.returncode, err)
    assert "Traceback" not in err, (name, err)
    assert err.count("\n") == 1, (name, err)


def test_missing_bundled_data_is_reported(tmp_path):
    # An installed layout whose package carries no data: nothing to fall back on.
    site = installed_copy(tmp_path)
    shutil.rmtree(site / "quillet" / "data")
    result = run_cli("x", env=env_with_path(site), cwd=tmp_path)
    err = result.stderr.decode()
    assert result.returncode == 1 and err.startswith("quillet: no Quillet data directory found"), err
    assert "Traceback" not in err


def _run_with_stderr_on_a_terminal(args, stdin_bytes):
    """Runs the command with standard error on a pseudo-terminal; returns
    (exit status, standard output, what the terminal received)."""
    leader, follower = pty.openpty()
    proc = subprocess.Popen([sys.executable, "-m", "quillet", *args], env=in_tree_env(),
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=follower)
    os.close(follower)
    out, _ = proc.communicate(stdin_bytes, timeout=120)
    seen = b""
    while select.select([leader], [], [], 0.5)[0]:
        try:
            chunk = os.read(leader, 65536)
        except OSError:
            break
        if not chunk:
            break
        seen += chunk
    os.close(leader)
    return proc.returncode, out, seen.decode("utf-8", "replace")


def test_progress_bar_only_on_a_terminal(small, tmp_path):
    path = tmp_path / "in.txt"
    path.write_text("香港\n" * 5000, encoding="utf-8")
    args = ["--data-dir", small, "--batch-size", "100", "-i", str(path)]
    status, out, terminal = _run_with_stderr_on_a_terminal(args, b"")
    assert status == 0 and out.count(b"\n") == 5000
    # Drawn at most ten times a second, so only the first drawing is certain.
    assert terminal.startswith("\r\x1b[Kquillet: [") and "% 100 lines" in terminal, terminal
    assert terminal.endswith("\r\x1b[K"), repr(terminal[-40:])  # erased at the end

    status, _, terminal = _run_with_stderr_on_a_terminal([*args, "--no-progress"], b"")
    assert status == 0 and terminal == ""
    plain = run_cli(*args)
    assert plain.returncode == 0 and plain.stderr == b""


def test_output_streams_while_input_is_still_open(small):
    """The first batch comes out before standard input has ended."""
    proc = subprocess.Popen([sys.executable, "-m", "quillet", "--data-dir", small,
                             "--batch-size", "2"], env=in_tree_env(),
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        proc.stdin.write("香港\n今日\n".encode())
        proc.stdin.flush()
        ready = select.select([proc.stdout], [], [], 30)[0]
        assert ready, "no output while the input stayed open"
        assert proc.stdout.readline().decode() == "hoeng1 gong2\n"
        assert proc.stdout.readline().decode() == "gam1 jat6\n"
        proc.stdin.write("食飯\n".encode())
        proc.stdin.close()
        assert proc.stdout.read().decode() == "sik6 faan6\n"
        assert proc.wait(timeout=30) == 0
    finally:
        proc.kill()
        proc.wait()
        proc.stdout.close()
        proc.stderr.close()


def _peak_rss_kib(args, cwd):
    """Runs the command and returns (exit status, output lines, peak RSS in KiB)."""
    proc = subprocess.Popen([sys.executable, "-m", "quillet", *args], env=in_tree_env(), cwd=cwd,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    lines = 0
    for _ in proc.stdout:
        lines += 1
    proc.stdout.close()
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    return proc.returncode, lines, usage.ru_maxrss


def test_large_file_streams_with_flat_memory(small, tmp_path):
    line = "我哋今日去行山，食飯 ok 香港銀行行山今日\n"
    (tmp_path / "small.txt").write_text(line * 2_000, encoding="utf-8")
    (tmp_path / "large.txt").write_text(line * 60_000, encoding="utf-8")  # 840,000 tokens
    args = ["--data-dir", small, "-f", "tsv", "-i"]
    status, rows_small, rss_small = _peak_rss_kib([*args, "small.txt"], tmp_path)
    assert status == 0
    status, rows_large, rss_large = _peak_rss_kib([*args, "large.txt"], tmp_path)
    assert status == 0
    tokens_per_line = (rows_small - 1) // 2_000
    assert rows_large == 1 + tokens_per_line * 60_000
    # Holding every token of the large file at once would take over 200 MB.
    assert rss_large - rss_small < 16 * 1024, (rss_small, rss_large)


def test_closed_output_pipe_ends_quietly(small, tmp_path):
    (tmp_path / "in.txt").write_text("香港\n" * 200_000, encoding="utf-8")
    cmd = (f"{sys.executable} -m quillet --data-dir {small} -i in.txt | head -n 1; "
           "echo status=${PIPESTATUS[0]} >&2")
    result = subprocess.run(["bash", "-c", cmd], env=in_tree_env(), cwd=tmp_path,
                            capture_output=True, timeout=120)
    assert result.stdout == b"hoeng1 gong2\n"
    assert result.stderr.decode().strip() == "status=141", result.stderr.decode()


def test_interrupt_exits_130_without_traceback(small):
    # A runner started in the background (no job control) ignores SIGINT, and
    # its children inherit that; the child gets the default back, as a shell
    # in the foreground would give it.
    proc = subprocess.Popen([sys.executable, "-m", "quillet", "--data-dir", small,
                             "--batch-size", "1"], env=in_tree_env(), stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    proc.stdin.write("香港\n".encode())
    proc.stdin.flush()
    assert proc.stdout.readline() == "hoeng1 gong2\n".encode()  # running, now waits for input
    proc.send_signal(signal.SIGINT)
    out, err = proc.communicate(timeout=30)
    assert proc.returncode == 130 and err.decode() == "quillet: interrupted\n", err
