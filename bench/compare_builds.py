"""Two builds of the _quillet module side by side in one process: both are
loaded (each from its own copy of the .so), and every round times each
operation once per build, in alternating order, over the dev-set
utterances; the best round of each is reported. On a shared machine this
gives a fairer ratio than two separate runs minutes apart.

    /usr/bin/python3 bench/compare_builds.py OLD_BUILD_DIR NEW_BUILD_DIR
"""
import argparse
import importlib.machinery
import importlib.util
import pathlib
import shutil
import tempfile
import time

from peer_bench import ROOT, corpus_texts


def load(build_dir, scratch, tag):
    copy = pathlib.Path(scratch) / f"_quillet_{tag}.abi3.so"
    shutil.copy(pathlib.Path(build_dir) / "_quillet.abi3.so", copy)
    loader = importlib.machinery.ExtensionFileLoader("_quillet", str(copy))
    spec = importlib.util.spec_from_file_location("_quillet", copy, loader=loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def two_build_arguments(doc):
    """The arguments of a script over two builds: their directories, the data
    directory and the corpus (compare_outputs.py takes the same)."""
    ap = argparse.ArgumentParser(description=doc.splitlines()[0])
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("--data", default=str(ROOT / "data"))
    ap.add_argument("--corpus", default=str(ROOT.parent / "shared" / "eval" / "gold_dev.tsv"))
    return ap


def main():
    ap = two_build_arguments(__doc__)
    ap.add_argument("--rounds", type=int, default=15)
    ap.add_argument("--ops", default="convert,convert_detailed,convert_candidates,"
                    "convert_batch,convert_detailed_batch,convert_candidates_batch")
    args = ap.parse_args()

    texts = corpus_texts(args.corpus)
    chars = sum(map(len, texts))
    ops = args.ops.split(",")
    with tempfile.TemporaryDirectory() as scratch:
        builds = {tag: load(d, scratch, tag) for tag, d in (("old", args.old), ("new", args.new))}
        pipelines = {tag: m.PyPipeline(data_dir=args.data) for tag, m in builds.items()}
        best = {(tag, op): float("inf") for tag in builds for op in ops}
        for rnd in range(args.rounds):
            for op in ops:
                for tag in (("old", "new") if rnd % 2 == 0 else ("new", "old")):
                    method = getattr(pipelines[tag], op)
                    if op.endswith("_batch"):  # wall clock: the pool's threads
                        start = time.perf_counter()
                        result = method(texts)
                        seconds = time.perf_counter() - start
                    else:  # one call per utterance, CPU time of this thread
                        start = time.process_time()
                        result = [method(t) for t in texts]
                        seconds = time.process_time() - start
                    del result
                    best[tag, op] = min(best[tag, op], seconds)
    print(f"{'operation':26s} {'old':>10s} {'new':>10s}  (M chars/s, best of {args.rounds})  new/old")
    for op in ops:
        old, new = chars / best["old", op] / 1e6, chars / best["new", op] / 1e6
        print(f"{op:26s} {old:10.2f} {new:10.2f}  {'':27s}{new / old:6.2f}")


if __name__ == "__main__":
    main()
