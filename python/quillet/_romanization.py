"""Jyutping readings in other romanizations: IPA, Yale (tone marks or tone
numbers) and Cantonese Pinyin. Each scheme spells a syllable from three
small tables (onset, rhyme, tone), so every valid syllable has a spelling,
including the few that no published syllable list carries.

The tables follow the published schemes as tabulated in pingyambiu by
kaifangcidian.com (github.com/kfcd/pingyam, CC BY 3.0): composing them gives
that table's spelling for each of its 3,958 syllables except where the table
leaves its own pattern (see tests/python/test_package_romanization.py).
Changed from it: Yale tone numbers are 1-6 like Jyutping's (the table numbers
entering tones 7-9), syllabic nasals take the combining macron in Yale tone
1 (m̄, n̄g) and are always marked syllabic in IPA."""
from __future__ import annotations

import unicodedata
from collections.abc import Callable

from ._jyutping import SyllableParts, parse_syllable

# --- IPA: phonemic onsets and rhymes, Chao tone letters ---------------------

_IPA_ONSETS = {
    "": "", "b": "p", "p": "pʰ", "m": "m", "f": "f", "d": "t", "t": "tʰ", "n": "n",
    "l": "l", "g": "k", "k": "kʰ", "ng": "ŋ", "h": "h", "gw": "kw", "kw": "kʰw",
    "w": "w", "z": "ts", "c": "tsʰ", "s": "s", "j": "j",
}
# The long and short vowels of each nucleus (ɐ for the short a; the front
# and back nuclei lax before velar codas: ɪŋ ɪk ʊŋ ʊk).
_IPA_RHYMES = {
    "aa": "aː", "aai": "aːi", "aau": "aːu", "aam": "aːm", "aan": "aːn", "aang": "aːŋ",
    "aap": "aːp", "aat": "aːt", "aak": "aːk",
    "a": "ɐ", "ai": "ɐi", "au": "ɐu", "am": "ɐm", "an": "ɐn", "ang": "ɐŋ",
    "ap": "ɐp", "at": "ɐt", "ak": "ɐk",
    "e": "ɛː", "ei": "ei", "eu": "ɛːu", "em": "ɛːm", "en": "ɛːn", "eng": "ɛːŋ",
    "ep": "ɛːp", "et": "ɛːt", "ek": "ɛːk",
    "i": "iː", "iu": "iːu", "im": "iːm", "in": "iːn", "ing": "ɪŋ",
    "ip": "iːp", "it": "iːt", "ik": "ɪk",
    "o": "ɔː", "oi": "ɔːi", "ou": "ou", "on": "ɔːn", "ong": "ɔːŋ", "ot": "ɔːt", "ok": "ɔːk",
    "u": "uː", "ui": "uːi", "un": "uːn", "ung": "ʊŋ", "ut": "uːt", "uk": "ʊk",
    "oe": "œː", "oeng": "œːŋ", "oet": "œːt", "oek": "œːk",
    "eoi": "ɵy", "eon": "ɵn", "eot": "ɵt",
    "yu": "yː", "yun": "yːn", "yut": "yːt",
    "m": "m̩", "ng": "ŋ̩",
}
_IPA_TONES = {1: "˥", 2: "˧˥", 3: "˧", 4: "˨˩", 5: "˩˧", 6: "˨"}


def _ipa(parts: SyllableParts) -> str:
    return (_IPA_ONSETS[parts.onset] + _IPA_RHYMES[parts.nucleus + parts.coda]
            + _IPA_TONES[parts.tone])


# --- Yale -------------------------------------------------------------------

_YALE_ONSETS = {onset: onset for onset in _IPA_ONSETS}
_YALE_ONSETS.update({"z": "j", "c": "ch", "j": "y"})
# Yale writes Jyutping's long aa as a where it stands alone, both oe and eo
# as eu, and Jyutping's eu as eeu; every other rhyme is spelled the same.
_YALE_RHYMES = {"aa": "a", "eu": "eeu", "oe": "eu", "oeng": "eung", "oek": "euk",
                "oet": "eut", "eoi": "eui", "eon": "eun", "eot": "eut"}
# Tone marks as combining characters (composed by NFC where a precomposed
# letter exists); tones 4-6 also write h after the vowels.
_YALE_MARKS = {1: "\u0304", 2: "\u0301", 3: "", 4: "\u0300", 5: "\u0301", 6: ""}
_LOW_TONES = (4, 5, 6)
_VOWELS = "aeiou"


def _yale_letters(parts: SyllableParts) -> str:
    rhyme = parts.nucleus + parts.coda
    onset = _YALE_ONSETS[parts.onset]
    if parts.onset == "j" and parts.nucleus == "yu":
        onset = ""  # jyu is written yu: the y is the onset already
    return onset + _YALE_RHYMES.get(rhyme, rhyme)


def _yale_marked(parts: SyllableParts) -> str:
    letters = _yale_letters(parts)
    if parts.nucleus in ("m", "ng"):
        first = len(letters) - len(parts.nucleus)
        end = len(letters)
    else:  # the mark on the first vowel letter: hēung, bīu, būi
        first = next(i for i, c in enumerate(letters) if c in _VOWELS)
        end = first
        while end < len(letters) and letters[end] in _VOWELS:
            end += 1
    mark = _YALE_MARKS[parts.tone]
    h = "h" if parts.tone in _LOW_TONES else ""
    spelled = letters[: first + 1] + mark + letters[first + 1: end] + h + letters[end:]
    return unicodedata.normalize("NFC", spelled)


def _yale_numbered(parts: SyllableParts) -> str:
    return f"{_yale_letters(parts)}{parts.tone}"


# --- Cantonese Pinyin (the Education University of Hong Kong's scheme) ------

_PINYIN_ONSETS = {onset: onset for onset in _IPA_ONSETS}
_PINYIN_ONSETS.update({"z": "dz", "c": "ts"})
_PINYIN_RHYMES = {"eoi": "oey", "eon": "oen", "eot": "oet",
                  "yu": "y", "yun": "yn", "yut": "yt"}
# Entering tones (a stop coda) of pitch 1, 3 and 6 are numbered 7, 8 and 9.
_PINYIN_ENTERING = {1: 7, 3: 8, 6: 9}


def _pinyin(parts: SyllableParts) -> str:
    rhyme = parts.nucleus + parts.coda
    tone = parts.tone
    if parts.coda in ("p", "t", "k"):
        tone = _PINYIN_ENTERING.get(tone, tone)
    return f"{_PINYIN_ONSETS[parts.onset]}{_PINYIN_RHYMES.get(rhyme, rhyme)}{tone}"


# --- reading strings ----------------------------------------------------------

def _mapper(spell: Callable[[SyllableParts], str]) -> Callable[[str], str]:
    """Maps a reading syllable by syllable (separated by single spaces);
    a piece that is not a Jyutping syllable is kept as it is."""
    cache: dict[str, str] = {}

    def convert(reading: str) -> str:
        pieces = reading.split(" ")
        for i, piece in enumerate(pieces):
            spelled = cache.get(piece)
            if spelled is None:
                parts = parse_syllable(piece)
                spelled = piece if parts is None else spell(parts)
                if len(cache) < 65536:  # bounded: pieces that are not syllables are cached too
                    cache[piece] = spelled
            pieces[i] = spelled
        return " ".join(pieces)
    return convert


_TO_IPA = _mapper(_ipa)
_TO_YALE_MARKED = _mapper(_yale_marked)
_TO_YALE_NUMBERED = _mapper(_yale_numbered)
_TO_PINYIN = _mapper(_pinyin)


def _check_reading(jyutping: object) -> str:
    if not isinstance(jyutping, str):
        raise TypeError(f"jyutping must be a str, not {type(jyutping).__name__}")
    return jyutping


def to_ipa(jyutping: str) -> str:
    """The reading in IPA with Chao tone letters, syllable by syllable:
    to_ipa("gwong2 dung1") == "kwɔːŋ˧˥ tʊŋ˥". Pieces that are not Jyutping
    syllables are kept. Raises TypeError for a non-str."""
    return _TO_IPA(_check_reading(jyutping))


def to_yale(jyutping: str, tone_marks: bool = True) -> str:
    """The reading in Yale: with tone marks and h (to_yale("hoeng1 gong2")
    == "hēung góng"), or with the tone numbers 1-6 after each syllable when
    `tone_marks` is False ("heung1 gong2"). Pieces that are not Jyutping
    syllables are kept. Raises TypeError for a non-str reading or a
    non-bool `tone_marks`."""
    reading = _check_reading(jyutping)
    if not isinstance(tone_marks, bool):
        raise TypeError(f"tone_marks must be a bool, not {type(tone_marks).__name__}")
    return _TO_YALE_MARKED(reading) if tone_marks else _TO_YALE_NUMBERED(reading)


def to_cantonese_pinyin(jyutping: str) -> str:
    """The reading in Cantonese Pinyin (教院式), entering tones numbered 7-9:
    to_cantonese_pinyin("sik6 zou2 caan1") == "sik9 dzou2 tsaan1". Pieces
    that are not Jyutping syllables are kept. Raises TypeError for a non-str."""
    return _TO_PINYIN(_check_reading(jyutping))


#: The --romanization names and the function each stands for.
ROMANIZATIONS: dict[str, Callable[[str], str] | None] = {
    "jyutping": None, "ipa": to_ipa, "yale": to_yale, "pinyin": to_cantonese_pinyin,
}
