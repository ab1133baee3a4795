"""quillet.Pipeline: the engine's PyPipeline behind a small Python class that
adds two reading options, inline readings (長(coeng4)度) and Hong Kong letter
names (AV線), and that pickles by its arguments, so that it can be handed to
worker processes. With both options off every method is the engine's own."""
from __future__ import annotations

import os
import re
from collections.abc import Callable, Mapping
from typing import Any

from _quillet import PyPipeline

from ._cjk import is_cjk
from ._inline import place_readings, strip_annotations
from ._letters import is_spelled_out, letter_reading
from ._paths import describe_load_failure, resolve_data_dir

DetailedToken = tuple[str, str, str, str, str]
CandidateToken = tuple[str, list[str], str, str, str]

#: The source label of a reading fixed inline and of a letter read by name.
INLINE_SOURCE = "inline_reading"
LETTER_SOURCE = "letter_name"

_CAPITAL = re.compile("[A-Z]")

# What a token gets, by index: a whole new reading (letters) or
# {character index: syllable} (inline readings).
_Edits = dict[int, "str | dict[int, str]"]


def _check_flag(name: str, value: object) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{name} must be a bool, not {type(value).__name__}")
    return value


class Pipeline:
    """The Cantonese (Hong Kong) grapheme-to-phoneme pipeline, loaded from
    `data_dir` or, when that is None, from the data directory bundled with
    the package. `punc_norm` and `user_dict` (any mapping of word to
    reading) are PyPipeline's. With `inline_readings`, a Chinese character
    followed by a syllable in parentheses, 長(coeng4)度, takes that reading
    and the annotation is not read. With `letter_names`, a single capital
    letter or an acronym of two to five capitals is read by the letters'
    Hong Kong names (AV is "ei1 wi1"). A token holding a character with an
    inline reading is split there, so that the character is its own token
    (source "inline_reading"); a token read by letter names keeps its text
    (source "letter_name"); both are "certain".

    Raises DataDirNotFoundError when no directory is given and none is
    bundled, RuntimeError naming the directory (and the missing file, if
    one is) when it cannot be loaded, and TypeError naming the argument for
    an argument of the wrong type. Immutable; pickles by its arguments (the
    receiving process loads its own copy)."""

    __slots__ = ("_engine", "_arguments", "_inline", "_letters")

    def __init__(self, punc_norm: bool = True,
                 data_dir: str | os.PathLike[str] | None = None,
                 user_dict: Mapping[str, str] | None = None, *,
                 inline_readings: bool = False, letter_names: bool = False) -> None:
        self._inline = _check_flag("inline_readings", inline_readings)
        self._letters = _check_flag("letter_names", letter_names)
        path = resolve_data_dir(data_dir)
        if user_dict is not None and not isinstance(user_dict, dict):
            if not isinstance(user_dict, Mapping):
                raise TypeError(f"user_dict must be a mapping of str to str, not "
                                f"{type(user_dict).__name__}")
            user_dict = dict(user_dict)
        try:
            self._engine = PyPipeline(punc_norm, path, user_dict)
        except RuntimeError as err:
            raise RuntimeError(describe_load_failure(path, err)) from err
        kept_dir = None if data_dir is None else path
        self._arguments: tuple[Any, ...] = (
            "new", punc_norm, kept_dir, None if user_dict is None else dict(user_dict))

    @classmethod
    def from_dir(cls, dir: str, punc_norm: bool = True, *,  # noqa: A002 - PyPipeline's name
                 inline_readings: bool = False, letter_names: bool = False) -> Pipeline:
        """A pipeline loaded from exactly `dir` (no bundled default, no user
        dictionary), as PyPipeline.from_dir."""
        self = cls.__new__(cls)
        self._inline = _check_flag("inline_readings", inline_readings)
        self._letters = _check_flag("letter_names", letter_names)
        self._engine = PyPipeline.from_dir(dir, punc_norm)
        self._arguments = ("from_dir", dir, punc_norm)
        return self

    # --- options, copying, pickling -------------------------------------

    @property
    def inline_readings(self) -> bool:
        return self._inline

    @property
    def letter_names(self) -> bool:
        return self._letters

    def __reduce__(self) -> tuple[Callable[..., Pipeline], tuple[Any, ...]]:
        return _rebuild, (self._arguments, self._inline, self._letters)

    def __repr__(self) -> str:
        if self._arguments[0] == "from_dir":
            where = f"dir={self._arguments[1]!r}, punc_norm={self._arguments[2]!r}"
        else:
            where = f"punc_norm={self._arguments[1]!r}, data_dir={self._arguments[2]!r}"
        return (f"quillet.Pipeline({where}, inline_readings={self._inline}, "
                f"letter_names={self._letters})")

    # --- the six conversions ----------------------------------------------

    def convert(self, text: str) -> str:
        """The readings of all tokens joined by single spaces."""
        if not self._active(text):
            return self._engine.convert(text)
        clean, forced = self._prepare(text)
        reading = self._engine.convert(clean)
        if not self._may_edit(clean, forced):
            return reading
        return self._edit_reading(clean, forced, reading, self._engine.convert_detailed(clean))

    def convert_batch(self, texts: list[str]) -> list[str]:
        """`convert` of every text, in parallel, in input order."""
        if not self._active_batch(texts):
            return self._engine.convert_batch(texts)
        prepared = [self._prepare(text) for text in texts]
        results = self._engine.convert_batch([clean for clean, _ in prepared])
        pending = [i for i, (clean, forced) in enumerate(prepared) if self._may_edit(clean, forced)]
        details = self._engine.convert_detailed_batch([prepared[i][0] for i in pending])
        for i, tokens in zip(pending, details):
            results[i] = self._edit_reading(*prepared[i], results[i], tokens)
        return results

    def convert_detailed(self, text: str) -> list[DetailedToken]:
        """One (token, jyutping, lang, confidence, source) tuple per token."""
        if not self._active(text):
            return self._engine.convert_detailed(text)
        clean, forced = self._prepare(text)
        return self._edit_detailed(clean, forced, self._engine.convert_detailed(clean))

    def convert_detailed_batch(self, texts: list[str]) -> list[list[DetailedToken]]:
        """`convert_detailed` of every text, in parallel, in input order."""
        if not self._active_batch(texts):
            return self._engine.convert_detailed_batch(texts)
        prepared = [self._prepare(text) for text in texts]
        results = self._engine.convert_detailed_batch([clean for clean, _ in prepared])
        return [self._edit_detailed(clean, forced, tokens)
                for (clean, forced), tokens in zip(prepared, results)]

    def convert_candidates(self, text: str) -> list[CandidateToken]:
        """One (token, candidate_readings, lang, confidence, source) tuple per token."""
        if not self._active(text):
            return self._engine.convert_candidates(text)
        clean, forced = self._prepare(text)
        return self._edit_candidates(clean, forced, self._engine.convert_candidates(clean))

    def convert_candidates_batch(self, texts: list[str]) -> list[list[CandidateToken]]:
        """`convert_candidates` of every text, in parallel, in input order."""
        if not self._active_batch(texts):
            return self._engine.convert_candidates_batch(texts)
        prepared = [self._prepare(text) for text in texts]
        results = self._engine.convert_candidates_batch([clean for clean, _ in prepared])
        return [self._edit_candidates(clean, forced, tokens)
                for (clean, forced), tokens in zip(prepared, results)]

    # --- the options at work ----------------------------------------------

    def _active(self, text: object) -> bool:
        """Whether an option may change this text; False also for an
        argument the engine will reject, so that the error is the engine's."""
        return (self._inline or self._letters) and isinstance(text, str)

    def _active_batch(self, texts: object) -> bool:
        return ((self._inline or self._letters) and isinstance(texts, list)
                and all(isinstance(text, str) for text in texts))

    def _prepare(self, text: str) -> tuple[str, dict[int, str]]:
        """The text the engine converts, and the inline readings cut from it."""
        if self._inline:
            return strip_annotations(text)
        return text, {}

    def _may_edit(self, clean: str, forced: dict[int, str]) -> bool:
        return bool(forced) or (self._letters and _CAPITAL.search(clean) is not None)

    def _reconvert_detailed(self, text: str) -> list[CandidateToken]:
        return [_as_candidates(t) for t in self._engine.convert_detailed(text)]

    def _edits(self, clean: str, forced: dict[int, str],
               tokens: list[DetailedToken] | list[CandidateToken]) -> _Edits:
        """What the options change in the engine's `tokens` of `clean`. A
        reading the user dictionary gave is not replaced by letter names."""
        edits: _Edits = {}
        if self._letters:
            for index, token in enumerate(tokens):
                if token[4] == "passthrough" and is_spelled_out(token[0]):
                    edits[index] = letter_reading(token[0])
        texts = [token[0] for token in tokens]
        for (index, char), syllable in place_readings(clean, forced, texts).items():
            chars = edits.setdefault(index, {})
            if isinstance(chars, dict):
                chars[char] = syllable
        return edits

    def _edit_reading(self, clean: str, forced: dict[int, str], reading: str,
                      tokens: list[DetailedToken]) -> str:
        edits = self._edits(clean, forced, tokens)
        if not edits:
            return reading
        return _edit_reading_string(reading, tokens, edits, self._reconvert_detailed)

    def _edit_detailed(self, clean: str, forced: dict[int, str],
                       tokens: list[DetailedToken]) -> list[DetailedToken]:
        edits = self._edits(clean, forced, tokens) if self._may_edit(clean, forced) else {}
        if not edits:
            return tokens
        return [_as_detailed(piece) for index, token in enumerate(tokens)
                for piece in _edit_token(_as_candidates(token), edits.get(index),
                                         self._reconvert_detailed)]

    def _edit_candidates(self, clean: str, forced: dict[int, str],
                         tokens: list[CandidateToken]) -> list[CandidateToken]:
        edits = self._edits(clean, forced, tokens) if self._may_edit(clean, forced) else {}
        if not edits:
            return tokens
        return [piece for index, token in enumerate(tokens)
                for piece in _edit_token(token, edits.get(index), self._engine.convert_candidates)]


def _rebuild(arguments: tuple[Any, ...], inline_readings: bool, letter_names: bool) -> Pipeline:
    """The unpickling side of Pipeline.__reduce__."""
    if arguments[0] == "from_dir":
        return Pipeline.from_dir(arguments[1], arguments[2], inline_readings=inline_readings,
                                 letter_names=letter_names)
    return Pipeline(arguments[1], arguments[2], arguments[3],
                    inline_readings=inline_readings, letter_names=letter_names)


# --- applying the edits -----------------------------------------------------
# Both token shapes are edited in the candidate shape: a detailed token is a
# candidate token with its one reading.

def _as_candidates(token: DetailedToken) -> CandidateToken:
    return (token[0], [token[1]], token[2], token[3], token[4])


def _as_detailed(token: CandidateToken) -> DetailedToken:
    return (token[0], token[1][0], token[2], token[3], token[4])


def _edit_token(token: CandidateToken, edit: str | dict[int, str] | None,
                reconvert: Callable[[str], list[CandidateToken]]) -> list[CandidateToken]:
    """The token with its edit applied: letter names as its one reading, or
    the token split so that every character with an inline reading is a
    token of its own. The other characters stay together in runs that take
    their syllables from the token's candidates; when the token's best
    reading has not one syllable per character, such a run is converted
    alone (`reconvert`)."""
    text, candidates, lang, confidence, source = token
    if edit is None:
        return [token]
    if isinstance(edit, str):
        return [(text, [edit], lang, "certain", LETTER_SOURCE)]
    split = [reading.split(" ") for reading in candidates]
    per_char = [pieces for pieces in split if len(pieces) == len(text)] \
        if len(split[0]) == len(text) else []
    pieces: list[CandidateToken] = []
    start = 0
    for end in range(len(text) + 1):
        if end < len(text) and end not in edit:
            continue
        if start < end:  # the run of characters without an inline reading
            run = text[start:end]
            if per_char:
                readings = list(dict.fromkeys(" ".join(p[start:end]) for p in per_char))
                pieces.append((run, readings, lang, confidence, source))
            else:
                pieces.extend(reconvert(run))
        if end < len(text):
            pieces.append((text[end], [edit[end]], lang, "certain", INLINE_SOURCE))
        start = end + 1
    return pieces


def _edit_reading_string(reading: str, tokens: list[DetailedToken], edits: _Edits,
                         reconvert: Callable[[str], list[CandidateToken]]) -> str:
    """`convert`'s reading string with the edits applied. The string is the
    tokens' plain readings joined by spaces; it is cut back into tokens by
    the syllable counts of the detailed readings, checked against the tokens
    that read as themselves. Where that does not fit, the edited detailed
    readings are used instead."""
    pieces = reading.split(" ")
    counts = [len(token[1].split(" ")) for token in tokens]
    per_token: list[str] = []
    position = 0
    for token, count in zip(tokens, counts):
        own = " ".join(pieces[position: position + count])
        if not any(is_cjk(c) for c in token[0]) and own != token[0]:
            break
        per_token.append(own)
        position += count
    if position != len(pieces) or len(per_token) != len(tokens):
        per_token = [token[1] for token in tokens]
    for index, edit in edits.items():
        if isinstance(edit, str):
            per_token[index] = edit
            continue
        text = tokens[index][0]
        syllables = per_token[index].split(" ")
        if len(syllables) == len(text):
            for char, syllable in edit.items():
                syllables[char] = syllable
            per_token[index] = " ".join(syllables)
        else:
            split = _edit_token(_as_candidates(tokens[index]), edit, reconvert)
            per_token[index] = " ".join(piece[1][0] for piece in split)
    return " ".join(per_token)
