"""Readings fixed by the writer inside the text: a Chinese character followed
by one Jyutping syllable in ASCII or full-width parentheses, 長(coeng4)度 or
長（coeng4）度. The annotation is cut out before conversion; the reading is
then put back onto that character in the engine's token list."""
from __future__ import annotations

import re
from typing import NamedTuple

from ._cjk import CJK_RANGES, is_cjk
from ._jyutping import is_syllable

# The parentheses must pair up; what is inside is checked as a syllable below,
# so 長(coeng)度 or 長(Coeng4)度 stay text.
_ANNOTATION = re.compile(f"([{CJK_RANGES}])(?:\\(([a-z]{{1,6}}[1-6])\\)|（([a-z]{{1,6}}[1-6])）)")


class Stripped(NamedTuple):
    """A text without its annotations, and the readings they gave as
    {index of the character in `text`: syllable}."""
    text: str
    readings: dict[int, str]


def strip_annotations(text: str) -> Stripped:
    if "(" not in text and "（" not in text:  # the common case, without the expression
        return Stripped(text, {})
    pieces: list[str] = []
    readings: dict[int, str] = {}
    length = 0  # of the text kept so far
    last = 0
    for match in _ANNOTATION.finditer(text):
        syllable = match.group(2) or match.group(3)
        if not is_syllable(syllable):
            continue
        kept = text[last: match.end(1)]
        pieces.append(kept)
        length += len(kept)
        readings[length - 1] = syllable
        last = match.end()
    if not readings:
        return Stripped(text, {})
    pieces.append(text[last:])
    return Stripped("".join(pieces), readings)


def place_readings(text: str, readings: dict[int, str],
                   tokens: list[str]) -> dict[tuple[int, int], str]:
    """Where each reading of `readings` (indices into `text`) lands in the
    engine's tokens of `text`, as {(token index, character index): syllable}.

    Normalization may insert Chinese characters (3點 becomes 三點) but keeps
    the text's own; so each run of Chinese characters of `text` is found
    whole in the tokens' Chinese characters, in order, at the first place
    after the previous run (a run at the start or end of the text must sit
    at the start or end). A run not found there places no reading."""
    slots = [(t, c) for t, token in enumerate(tokens) for c, ch in enumerate(token) if is_cjk(ch)]
    stream = "".join(tokens[t][c] for t, c in slots)
    placed: dict[tuple[int, int], str] = {}
    position = 0
    for run in re.finditer(f"[{CJK_RANGES}]+", text):
        chars = run.group()
        at_start, at_end = run.start() == 0, run.end() == len(text)
        if at_start:
            start = 0
        elif at_end:
            start = len(stream) - len(chars)
        else:
            start = stream.find(chars, position)
        found = (start >= position and stream.startswith(chars, start)
                 and (not at_end or start + len(chars) == len(stream)))
        if not found:
            continue
        for offset in range(len(chars)):
            syllable = readings.get(run.start() + offset)
            if syllable is not None:
                placed[slots[start + offset]] = syllable
        position = start + len(chars)
    return placed
