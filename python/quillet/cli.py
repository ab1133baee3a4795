"""The `quillet` command line: converts the texts given as arguments, the
files given with -i, or standard input to Jyutping (or IPA, Yale or
Cantonese Pinyin), line by line, streaming
in batches through the pipeline's parallel batch methods."""
from __future__ import annotations

import argparse
import json
import os
import stat
import sys
from collections.abc import Callable, Iterable, Iterator, Sequence
from typing import BinaryIO, NamedTuple, NoReturn

from . import __version__
from ._paths import DataDirNotFoundError
from ._per_character import per_character
from ._pipeline import Pipeline
from ._progress import Progress
from ._romanization import ROMANIZATIONS
from ._user_dict import UserDictError, load_user_dict

FORMATS = ("text", "tsv", "json", "chars")
# The reading column of the tsv and chars headers is named for the romanization.
TSV_HEADER = "line\ttoken\t{reading}\tlang\tconfidence\tsource\n"
CHARS_HEADER = "line\tcharacter\t{reading}\n"
DEFAULT_BATCH_LINES = 1000
# A batch also ends once its texts hold this many bytes, so that a file of
# very long lines does not gather a large batch in memory.
BATCH_BYTES = 1 << 20

EXIT_ERROR = 1
EXIT_INTERRUPTED = 130
EXIT_BROKEN_PIPE = 141

_TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})


class CliError(Exception):
    """A user mistake or an unusable input, told in one line; exit status 1."""


class _Source(NamedTuple):
    """One input: a name for messages, and either a binary stream (closed at
    the end when `owned`) or lines."""
    name: str
    stream: BinaryIO | None
    lines: list[str] | None
    owned: bool = False


class _Parser(argparse.ArgumentParser):
    """Reports a usage mistake in one line, like every other error."""

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: {message} (see '{self.prog} --help')\n")


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(
        prog="quillet",
        description="Convert Cantonese (Hong Kong) text to Jyutping. Each input line gives "
                    "one output line (text), one row per token (tsv) or one JSON object "
                    "(json). Without TEXT or --input, standard input is read.")
    parser.add_argument("texts", nargs="*", metavar="TEXT",
                        help="text to convert; each line of it is one input line")
    parser.add_argument("-i", "--input", action="append", default=[], metavar="FILE",
                        help="read lines from FILE ('-' for standard input); repeatable, "
                             "read after any TEXT arguments in the order given")
    parser.add_argument("-f", "--format", choices=FORMATS, default="text",
                        help="text: the reading of each line; tsv: a header, then one row per "
                             "token: line number, token, reading, lang, confidence, source; "
                             "json: one object per line with every token's candidate readings; "
                             "chars: a header, then one row per character: line number, "
                             "character, reading (a token whose reading does not split by "
                             "character is one row)")
    parser.add_argument("-r", "--romanization", choices=tuple(ROMANIZATIONS), default="jyutping",
                        help="how readings are written: jyutping (default), ipa, yale (with "
                             "tone marks), pinyin (Cantonese Pinyin); in every format")
    parser.add_argument("--inline-readings", action="store_true",
                        help="a Chinese character followed by a syllable in parentheses, "
                             "as in 長(coeng4)度, takes that reading")
    parser.add_argument("--letter-names", action="store_true",
                        help="read single capitals and acronyms of 2-5 capitals by their "
                             "Hong Kong letter names (AV: ei1 wi1)")
    parser.add_argument("--user-dict", metavar="FILE",
                        help="words with their readings, one WORD<TAB>READING a line "
                             "('#' starts a comment line)")
    parser.add_argument("--no-punc-norm", action="store_true",
                        help="keep punctuation as written instead of folding it")
    parser.add_argument("--data-dir", metavar="DIR",
                        help="dictionary directory (default: the one bundled with the package)")
    parser.add_argument("--batch-size", type=_positive_int, default=DEFAULT_BATCH_LINES,
                        metavar="N", help=f"lines per batch (default {DEFAULT_BATCH_LINES}; "
                                          "1 when reading from a terminal)")
    parser.add_argument("--no-progress", action="store_true",
                        help="no progress bar, even when standard error is a terminal")
    parser.add_argument("--version", action="version", version=f"quillet {__version__}")
    return parser


def _positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"invalid count {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {value}")
    return value


def _open_sources(texts: Sequence[str], files: Sequence[str], stdin: BinaryIO) -> list[_Source]:
    """Every input, in reading order. Files are opened here, before any output,
    so that an unreadable one stops the run before anything is written."""
    sources = []
    for number, text in enumerate(texts, 1):
        try:
            text.encode("utf-8")
        except UnicodeEncodeError:
            raise CliError(f"TEXT argument {number} is not valid UTF-8") from None
        sources.append(_Source(f"TEXT argument {number}", None, text.split("\n")))
    if not texts and not files:
        files = ["-"]
    for name in files:
        if name == "-":
            sources.append(_Source("<stdin>", stdin, None))
            continue
        try:
            stream = open(name, "rb")  # noqa: SIM115 - closed by _close_sources
        except OSError as err:
            _close_sources(sources)
            raise CliError(f"cannot read {name}: {err.strerror or err}") from None
        sources.append(_Source(name, stream, None, owned=True))
    return sources


def _close_sources(sources: Iterable[_Source]) -> None:
    for source in sources:
        if source.stream is not None and source.owned:
            source.stream.close()


def _total_bytes(sources: Sequence[_Source]) -> int | None:
    """The bytes all inputs hold, or None when a stream's size is unknown."""
    total = 0
    for source in sources:
        if source.lines is not None:
            total += sum(len(line.encode("utf-8")) + 1 for line in source.lines)
            continue
        assert source.stream is not None
        try:
            info = os.fstat(source.stream.fileno())
        except (OSError, ValueError, AttributeError):
            return None
        if not stat.S_ISREG(info.st_mode):
            return None
        total += info.st_size - source.stream.tell()
    return total


def _read_lines(sources: Sequence[_Source]) -> Iterator[tuple[str, int]]:
    """Every input line without its line break, with the bytes it took.
    Raises CliError naming the input and line for bytes that are not UTF-8."""
    for source in sources:
        if source.lines is not None:
            for line in source.lines:
                yield line, len(line.encode("utf-8")) + 1
            continue
        assert source.stream is not None
        for number, raw in enumerate(source.stream, 1):
            size = len(raw)
            if raw.endswith(b"\n"):
                raw = raw[:-1]
            if raw.endswith(b"\r"):
                raw = raw[:-1]
            try:
                line = raw.decode("utf-8-sig" if number == 1 else "utf-8")
            except UnicodeDecodeError as err:
                raise CliError(f"{source.name}:{number}: not valid UTF-8 "
                               f"(byte {err.start + 1} of the line)") from None
            yield line, size


def _batches(lines: Iterable[tuple[str, int]], max_lines: int,
             max_bytes: int = BATCH_BYTES) -> Iterator[tuple[list[str], int]]:
    """Groups lines into batches of at most `max_lines` lines that stop
    growing once they hold `max_bytes`; yields (texts, bytes they took)."""
    texts: list[str] = []
    size = 0
    for line, took in lines:
        texts.append(line)
        size += took
        if len(texts) >= max_lines or size >= max_bytes:
            yield texts, size
            texts, size = [], 0
    if texts:
        yield texts, size


def _tsv_row(token: Sequence[str]) -> str:
    """The fields of one token joined by tabs; a tab, line break or backslash
    inside a field is written as \\t, \\n, \\r or \\\\ so that rows stay rows."""
    row = "\t".join(token)
    if row.count("\t") != len(token) - 1 or "\n" in row or "\r" in row or "\\" in row:
        row = "\t".join(field.translate(_TSV_ESCAPES) for field in token)
    return row


Spell = Callable[[str], str]


def _format_text(pipeline: Pipeline, texts: list[str], first_line: int, spell: Spell) -> str:
    return "".join(spell(reading) + "\n" for reading in pipeline.convert_batch(texts))


def _format_tsv(pipeline: Pipeline, texts: list[str], first_line: int, spell: Spell) -> str:
    rows: list[str] = []
    for number, tokens in enumerate(pipeline.convert_detailed_batch(texts), first_line):
        prefix = f"{number}\t"
        rows.extend(prefix + _tsv_row((token, spell(reading), lang, confidence, source)) + "\n"
                    for token, reading, lang, confidence, source in tokens)
    return "".join(rows)


def _format_json(pipeline: Pipeline, texts: list[str], first_line: int, spell: Spell) -> str:
    rows: list[str] = []
    results = pipeline.convert_candidates_batch(texts)
    for number, (text, tokens) in enumerate(zip(texts, results), first_line):
        record = {
            "line": number,
            "text": text,
            "tokens": [{"token": token, "candidates": [spell(c) for c in candidates],
                        "lang": lang, "confidence": confidence, "source": source}
                       for token, candidates, lang, confidence, source in tokens],
        }
        rows.append(json.dumps(record, ensure_ascii=False) + "\n")
    return "".join(rows)


def _format_chars(pipeline: Pipeline, texts: list[str], first_line: int, spell: Spell) -> str:
    rows: list[str] = []
    for number, tokens in enumerate(pipeline.convert_detailed_batch(texts), first_line):
        prefix = f"{number}\t"
        rows.extend(prefix + _tsv_row((text, spell(reading))) + "\n"
                    for text, reading in per_character(tokens))
    return "".join(rows)


_FORMATTERS: dict[str, Callable[[Pipeline, list[str], int, Spell], str]] = {
    "text": _format_text, "tsv": _format_tsv, "json": _format_json, "chars": _format_chars,
}
_HEADERS = {"tsv": TSV_HEADER, "chars": CHARS_HEADER}


def _load_pipeline(args: argparse.Namespace) -> Pipeline:
    """The pipeline the options ask for; CliError with one line otherwise."""
    user_dict = None
    if args.user_dict is not None:
        try:
            user_dict = load_user_dict(args.user_dict)
        except UserDictError as err:
            raise CliError(f"user dictionary {err}") from None
    try:
        return Pipeline(not args.no_punc_norm, args.data_dir, user_dict,
                        inline_readings=args.inline_readings, letter_names=args.letter_names)
    except (DataDirNotFoundError, RuntimeError) as err:
        raise CliError(str(err)) from None


def _is_tty(stream: object) -> bool:
    isatty = getattr(stream, "isatty", None)
    try:
        return bool(isatty and isatty())
    except (OSError, ValueError):
        return False


def run(args: argparse.Namespace, stdin: BinaryIO, stdout: BinaryIO, stderr_tty: bool) -> None:
    """Converts every input to `stdout`. Raises CliError for user mistakes,
    BrokenPipeError when the reader of `stdout` goes away."""
    sources = _open_sources(args.texts, args.input, stdin)
    try:
        pipeline = _load_pipeline(args)
        reads_terminal = any(s.stream is stdin for s in sources) and _is_tty(stdin)
        batch_lines = 1 if reads_terminal else args.batch_size
        progress = Progress(sys.stderr, _total_bytes(sources),
                            enabled=stderr_tty and not args.no_progress and not reads_terminal)
        shares_terminal = _is_tty(stdout)
        formatter = _FORMATTERS[args.format]
        spell = ROMANIZATIONS[args.romanization] or str
        if args.format in _HEADERS:
            header = _HEADERS[args.format].format(reading=args.romanization)
            stdout.write(header.encode("utf-8"))
        lines_done = 0
        bytes_done = 0
        try:
            for texts, size in _batches(_read_lines(sources), batch_lines):
                chunk = formatter(pipeline, texts, lines_done + 1, spell).encode("utf-8")
                if shares_terminal:
                    progress.erase()
                stdout.write(chunk)
                stdout.flush()
                lines_done += len(texts)
                bytes_done += size
                progress.update(lines_done, bytes_done)
        finally:
            progress.erase()
        stdout.flush()
    finally:
        _close_sources(sources)


def main(argv: Sequence[str] | None = None) -> int:
    """The command's entry point; returns the exit status: 0 done, 1 an
    error told on standard error, 2 a usage mistake, 130 interrupted,
    141 the output's reader went away."""
    args = build_parser().parse_args(argv)
    try:
        run(args, sys.stdin.buffer, sys.stdout.buffer, _is_tty(sys.stderr))
    except CliError as err:
        print(f"quillet: {err}", file=sys.stderr)
        return EXIT_ERROR
    except KeyboardInterrupt:
        print("quillet: interrupted", file=sys.stderr)
        return EXIT_INTERRUPTED
    except BrokenPipeError:
        # Whatever is still buffered can go nowhere; point stdout at
        # /dev/null so that the interpreter's final flush does not fail too.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
        return EXIT_BROKEN_PIPE
    return 0
