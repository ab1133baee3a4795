"""The str objects of results: every stored byte sequence, well-formed or not,
must come out exactly as Python's own UTF-8 decoder with errors="replace"
reads it, whichever way the module builds the str (its own decoder for short
non-ASCII text, CPython's for ASCII, long or ill-formed text); and labels
shared across calls must be equal to their text in every call."""
import struct

import pytest

from conftest import write_dict

# Stored readings, as raw bytes. Each is written with the dictionary tool as
# a placeholder of its length, then swapped for these bytes in the file.
READINGS = [
    b"hou2",
    "é".encode(),                  # two bytes, Latin-1 range
    "ŋaa4".encode(),               # two bytes, above Latin-1
    "好".encode(),                 # three bytes
    "𠮩".encode(),                 # four bytes, outside the BMP
    "a好é𠮩z".encode(),
    ("好" * 21 + "a").encode(),    # 64 bytes: the longest the module decodes itself
    ("好" * 21 + "ab").encode(),   # 65 bytes: CPython's decoder
    ("好" * 70).encode(),
    "\ufffd".encode(),             # a real replacement character, well-formed
    b"\xff",                       # not a UTF-8 byte
    b"\x80abc",                    # a stray continuation byte
    b"\xc1\xbf",                   # overlong two-byte form
    b"\xe0\x80\x80",               # overlong three-byte form
    b"\xf0\x80\x80\x80",           # overlong four-byte form
    b"\xed\xa0\x80",               # an encoded surrogate
    b"\xf4\x90\x80\x80",           # past U+10FFFF
    b"\xf8\x88\x80\x80\x80",       # a five-byte lead
    b"a\xe4\xb8",                  # cut at the end
    b"\xe4\xb8a",                  # cut before ASCII
    "好".encode() + b"\xffz",
]
CHARS = [chr(0x4E00 + i) for i in range(len(READINGS))]


HEADER, ENTRY = 16, 12  # the dictionary file's header and entry sizes


def _write_raw_values(path, raw_by_key):
    """A dictionary file of `raw_by_key` ({str: bytes}), which need not be UTF-8."""
    # Distinct placeholders, as the writer stores equal values once.
    write_dict(path, {k: chr(ord("A") + i) * len(raw)
                      for i, (k, raw) in enumerate(raw_by_key.items())})
    data = bytearray(path.read_bytes())
    count = struct.unpack_from("<I", data, 8)[0]
    pool = HEADER + ENTRY * count
    for i in range(count):
        koff, klen, voff, vlen = struct.unpack_from("<IHIH", data, HEADER + ENTRY * i)
        raw = raw_by_key[data[pool + koff:pool + koff + klen].decode()]
        assert vlen == len(raw)
        data[pool + voff:pool + voff + vlen] = raw
    path.write_bytes(bytes(data))


@pytest.fixture(scope="module")
def odd_pipeline(quillet, tmp_path_factory):
    d = tmp_path_factory.mktemp("odd_readings")
    _write_raw_values(d / "char.bin", dict(zip(CHARS, READINGS)))
    write_dict(d / "word.bin", {"我哋": "ngo5 dei6"})
    return quillet.PyPipeline(data_dir=str(d))


def _expected(raw):
    return raw.decode("utf-8", "replace")


@pytest.mark.parametrize("index", range(len(READINGS)), ids=[repr(r) for r in READINGS])
def test_stored_reading_decodes_as_python_does(odd_pipeline, index):
    char, want = CHARS[index], _expected(READINGS[index])
    assert odd_pipeline.convert_detailed(char) == [(char, want, "yue", "certain", "unknown")]
    assert odd_pipeline.convert_candidates(char) == [(char, [want], "yue", "certain", "unknown")]
    assert odd_pipeline.convert_detailed_batch([char, char]) == [
        [(char, want, "yue", "certain", "unknown")]] * 2


def test_all_readings_in_one_text(odd_pipeline):
    # One call meeting every kind of text in turn; a long text (the shared
    # strs of a long call) must give the same as the short ones.
    text = "".join(CHARS)
    want = [(c, _expected(r), "yue", "certain", "unknown") for c, r in zip(CHARS, READINGS)]
    assert odd_pipeline.convert_detailed(text) == want
    assert odd_pipeline.convert_detailed(text * 40) == want * 40
    assert odd_pipeline.convert_detailed_batch([text] * 3) == [want] * 3


# Source labels: those with one str for the process and others, which get
# a str per call; every call must see the stored text.
SOURCES = ["rime", "unihan", "tojyutping_tiebreak", "ríme", "rime2", "", "r" * 100]


def test_source_labels_repeat_exactly(quillet, tmp_path):
    chars = CHARS[:len(SOURCES)]
    write_dict(tmp_path / "char.bin", {c: "hou2" for c in chars})
    write_dict(tmp_path / "word.bin", {"我哋": "ngo5 dei6"})
    write_dict(tmp_path / "char_source.bin", dict(zip(chars, SOURCES)))
    pipeline = quillet.PyPipeline(data_dir=str(tmp_path))
    for _ in range(3):
        for c, source in zip(chars, SOURCES):
            assert pipeline.convert_detailed(c)[0][4] == source
        assert [t[4] for t in pipeline.convert_candidates("".join(chars))] == SOURCES


# Candidate lists of every length from one reading to well past the few a
# list is cut into at once, with empty pieces among them.
LIST_CHARS = [chr(0x5000 + n) for n in range(1, 41)]
LIST_VALUES = {ch: "|".join("" if k % 7 == 3 else f"r{n}x{k}" for k in range(n))
               for n, ch in enumerate(LIST_CHARS, start=1)}


@pytest.fixture(scope="module")
def list_pipeline(quillet, tmp_path_factory):
    from conftest import make_data_dir
    d = make_data_dir(tmp_path_factory.mktemp("lists"),
                      chars={ch: "c" for ch in LIST_CHARS},
                      extra={"char_candidates.bin": LIST_VALUES})
    return quillet.PyPipeline(data_dir=str(d))


def test_candidate_lists_of_every_length_split_at_every_bar(list_pipeline):
    text = "".join(LIST_CHARS)
    want = [LIST_VALUES[ch].split("|") for ch in LIST_CHARS]
    assert [t[1] for t in list_pipeline.convert_candidates(text)] == want
    assert [t[1] for t in list_pipeline.convert_candidates_batch([text, text])[1]] == want
    assert [t[1] for t in list_pipeline.convert_detailed(text)] == [w[0] for w in want]
