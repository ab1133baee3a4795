"""Quillet's cost curve from Python alone: characters per second of one call
on texts of growing length (the dev-set utterances joined end to end), for
each conversion. A quicker, peer-free companion to peer_bench.py, for
checking that the cost per character stays flat.

    /usr/bin/python3 bench/cost_curve.py --build-dir build/release
"""
import argparse
import pathlib
import sys

from peer_bench import ROOT, corpus_texts, joined_text, timed


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build-dir", default=str(ROOT / "build" / "release"))
    ap.add_argument("--data", default=str(ROOT / "data"))
    ap.add_argument("--corpus", default=str(ROOT.parent / "shared" / "eval" / "gold_dev.tsv"))
    ap.add_argument("--ops", default="convert,convert_detailed,convert_candidates")
    ap.add_argument("--lengths", default="1000,10000,100000,1000000,10000000")
    ap.add_argument("--repeat", type=int, default=5, help="calls per length (median is shown)")
    args = ap.parse_args()

    sys.path.insert(0, str(pathlib.Path(args.build_dir).resolve()))
    import _quillet
    pipeline = _quillet.PyPipeline(data_dir=args.data)
    lengths = [int(n) for n in args.lengths.split(",")]
    joined = joined_text(corpus_texts(args.corpus), max(lengths))
    print(f"{'operation':20s}" + "".join(f"{n:>12,d}" for n in lengths) + "   (M chars/s)")
    for op in args.ops.split(","):
        method = getattr(pipeline, op)
        rates = []
        for n in lengths:
            text = joined[:n]
            rates.append(n / timed(lambda: method(text), args.repeat) / 1e6)
        print(f"{op:20s}" + "".join(f"{r:12.2f}" for r in rates))


if __name__ == "__main__":
    main()
