# Type stub of the _quillet extension module: the Cantonese grapheme-to-phoneme
# pipeline as Python sees it. Installed as the stub package _quillet-stubs.
from typing import TypeAlias, final

__all__ = ["PyPipeline"]

# (token, jyutping, lang, confidence, source)
_DetailedToken: TypeAlias = tuple[str, str, str, str, str]
# (token, candidate_readings best first and never empty, lang, confidence, source)
_CandidateToken: TypeAlias = tuple[str, list[str], str, str, str]

@final
class PyPipeline:
    """The Cantonese grapheme-to-phoneme pipeline exposed to Python.

    lang is "yue", "en" or "punct"; confidence is "certain", "ranked" or
    "tied"; source is one of "rime", "tojyutping", "tojyutping_tiebreak",
    "oral_hk", "unihan", "user_dict", "passthrough", "char_fallback",
    "unresolved", "unknown", or the pass that changed the reading:
    "separable_compound", "address_sandhi", "aa_dei_sandhi",
    "classifier_reduplication".
    """

    def __new__(
        cls,
        punc_norm: bool = True,
        data_dir: str | None = None,
        user_dict: dict[str, str] | None = None,
    ) -> PyPipeline:
        """Loads the data directory (default: "data" beside the interpreter,
        else "data" in the working directory). Raises RuntimeError naming
        the file when it cannot be loaded, TypeError for wrong types."""
    def convert(self, text: str) -> str:
        """The readings of all tokens joined by single spaces."""
    def convert_batch(self, texts: list[str]) -> list[str]:
        """`convert` of every text, in parallel, in input order."""
    def convert_detailed(self, text: str) -> list[_DetailedToken]:
        """One (token, jyutping, lang, confidence, source) tuple per token."""
    def convert_detailed_batch(self, texts: list[str]) -> list[list[_DetailedToken]]:
        """`convert_detailed` of every text, in parallel, in input order."""
    def convert_candidates(self, text: str) -> list[_CandidateToken]:
        """One (token, candidate_readings, lang, confidence, source) tuple per token."""
    def convert_candidates_batch(self, texts: list[str]) -> list[list[_CandidateToken]]:
        """`convert_candidates` of every text, in parallel, in input order."""
    @staticmethod
    def from_dir(dir: str, punc_norm: bool = True) -> PyPipeline:
        """A pipeline loaded from exactly `dir`, with no user dictionary."""
