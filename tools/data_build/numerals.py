"""The numeral step of the data build. The engine spells every number as
numeral characters (十九, 二零二六, 四分之三), so a word made only of numerals
must read them the standard way: the sources hold such words with other
readings (rime's euphemism 十九 "sap1 gau1", to-jyutping's 二六 and 四六 with
"luk1"), and greedy segmentation puts them inside every number that contains
them. The step rewrites those words to the standard readings, and adds the
words that make 分 before 之 (a fraction, fan6) segment as one word.
Readings: the standard Cantonese (Jyutping) readings of the numerals."""

from data_build.merge import Entry

SRC_NUMERAL = "numeral"

# The numerals the engine writes, their simplified forms, and 廿 卅 that the
# sources use inside numeral words.
STANDARD = {
    "零": "ling4", "一": "jat1", "二": "ji6", "兩": "loeng5", "两": "loeng5", "三": "saam1",
    "四": "sei3", "五": "ng5", "六": "luk6", "七": "cat1", "八": "baat3", "九": "gau2",
    "十": "sap6", "百": "baak3", "千": "cin1", "萬": "maan6", "万": "maan6", "億": "jik1",
    "亿": "jik1", "點": "dim2", "点": "dim2", "廿": "jaa6", "卅": "saa1",
}
# 分 is "fan6" only as the fraction word 分之; alone it stays as the source
# has it (十分 "very", sap6 fan1).
FRACTION_WORD = "分之"
FRACTION_READING = ("fan6", "zi1")


def is_numeral_word(word):
    """Only numerals and the characters of 分之, with at least one numeral."""
    return (all(c in STANDARD or c in FRACTION_WORD for c in word)
            and any(c in STANDARD for c in word))


def standard_reading(word, reading):
    """`reading` with every numeral's syllable replaced by its standard one,
    and 分 before 之 read fan6; None when the reading does not fit the word."""
    syllables = reading.split(" ")
    if len(syllables) != len(word):
        return None
    out = []
    for k, (c, s) in enumerate(zip(word, syllables)):
        if c in STANDARD:
            s = STANDARD[c]
        elif word[k:k + 2] == FRACTION_WORD:
            s = FRACTION_READING[0]
        out.append(s)
    return " ".join(out)


def standardize(words, stats):
    """Rewrites the numeral words of `words` (word -> Entry) in place and adds
    分之 with every numeral word ending in 分 followed by 之 (十分之, 萬分之),
    so that greedy matching can never cut a fraction word after its 分."""
    rewritten = dropped = 0
    for word in sorted(words):
        if not is_numeral_word(word):
            continue
        entry = words[word]
        reading = standard_reading(word, entry.candidates[0])
        if reading is None:
            del words[word]
            dropped += 1
        elif entry.candidates != [reading]:
            words[word] = Entry([reading], None, SRC_NUMERAL)
            rewritten += 1
    added = {}
    if FRACTION_WORD not in words:
        added[FRACTION_WORD] = " ".join(FRACTION_READING)
    for word, entry in words.items():
        longer = word + FRACTION_WORD[1]
        if word.endswith(FRACTION_WORD[0]) and is_numeral_word(word) and longer not in words:
            added[longer] = standard_reading(longer,
                                             entry.candidates[0] + " " + FRACTION_READING[1])
    for word, reading in added.items():
        words[word] = Entry([reading], None, SRC_NUMERAL)
    stats["numeral words rewritten to the standard readings"] = rewritten
    stats["numeral words left out (reading does not fit)"] = dropped
    stats["fraction words added (分之)"] = len(added)
    return words
