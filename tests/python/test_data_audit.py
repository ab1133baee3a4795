"""The lexicon audit and the context-rule table of the data build, on tiny
hand-made lexicons."""

import os
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from data_build import audit, context  # noqa: E402
from data_build.merge import Entry  # noqa: E402

# Readings of the characters, best first, as the merged character lists give them.
KNOWN = {c: audit.standard_readings(rs) for c, rs in {
    "九": ["gau2"], "十": ["sap6"], "呢": ["ne1", "nei1", "ni1", "le1"], "佢": ["keoi5"],
    "安": ["on1", "ngon1"], "國": ["gwok3"], "發": ["faat3", "faak3"], "蝕": ["sik6", "sit6"],
    "錢": ["cin4", "cin2"], "鍋": ["wo1"], "孭": ["me1"], "講": ["gong2"], "乜": ["mat1"],
    "疼": ["tang4", "tung3"], "愛": ["oi3"], "銀": ["ngan4"], "行": ["hang4", "hong4"],
}.items()}
COLLOQUIAL = {("蝕", "sit6")}


def test_standard_readings_drop_mergers_of_a_better_reading_only():
    assert KNOWN["呢"] == {"ne1", "nei1", "ni1"}    # le1 is ne1 said with l-
    assert KNOWN["安"] == {"on1", "ngon1"}          # on1 is the standard, not a dropped ng-
    assert KNOWN["發"] == {"faat3", "faak3"}        # faat3 ranks first, so it is no merger
    assert KNOWN["蝕"] == {"sik6"}                  # sit6 after sik6 is -k said as -t


SYLLABLE_ROWS = [
    # character, syllable, last, verdict
    ("九", "gau2", True, audit.AGREES),
    ("九", "gau1", True, audit.CHANGED_TONE_LAST),   # tone 1 is a changed tone
    ("十", "sap1", False, audit.CHANGED_TONE_OTHER),
    ("九", "gau3", True, None),                      # tone 3 is not
    ("呢", "le1", True, None),                       # a merger is no reading
    ("蝕", "sit6", True, audit.COLLOQUIAL),          # ... unless listed as colloquial
    ("鍋", "wok6", True, None),                      # another character's reading (鑊)
    ("龘", "daap6", True, audit.AGREES),             # a character no list reads: nothing to check
]


@pytest.mark.parametrize("ch,syllable,last,verdict", SYLLABLE_ROWS)
def test_syllable_verdict(ch, syllable, last, verdict):
    assert audit.syllable_verdict(ch, syllable, last, KNOWN, COLLOQUIAL) == verdict


AUDIT_ROWS = [
    # word, candidates before, both word lists agree on, candidates after
    ("講乜", ["gong3 mat1"], [], ["gong2 mat1"]),            # rebuilt from the characters
    ("孭鍋", ["me1 wok6"], [], ["me1 wo1"]),
    ("佢呢", ["keoi5 le1"], [], ["keoi5 ne1"]),
    ("國安", ["gwok3 on1"], [], ["gwok3 on1"]),              # kept as it stands
    ("十九", ["sap6 gau2", "sap1 gau1"], [], ["sap6 gau2", "sap1 gau1"]),  # changed tones
    ("疼愛", ["tang3 oi3", "tang4 oi3"], [], ["tang4 oi3"]),  # the next reading moves up
    ("蝕錢", ["sit6 cin2"], [], ["sit6 cin2"]),
    ("銀行", ["ngan4 haang4"], ["ngan4 haang4"], ["ngan4 haang4"]),  # both lists agree
    ("銀行", ["ngan4 haang4"], [], ["ngan4 hang4"]),
]


@pytest.mark.parametrize("word,before,both,after", AUDIT_ROWS)
def test_audit_words(word, before, both, after):
    words = {word: Entry(list(before), "ranked" if len(before) > 1 else None, "rime")}
    default = {c: sorted(rs)[0] for c, rs in KNOWN.items()}
    default.update({"呢": "ne1", "行": "hang4", "疼": "tang4"})
    stats = {}
    audit.audit_words(words, KNOWN, COLLOQUIAL, {word: both}, {word: both}, default, stats)
    assert words[word].candidates == after, (word, stats)
    assert words[word].source == "rime"
    assert (words[word].confidence is None) == (len(after) == 1)


def test_audit_counts_each_rule():
    words = {"講乜": Entry(["gong3 mat1"], None, "rime"),
             "十九": Entry(["sap1 gau1"], None, "rime"),
             "蝕錢": Entry(["sit6 cin2"], None, "tojyutping")}
    stats = {}
    dropped = audit.audit_words(words, KNOWN, COLLOQUIAL, {}, {}, {"講": "gong2"}, stats)
    assert dropped == [("講乜", "gong3 mat1")]
    assert stats == {"readings dropped": 1, "words rebuilt from their characters": 1,
                     "readings kept: " + audit.CHANGED_TONE_LAST: 1,
                     "readings kept: " + audit.CHANGED_TONE_OTHER: 1,
                     "readings kept: " + audit.COLLOQUIAL: 1}


CHARS = {"到": Entry(["dou3", "dou2"], "ranked", "tojyutping"),
         "搵": Entry(["wan2"], None, "tojyutping"),
         "見": Entry(["gin3"], None, "tojyutping"),
         "個": Entry(["go3"], None, "tojyutping")}
WORDS = {"一個": Entry(["jat1 go3"], None, "tojyutping"),
         "十二": Entry(["sap6 ji6"], None, "tojyutping"),
         "一個人": Entry(["jat1 go3 jan4"], None, "tojyutping")}


def test_rule_table_key_language():
    rules = [("到", "after", "@reach", "dou2"), ("到", "before", "你", "dou3"),
             ("到", "after", "@end", "dou3")]
    classes = {"reach": ["搵", "見"], "verb": ["搵"]}
    table, counts = context.rule_table(rules, classes, CHARS, WORDS)
    # "=到" names the kinds of rule 到 has (a token after, classes before),
    # "=" lists the targets; "verb" names no rule, so it is left out.
    assert table == {"=": "到 ", "=到": "rL", "到 <@reach": "dou2", "到 >你": "dou3",
                     "到 <@end": "dou3", "@搵": "reach", "@見": "reach"}
    assert counts == {"到": 3}
    assert "=到" not in context.rule_table(rules, classes, CHARS, WORDS, skip={"到"})[0]


@pytest.mark.parametrize("rule,message", [
    (("到", "after", "搵", "dou6"), "not among its candidates"),
    (("到", "after", "搵", "dou2 dou2"), "no reading"),
    (("到", "beside", "搵", "dou2"), "neither after nor before"),
    (("到", "after", "@noun", "dou2"), "unknown class"),
    (("搵", "after", "到", "wan1"), "not among its candidates"),
])
def test_rule_table_refuses_bad_rules(rule, message):
    with pytest.raises(ValueError, match=message):
        context.rule_table([rule], {"reach": ["搵"]}, CHARS, WORDS)


def test_two_rules_for_one_place_are_refused():
    with pytest.raises(ValueError, match="two rules"):
        context.rule_table([("到", "after", "搵", "dou2"), ("到", "after", "搵", "dou3")],
                           {}, CHARS, WORDS)


def test_numeral_words():
    assert context.numeral_words(WORDS, set("一二十"), {"個"}) == ["一個", "十二"]
