"""The command line's reading options: --romanization in every format,
-f chars, --inline-readings and --letter-names, and their usage errors."""
import json

import pytest

from conftest import CHAR_CANDIDATES, make_data_dir
from pkg_util import run_cli

import quillet


@pytest.fixture(scope="module")
def small(tmp_path_factory):
    return str(make_data_dir(tmp_path_factory.mktemp("cli-readings-data"),
                             extra={"char_candidates.bin": CHAR_CANDIDATES}))


def _row(*fields):
    return "\t".join(fields) + "\n"


# (name, arguments after --data-dir, expected standard output)
OUTPUTS = [
    ("ipa text", ["-r", "ipa", "香港 ok", "我哋"], "hœːŋ˥ kɔːŋ˧˥ ok\nŋɔː˩˧ tei˨\n"),
    ("yale text", ["--romanization", "yale", "香港銀行"], "hēung góng ngàhn hòhng\n"),
    ("pinyin text", ["-r", "pinyin", "食飯"], "sik9 faan6\n"),
    ("jyutping is the default", ["-r", "jyutping", "食飯"], "sik6 faan6\n"),
    ("ipa tsv names its column", ["-f", "tsv", "-r", "ipa", "食飯，"],
     _row("line", "token", "ipa", "lang", "confidence", "source")
     + _row("1", "食飯", "sɪk˨ faːn˨", "yue", "certain", "unknown")
     + _row("1", "，", "，", "punct", "certain", "passthrough")),
    ("yale json respells every candidate", ["-f", "json", "-r", "yale", "行"],
     json.dumps({"line": 1, "text": "行", "tokens": [
         {"token": "行", "candidates": ["hàhng", "hàahng", "hòhng"], "lang": "yue",
          "confidence": "tied", "source": "unknown"}]}, ensure_ascii=False) + "\n"),
    ("chars: one row per character", ["-f", "chars", "我哋 ok", "", "香港"],
     _row("line", "character", "jyutping") + _row("1", "我", "ngo5") + _row("1", "哋", "dei6")
     + _row("1", "ok", "ok") + _row("3", "香", "hoeng1") + _row("3", "港", "gong2")),
    ("chars in pinyin", ["-f", "chars", "-r", "pinyin", "食"],
     _row("line", "character", "pinyin") + _row("1", "食", "sik9")),
    ("inline readings", ["--inline-readings", "行(haang4)山", "香(hoeng2）港"],
     "haang4 saan1\nhoeng1 ( hoeng ji6 ） gong2\n"),
    ("inline readings in tsv split the word", ["--inline-readings", "-f", "tsv", "香港(gong3)"],
     _row("line", "token", "jyutping", "lang", "confidence", "source")
     + _row("1", "香", "hoeng1", "yue", "certain", "unknown")
     + _row("1", "港", "gong3", "yue", "certain", "inline_reading")),
    ("letter names", ["--letter-names", "OK 香港 iPhone ABCDEF"],
     "ou1 kei1 hoeng1 gong2 iPhone ABCDEF\n"),
    ("letter names by letter in chars, in yale", ["--letter-names", "-f", "chars", "-r", "yale", "AV"],
     _row("line", "character", "yale") + _row("1", "A", "ēi") + _row("1", "V", "wī")),
    ("without the options annotations and letters are text", ["-f", "chars", "行(haang4) AV"],
     _row("line", "character", "jyutping") + _row("1", "行", "hang4") + _row("1", "(", "(")
     + _row("1", "haang", "haang") + _row("1", "四", "四") + _row("1", ")", ")")
     + _row("1", "AV", "AV")),
]


@pytest.mark.parametrize("name,args,expected", OUTPUTS, ids=[row[0] for row in OUTPUTS])
def test_outputs(small, name, args, expected):
    result = run_cli("--data-dir", small, *args, input="")
    assert (result.returncode, result.stdout.decode(), result.stderr) == (0, expected, b""), name


def test_every_format_takes_every_romanization(small):
    """The reading fields of each format are the library's respelling of
    the Jyutping ones, and nothing else changes."""
    spell = {"ipa": quillet.to_ipa, "yale": quillet.to_yale, "pinyin": quillet.to_cantonese_pinyin}
    texts = ["我哋今日去行山，ok", "香港銀行"]
    for fmt in ("text", "tsv", "json", "chars"):
        base = run_cli("--data-dir", small, "-f", fmt, *texts).stdout.decode().splitlines()
        for scheme, function in spell.items():
            got = run_cli("--data-dir", small, "-f", fmt, "-r", scheme, *texts)
            lines = got.stdout.decode().splitlines()
            assert got.returncode == 0 and len(lines) == len(base), (fmt, scheme)
            for plain, respelled in zip(base, lines):
                if fmt == "text":
                    assert respelled == function(plain), (fmt, scheme)
                elif fmt == "json":
                    record = json.loads(plain)
                    for token in record["tokens"]:
                        token["candidates"] = [function(c) for c in token["candidates"]]
                    assert json.loads(respelled) == record, (fmt, scheme)
                else:
                    fields = plain.split("\t")  # the reading is the third field of both
                    fields[2] = scheme if fields[0] == "line" else function(fields[2])
                    assert respelled.split("\t") == fields, (fmt, scheme)


# (arguments, text standard error must hold)
USAGE_ERRORS = [
    (["-r", "wadegiles", "x"], "argument -r/--romanization: invalid choice: 'wadegiles'"),
    (["--romanization"], "argument -r/--romanization: expected one argument"),
    (["-f", "char", "x"], "argument -f/--format: invalid choice: 'char'"),
    (["--inline-readings=yes", "x"], "ignored explicit argument 'yes'"),
    (["--letter-namez", "x"], "unrecognized arguments: --letter-namez"),
]


@pytest.mark.parametrize("args,needle", USAGE_ERRORS)
def test_usage_errors_are_one_line(small, args, needle):
    result = run_cli("--data-dir", small, *args)
    err = result.stderr.decode()
    assert result.returncode == 2 and needle in err and err.count("\n") == 1, err
