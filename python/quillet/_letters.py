"""English capital letters read the way Hong Kong Cantonese speakers name
them: AV線 is "ei1 wi1 sin3". The table is written by hand from everyday
Hong Kong usage (the names taught and heard in Hong Kong schools and media,
as commonly written in Jyutping); it copies no data set. Names that need
a final Jyutping lacks (F, L, S, X ...) take two syllables, as spoken."""
from __future__ import annotations

import re

LETTER_NAMES = {
    "A": "ei1", "B": "bi1", "C": "si1", "D": "di1", "E": "ji1", "F": "e1 fu4",
    "G": "zi1", "H": "ek1 cyu4", "I": "aai1", "J": "zei1", "K": "kei1", "L": "e1 lou2",
    "M": "em1", "N": "en1", "O": "ou1", "P": "pi1", "Q": "kiu1", "R": "aa1 lou2",
    "S": "e1 si2", "T": "ti1", "U": "ju1", "V": "wi1", "W": "daa1 bo1 ju1",
    "X": "ek1 si2", "Y": "waai1", "Z": "zet1",
}

# A single capital, or an acronym of two to five: longer runs of capitals
# are more often shouted words than initials, so they pass through.
_SPELLED = re.compile(r"[A-Z]{1,5}")


def is_spelled_out(token: str) -> bool:
    """True for a token that is read letter by letter."""
    return _SPELLED.fullmatch(token) is not None


def letter_reading(token: str) -> str:
    """The letter names of a token for which is_spelled_out is true."""
    return " ".join(LETTER_NAMES[letter] for letter in token)
