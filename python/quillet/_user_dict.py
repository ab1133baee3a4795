"""User dictionary files: one `WORD<TAB>READING` entry a line, read into the
{word: reading} dict that the pipeline takes as `user_dict`."""
from __future__ import annotations

import os
import re

# Jyutping as the engine stores it: syllables of lower-case letters ending in a
# tone digit, separated by single spaces.
_READING = re.compile(r"[a-z]+[1-6](?: [a-z]+[1-6])*")


class UserDictError(ValueError):
    """A user dictionary file that cannot be used. `path` names the file,
    `line` the 1-based line at fault (None when the whole file is), `reason`
    says what is wrong; str() gives "path:line: reason"."""

    def __init__(self, path: str, line: int | None, reason: str) -> None:
        self.path = path
        self.line = line
        self.reason = reason
        where = path if line is None else f"{path}:{line}"
        super().__init__(f"{where}: {reason}")


def parse_user_dict_line(text: str) -> tuple[str, str] | None:
    """One line (without its line break) as (word, reading), or None for a
    blank line or a comment (first non-blank character '#'). Spaces around
    either field are dropped. Raises ValueError with the reason otherwise."""
    stripped = text.strip(" \r")
    if not stripped or stripped.startswith("#"):
        return None
    fields = text.split("\t")
    if len(fields) == 1:
        raise ValueError("expected WORD<TAB>READING, found no tab")
    if len(fields) > 2:
        raise ValueError(f"expected WORD<TAB>READING, found {len(fields)} tab-separated fields")
    word, reading = (f.strip(" \r") for f in fields)
    if not word:
        raise ValueError("empty word before the tab")
    if any(c.isspace() for c in word):
        raise ValueError(f"word {word!r} contains white space, so it can never match a token")
    if not reading:
        raise ValueError(f"empty reading for {word!r}")
    if not _READING.fullmatch(reading):
        raise ValueError(
            f"reading {reading!r} for {word!r} is not Jyutping (lower-case syllables each "
            "ending in a tone digit 1-6, separated by single spaces)")
    return word, reading


def load_user_dict(path: str | os.PathLike[str]) -> dict[str, str]:
    """Reads a user dictionary file (UTF-8, an optional byte-order mark first)
    into {word: reading}. A word given twice keeps its last reading. Raises
    UserDictError naming the file, and the line where one is at fault, for an
    unreadable file, bytes that are not UTF-8, or a malformed line."""
    name = os.fsdecode(os.fspath(path))
    try:
        with open(path, "rb") as fh:
            raw_lines = fh.read().split(b"\n")
    except OSError as err:
        raise UserDictError(name, None, f"cannot read: {err.strerror or err}") from None
    if raw_lines and raw_lines[-1] == b"":
        raw_lines.pop()  # the final line break ends the last line; it starts none
    entries: dict[str, str] = {}
    for number, raw in enumerate(raw_lines, 1):
        try:
            text = raw.decode("utf-8-sig" if number == 1 else "utf-8")
        except UnicodeDecodeError as err:
            raise UserDictError(name, number, f"not valid UTF-8 (byte {err.start + 1} of the line)") from None
        try:
            entry = parse_user_dict_line(text)
        except ValueError as err:
            raise UserDictError(name, number, str(err)) from None
        if entry is not None:
            entries[entry[0]] = entry[1]
    return entries
