"""Numbers read with the standard numeral readings on the real data: every
integer 0..100,000 and random 64-bit numbers, bare and before 元, and
fractions. Every token made only of numerals (and 分之) must read each
numeral its standard way, whatever words the lexicon sources hold.

The data directory is the in-tree one, or QUILLET_TEST_DATA_DIR when set
(to check a data build made elsewhere)."""
import os
import pathlib
import random

import pytest

from pkg_util import REAL_DATA

DATA = pathlib.Path(os.environ.get("QUILLET_TEST_DATA_DIR", REAL_DATA))

STANDARD = {"零": "ling4", "一": "jat1", "二": "ji6", "兩": "loeng5", "三": "saam1", "四": "sei3",
            "五": "ng5", "六": "luk6", "七": "cat1", "八": "baat3", "九": "gau2", "十": "sap6",
            "百": "baak3", "千": "cin1", "萬": "maan6", "億": "jik1", "點": "dim2"}


@pytest.fixture(scope="module")
def pipeline(quillet):
    if not (DATA / "word.bin").is_file() or not (DATA / "char.bin").is_file():
        pytest.skip("no real data directory (python3 tools/build_data.py)")
    p = quillet.PyPipeline(data_dir=str(DATA))
    if len(p.convert_detailed("分之")) != 1:
        pytest.skip("the data was built before the numeral step; rebuild it with "
                    "tools/build_data.py")
    return p


def wrong_numerals(tokens):
    """Tokens of numerals only whose readings are not the standard ones."""
    bad = []
    for text, reading, *_ in tokens:
        if not text or not all(c in STANDARD or c in "分之" for c in text):
            continue
        syllables = reading.split(" ")
        want = [STANDARD.get(c) or ("fan6" if text[k + 1:k + 2] == "之" else None)
                for k, c in enumerate(text) if c != "之"]
        got = [s for c, s in zip(text, syllables) if c != "之"]
        if len(syllables) != len(text) or any(w and w != g for w, g in zip(want, got)):
            bad.append((text, reading))
    return bad


def check(pipeline, texts):
    failures = []
    for text, tokens in zip(texts, pipeline.convert_detailed_batch(texts)):
        bad = wrong_numerals(tokens)
        if bad:
            failures.append((text, bad))
    assert not failures, failures[:20]


def test_every_integer_up_to_one_hundred_thousand(pipeline):
    numbers = [str(n) for n in range(100_001)]
    check(pipeline, numbers)
    check(pipeline, [n + "元" for n in numbers])


def test_random_64_bit_numbers(pipeline):
    rng = random.Random(14)
    numbers = [str(rng.getrandbits(64) >> rng.randrange(64)) for _ in range(20_000)]
    check(pipeline, numbers)
    check(pipeline, [n + "元" for n in numbers])


def test_fractions_read_fan6(pipeline):
    texts = ["%d/%d" % (a, b) for b in range(1, 1000) for a in (1, 3, 19, 99)]
    check(pipeline, texts)
    for tokens in pipeline.convert_detailed_batch(texts[:40]):
        assert "".join(t[0] for t in tokens).find("分之") >= 0, tokens


def test_the_check_sees_a_wrong_reading():
    assert wrong_numerals([("十九", "sap1 gau1")])
    assert wrong_numerals([("十分之", "sap6 fan1 zi1")])
    assert not wrong_numerals([("十分", "sap6 fan1"), ("十九", "sap6 gau2")])


# The numeral step of the data build, on hand-made words.
STEP_ROWS = [
    # word, reading from the sources, reading after the step (None: left out)
    ("十九", "sap1 gau1", "sap6 gau2"),          # rime's euphemism spelling
    ("二六", "ji6 luk1", "ji6 luk6"),
    ("十八廿二", "sap6 baat3 jaa6 ji2", "sap6 baat3 jaa6 ji6"),
    ("十分", "sap6 fan1", "sap6 fan1"),          # "very": 分 is no fraction here
    ("百分之", "baak3 fan6 zi1", "baak3 fan6 zi1"),
    ("千分之", "cin1 fan1 zi1", "cin1 fan6 zi1"),
    ("一點", "jat1 dim2", "jat1 dim2"),
    ("十五", "sap6", None),                        # the reading does not fit the word
    ("十年", "sap6 nin4", "sap6 nin4"),            # not a numeral word: untouched
    ("分之", None, "fan6 zi1"),                    # added
    ("十分之", None, "sap6 fan6 zi1"),             # added after the word 十分
]


def test_numeral_step_of_the_data_build():
    import sys
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
    from data_build.merge import Entry
    from data_build.numerals import SRC_NUMERAL, standardize

    words = {w: Entry([r], None, "rime") for w, r, _ in STEP_ROWS if r is not None}
    stats = {}
    standardize(words, stats)
    for word, before, after in STEP_ROWS:
        if after is None:
            assert word not in words, word
            continue
        assert words[word].candidates == [after], word
        assert words[word].source == ("rime" if before == after else SRC_NUMERAL), word
