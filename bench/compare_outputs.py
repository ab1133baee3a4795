"""Two builds of the _quillet module must give identical output: both are
loaded into one process (as compare_builds.py loads them) over the same data
directory, and convert, convert_detailed, convert_candidates and their batch
forms are compared on the dev-set utterances and on seeded random texts, with
the default pipeline, with punc_norm=False and with a user dictionary.
Prints the counts and the first differences; exits 1 on any difference.

    /usr/bin/python3 bench/compare_outputs.py OLD_BUILD_DIR NEW_BUILD_DIR
        [--data DIR] [--corpus FILE] [--random 3000] [--seed 13]

Random texts mix dictionary words (read with the old build's quillet_dictool,
else taken from the corpus), Latin words, numbers, money, units, punctuation,
ill-formed-looking strings (control characters, lone surrogates, combining
marks, characters outside the Chinese blocks) and long texts.
"""
import pathlib
import random
import subprocess
import sys
import tempfile

from compare_builds import load, two_build_arguments
from peer_bench import corpus_texts

OPS = ("convert", "convert_detailed", "convert_candidates")

LATIN = ["OK", "ok", "sir", "Sir", "app", "download", "check", "rate", "report",
         "email", "iPhone", "HK", "US", "a", "I", "x", "hea", "chur", "lum", "un"]
NUMBERS = ["0", "1", "2", "3", "10", "11", "20", "100", "101", "1000", "1,000",
           "3,000", "10000", "123456789", "1.5", "0.25", "3.14159", "50%", "1/3",
           "2:1", "1998年", "2024年", "HK$156", "US$20", "$5", "¥300", "€12",
           "£8.50", "3kg", "5km", "10cm", "2.5L", "30°C", "7-11", "1-2", "9.",
           "12:30", "#3", "+852", "-5", "00", "007", "1,2,3", "1e5", "10000000000000"]
PUNCT = list("，。！？、；：「」『』（）《》…—～·,.!?;:'\"()[]{}<>/\\|-_+=*&^%$#@`~")
WEIRD = ["\x00", "\t", "\n", "\r\n", "\x7f", "\u200b", "\ufeff", "\u0301", "e\u0301",
         "\ud800", "\udfff", "\U0001f600", "\U0001f1ed\U0001f1f0", "\ue000", "\uffff",
         "\U00020000", "\U0002a6df", "\U0002a6e0", "\uf900", "\ufaff", "\u3400",
         "\u4dbf", "\u9fff", "\u3007", "\u3000", "  ", "ａｂｃ", "１２３", "％", "＄"]


def dictionary_words(dictool, data_dir):
    """The keys of word.bin, or [] when no dictool is at hand."""
    if not dictool.exists():
        return []
    out = subprocess.run([str(dictool), "check", str(pathlib.Path(data_dir) / "word.bin")],
                         capture_output=True, check=True).stdout.decode("utf-8")
    return [line.split("\t", 1)[0] for line in out.splitlines() if line]


def random_texts(rng, words, chars, count):
    kinds = [lambda: rng.choice(words), lambda: rng.choice(chars), lambda: rng.choice(LATIN),
             lambda: rng.choice(NUMBERS), lambda: rng.choice(PUNCT), lambda: rng.choice(WEIRD),
             lambda: " ", lambda: chr(rng.randrange(0x20, 0x3000))]
    weights = [30, 15, 10, 12, 12, 5, 6, 3]
    texts = []
    for i in range(count):
        pieces = rng.choice((1, 2, 4, 8, 16, 40)) if i % 50 else rng.randrange(1000, 5000)
        texts.append("".join(rng.choices(kinds, weights)[0]() for _ in range(pieces)))
    texts += ["", " ", "\ud800", "一" * 20000, "HK$1,000,000.50" * 200]
    return texts


def user_dictionary(rng, words):
    picks = rng.sample(words, min(200, len(words)))
    entries = {w: " ".join(["jat1"] * len(w)) for w in picks}
    entries.update({"OK": "ou1 kei1", "唔該晒你": "m4 goi1 saai3 nei5",
                    "你好嗎朋友呀": "nei5 hou2 maa3 pang4 jau5 aa3", "人": "jan4"})
    return entries


def outcome(method, arg):
    """The result, or the exception's type and text: a raise must match too."""
    try:
        return method(arg)
    except Exception as e:  # noqa: BLE001 - any raise is compared, not handled
        return ("raised", type(e).__name__, str(e))


def encodable(text):
    try:
        text.encode("utf-8")
        return True
    except UnicodeEncodeError:
        return False


def compare(label, texts, old, new, show):
    """Compares every operation on `texts`; returns the number of differences."""
    bad = 0
    for op in OPS:
        differ = [i for i, t in enumerate(texts)
                  if outcome(getattr(old, op), t) != outcome(getattr(new, op), t)]
        # A lone surrogate makes the whole list raise: the batch runs once on
        # the encodable texts and once on the whole list.
        batch, good = op + "_batch", [t for t in texts if encodable(t)]
        same_batch = all(outcome(getattr(old, batch), ts) == outcome(getattr(new, batch), ts)
                         for ts in (good, texts))
        print(f"{label:24s} {op:20s} {len(texts):6d} texts  {len(differ):5d} differ"
              f"   {batch}: {'same' if same_batch else 'DIFFERS'}")
        for i in differ[:show]:
            t = texts[i]
            print(f"    text {i}: {t[:80]!r}\n      old: {str(outcome(getattr(old, op), t))[:300]}"
                  f"\n      new: {str(outcome(getattr(new, op), t))[:300]}")
        bad += len(differ) + (not same_batch)
    return bad


def main():
    ap = two_build_arguments(__doc__)
    ap.add_argument("--random", type=int, default=3000, help="number of random texts")
    ap.add_argument("--seed", type=int, default=13)
    ap.add_argument("--show", type=int, default=3, help="differences shown per operation")
    args = ap.parse_args()

    rng = random.Random(args.seed)
    corpus = corpus_texts(args.corpus)
    chars = sorted({c for t in corpus for c in t if "\u3400" <= c <= "\u9fff"})
    words = dictionary_words(pathlib.Path(args.old) / "quillet_dictool", args.data) or chars
    print(f"{len(corpus)} corpus texts, {len(words)} dictionary words, {len(chars)} characters")
    texts = random_texts(rng, words, chars, args.random)
    user = user_dictionary(rng, words)

    with tempfile.TemporaryDirectory() as scratch:
        builds = [load(d, scratch, tag) for tag, d in (("old", args.old), ("new", args.new))]
        configs = [("default", {}), ("punc_norm=False", {"punc_norm": False}),
                   ("user_dict", {"user_dict": user})]
        bad = 0
        for name, kwargs in configs:
            old, new = (m.PyPipeline(data_dir=args.data, **kwargs) for m in builds)
            bad += compare(f"{name} corpus", corpus, old, new, args.show)
            bad += compare(f"{name} random", texts, old, new, args.show)
        old, new = (m.PyPipeline.from_dir(args.data) for m in builds)
        bad += compare("from_dir random", texts[: len(texts) // 4], old, new, args.show)
    print("identical" if bad == 0 else f"{bad} differences")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
