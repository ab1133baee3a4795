"""Merging and ranking rules of the data build, on tiny hand-made sources, and
the to-jyutping decoder on a tiny packed dictionary."""

import os
import shutil
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import build_data  # noqa: E402
from data_build import merge  # noqa: E402
from data_build.merge import Entry  # noqa: E402

LAZY_ROWS = [
    # variant, standard, is lazy
    ("lei5", "nei5", True),        # n- said as l-
    ("go3", "gwo3", True),         # gw- as g- before o
    ("gaa3", "gwaa3", False),      # ... but not before other vowels
    ("o5", "ngo5", True),          # dropped ng-
    ("m4", "ng4", True),           # syllabic ng as m
    ("han4", "hang4", True),       # -ng as -n
    ("sat1", "sak1", True),        # -k as -t
    ("lei6", "nei5", False),       # tones must agree
    ("nei5", "lei5", False),       # the standard is never the lazy one
    ("nei5", "nei5", False),       # identical
    ("san1", "sang1", True),
    ("gan1", "gam1", False),       # -m to -n is not a listed merger
]


def test_lazy_syllable_table():
    for variant, standard, want in LAZY_ROWS:
        assert merge.is_lazy_syllable(variant, standard) == want, (variant, standard)


def test_drop_lazy_keeps_lone_variant_and_standard():
    rows = [
        (["lei5 hou2", "nei5 hou2"], ["nei5 hou2"]),
        (["lei5 hou2"], ["lei5 hou2"]),                    # no standard form listed
        (["o5 dei6", "ngo5 dei6", "ngo5 dei2"], ["ngo5 dei6", "ngo5 dei2"]),
        (["lei5 hou2", "nei5 hou3"], ["lei5 hou2", "nei5 hou3"]),  # differs in tone too
    ]
    for readings, want in rows:
        assert merge.drop_lazy_variants(readings) == want, readings


def test_reading_shape():
    rows = [
        ("你好", "nei5 hou2", True),
        ("你好", "nei5", False),            # one syllable short
        ("你", "nei5 hou2", False),         # two syllables for one character
        ("A制", "ei1 zai3", False),         # Latin letter
        ("〇", "ling4", False),             # outside the four CJK ranges
        ("你好", "nei5  hou2", False),      # doubled space
        ("你好", "Nei5 hou2", False),       # upper case
        ("你好", "nei7 hou2", False),       # no tone 7
    ]
    for text, reading, want in rows:
        assert merge.is_reading_for(text, reading) == want, (text, reading)


def test_merge_char_precedence_and_labels():
    rows = [
        # tojyutping, rime (reading, weight), unihan -> Entry
        (["faan2", "faan1"], [("faan1", 5.0), ("faan2", 100.0)], ["faan2"],
         Entry(["faan2", "faan1"], "ranked", "tojyutping")),
        ([], [("loi6", 3.0), ("loi4", 100.0), ("lai4", 3.0)], ["loi4", "lei4"],
         Entry(["loi4", "loi6", "lai4", "lei4"], "ranked", "rime")),
        ([], [("mai1", 5.0), ("mai5", 5.0)], [],
         Entry(["mai1", "mai5"], "tied", "rime")),
        ([], [], ["jau1", "jau4"], Entry(["jau1", "jau4"], "tied", "unihan")),
        (["cin1 ngaa5"], [], ["cin1"], Entry(["cin1"], "tied", "unihan")),
        ([], [], [], None),
    ]
    for tj, rime, unihan, want in rows:
        assert merge.merge_char("字", tj, rime, unihan) == want, (tj, rime, unihan)


DEFAULTS = {"上": "soeng6", "邊": "bin1", "咁": "gam3", "樣": "joeng6"}


def test_merge_word_precedence_and_labels():
    rows = [
        # word, tojyutping, rime, prefer -> Entry
        ("上邊", ["soeng6 bin6"], ["soeng6 bin1"], "tojyutping",
         Entry(["soeng6 bin6", "soeng6 bin1"], "ranked", "tojyutping")),
        ("上邊", ["soeng6 bin6"], ["soeng6 bin1"], "rime",
         Entry(["soeng6 bin1", "soeng6 bin6"], "ranked", "rime")),
        ("上邊", [], ["soeng6 bin6", "soeng6 bin1"], "tojyutping",   # defaults decide
         Entry(["soeng6 bin1", "soeng6 bin6"], "ranked", "tojyutping_tiebreak")),
        ("咁樣", [], ["gam2 joeng2", "gam3 joeng2"], "tojyutping",   # reordered by defaults
         Entry(["gam3 joeng2", "gam2 joeng2"], "ranked", "tojyutping_tiebreak")),
        ("咁樣", [], ["gam3 joeng2", "gam2 joeng2"], "tojyutping",   # order confirmed by defaults
         Entry(["gam3 joeng2", "gam2 joeng2"], "ranked", "tojyutping_tiebreak")),
        ("咁樣", [], ["gam2 joeng2", "gam1 joeng2"], "tojyutping",   # nothing decides
         Entry(["gam2 joeng2", "gam1 joeng2"], "tied", "rime")),
        ("上邊", [], ["soeng6 bin1"], "tojyutping", Entry(["soeng6 bin1"], None, "rime")),
        ("上邊", ["soeng6 bin1"], [], "rime", Entry(["soeng6 bin1"], None, "tojyutping")),
        ("上", ["soeng6"], [], "tojyutping", None),              # single characters are not words
        ("上A", [], ["soeng6 ei1"], "tojyutping", None),
        ("上上上上上上上上上上上", [], [" ".join(["soeng6"] * 11)], "tojyutping", None),
    ]
    for word, tj, rime, prefer, want in rows:
        got = merge.merge_word(word, tj, rime, DEFAULTS, prefer=prefer)
        assert got == want, (word, tj, rime, prefer)


def test_unambiguous_variants():
    pairs = [("后", "后"), ("后", "後"), ("发", "發"), ("发", "髮"), ("们", "們"), ("们", "們")]
    assert merge.unambiguous_variants(pairs) == {"们": "們"}


def test_simplified_words_skip_ambiguous_and_existing():
    words = {
        "我們": Entry(["ngo5 mun4"], None, "rime"),
        "學習": Entry(["hok6 zaap6"], None, "rime"),
        "學羽": Entry(["hok6 jyu5"], None, "rime"),      # same simplified spelling as 學習 below
        "飯們": Entry(["faan6 mun4"], None, "rime"),
        "饭们": Entry(["faan6 mun2"], None, "rime"),     # a word of its own already
    }
    t2s = {"們": "们", "學": "学", "習": "羽", "飯": "饭"}
    assert merge.simplified_words(words, t2s) == {"我们": Entry(["ngo5 mun4"], None, "rime")}


def tiny_sources():
    return {
        "tojyutping": {"你": ["nei5"], "好": ["hou2", "hou3"], "們": ["mun4"],
                       "你好": ["nei5 hou2"]},
        "rime_chars": {"好": [("hou3", 100.0), ("hou2", 100.0)], "㗎": [("gaa3", 100.0)]},
        "rime_words": {"你們": ["lei5 mun4", "nei5 mun4"], "好A": ["hou2 ei1"],
                       "們好你": ["mun4 hou2 nei5"], "你好": ["nei5 hou3"]},
        "rime_lettered": {"A貨": ["ei1 fo3"]},
        "rime_phrases": ["你好們"],
        "unihan": {"㗎": ["gaa3"], "〇": ["ling4"], "嘢": ["je5"]},
        "trad_variants": [("们", "們")],
        "simp_variants": [("們", "们")],
        "essay": {},
    }


def test_build_lexicon_on_tiny_sources():
    chars, words = build_data.build_lexicon(tiny_sources(), build_data.Options(), {})
    assert chars["好"] == Entry(["hou2", "hou3"], "ranked", "tojyutping")
    assert chars["㗎"] == Entry(["gaa3"], "ranked", "rime")
    assert chars["嘢"].source == "unihan"
    assert "〇" not in chars
    assert chars["们"] == chars["們"]
    assert words["你們"] == Entry(["nei5 mun4"], None, "rime")
    assert words["你们"] == words["你們"]
    assert "你好們" not in words and "好A" not in words and "A貨" not in words
    assert "們好你" not in words          # rime-only words are kept to two characters ...
    assert words["你好"] == Entry(["nei5 hou2", "nei5 hou3"], "ranked", "tojyutping")
    _, longer = build_data.build_lexicon(tiny_sources(), build_data.Options(rime_max_chars=3), {})
    assert longer["們好你"] == Entry(["mun4 hou2 nei5"], None, "rime")  # ... unless asked

    _, with_phrases = build_data.build_lexicon(tiny_sources(), build_data.Options(phrases=True), {})
    assert with_phrases["你好們"] == Entry(["nei5 hou2 mun4"], None, "rime")


def test_usage_evidence_sums_words_and_keeps_largest():
    readings = {"返工": "faan1 gung1", "返學": "faan1 hok6", "往返": "wong5 faan2",
                "返": "faan2",                     # a single character is no evidence
                "返去": "faan1",                   # malformed reading is skipped
                "返嚟": "faan1 lai4"}              # no count in the frequency list
    freq = {"返工": 30, "返學": 50, "往返": 5, "返": 1000, "返去": 99}
    ev = merge.usage_evidence(readings, freq)
    assert ev["返"] == {"faan1": [80, 50], "faan2": [5, 5]}
    assert ev["學"] == {"hok6": [50, 50]}
    assert "嚟" not in ev


def test_usage_default_rule():
    rule = merge.UsageRule(share=0.9, cover=0.25, single=0.5)
    spread = {"faan1": [95, 40], "faan2": [5, 5]}
    rows = [
        # candidates, evidence, count alone -> new default or None
        (["faan2", "faan1"], spread, 100, "faan1"),
        (["faan2", "faan1"], spread, 401, None),             # mostly written alone: words say little
        (["faan2", "faan1"], {"faan1": [85, 40], "faan2": [15, 5]}, 0, None),  # below the share
        (["faan2", "faan1"], {"faan1": [95, 60], "faan2": [5, 5]}, 0, None),   # one word decides
        (["faan1", "faan2"], spread, 0, None),                # already first
        (["faan2"], spread, 0, None),                         # not a candidate of the character
        (["faan2", "faan1"], None, 0, None),                  # no evidence at all
        (["faan2", "faan1"], {"faan1": [10, 5], "faan2": [10, 5]}, 0, None),  # even split
    ]
    for cands, ev, alone, want in rows:
        assert merge.usage_default(cands, ev, alone, rule) == want, (cands, ev, alone)
    assert merge.usage_default(["faan2", "faan1"], spread, 0, merge.UsageRule(share=0)) is None


def test_build_lexicon_default_follows_use_in_words():
    src = tiny_sources()
    src["tojyutping"]["好"] = ["hou3", "hou2"]
    src["rime_words"].update({"好彩": ["hou2 coi2"], "好耐": ["hou2 noi6"]})
    src["essay"] = {"好彩": 60, "好耐": 50, "你好": 40, "好": 100}
    chars, _ = build_data.build_lexicon(src, build_data.Options(), {})
    assert chars["好"] == Entry(["hou2", "hou3"], "ranked", "rime")
    off = build_data.Options(usage=merge.UsageRule(share=0))
    chars, _ = build_data.build_lexicon(src, off, {})
    assert chars["好"] == Entry(["hou3", "hou2"], "ranked", "tojyutping")


def test_convention_map_needs_systematic_difference():
    tj = {"黑色": ["haak1 sik1"], "黑人": ["haak1 jan4"], "黑夜": ["haak1 je6"],
          "黑板": ["hak1 baan2"],                       # one shared word keeps rime's syllable
          "克服": ["haak1 fuk6"], "克制": ["haak1 zai3"],  # only two words differ
          "時刻": ["si4 haak1"], "刻苦": ["haak1 fu2"], "刻意": ["haak1 ji3"],
          "片刻": ["pin3 hak1"], "雕刻": ["diu1 hak1"],    # as many keep it
          "黑白": ["haak1 baak6"]}
    rime = {"黑色": ["hak1 sik1"], "黑人": ["hak1 jan4"], "黑夜": ["hak1 je6"],
            "黑板": ["hak1 baan2"], "克服": ["hak1 fuk6"], "克制": ["hak1 zai3"],
            "時刻": ["si4 hak1"], "刻苦": ["hak1 fu2"], "刻意": ["hak1 ji3"],
            "片刻": ["pin3 hak1"], "雕刻": ["diu1 hak1"],
            "黑白": ["hak1 baak6", "haak1 baak6"]}      # two rime readings: not compared
    conv = merge.convention_map(tj, rime, min_words=3, ratio=2)
    assert conv == {("黑", "hak1"): "haak1"}
    assert merge.convention_map(tj, rime, min_words=3, ratio=4) == {}   # 3 against 1 is too few
    rows = [
        ("黑狗", "hak1 gau2", "haak1 gau2"),
        ("狗黑", "gau2 hak1", "gau2 haak1"),
        ("刻苦", "hak1 fu2", "hak1 fu2"),       # no convention for 刻
        ("黑黑", "hak1", "hak1"),               # malformed reading is left alone
    ]
    for word, reading, want in rows:
        assert merge.apply_convention(word, reading, conv) == want, (word, reading)


def test_respelled_words():
    spellings = [("哩", "呢", "ni1")]
    words = {
        "呢個": Entry(["ni1 go3"], None, "tojyutping"),
        "呢呢": Entry(["ni1 ne1", "ni1 ni1"], "ranked", "rime"),  # only the ni1 place changes
        "咪呢": Entry(["mai6 ne1"], None, "rime"),                  # particle reading: no spelling
        "呢度": Entry(["ni1 dou6"], None, "rime"),
        "哩度": Entry(["li1 dou6"], None, "rime"),                  # a word of its own stays
        "呢排": Entry(["ni1 paai4"], None, "rime"),
        "呢俳": Entry(["ni1 paai2"], None, "rime"),
    }
    got = merge.respelled_words(words, spellings)
    assert got == {
        "哩個": Entry(["ni1 go3"], None, "oral_hk"),
        "哩呢": Entry(["ni1 ne1", "ni1 ni1"], "ranked", "oral_hk"),
        "哩排": Entry(["ni1 paai4"], None, "oral_hk"),
        "哩俳": Entry(["ni1 paai2"], None, "oral_hk"),
    }
    clash = {"呢A": Entry(["ni1 aa1"], None, "rime"), "哩A": Entry(["ni1 aa1"], None, "rime")}
    assert merge.respelled_words(clash, spellings) == {}
    two = {"呢甲": Entry(["ni1 gaap3"], None, "rime"), "𠮶甲": Entry(["ni1 gaap3"], None, "rime"),
           "嗰甲": Entry(["go2 gaap3"], None, "rime")}
    # Two words reaching one spelling with different readings: ambiguous, left out.
    assert merge.respelled_words(two, [("哩", "呢", "ni1"), ("哩", "𠮶", "ni1"),
                                       ("哩", "嗰", "go2")]) == {}


def test_file_tables_put_only_ranked_choices_in_candidate_files():
    chars = {"好": Entry(["hou2", "hou3"], "ranked", "tojyutping"),
             "你": Entry(["nei5"], "ranked", "tojyutping")}
    words = {"你好": Entry(["nei5 hou2"], None, "tojyutping")}
    t = build_data.file_tables(chars, words, {"食飯": "sik6 faan6"}, {"個": ""}, {"mgoi": "唔該"})
    assert t["char.bin"] == {"好": "hou2", "你": "nei5"}
    assert t["char_candidates.bin"] == {"好": "hou2|hou3"}
    assert t["char_candidates_confidence.bin"] == {"好": "ranked"}
    assert t["char_source.bin"] == {"好": "tojyutping", "你": "tojyutping"}
    assert t["word_candidates.bin"] == {} and t["word_source.bin"] == {"你好": "tojyutping"}
    assert t["context_readings.bin"] == {}
    assert sorted(t) == sorted(build_data.data_file_names())


def encode_syllable(syllable):
    """Inverse of the package's syllable code, for building a packed trie."""
    onset = ["", "b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "ng", "gw", "kw", "w", "h",
             "z", "c", "s", "j"]
    nucleus = ["aa", "a", "e", "i", "o", "u"]
    coda = ["", "i", "u", "m", "n", "ng", "p", "t", "k"]
    for o in range(len(onset)):
        for f in range(54):
            if onset[o] + nucleus[f // 9] + coda[f % 9] + syllable[-1] == syllable:
                n = o * 402 + f * 6 + int(syllable[-1]) - 1
                return chr(n // 90 + 33) + chr(n % 90 + 33)
    raise ValueError(syllable)


@pytest.mark.skipif(shutil.which("node") is None, reason="node not installed")
def test_decoder_walks_packed_trie(tmp_path):
    e = encode_syllable
    packed = ("{你" + e("nei5") + "{好" + e("nei5") + e("hou2") + "}"
              "好" + e("hou2") + e("hou3") + "瓩" + e("cin1") + "~" + e("ngaa5") + "}")
    dist = tmp_path / "pkg" / "dist"
    dist.mkdir(parents=True)
    literal = packed.replace("\\", "\\\\").replace('"', '\\"')
    (dist / "index.mjs").write_text('const x=Array.from("%s");' % literal, encoding="utf-8")
    out = tmp_path / "out.tsv"
    subprocess.run(["node", os.path.join(ROOT, "tools", "decode_tojyutping.mjs"),
                    str(tmp_path / "pkg"), str(out)], check=True)
    assert out.read_text(encoding="utf-8") == (
        "你\tnei5\n你好\tnei5 hou2\n好\thou2|hou3\n瓩\tcin1 ngaa5\n")


def test_curated_tables_are_well_formed():
    chars, words = {}, {}
    for ch in "個隻條張本件架部粒間對班次杯碗支枝把首封份位棵塊篇句座層餐樽包盒袋堆串雙套種款朵":
        chars[ch] = Entry(["x1"], None, "rime")
    for row in build_data.read_curated("separable_compounds.txt", 2):
        words[row[0]] = Entry([" ".join(["sik6"] * len(row[0]))], None, "rime")
    separable, classifiers, slang = build_data.curated_tables(words, chars, {})
    assert classifiers == {}                      # the reduplication rule is off by default
    assert separable["瞓覺"] == "fan3 gaau3"       # an explicit reading beats the word list
    assert all(len(v.split(" ")) == 2 for v in separable.values())
    _, with_rule, _ = build_data.curated_tables(words, chars, {}, classifier_reduplication=True)
    assert "個" in with_rule and "年" not in with_rule
    assert slang["mgoi"] == "唔該"
    # Spellings that are everyday English words would rewrite English text.
    for english in ("dim", "sum", "hi", "lo", "man", "sea", "see", "yum", "cha"):
        assert english not in slang, english
    for variant, ch, reading in build_data.read_curated("colloquial_spellings.txt", 3):
        assert len(variant) == 1 and merge.is_reading_for(ch, reading), variant
