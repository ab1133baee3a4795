"""Hostile and broken data directories seen from Python: each data file damaged
in turn (its index after the pool too), odd stored values, and data files
replaced or unlinked under a live pipeline. A damaged file must give a working
pipeline or the loader's exact RuntimeError, never a crash; a damaged index
must change no result at all."""
import os
import pathlib
import struct
import threading

import pytest

from conftest import write_dict

HEADER = 16
ENTRY = 12

# A complete directory: every file holds entries that the texts below reach.
WORDS = {"我哋": "ngo5 dei6", "今日": "gam1 jat6", "香港": "hoeng1 gong2",
         "銀行": "ngan4 hong4", "睇戲": "tai2 hei3"}
CHARS = {"我": "ngo5", "哋": "dei6", "今": "gam1", "日": "jat6", "香": "hoeng1",
         "港": "gong2", "銀": "ngan4", "行": "hang4", "好": "hou2", "個": "go3",
         "睇": "tai2", "咗": "zo2", "戲": "hei3", "山": "saan1"}
FILES = {
    "word.bin": WORDS,
    "char.bin": CHARS,
    "word_candidates.bin": {"銀行": "ngan4 hong4|ngan4 haang4"},
    "char_candidates.bin": {"行": "hang4|haang4|hong4"},
    "word_candidates_confidence.bin": {"銀行": "ranked"},
    "char_candidates_confidence.bin": {"行": "ranked"},
    "word_source.bin": {"香港": "rime", "我哋": "oral_hk"},
    "char_source.bin": {"好": "unihan", "個": "rime"},
    "separable.bin": {"睇戲": "tai2 hei3"},
    "romanized_slang.bin": {"lol": "好好", "hk": "香港"},
    "classifier_words.bin": {"個": ""},
    "context_readings.bin": {"=行": "", "行 >山": "haang4", "行 >@end": "hong4",
                             "行 <@v": "haang4", "@睇": "v"},
}
REQUIRED = ["word.bin", "char.bin"]
OPTIONAL = [name for name in FILES if name not in REQUIRED]

# Texts that reach every file: words, candidates, labels, the separable
# pattern (verb, particle, object), slang words, a reduplicated classifier and
# the context rules (行 before 山, at the end of a clause, after a verb).
TEXTS = ["我哋今日去香港", "銀行", "行", "行山", "好", "睇咗戲", "lol hk LOL", "個個", "睇行好", "行好",
         "我哋個個睇咗戲，lol！", "", " ", "hello 12", "龘"]


def build_dir(directory, files=FILES, skip=()):
    directory = pathlib.Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    for name, entries in files.items():
        if name not in skip:
            write_dict(directory / name, entries)
    return directory


# --- damage, applied to the bytes of a valid file ------------------------
# Each returns (new bytes, the loader message, or None when the header
# stays valid and the file must still open).

def _header(data):
    return struct.unpack_from("<4sIII", data, 0)


def _entries(data):
    _, _, count, _ = _header(data)
    for i in range(count):
        yield HEADER + ENTRY * i, struct.unpack_from("<IHIH", data, HEADER + ENTRY * i)


def bad_magic(data):
    return b"X" + data[1:], "bad magic: expected [67, 74, 89, 80], got [88, 74, 89, 80]"


def bad_version(data):
    return data[:4] + struct.pack("<I", 2) + data[8:], "unsupported version 2 (expected 1)"


def short_header(data):
    return data[:10], "file too short: 10 bytes (need at least 16)"


def truncated(data):
    _, _, count, pool = _header(data)
    need = HEADER + ENTRY * count + pool
    assert need <= len(data)
    return data[:need - 1], f"file too short: {need - 1} bytes (need {need} for {count} entries + pool)"


def count_past_file(data):
    _, _, _, pool = _header(data)
    count = 0xFFFFFFFF
    need = HEADER + ENTRY * count + pool
    damaged = data[:8] + struct.pack("<I", count) + data[12:]
    return damaged, f"file too short: {len(data)} bytes (need {need} for {count} entries + pool)"


def keys_past_pool(data):
    out = bytearray(data)
    for at, (_, klen, voff, vlen) in _entries(data):
        struct.pack_into("<IHIH", out, at, 0xFFFFFFF0, klen, voff, vlen)
    return bytes(out), None


def values_past_pool(data):
    out = bytearray(data)
    _, _, _, pool = _header(data)
    for at, (koff, klen, _, _) in _entries(data):
        struct.pack_into("<IHIH", out, at, koff, klen, pool, 0xFFFF)
    return bytes(out), None


def unsorted_keys(data):
    _, _, count, _ = _header(data)
    table = [data[HEADER + ENTRY * i:HEADER + ENTRY * (i + 1)] for i in range(count)]
    return data[:HEADER] + b"".join(reversed(table)) + data[HEADER + ENTRY * count:], None


def _rewrite_values(data, fill):
    out = bytearray(data)
    _, _, count, _ = _header(data)
    pool_at = HEADER + ENTRY * count
    for _, (_, _, voff, vlen) in _entries(data):
        if vlen:
            out[pool_at + voff:pool_at + voff + vlen] = fill(vlen)
    return bytes(out), None


def values_not_utf8(data):
    return _rewrite_values(data, lambda n: b"\xff" * n)


def values_cut_sequence(data):
    # Each value ends with the lead byte of a 3-byte sequence and nothing
    # after it: a reader trusting UTF-8 would run past the value.
    return _rewrite_values(data, lambda n: b"\xe4" * n)


DAMAGE = [bad_magic, bad_version, short_header, truncated, count_past_file, keys_past_pool,
          values_past_pool, unsorted_keys, values_not_utf8, values_cut_sequence]


# --- damage to the index after the pool ----------------------------------
# The index only speeds lookups up: whatever it says, every answer must be
# the one the table gives, so each of these must leave all results unchanged.

INDEX_HEADER = 16
SLOT = 65


def _index(data):
    """(offset of the index, first page, page count, slot count)."""
    _, _, count, pool = _header(data)
    at = HEADER + ENTRY * count + pool
    magic, first, pages, slots = struct.unpack_from("<4sIII", data, at)
    assert magic == b"CJYI"
    return at, first, pages, slots


def _rewrite_index(data, pages_fn=None, starts_fn=None, counts=None):
    at, first, pages, slots = _index(data)
    out = bytearray(data)
    if counts is not None:
        struct.pack_into("<II", out, at + 8, *counts)
    table = at + INDEX_HEADER
    if pages_fn is not None:
        old = list(struct.unpack_from(f"<{pages}I", data, table))
        struct.pack_into(f"<{pages}I", out, table, *pages_fn(old, slots))
    if starts_fn is not None:
        _, _, count, _ = _header(data)
        starts_at = table + 4 * pages
        old = list(struct.unpack_from(f"<{slots * SLOT}I", data, starts_at))
        struct.pack_into(f"<{slots * SLOT}I", out, starts_at, *starts_fn(old, count))
    return bytes(out)


def index_cut(data):
    return data[:-1]


def index_counts_overflow(data):
    return _rewrite_index(data, counts=(0xFFFFFFFF, 0xFFFFFFFF))


def index_slots_out_of_range(data):
    return _rewrite_index(data, pages_fn=lambda old, slots: [slots + i for i in range(len(old))])


def index_slots_rotated(data):
    # Every page names another page's slot (blocks of the wrong code points);
    # with one slot, pages lose theirs and empty ones gain it.
    def rotate(old, slots):
        if slots > 1:
            return [(p + 1) % slots if p != 0xFFFFFFFF else 0 for p in old]
        return [0xFFFFFFFF if p == 0 else 0 for p in old]
    return _rewrite_index(data, pages_fn=rotate)


def index_starts_shifted(data):
    return _rewrite_index(data, starts_fn=lambda old, n: [v + 1 for v in old])


def index_starts_scrambled(data):
    # In order, out of order, and past the table.
    return _rewrite_index(data, starts_fn=lambda old, n: [(v * 7 + 3) % (n + 3) for v in old])


def index_starts_zero(data):
    return _rewrite_index(data, starts_fn=lambda old, n: [0] * len(old))


INDEX_DAMAGE = [index_cut, index_counts_overflow, index_slots_out_of_range, index_slots_rotated,
                index_starts_shifted, index_starts_scrambled, index_starts_zero]


def damage_file(path, damage):
    damaged, message = damage(path.read_bytes())
    path.write_bytes(damaged)
    return message


# --- what a working pipeline must do -------------------------------------

def run_everything(pipeline, texts=TEXTS):
    """Runs all conversions and batch forms on `texts`; checks that they agree
    and returns the per-text results for comparisons between pipelines."""
    results = []
    for text in texts:
        line = pipeline.convert(text)
        detailed = pipeline.convert_detailed(text)
        candidates = pipeline.convert_candidates(text)
        assert isinstance(line, str)
        line.encode("utf-8")  # no lone surrogates reach Python
        assert [d[0] for d in detailed] == [c[0] for c in candidates], text
        for d, c in zip(detailed, candidates):
            assert len(c[1]) >= 1, (text, c)
            assert d[1] == c[1][0] and d[2:] == c[2:], (text, d, c)
            for field in (*d, *c[1]):
                field.encode("utf-8")
        results.append((line, detailed, candidates))
    assert pipeline.convert_batch(texts) == [r[0] for r in results]
    assert pipeline.convert_detailed_batch(texts) == [r[1] for r in results]
    assert pipeline.convert_candidates_batch(texts) == [r[2] for r in results]
    return results


@pytest.fixture(scope="module")
def expected_without(quillet, tmp_path_factory):
    """Results of a directory lacking one optional file, by that file's name."""
    out = {}
    for name in OPTIONAL:
        d = build_dir(tmp_path_factory.mktemp("without"), skip={name})
        out[name] = run_everything(quillet.PyPipeline(data_dir=str(d)))
    return out


@pytest.mark.parametrize("name", OPTIONAL)
def test_texts_exercise_every_optional_file(quillet, tmp_path, expected_without, name):
    # Otherwise a damaged file could go unread and every check below pass.
    whole = run_everything(quillet.PyPipeline(data_dir=str(build_dir(tmp_path))))
    assert whole != expected_without[name], name


@pytest.mark.parametrize("damage", DAMAGE, ids=lambda f: f.__name__)
@pytest.mark.parametrize("name", OPTIONAL)
def test_damaged_optional_file_gives_working_pipeline(quillet, tmp_path, expected_without,
                                                      name, damage):
    d = build_dir(tmp_path)
    message = damage_file(d / name, damage)
    pipeline = quillet.PyPipeline(data_dir=str(d))
    results = run_everything(pipeline)
    if message is not None:  # refused at open: exactly as if the file were absent
        assert results == expected_without[name], f"{name} {damage.__name__}"


@pytest.mark.parametrize("damage", DAMAGE, ids=lambda f: f.__name__)
@pytest.mark.parametrize("name", REQUIRED)
def test_damaged_required_file(quillet, tmp_path, name, damage):
    d = build_dir(tmp_path)
    message = damage_file(d / name, damage)
    if message is None:
        run_everything(quillet.PyPipeline(data_dir=str(d)))
        run_everything(quillet.PyPipeline.from_dir(str(d)))
        return
    for make in (lambda: quillet.PyPipeline(data_dir=str(d)),
                 lambda: quillet.PyPipeline.from_dir(str(d))):
        with pytest.raises(RuntimeError) as err:
            make()
        assert str(err.value) == message, f"{name} {damage.__name__}"


@pytest.fixture(scope="module")
def expected_whole(quillet, tmp_path_factory):
    d = build_dir(tmp_path_factory.mktemp("whole"))
    return run_everything(quillet.PyPipeline(data_dir=str(d)))


@pytest.mark.parametrize("damage", INDEX_DAMAGE, ids=lambda f: f.__name__)
@pytest.mark.parametrize("name", list(FILES))
def test_damaged_index_changes_nothing(quillet, tmp_path, expected_whole, name, damage):
    d = build_dir(tmp_path)
    path = d / name
    data = path.read_bytes()
    damaged = damage(data)
    assert damaged != data, f"{name} {damage.__name__} damaged nothing"
    path.write_bytes(damaged)
    assert run_everything(quillet.PyPipeline(data_dir=str(d))) == expected_whole, \
        f"{name} {damage.__name__}"
    assert run_everything(quillet.PyPipeline.from_dir(str(d))) == expected_whole


def _prefix_table(data):
    """(offset of word.bin's prefix table, its slot bits, entry bits)."""
    at, _, pages, slots = _index(data)
    at += INDEX_HEADER + 4 * pages + 4 * SLOT * slots
    magic, slot_bits, entry_bits = struct.unpack_from("<4sII", data, at)
    assert magic == b"CJYH"
    return at, slot_bits, entry_bits


def _rewrite_slots(data, slot_fn):
    at, slot_bits, _ = _prefix_table(data)
    n = 1 << slot_bits
    out = bytearray(data)
    old = list(struct.unpack_from(f"<{n}I", data, at + 16))
    struct.pack_into(f"<{n}I", out, at + 16, *[slot_fn(i, v) & 0xFFFFFFFF for i, v in enumerate(old)])
    return bytes(out)


# Damage that leaves every answer as it was: the table is ignored, or its
# probes run long and the search answers.
def prefix_cut(data):
    return data[:-1]


def prefix_slot_bits_past_any_table(data):
    at, _, _ = _prefix_table(data)
    return data[:at + 4] + struct.pack("<I", 31) + data[at + 8:]


def prefix_slots_all_full(data):
    return _rewrite_slots(data, lambda i, v: 0xFFFFFFFF)


# Damage that may hide words (a prefix the table calls absent is not
# searched), but never makes a lookup read a wrong entry or leave the file.
def prefix_entries_shifted(data):
    return _rewrite_slots(data, lambda i, v: v + 1 if v else 0)


def prefix_slots_scrambled(data):
    return _rewrite_slots(data, lambda i, v: (v * 2654435761 + i) if v else 0)


def prefix_slots_empty(data):
    return _rewrite_slots(data, lambda i, v: 0)


@pytest.mark.parametrize("damage,same", [
    (None, True), (prefix_cut, True), (prefix_slot_bits_past_any_table, True),
    (prefix_slots_all_full, True), (prefix_entries_shifted, False),
    (prefix_slots_scrambled, False), (prefix_slots_empty, False),
], ids=lambda v: getattr(v, "__name__", str(v)))
def test_damaged_prefix_table(quillet, tmp_path, expected_whole, damage, same):
    d = build_dir(tmp_path)
    path = d / "word.bin"
    write_dict(path, WORDS, prefix_table=True)
    if damage is not None:
        data = path.read_bytes()
        damaged = damage(data)
        assert damaged != data
        path.write_bytes(damaged)
    for make in (lambda: quillet.PyPipeline(data_dir=str(d)),
                 lambda: quillet.PyPipeline.from_dir(str(d))):
        results = run_everything(make())
        if same:
            assert results == expected_whole
        else:
            # Words may be cut otherwise, but every text comes back whole.
            for got, want in zip(results, expected_whole):
                assert "".join(t[0] for t in got[1]) == "".join(t[0] for t in want[1])


def test_broken_word_file_is_reported_before_char_file(quillet, tmp_path):
    d = build_dir(tmp_path)
    damage_file(d / "char.bin", bad_version)
    expected = damage_file(d / "word.bin", short_header)
    with pytest.raises(RuntimeError, match=r"^file too short: 10 bytes \(need at least 16\)$"):
        quillet.PyPipeline(data_dir=str(d))
    assert expected == "file too short: 10 bytes (need at least 16)"


# Odd but well-formed stored values: (file, entries, text, check of the
# candidate tuples). Empty pieces and empty replacements are data, not faults.
ODD_VALUES = [
    ("char_candidates.bin", {"行": "|||"}, "行",
     lambda c: c == [("行", ["", "", "", ""], "yue", "ranked", "unknown")]),
    ("word_candidates.bin", {"銀行": "|||"}, "銀行", lambda c: c[0][1] == ["", "", "", ""]),
    ("word_candidates.bin", {"銀行": ""}, "銀行", lambda c: c[0][1] == [""]),
    ("char_candidates.bin", {"行": "|"}, "行山", lambda c: c[0][1] == ["", ""]),
    ("word_source.bin", {"香港": ""}, "香港", lambda c: c[0][4] == ""),
    ("romanized_slang.bin", {"lol": ""}, "lol 好", lambda c: [t[0] for t in c] == ["好"]),
    ("romanized_slang.bin", {"lol": "   "}, "lol好", lambda c: [t[0] for t in c] == ["好"]),
    ("romanized_slang.bin", {"lol": "lol"}, "lol", lambda c: [t[0] for t in c] == ["lol"]),
    ("separable.bin", {"睇戲": ""}, "睇咗戲", lambda c: len(c) == 3),
    # A rule may only choose a known candidate: neither an empty reading nor
    # a '|'-joined value is one.
    ("context_readings.bin", {"=行": "", "行 >山": ""}, "行山",
     lambda c: c[0][1:] == (["hang4", "haang4", "hong4"], "yue", "ranked", "unknown")),
    ("context_readings.bin", {"=行": "", "行 >@end": "hong4|hang4"}, "行",
     lambda c: c[0][1] == ["hang4", "haang4", "hong4"]),
    # Class names are split at spaces, empty ones skipped.
    ("context_readings.bin", {"=行": "", "@睇": "  v ", "行 <@v": "hong4"}, "睇行好",
     lambda c: c[1][1] == ["hong4", "hang4", "haang4"]),
]


@pytest.mark.parametrize("name,entries,text,check", ODD_VALUES,
                         ids=[f"{r[0]}-{list(r[1].values())[0]!r}" for r in ODD_VALUES])
def test_odd_stored_values(quillet, tmp_path, name, entries, text, check):
    d = build_dir(tmp_path, files={**FILES, name: entries})
    pipeline = quillet.PyPipeline(data_dir=str(d))
    run_everything(pipeline, TEXTS + [text])
    got = pipeline.convert_candidates(text)
    assert check(got), f"{name} {entries} {text!r}: {got}"


def test_slang_value_invalid_utf8_is_harmless(quillet, tmp_path):
    # A replacement of bytes that are not UTF-8, around text that is.
    d = build_dir(tmp_path)
    data = (d / "romanized_slang.bin").read_bytes()
    broken = b"\xe4\xb8\xff\xc0\x80"  # a cut sequence, a stray byte, an overlong NUL
    damaged, _ = _rewrite_values(data, lambda n: broken[:n].ljust(n, b"\xed"))
    (d / "romanized_slang.bin").write_bytes(damaged)
    pipeline = quillet.PyPipeline(data_dir=str(d))
    texts = ["lol", "lol好", "好lol好", "hk lol hk", "LOL香港lol"] * 3
    run_everything(pipeline, TEXTS + texts)


# --- files replaced or unlinked under a live pipeline --------------------

NEW_WORDS = {k: "zzz1" for k in WORDS}
NEW_CHARS = {k: "zzz2" for k in CHARS}


def _replace(d, name, entries):
    fresh = d / (name + ".new")
    write_dict(fresh, entries)
    os.replace(fresh, d / name)


CHANGES = [
    ("replace", lambda d: (_replace(d, "word.bin", NEW_WORDS), _replace(d, "char.bin", NEW_CHARS))),
    ("unlink", lambda d: ((d / "word.bin").unlink(), (d / "char.bin").unlink())),
    ("unlink_all", lambda d: [p.unlink() for p in d.glob("*.bin")]),
]


@pytest.mark.parametrize("label,change", CHANGES, ids=[c[0] for c in CHANGES])
def test_live_pipeline_keeps_its_files(quillet, tmp_path, label, change):
    d = build_dir(tmp_path)
    pipeline = quillet.PyPipeline(data_dir=str(d))
    before = run_everything(pipeline)
    change(d)
    assert run_everything(pipeline) == before, label
    if label == "replace":  # the change is real: a new pipeline sees it
        assert quillet.PyPipeline(data_dir=str(d)).convert("香港") == "zzz1"
    else:
        with pytest.raises(RuntimeError, match=r"\(os error 2\)$"):
            quillet.PyPipeline(data_dir=str(d))


def test_batch_in_progress_survives_file_replacement(quillet, tmp_path):
    d = build_dir(tmp_path)
    other = build_dir(tmp_path / "other")
    running = quillet.PyPipeline(data_dir=str(d))
    bystander = quillet.PyPipeline(data_dir=str(other))
    texts = TEXTS * 4000
    expected = running.convert_detailed_batch(texts)
    expected_bystander = bystander.convert_candidates_batch(texts)
    got, failures = {}, []
    start = threading.Barrier(3)

    def batch(name, call):
        try:
            start.wait()
            got[name] = [call(texts) for _ in range(3)]
        except Exception as e:  # reported below, in the test's own thread
            failures.append(repr(e))

    threads = [threading.Thread(target=batch, args=(name, call))
               for name, call in (("running", running.convert_detailed_batch),
                                  ("bystander", bystander.convert_candidates_batch))]
    for t in threads:
        t.start()
    start.wait()
    for round_ in range(20):
        _replace(d, "word.bin", NEW_WORDS if round_ % 2 == 0 else WORDS)
        _replace(d, "char.bin", NEW_CHARS)
        (d / "word_candidates.bin").unlink(missing_ok=True)
        quillet.PyPipeline(data_dir=str(d)).convert_batch(TEXTS)
    for t in threads:
        t.join()
    assert failures == []
    assert all(r == expected for r in got["running"])
    assert all(r == expected_bystander for r in got["bystander"])
