"""The grammar of one Jyutping syllable: an optional onset, a rhyme (a
nucleus and an optional coda, or a syllabic m or ng) and a tone digit 1-6.
The romanizations, the inline readings and the per-character split all ask
this module whether a piece of a reading is a syllable."""
from __future__ import annotations

import re
from typing import NamedTuple

ONSETS = ("b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "ng", "h",
          "gw", "kw", "w", "z", "c", "s", "j")

# The codas each nucleus takes. The bare short "a" is not in the LSHK table,
# but the bundled lexicons write particles with it (la1, ga3), so readings
# holding it are syllables here too.
_CODAS = {
    "aa": ("", "i", "u", "m", "n", "ng", "p", "t", "k"),
    "a": ("", "i", "u", "m", "n", "ng", "p", "t", "k"),
    "e": ("", "i", "u", "m", "n", "ng", "p", "t", "k"),
    "i": ("", "u", "m", "n", "ng", "p", "t", "k"),
    "o": ("", "i", "u", "n", "ng", "t", "k"),
    "u": ("", "i", "n", "ng", "t", "k"),
    "oe": ("", "ng", "t", "k"),
    "eo": ("i", "n", "t"),
    "yu": ("", "n", "t"),
}
SYLLABIC_NASALS = ("m", "ng")
# Syllabic nasals stand alone or after h (hm6, hng6).
_NASAL_ONSETS = ("", "h")

#: Every rhyme spelled out, mapped to its (nucleus, coda).
RHYMES: dict[str, tuple[str, str]] = {
    nucleus + coda: (nucleus, coda) for nucleus, codas in _CODAS.items() for coda in codas
}

_SHAPE = re.compile(r"([a-z]{1,6})([1-6])")


class SyllableParts(NamedTuple):
    """One syllable taken apart; compares equal to the plain 4-tuple."""
    onset: str
    nucleus: str
    coda: str
    tone: int


def parse_syllable(text: str) -> SyllableParts | None:
    """`text` taken apart, or None when it is not one Jyutping syllable."""
    shape = _SHAPE.fullmatch(text)
    if shape is None:
        return None
    body, tone = shape.group(1), int(shape.group(2))
    for nasal in SYLLABIC_NASALS:
        onset = body[: len(body) - len(nasal)]
        if body.endswith(nasal) and onset in _NASAL_ONSETS:
            return SyllableParts(onset, nasal, "", tone)
    if body in RHYMES:
        return SyllableParts("", *RHYMES[body], tone)
    # The two-letter onsets first: "gwong" is gw + ong, never g + wong.
    for onset in ("ng", "gw", "kw", *ONSETS):
        if body.startswith(onset) and body[len(onset):] in RHYMES:
            return SyllableParts(onset, *RHYMES[body[len(onset):]], tone)
    return None


def is_syllable(text: str) -> bool:
    return parse_syllable(text) is not None


def syllable_parts(syllable: str) -> SyllableParts:
    """The (onset, nucleus, coda, tone) of one Jyutping syllable:
    syllable_parts("gwong2") == ("gw", "o", "ng", 2); a syllabic nasal is
    its own nucleus: syllable_parts("ng5") == ("", "ng", "", 5). An absent
    onset or coda is "". Raises TypeError for a non-str and ValueError for
    a string that is not one syllable."""
    if not isinstance(syllable, str):
        raise TypeError(f"syllable must be a str, not {type(syllable).__name__}")
    parts = parse_syllable(syllable)
    if parts is None:
        raise ValueError(
            f"syllable {syllable!r} is not a Jyutping syllable (lower-case onset and rhyme "
            "followed by one tone digit 1-6, as in 'gwong2')")
    return parts
