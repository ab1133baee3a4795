#!/usr/bin/env python3
"""Builds Quillet's data directory (the files of python/quillet/data_files.tsv)
from public Cantonese lexicons: rime-cantonese, Unihan and to-jyutping, plus the curated
tables in tools/data/. See DATA.md for what each file holds and the precedence.

  /usr/bin/python3 tools/build_data.py [--out data] [--dictool PATH]

Installs missing sources (apt-get as root, npm into build/npm), writes
key<TAB>value text for every file and compiles it with quillet_dictool.
Same sources give byte-identical files: every list is sorted before writing."""

import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)

from data_build import audit, context, merge, sources  # noqa: E402
from data_build.numerals import standardize as standardize_numerals  # noqa: E402


def data_file_names():
    """The file names of the data directory, from python/quillet/data_files.tsv."""
    import importlib.util
    path = os.path.join(ROOT, "python", "quillet", "_paths.py")
    spec = importlib.util.spec_from_file_location("quillet_paths", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module.DATA_FILES

CURATED = os.path.join(HERE, "data")


def log(msg):
    print("build_data: " + msg, file=sys.stderr)


def read_curated(name, columns):
    """Rows of a curated table: '#' starts a comment line, fields are separated
    by tabs; rows with fewer fields are padded with empty strings."""
    rows = []
    with open(os.path.join(CURATED, name), encoding="utf-8") as fh:
        for n, line in enumerate(fh, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) > columns:
                raise SystemExit("%s:%d: more than %d fields" % (name, n, columns))
            rows.append(parts + [""] * (columns - len(parts)))
    return rows


class Options:
    """Choices of the merge; the defaults are the ones measured best (DATA.md)."""

    def __init__(self, phrases=False, word_prefer="tojyutping", drop_lazy=True, simplified=True,
                 rime_max_chars=2, usage=None, spellings=True, conventions=True,
                 context_rules=True, context_skip=(), audit=True):
        self.phrases = phrases
        # rime's longer entries are input-method phrases; under greedy matching
        # they swallow the first character of the next word, while
        # to-jyutping's lexicon is curated for exactly that matching.
        self.rime_max_chars = rime_max_chars
        self.word_prefer = word_prefer
        self.drop_lazy = drop_lazy
        self.simplified = simplified
        self.usage = usage if usage is not None else merge.UsageRule()
        self.spellings = spellings
        self.conventions = conventions
        self.context_rules = context_rules
        self.audit = audit
        self.context_skip = set(context_skip)


def load_sources(npm_prefix, scratch):
    sources.ensure_debian_sources(log)
    pkg = sources.ensure_tojyutping(npm_prefix, log)
    rime_dir = sources.RIME_DIR
    return {
        "tojyutping": sources.read_tojyutping(pkg, os.path.join(HERE, "decode_tojyutping.mjs"),
                                              os.path.join(scratch, "tojyutping.tsv")),
        "tojyutping_version": sources.package_version(pkg),
        "rime_chars": sources.read_rime_chars(os.path.join(rime_dir, "jyut6ping3.chars.dict.yaml")),
        "rime_words": sources.read_rime_words(os.path.join(rime_dir, "jyut6ping3.words.dict.yaml")),
        "rime_lettered": sources.read_rime_words(os.path.join(rime_dir, "jyut6ping3.lettered.dict.yaml")),
        "essay": sources.read_rime_essay(os.path.join(rime_dir, "essay-cantonese.txt")),
        "rime_phrases": sources.read_rime_phrases(os.path.join(rime_dir, "jyut6ping3.phrase.dict.yaml")),
        "unihan": sources.read_unihan_cantonese(),
        "trad_variants": sources.read_unihan_variant_pairs("kTraditionalVariant"),
        "simp_variants": sources.read_unihan_variant_pairs("kSimplifiedVariant"),
    }


def build_lexicon(src, opts, stats):
    """Merges the sources into (chars, words): dicts of key -> merge.Entry."""
    tj = src["tojyutping"]
    tj_chars = {k: v for k, v in tj.items() if len(k) == 1}
    tj_words = {k: v for k, v in tj.items() if len(k) > 1}

    chars = {}
    for ch in sorted(set(tj_chars) | set(src["rime_chars"]) | set(src["unihan"])):
        e = merge.merge_char(ch, tj_chars.get(ch, []), src["rime_chars"].get(ch, []),
                             src["unihan"].get(ch, []))
        if e is not None:
            chars[ch] = e
    default = {c: e.candidates[0] for c, e in chars.items()}

    # Where the words a character occurs in, weighted by how often rime's
    # frequency list sees them, use one reading far more than the package's
    # first (返 faan1: 返工, 返學, 返屋企), that reading becomes the default.
    readings = {w: rs[0] for w, rs in tj_words.items()}
    for w, rs in src["rime_words"].items():
        if w not in readings and len(set(rs)) == 1:
            readings[w] = rs[0]
    evidence = merge.usage_evidence(readings, src["essay"])
    changed = 0
    for ch in sorted(chars):
        best = merge.usage_default(chars[ch].candidates, evidence.get(ch),
                                   src["essay"].get(ch, 0), opts.usage)
        if best is not None:
            chars[ch] = merge.put_first(chars[ch], best, merge.SRC_RIME)
            changed += 1
    stats["characters whose default follows their use in words"] = changed
    default = {c: e.candidates[0] for c, e in chars.items()}

    simp_chars = 0
    if opts.simplified:
        # A simplified character with one traditional form reads as that form.
        for simp, trad in merge.unambiguous_variants(src["trad_variants"]).items():
            if trad in chars and merge.is_cjk(simp):
                if simp not in chars or chars[simp].candidates[0] != chars[trad].candidates[0]:
                    simp_chars += 1
                chars[simp] = chars[trad]
        default = {c: e.candidates[0] for c, e in chars.items()}
    stats["simplified characters re-read as their traditional form"] = simp_chars

    rime_words = dict(src["rime_words"])
    lettered_usable = 0
    for w, rs in src["rime_lettered"].items():
        if merge.usable_word(w):
            lettered_usable += 1
            rime_words.setdefault(w, []).extend(rs)
    stats["rime lettered entries usable (all CJK)"] = lettered_usable

    # A word only rime lists is written in to-jyutping's conventions where
    # the words both list show a systematic difference (刻 hak1 -> haak1).
    conventions = merge.convention_map(tj_words, rime_words) if opts.conventions else {}
    stats["rime syllables rewritten to to-jyutping's convention"] = len(conventions)

    words = {}
    skipped_long = 0
    for w in sorted(set(tj_words) | set(rime_words)):
        if w not in tj_words and len(w) > opts.rime_max_chars:
            skipped_long += 1
            continue
        rime_readings = rime_words.get(w, [])
        if w not in tj_words and conventions:
            rime_readings = [merge.apply_convention(w, r, conventions) for r in rime_readings]
        e = merge.merge_word(w, tj_words.get(w, []), rime_readings, default,
                             prefer=opts.word_prefer, drop_lazy=opts.drop_lazy)
        if e is not None:
            words[w] = e
    stats["rime-only words longer than %d characters left out" % opts.rime_max_chars] = skipped_long

    if opts.audit:
        audit_lexicon(words, chars, tj_words, rime_words, stats)

    if opts.phrases:
        added = 0
        for p in src["rime_phrases"]:
            if p not in words and merge.usable_word(p):
                r = merge.reading_from_defaults(p, default)
                if r is not None:
                    words[p] = merge.Entry([r], None, merge.SRC_RIME)
                    added += 1
        stats["rime phrases added"] = added

    for label, n in source_counts(words).items():
        stats["words from the sources, labelled %s" % label] = n
    stats["to-jyutping words that rime also lists"] = sum(1 for w in tj_words if w in rime_words)

    if opts.simplified:
        simp = merge.simplified_words(words, merge.unambiguous_variants(src["simp_variants"]))
        words.update(simp)
        stats["simplified spellings of words added"] = len(simp)

    if opts.spellings:
        table = [tuple(row) for row in read_curated("colloquial_spellings.txt", 3)]
        for variant, ch, reading in table:
            if not (len(variant) == 1 and merge.is_cjk(variant) and len(ch) == 1
                    and merge.is_reading_for(ch, reading)):
                raise SystemExit("colloquial_spellings.txt: bad row %r" % variant)
        spelled = merge.respelled_words(words, table)
        words.update(spelled)
        stats["colloquial spellings of words added"] = len(spelled)
        # The variant alone is read so too: the reading becomes one of its
        # candidates (last, so nothing changes without a context rule).
        added = 0
        for variant, ch, reading in table:
            entry = chars.get(variant)
            if entry is not None and reading not in entry.candidates:
                chars[variant] = merge.Entry(entry.candidates + [reading], merge.RANKED,
                                             entry.source)
                added += 1
        stats["colloquial spellings that gain their reading as a candidate"] = added
    return chars, words


def audit_lexicon(words, chars, tj_words, rime_words, stats):
    """Checks every word's readings against its characters' (DATA.md, "The
    lexicon audit"); prints the readings dropped."""
    # Every source's readings of the character, in the merged rank order.
    known = {ch: audit.standard_readings(e.candidates) for ch, e in chars.items()}
    colloquial = set()
    for ch, reading in read_curated("colloquial_readings.txt", 2):
        if not merge.is_reading_for(ch, reading):
            raise SystemExit("colloquial_readings.txt: bad row %r" % ch)
        colloquial.add((ch, reading))
    # A colloquial spelling is written for its character in that reading (哩 for 呢 ni1).
    for variant, _, reading in read_curated("colloquial_spellings.txt", 3):
        colloquial.add((variant, reading))
    default = {c: e.candidates[0] for c, e in chars.items()}
    counts = {}
    dropped = audit.audit_words(words, known, colloquial, tj_words, rime_words, default, counts)
    for k, n in counts.items():
        stats["audit: " + k] = n
    log("audit dropped %d readings, e.g. %s" % (len(dropped), ", ".join(
        "%s %s" % pair for pair in dropped[:: max(1, len(dropped) // 12)][:12])))


def context_tables(words, chars, opts, stats):
    """context_readings.bin from the curated rules and classes."""
    if not opts.context_rules:
        return {}
    classes = {}
    for name, tokens in read_curated("word_classes.txt", 2):
        if name in classes or not tokens.split():
            raise SystemExit("word_classes.txt: class %r twice or empty" % name)
        classes[name] = tokens.split()
    classifiers = [ch for (ch,) in read_curated("classifiers.txt", 1)]
    classes["cl"] = classifiers
    derived = context.numeral_words(words, set(classes["num"]), set(classifiers))
    classes["num"] = classes["num"] + [w for w in derived if w not in classes["num"]]
    stats["numeral words added to the class num"] = len(derived)
    rules = read_curated("context_rules.txt", 4)
    try:
        table, counts = context.rule_table(rules, classes, chars, words, opts.context_skip)
    except ValueError as err:
        raise SystemExit("context_rules.txt: %s" % err)
    stats["context rules"] = sum(counts.values())
    stats["context rule targets"] = len(counts)
    return table


def curated_tables(words, chars, stats, classifier_reduplication=False):
    """The separable compounds, classifiers and romanized slang as key -> value."""
    separable = {}
    for compound, reading in read_curated("separable_compounds.txt", 2):
        if len(compound) != 2 or not all(merge.is_cjk(c) for c in compound):
            raise SystemExit("separable_compounds.txt: %r is not two CJK characters" % compound)
        if not reading:
            entry = words.get(compound)
            reading = entry.candidates[0] if entry else None
        if reading is None or not merge.is_reading_for(compound, reading):
            raise SystemExit("separable_compounds.txt: no reading for %s" % compound)
        separable[compound] = reading
    classifiers = {}
    for (ch,) in read_curated("classifiers.txt", 1):
        if len(ch) != 1 or ch not in chars:
            raise SystemExit("classifiers.txt: %r is not a known character" % ch)
        if classifier_reduplication:
            classifiers[ch] = ""
    slang = {}
    for word, replacement in read_curated("romanized_slang.txt", 2):
        if not word.isascii() or not word.isalnum() or word != word.lower() or not replacement:
            raise SystemExit("romanized_slang.txt: bad row %r" % word)
        slang[word] = replacement
    return separable, classifiers, slang


def file_tables(chars, words, separable, classifiers, slang, context_rules=None):
    """Every data file as file name -> {key: value}."""
    def cands(d):
        return {k: "|".join(e.candidates) for k, e in d.items() if len(e.candidates) > 1}

    def conf(d):
        return {k: e.confidence for k, e in d.items() if len(e.candidates) > 1}

    return {
        "word.bin": {k: e.candidates[0] for k, e in words.items()},
        "char.bin": {k: e.candidates[0] for k, e in chars.items()},
        "word_candidates.bin": cands(words),
        "char_candidates.bin": cands(chars),
        "word_candidates_confidence.bin": conf(words),
        "char_candidates_confidence.bin": conf(chars),
        "word_source.bin": {k: e.source for k, e in words.items()},
        "char_source.bin": {k: e.source for k, e in chars.items()},
        "separable.bin": separable,
        "romanized_slang.bin": slang,
        "classifier_words.bin": classifiers,
        "context_readings.bin": context_rules or {},
    }


# The files written with a prefix table (quillet_dictool build --prefix-table):
# the one segmentation walks, where it replaces a binary search per step.
PREFIX_TABLE_FILES = {"word.bin"}


def find_dictool(path):
    if path:
        return path
    build = os.path.join(ROOT, "build", "data-tools")
    tool = os.path.join(build, "quillet_dictool")
    if not os.path.exists(tool):
        log("building quillet_dictool in %s" % build)
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "quillet_dictool", "-j2"],
                       check=True, stdout=subprocess.DEVNULL)
    return tool


def write_tsv(path, table):
    with open(path, "w", encoding="utf-8", newline="\n") as fh:
        for k in sorted(table):
            fh.write("%s\t%s\n" % (k, table[k]))


def source_counts(entries):
    counts = {}
    for e in entries.values():
        counts[e.source] = counts.get(e.source, 0) + 1
    return dict(sorted(counts.items()))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=os.path.join(ROOT, "data"), help="output directory")
    ap.add_argument("--dictool", help="path of quillet_dictool (built if not given)")
    ap.add_argument("--npm-prefix", default=os.path.join(ROOT, "build", "npm"))
    ap.add_argument("--tsv-only", action="store_true", help="write the key/value text files only")
    ap.add_argument("--phrases", action="store_true", help="add rime's phrase list as words")
    ap.add_argument("--word-prefer", choices=("tojyutping", "rime"), default="tojyutping")
    ap.add_argument("--keep-lazy", action="store_true", help="keep colloquial variants of words")
    ap.add_argument("--no-simplified", action="store_true", help="no simplified-character mapping")
    ap.add_argument("--classifier-reduplication", action="store_true",
                    help="fill classifier_words.bin from tools/data/classifiers.txt (off: the file "
                         "is written empty, because reduplicated classifiers kept their tone in "
                         "the measured speech)")
    ap.add_argument("--rime-max-chars", type=int, default=2,
                    help="longest rime-only word taken (to-jyutping's words are always taken)")
    ap.add_argument("--usage-share", type=float, default=0.9,
                    help="share of a character's use inside words that makes a reading its "
                         "default (0: keep to-jyutping's order)")
    ap.add_argument("--usage-cover", type=float, default=0.25,
                    help="use inside words needed, relative to the character written alone")
    ap.add_argument("--usage-single", type=float, default=0.5,
                    help="largest share of that use one word may carry")
    ap.add_argument("--no-conventions", action="store_true",
                    help="keep rime's syllables in words to-jyutping lacks")
    ap.add_argument("--no-spellings", action="store_true",
                    help="no words respelled by tools/data/colloquial_spellings.txt")
    ap.add_argument("--no-audit", action="store_true",
                    help="keep word readings whose syllables their characters never read")
    ap.add_argument("--no-context-rules", action="store_true",
                    help="no context_readings.bin (the polyphone rules of tools/data/)")
    ap.add_argument("--context-skip", default="",
                    help="comma-separated targets whose context rules are left out")
    args = ap.parse_args(argv)
    opts = Options(phrases=args.phrases, word_prefer=args.word_prefer,
                   drop_lazy=not args.keep_lazy, simplified=not args.no_simplified,
                   rime_max_chars=args.rime_max_chars,
                   usage=merge.UsageRule(args.usage_share, args.usage_cover, args.usage_single),
                   spellings=not args.no_spellings, conventions=not args.no_conventions,
                   context_rules=not args.no_context_rules, audit=not args.no_audit,
                   context_skip=[t for t in args.context_skip.split(",") if t])

    os.makedirs(args.out, exist_ok=True)
    stats = {}
    with tempfile.TemporaryDirectory(prefix="quillet-data-") as scratch:
        src = load_sources(args.npm_prefix, scratch)
        chars, words = build_lexicon(src, opts, stats)
        standardize_numerals(words, stats)
        separable, classifiers, slang = curated_tables(words, chars, stats,
                                                       args.classifier_reduplication)
        rules = context_tables(words, chars, opts, stats)
        tables = file_tables(chars, words, separable, classifiers, slang, rules)
        if sorted(tables) != sorted(data_file_names()):
            raise SystemExit("file_tables() and python/quillet/data_files.tsv name different "
                             "files: %s / %s" % (sorted(tables), sorted(data_file_names())))
        if not opts.context_rules:
            # Absent, not empty, so the engine reads exactly as without rules.
            del tables["context_readings.bin"]
            stale = os.path.join(args.out, "context_readings.bin")
            if os.path.exists(stale):
                os.remove(stale)
        dictool = None if args.tsv_only else find_dictool(args.dictool)
        for name in sorted(tables):
            tsv = os.path.join(args.out if args.tsv_only else scratch, name[:-4] + ".tsv")
            write_tsv(tsv, tables[name])
            if dictool:
                extra = ["--prefix-table"] if name in PREFIX_TABLE_FILES else []
                subprocess.run([dictool, "build"] + extra + [tsv, os.path.join(args.out, name)],
                               check=True)

    print("to-jyutping %s" % src["tojyutping_version"])
    for name in sorted(tables):
        print("%-32s %8d entries" % (name, len(tables[name])))
    print("words by source: %s" % source_counts(words))
    print("characters by source: %s" % source_counts(chars))
    for k in sorted(stats):
        print("%s: %d" % (k, stats[k]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
