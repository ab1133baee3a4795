#!/usr/bin/env python3
"""Reading accuracy of Quillet against a gold file (id<TAB>text<TAB>jyutping),
next to the peer to-jyutping in the same run.

  /usr/bin/python3 bench/accuracy.py [--gold FILE] [--data-dir DIR] [--module-dir DIR]
                                     [--errors N] [--no-peer]

Converts every utterance with the `_quillet` module (convert_detailed), writes one
syllable per CJK ideograph of each token's text ("_" where a token's reading does
not split into one syllable per ideograph), and scores the predictions with
score.py from the evaluation folder, with and without its particle list. The
peer runs from a scratch folder outside the repository."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def is_cjk(ch):
    o = ord(ch)
    return (0x4E00 <= o <= 0x9FFF or 0x3400 <= o <= 0x4DBF
            or 0x20000 <= o <= 0x2A6DF or 0xF900 <= o <= 0xFAFF)


def default_eval_dir():
    for d in (os.path.join(ROOT, "..", "shared", "eval"), "/work/shared/eval"):
        if os.path.exists(os.path.join(d, "score.py")):
            return os.path.normpath(d)
    return os.path.normpath(os.path.join(ROOT, "..", "shared", "eval"))


def import_module(module_dir):
    """Imports _quillet from module_dir, or from the newest build/*/ that has it."""
    dirs = [module_dir] if module_dir else sorted(
        {os.path.dirname(p) for p in glob.glob(os.path.join(ROOT, "build", "*", "_quillet*.so"))},
        key=lambda d: -max(os.path.getmtime(p) for p in glob.glob(os.path.join(d, "_quillet*.so"))))
    if not dirs:
        raise SystemExit("no _quillet module found under build/*/; build it or pass --module-dir")
    sys.path.insert(0, dirs[0])
    import _quillet  # noqa: E402
    return _quillet, dirs[0]


def token_syllables(tokens):
    """One syllable per CJK ideograph of the tokens' texts, in order."""
    out = []
    for tok in tokens:
        text, reading = tok[0], tok[1]
        n = sum(1 for c in text if is_cjk(c))
        if n == 0:
            continue
        syllables = reading.split()
        out.extend(syllables if len(syllables) == n else ["_"] * n)
    return out


def cjk_runs(text):
    runs, cur = [], ""
    for ch in text:
        if is_cjk(ch):
            cur += ch
        elif cur:
            runs.append(cur)
            cur = ""
    if cur:
        runs.append(cur)
    return runs


def predict(pipeline, rows):
    """Predictions per id. When the normalizer adds ideographs (digits spelled
    out as numerals, slang replaced), the whole text no longer aligns with the
    gold; such an utterance is converted run by run of its ideographs instead."""
    preds, rerun = {}, 0
    for uid, text in rows:
        want = sum(1 for c in text if is_cjk(c))
        syllables = token_syllables(pipeline.convert_detailed(text))
        if len(syllables) != want:
            rerun += 1
            syllables = []
            for run in cjk_runs(text):
                syllables.extend(token_syllables(pipeline.convert_detailed(run)))
        preds[uid] = syllables
    return preds, rerun


def run_peer(eval_dir, gold, pred_path, npm_prefix):
    """Runs the peer script from a scratch folder beside an installed to-jyutping."""
    modules = os.path.join(npm_prefix, "node_modules")
    if not os.path.exists(os.path.join(modules, "to-jyutping")):
        subprocess.run(["npm", "install", "--no-save", "--prefix", npm_prefix, "to-jyutping"],
                       check=True, stdout=subprocess.DEVNULL)
    scratch = tempfile.mkdtemp(prefix="quillet-peer-")
    try:
        shutil.copy(os.path.join(eval_dir, "peers", "run_to_jyutping.mjs"), scratch)
        os.symlink(os.path.abspath(modules), os.path.join(scratch, "node_modules"))
        subprocess.run(["node", os.path.join(scratch, "run_to_jyutping.mjs"), gold, pred_path],
                       check=True, stderr=subprocess.DEVNULL)
    finally:
        shutil.rmtree(scratch)


def score(eval_dir, gold, pred, exclude, errors):
    cmd = [sys.executable, os.path.join(eval_dir, "score.py"), gold, pred]
    if exclude:
        cmd += ["--exclude-file", os.path.join(eval_dir, "particles.txt")]
    if errors:
        cmd += ["--errors", str(errors)]
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def main(argv=None):
    eval_dir = default_eval_dir()
    ap = argparse.ArgumentParser(description="Reading accuracy against a gold file.")
    ap.add_argument("--gold", default=os.path.join(eval_dir, "gold_dev.tsv"))
    ap.add_argument("--eval-dir", default=eval_dir, help="folder with score.py and particles.txt")
    ap.add_argument("--data-dir", default=os.path.join(ROOT, "data"))
    ap.add_argument("--module-dir", help="folder holding _quillet*.so")
    ap.add_argument("--npm-prefix", default=os.path.join(ROOT, "build", "npm"))
    ap.add_argument("--errors", type=int, default=10, help="most frequent errors to list")
    ap.add_argument("--no-peer", action="store_true")
    ap.add_argument("--keep", help="folder to keep the prediction files in")
    args = ap.parse_args(argv)

    module, module_dir = import_module(args.module_dir)
    pipeline = module.PyPipeline(data_dir=args.data_dir)
    rows = []
    with open(args.gold, encoding="utf-8") as fh:
        for line in fh:
            parts = line.rstrip("\n").split("\t")
            if len(parts) >= 2:
                rows.append((parts[0], parts[1]))

    out_dir = args.keep or tempfile.mkdtemp(prefix="quillet-acc-")
    os.makedirs(out_dir, exist_ok=True)
    preds, rerun = predict(pipeline, rows)
    ours = os.path.join(out_dir, "quillet.tsv")
    with open(ours, "w", encoding="utf-8") as fh:
        for uid, _ in rows:
            fh.write("%s\t%s\n" % (uid, " ".join(preds[uid])))
    unread = sum(1 for s in preds.values() for x in s if x == "_")

    print("gold %s; module %s; data %s" % (args.gold, module_dir, args.data_dir))
    print("utterances converted run by run (normalizer added ideographs): %d" % rerun)
    print("ideographs without a reading: %d" % unread)
    systems = [("quillet", ours)]
    if not args.no_peer:
        peer = os.path.join(out_dir, "to_jyutping.tsv")
        run_peer(args.eval_dir, args.gold, peer, args.npm_prefix)
        systems.append(("to-jyutping", peer))
    for name, pred in systems:
        for exclude in (False, True):
            print("\n== %s, %s" % (name, "particles excluded" if exclude else "all syllables"))
            print(score(args.eval_dir, args.gold, pred, exclude,
                        args.errors if exclude and name == "quillet" else 0).rstrip())
    if not args.keep:
        shutil.rmtree(out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main())
