"""The lexicon audit: every reading of a word is checked against what its
characters read in the sources. A syllable that no character list gives its
character (a departure) is kept only when the other word list gives the word
the same reading, when it is the character's reading with the tone changed to
tone 2 or tone 1 (the changed tones of Cantonese), or when it is a known
colloquial form (tools/data/colloquial_readings.txt). Readings with a
departure kept by none of these are dropped; a word left without a reading
takes its characters' default readings where it departed, so the character
readings apply and segmentation is unchanged. No I/O here."""

from . import merge

AGREES = "agrees"
SECOND_SOURCE = "second source agrees"
CHANGED_TONE_LAST = "changed tone (last syllable)"
CHANGED_TONE_OTHER = "changed tone (other syllable)"
COLLOQUIAL = "known colloquial form"
CHANGED_TONES = ("1", "2")


def is_merger(variant, standard):
    """True when `variant` is `standard` said with one of the mergers of
    casual speech (n- as l-, gw- as g- before o, syllabic ng as m, -ng as
    -n, -k as -t). A dropped ng- is not counted: for characters such as 安
    and 愛 the form without it is the standard one (on1, oi3)."""
    vi, _, _ = merge.split_syllable(variant)
    si, _, _ = merge.split_syllable(standard)
    if si == "ng" and vi == "":
        return False
    return merge.is_lazy_syllable(variant, standard)


def standard_readings(ranked):
    """A character's readings, given best first, without those that are a
    merger of a reading ranked before them (呢 le1 after ne1): habits of
    speech, not readings. The rank decides the direction: some lists also
    give odd forms such as faak3 beside the standard 發 faat3."""
    syllables = merge.unique(r for r in ranked if merge.SYLLABLE_RE.match(r))
    return {r for k, r in enumerate(syllables)
            if not any(is_merger(r, o) for o in syllables[:k])}


def syllable_verdict(ch, syllable, last, known, colloquial):
    """Why `syllable` may stand for `ch` (a verdict above), or None for a
    departure no rule keeps. `known` maps char -> its standard readings,
    `colloquial` is a set of (char, reading)."""
    readings = known.get(ch)
    if not readings or syllable in readings:
        return AGREES  # a character no list reads has nothing to check against
    if syllable[-1] in CHANGED_TONES and any(r[:-1] == syllable[:-1] for r in readings):
        return CHANGED_TONE_LAST if last else CHANGED_TONE_OTHER
    if (ch, syllable) in colloquial:
        return COLLOQUIAL
    return None


def reading_verdict(word, reading, known, colloquial, both_sources):
    """The verdicts of a word's reading: a list with one verdict per departing
    syllable (empty when every syllable agrees), or None when a departure is
    kept by no rule. `both_sources` is true when both word lists give the
    word this reading, which keeps every departure."""
    syllables = reading.split(" ")
    out = []
    for k, (ch, s) in enumerate(zip(word, syllables)):
        v = syllable_verdict(ch, s, k == len(syllables) - 1, known, colloquial)
        if v == AGREES:
            continue
        if both_sources:
            v = SECOND_SOURCE
        if v is None:
            return None
        out.append(v)
    return out


def rebuilt_reading(word, reading, known, char_default):
    """`reading` with every syllable its character does not read replaced by
    the character's default reading."""
    syllables = reading.split(" ")
    return " ".join(s if s in known.get(c, ()) else char_default.get(c, s)
                    for c, s in zip(word, syllables))


def audit_words(words, known, colloquial, tj_words, rime_words, char_default, stats):
    """Audits every Entry of `words` (word -> Entry) in place and counts each
    rule's decisions into `stats` (verdict -> readings kept; "dropped",
    "rebuilt"). Returns the examples dropped, as (word, reading) pairs."""
    dropped_examples = []
    for word in sorted(words):
        entry = words[word]
        kept = []
        for reading in entry.candidates:
            both = reading in tj_words.get(word, ()) and reading in rime_words.get(word, ())
            verdicts = reading_verdict(word, reading, known, colloquial, both)
            if verdicts is None:
                stats["readings dropped"] = stats.get("readings dropped", 0) + 1
                dropped_examples.append((word, reading))
                continue
            for v in set(verdicts):
                key = "readings kept: " + v
                stats[key] = stats.get(key, 0) + 1
            kept.append(reading)
        if kept == entry.candidates:
            continue
        if not kept:
            kept = [rebuilt_reading(word, entry.candidates[0], known, char_default)]
            stats["words rebuilt from their characters"] = (
                stats.get("words rebuilt from their characters", 0) + 1)
        elif kept[0] != entry.candidates[0]:
            stats["words whose top reading was dropped for the next"] = (
                stats.get("words whose top reading was dropped for the next", 0) + 1)
        confidence = entry.confidence if len(kept) > 1 else None
        words[word] = merge.Entry(kept, confidence, entry.source)
    return dropped_examples
