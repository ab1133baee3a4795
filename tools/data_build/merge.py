"""Pure merging and ranking rules of the data build: which readings a word or a
character gets, in which order, with which confidence and source label. No I/O
here, so every rule can be tested on tiny inputs."""

import re

SYLLABLE_RE = re.compile(r"^[a-z]+[1-6]$")

# Labels written to the confidence and source files.
RANKED = "ranked"
TIED = "tied"
SRC_RIME = "rime"
SRC_UNIHAN = "unihan"
SRC_TOJYUTPING = "tojyutping"
SRC_TOJYUTPING_TIEBREAK = "tojyutping_tiebreak"
SRC_ORAL_HK = "oral_hk"

# Segmentation never produces a token longer than this many characters, so a
# longer word could never be read as a whole.
MAX_WORD_CHARS = 10


def is_cjk(ch):
    o = ord(ch)
    return (0x4E00 <= o <= 0x9FFF or 0x3400 <= o <= 0x4DBF
            or 0x20000 <= o <= 0x2A6DF or 0xF900 <= o <= 0xFAFF)


def is_reading_for(text, reading):
    """True when `reading` is one well-formed syllable per character of `text`
    and every character of `text` is a CJK ideograph the engine can look up."""
    if not text or not all(is_cjk(c) for c in text):
        return False
    syllables = reading.split(" ")
    return len(syllables) == len(text) and all(SYLLABLE_RE.match(s) for s in syllables)


def usable_word(word):
    return 2 <= len(word) <= MAX_WORD_CHARS and all(is_cjk(c) for c in word)


def unique(items):
    """Items in first-seen order without repeats."""
    seen = set()
    out = []
    for item in items:
        if item not in seen:
            seen.add(item)
            out.append(item)
    return out


# --- colloquial ("lazy") variants -------------------------------------------

_INITIALS = ("ng", "gw", "kw", "b", "p", "m", "f", "d", "t", "n", "l", "g", "k",
             "h", "w", "z", "c", "s", "j")


def split_syllable(syllable):
    """(initial, final, tone) of one Jyutping syllable; a syllabic m or ng has
    an empty initial and the nasal as its final."""
    tone = syllable[-1]
    body = syllable[:-1]
    if body in ("m", "ng"):
        return "", body, tone
    for ini in _INITIALS:
        if body.startswith(ini) and len(body) > len(ini):
            return ini, body[len(ini):], tone
    return "", body, tone


def is_lazy_syllable(variant, standard):
    """True when `variant` is the colloquial merger of `standard`: n- said as
    l-, gw- as g- before o, a dropped ng-, syllabic ng as m, -ng as -n or -k as
    -t. Tones must agree."""
    vi, vf, vt = split_syllable(variant)
    si, sf, st = split_syllable(standard)
    if vt != st or variant == standard:
        return False
    if sf == "ng" and si == "" and vf == "m" and vi == "":
        return True
    if vf == sf:
        if si == "n" and vi == "l":
            return True
        if si == "gw" and vi == "g" and sf.startswith("o"):
            return True
        if si == "ng" and vi == "":
            return True
        return False
    if vi == si and len(sf) > 2 and sf.endswith("ng") and vf == sf[:-2] + "n":
        return True
    if vi == si and len(sf) > 1 and sf.endswith("k") and vf == sf[:-1] + "t":
        return True
    return False


def is_lazy_reading(variant, standard):
    """True when every syllable of `variant` equals or is a lazy form of the
    matching syllable of `standard`, and at least one differs."""
    a = variant.split(" ")
    b = standard.split(" ")
    if len(a) != len(b) or a == b:
        return False
    return all(x == y or is_lazy_syllable(x, y) for x, y in zip(a, b))


def drop_lazy_variants(readings):
    """Removes every reading that is a lazy variant of another listed reading."""
    return [r for r in readings if not any(is_lazy_reading(r, s) for s in readings if s != r)]


# --- characters --------------------------------------------------------------

class Entry:
    """Merged result for one key: candidates in rank order, confidence label
    (None when there is a single candidate) and source label."""

    __slots__ = ("candidates", "confidence", "source")

    def __init__(self, candidates, confidence, source):
        self.candidates = candidates
        self.confidence = confidence
        self.source = source

    def __eq__(self, other):
        return (self.candidates, self.confidence, self.source) == (
            other.candidates, other.confidence, other.source)

    def __repr__(self):
        return "Entry(%r, %r, %r)" % (self.candidates, self.confidence, self.source)


def rank_rime_char(weighted):
    """Orders rime's (reading, weight) pairs by weight, highest first; equal
    weights keep the file's order. Returns (readings, top_is_tied)."""
    order = sorted(range(len(weighted)), key=lambda i: (-weighted[i][1], i))
    readings = unique(weighted[i][0] for i in order)
    best = [w for _, w in weighted]
    top = max(best) if best else 0
    tied = sum(1 for w in best if w == top) > 1
    return readings, tied


def merge_char(ch, tojyutping, rime, unihan):
    """Merges one character's readings. `tojyutping` is the package's ranked
    list, `rime` a list of (reading, weight percent), `unihan` kCantonese
    readings; any may be empty. to-jyutping's ranking comes first, then rime's
    other readings by weight, then Unihan's. Returns an Entry or None."""
    tj = [r for r in tojyutping if is_reading_for(ch, r)]
    rm_weighted = [(r, w) for r, w in rime if is_reading_for(ch, r)]
    rm, rm_tied = rank_rime_char(rm_weighted)
    uh = [r for r in unihan if is_reading_for(ch, r)]
    if tj:
        return Entry(unique(tj + rm + uh), RANKED, SRC_TOJYUTPING)
    if rm:
        return Entry(unique(rm + uh), TIED if rm_tied else RANKED, SRC_RIME)
    if uh:
        return Entry(unique(uh), TIED, SRC_UNIHAN)
    return None


# --- words -------------------------------------------------------------------

def agreement(reading, word, char_default):
    """How many syllables of `reading` equal the default reading of the
    character they belong to."""
    return sum(1 for c, s in zip(word, reading.split(" ")) if char_default.get(c) == s)


def rank_rime_word(word, readings, char_default, drop_lazy=True):
    """Orders rime's readings of one word (listed alphabetically, not by
    preference): colloquial variants whose standard form is also listed are
    dropped, then readings whose syllables agree with more of the characters'
    default readings come first; ties keep the file's order.
    Returns (readings, decided_by_defaults, tied); decided_by_defaults is
    simply "not tied" and is kept separate for the label logic's clarity."""
    rs = unique(r for r in readings if is_reading_for(word, r))
    if drop_lazy:
        rs = drop_lazy_variants(rs)
    if len(rs) < 2:
        return rs, False, False
    scores = {r: agreement(r, word, char_default) for r in rs}
    ranked = sorted(rs, key=lambda r: -scores[r])
    tied = scores[ranked[0]] == scores[ranked[1]]
    # When the top score is unique, the defaults decided the order, even if
    # the file happened to list that reading first.
    return ranked, not tied, tied


def merge_word(word, tojyutping, rime, char_default, prefer="tojyutping", drop_lazy=True):
    """Merges one word's readings. With prefer="tojyutping" the package's
    ranked readings come first and rime's others follow; with prefer="rime"
    the other way round. Returns an Entry or None."""
    if not usable_word(word):
        return None
    tj = [r for r in tojyutping if is_reading_for(word, r)]
    rm, by_defaults, tied = rank_rime_word(word, rime, char_default, drop_lazy)
    if tj and (prefer == "tojyutping" or not rm):
        cands = unique(tj + rm)
        return Entry(cands, RANKED if len(cands) > 1 else None, SRC_TOJYUTPING)
    if rm:
        cands = unique(rm + tj)
        if len(cands) == 1:
            return Entry(cands, None, SRC_RIME)
        if len(rm) == 1:
            return Entry(cands, RANKED, SRC_RIME)
        if tied:
            return Entry(cands, TIED, SRC_RIME)
        return Entry(cands, RANKED, SRC_TOJYUTPING_TIEBREAK if by_defaults else SRC_RIME)
    return None


def convention_map(tj_words, rime_words, min_words=3, ratio=4):
    """Syllables that rime writes differently from to-jyutping as a matter of
    convention (黑 hak1 where to-jyutping has haak1), learned from the words
    both list: (character, rime syllable) -> to-jyutping syllable when at least
    `min_words` shared words differ that way and they outnumber the shared
    words that keep the rime syllable `ratio` times or more. Only words with
    one rime reading and to-jyutping's first reading are compared."""
    differ, keep = {}, {}
    for word in sorted(set(tj_words) & set(rime_words)):
        rs, ts = rime_words[word], tj_words[word]
        if len(word) < 2 or len(set(rs)) != 1 or not ts:
            continue
        if not (is_reading_for(word, rs[0]) and is_reading_for(word, ts[0])):
            continue
        for ch, r, t in zip(word, rs[0].split(" "), ts[0].split(" ")):
            if r == t:
                keep[(ch, r)] = keep.get((ch, r), 0) + 1
            else:
                key = (ch, r, t)
                differ[key] = differ.get(key, 0) + 1
    out = {}
    for (ch, r, t), n in sorted(differ.items()):
        if n >= min_words and n >= ratio * keep.get((ch, r), 0):
            out[(ch, r)] = t
    return out


def apply_convention(word, reading, conventions):
    """`reading` of `word` with every syllable the convention map names replaced."""
    syllables = reading.split(" ")
    if len(syllables) != len(word):
        return reading
    return " ".join(conventions.get((c, s), s) for c, s in zip(word, syllables))


def reading_from_defaults(word, char_default):
    """A reading made of each character's default, or None if one is unknown."""
    syllables = [char_default.get(c) for c in word]
    if any(s is None for s in syllables):
        return None
    return " ".join(syllables)


# --- simplified characters ------------------------------------------------------

def unambiguous_variants(pairs):
    """From (from_char, to_char) pairs, the map of each from_char that has
    exactly one to_char different from itself and is not listed as its own
    variant too (a character that is both forms, like 后, stays ambiguous)."""
    targets = {}
    for a, b in pairs:
        targets.setdefault(a, set()).add(b)
    return {a: next(iter(bs)) for a, bs in sorted(targets.items())
            if len(bs) == 1 and a not in bs}


def simplified_words(words, trad_to_simp):
    """Maps traditional words to their simplified spelling through the
    character map. A simplified spelling reached from two words with different
    readings is ambiguous and left out. `words` maps word -> Entry; returns
    simplified word -> Entry for the spellings that differ from the original
    and are not words of their own."""
    reached = {}
    for word in sorted(words):
        simp = "".join(trad_to_simp.get(c, c) for c in word)
        if simp != word and simp not in words:
            reached.setdefault(simp, []).append(words[word])
    out = {}
    for simp, entries in sorted(reached.items()):
        first = entries[0]
        if all(e.candidates[0] == first.candidates[0] for e in entries):
            out[simp] = first
    return out


# --- usage evidence for character defaults ------------------------------------

class UsageRule:
    """When the words a character occurs in decide its default reading.
    share: the reading must carry at least this part of the character's usage
    mass inside words; cover: the mass inside words must be at least this many
    times the count of the character written alone (else words say little
    about its own use: a particle such as 呢 is mostly written alone); single:
    no one word may carry more than this part of the winning reading's mass
    (屋企 alone must not move 企). share 0 turns the rule off."""

    __slots__ = ("share", "cover", "single")

    def __init__(self, share=0.9, cover=0.25, single=0.5):
        self.share = share
        self.cover = cover
        self.single = single


def usage_evidence(word_readings, frequency):
    """For each character, how much each of its readings is used inside words:
    the summed frequency of every word (two or more characters) whose reading
    gives the character that syllable, and the largest frequency of one such
    word. `word_readings` maps word -> its top reading, `frequency` word ->
    count; words without a count add nothing.
    Returns char -> {reading: [mass, largest single-word mass]}."""
    out = {}
    for word in sorted(word_readings):
        f = frequency.get(word, 0)
        reading = word_readings[word]
        if f <= 0 or len(word) < 2 or not is_reading_for(word, reading):
            continue
        for ch, syllable in zip(word, reading.split(" ")):
            cell = out.setdefault(ch, {}).setdefault(syllable, [0, 0])
            cell[0] += f
            cell[1] = max(cell[1], f)
    return out


def usage_default(candidates, evidence, alone, rule):
    """The reading that usage inside words makes the default of a character
    whose ranked readings are `candidates`, or None to keep candidates[0].
    `evidence` is the character's entry of usage_evidence (None when it has
    none), `alone` how often the character is written on its own."""
    if rule.share <= 0 or not evidence or not candidates:
        return None
    total = sum(mass for mass, _ in evidence.values())
    if total < rule.cover * alone:
        return None
    best = sorted(evidence, key=lambda r: (-evidence[r][0], r))[0]
    mass, largest = evidence[best]
    if best == candidates[0] or best not in candidates:
        return None
    if mass < rule.share * total or largest > rule.single * mass:
        return None
    return best


def put_first(entry, reading, source):
    """`entry` with `reading` moved to the front and the given source label."""
    rest = [r for r in entry.candidates if r != reading]
    return Entry([reading] + rest, RANKED, source)


# --- colloquial spellings ------------------------------------------------------

def respelled_words(words, spellings):
    """Words written with a colloquial spelling of one of their characters.
    `spellings` is a list of (variant, character, reading): `variant` is
    written for `character` when it is read `reading`. Every word in which
    `character` is read so gets the variant at those places, keeping the
    word's readings, with the "oral_hk" label. A spelling that is already a
    word, or that two words with different top readings reach, is left out.
    Returns new word -> Entry."""
    reached = {}
    for word in sorted(words):
        entry = words[word]
        syllables = entry.candidates[0].split(" ")
        if len(syllables) != len(word):
            continue
        chars = list(word)
        for variant, ch, reading in spellings:
            for k, (c, s) in enumerate(zip(word, syllables)):
                if c == ch and s == reading:
                    chars[k] = variant
        new = "".join(chars)
        if new != word and new not in words:
            reached.setdefault(new, []).append(entry)
    out = {}
    for new, entries in sorted(reached.items()):
        first = entries[0]
        if all(e.candidates[0] == first.candidates[0] for e in entries):
            out[new] = Entry(list(first.candidates), first.confidence, SRC_ORAL_HK)
    return out
