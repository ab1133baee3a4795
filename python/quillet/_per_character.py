"""One reading per character, for speech models that align characters with
syllables: the tokens of convert_detailed cut into (character, syllable)."""
from __future__ import annotations

from collections.abc import Iterable, Sequence

from ._cjk import is_cjk
from ._letters import LETTER_NAMES, is_spelled_out, letter_reading


def per_character(tokens: Iterable[Sequence[object]]) -> list[tuple[str, str]]:
    """[(text, reading)] from tokens shaped (token, reading, ...), such as
    convert_detailed's: one pair per character of a Chinese token whose
    reading has one syllable per character, one pair per letter of an
    acronym read by its letter names, and the token whole otherwise
    (punctuation, Latin words, a token read with more or fewer syllables
    than it has characters). Raises TypeError naming `tokens` when an item
    is not such a tuple."""
    if isinstance(tokens, (str, bytes)) or not isinstance(tokens, Iterable):
        raise TypeError(f"tokens must be a list of (token, reading, ...) tuples, "
                        f"not {type(tokens).__name__}")
    pairs: list[tuple[str, str]] = []
    for number, token in enumerate(tokens):
        if (isinstance(token, (str, bytes)) or not isinstance(token, Sequence) or len(token) < 2
                or not isinstance(token[0], str) or not isinstance(token[1], str)):
            raise TypeError(f"tokens[{number}] must be a (token, reading, ...) tuple of str, "
                            f"not {token!r}")
        text, reading = token[0], token[1]
        syllables = reading.split(" ")
        if len(syllables) == len(text) and all(is_cjk(c) for c in text):
            pairs.extend(zip(text, syllables))
        elif is_spelled_out(text) and reading == letter_reading(text):
            pairs.extend((letter, LETTER_NAMES[letter]) for letter in text)
        else:
            pairs.append((text, reading))
    return pairs
