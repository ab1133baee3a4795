"""The engine's test for a Chinese character, repeated here because the
package splits and aligns token texts by it (the same four ranges)."""
from __future__ import annotations

CJK_RANGES = "\u4e00-\u9fff\u3400-\u4dbf\U00020000-\U0002a6df\uf900-\ufaff"


def is_cjk(char: str) -> bool:
    code = ord(char)
    return (0x4E00 <= code <= 0x9FFF or 0x3400 <= code <= 0x4DBF
            or 0x20000 <= code <= 0x2A6DF or 0xF900 <= code <= 0xFAFF)
