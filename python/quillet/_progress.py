"""A one-line progress bar for the command line, drawn on a terminal only:
lines done, and the share of the input read when its size is known."""
from __future__ import annotations

import time
from collections.abc import Callable
from typing import TextIO

_WIDTH = 30
_ERASE = "\r\x1b[K"


def render(lines: int, done_bytes: int, total_bytes: int | None) -> str:
    """The bar's text (no carriage return): a bar and a percentage when the
    total is known and positive, then the number of lines converted."""
    count = f"{lines:,} line" + ("" if lines == 1 else "s")
    if not total_bytes:
        return f"quillet: {count}"
    share = min(max(done_bytes / total_bytes, 0.0), 1.0)
    filled = int(share * _WIDTH)
    bar = "#" * filled + "-" * (_WIDTH - filled)
    return f"quillet: [{bar}] {share * 100:3.0f}% {count}"


class Progress:
    """Redraws the bar on `stream` at most every `interval` seconds. When
    `enabled` is false every method does nothing. Not thread-safe: one
    converting loop owns it."""

    def __init__(self, stream: TextIO, total_bytes: int | None, enabled: bool,
                 interval: float = 0.1, clock: Callable[[], float] = time.monotonic) -> None:
        self._stream = stream
        self._total = total_bytes
        self._enabled = enabled
        self._interval = interval
        self._clock = clock
        self._last_draw: float | None = None
        self._shown = False

    def update(self, lines: int, done_bytes: int) -> None:
        """Reports progress; draws only when the last drawing is old enough."""
        if not self._enabled:
            return
        now = self._clock()
        if self._last_draw is not None and now - self._last_draw < self._interval:
            return
        self._last_draw = now
        self._stream.write(_ERASE + render(lines, done_bytes, self._total))
        self._stream.flush()
        self._shown = True

    def erase(self) -> None:
        """Removes the bar from the screen (before other output shares the
        terminal, and at the end); the next update draws it again."""
        if self._enabled and self._shown:
            self._stream.write(_ERASE)
            self._stream.flush()
            self._shown = False
            self._last_draw = None
