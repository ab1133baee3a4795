#!/usr/bin/env python3
"""Quillet from Python against the npm package to-jyutping from Node, same texts, one run.

Two text sets, one call per text: the spoken utterances of the dev set (second
column of ../shared/eval/gold_dev.tsv beside this checkout) and the written
sentences of ../shared/eval/cv_sents.txt (one per line). Each Quillet call is
set against its peer counterpart:

  convert             the faster of getJyutping and getJyutpingText
  convert_detailed    getJyutpingList
  convert_candidates  getJyutpingCandidates
  the batch forms     the same peer calls, one per text

The peer runs in one Node process for the whole run and times one pass over
a set whenever asked, so the two engines are timed in alternation, round
after round, and each figure is the best round: on a shared machine this
gives fairer ratios than two runs minutes apart. Then one call on long texts
(100 to 10,000,000 characters, the utterances joined) gives the cost curve.

The peer is used from an existing npm folder (--npm-dir, holding
node_modules/to-jyutping at the pinned version), or installed into it with
npm when it is not there. Writes bench/results/peer_table.md, the chart
bench/results/peer_chart.png and the raw timings bench/results/peer_raw.json.

Usage:
  /usr/bin/python3 bench/peer_bench.py [--build-dir build/release] [--data data]
      [--npm-dir build/peer-npm] [--rounds 7] [--max-chars 10000000] [--no-long]
"""
import argparse
import json
import math
import os
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
PEER_VERSION = "3.1.1"

# The peer's side. Each stdin line is a job: {"set": name, "call": name}
# times one pass over a set, {"long": name, "text": file, "repeat": n} one
# call on a long text (mean of up to n calls within the budget); each answer
# is one line of JSON on stdout.
NODE_RUNNER = r"""
import fs from "node:fs";
import readline from "node:readline";
import { pathToFileURL } from "node:url";
import { performance } from "node:perf_hooks";
const [packageDir, setsFile] = process.argv.slice(2);
const t0 = performance.now();
const manifest = JSON.parse(fs.readFileSync(packageDir + "/package.json", "utf8"));
const peer = await import(pathToFileURL(packageDir + "/" + manifest.exports["."].import).href);
const loadMs = performance.now() - t0;
const sets = {};
for (const [name, file] of Object.entries(JSON.parse(fs.readFileSync(setsFile, "utf8")))) {
  sets[name] = fs.readFileSync(file, "utf8").split("\n").filter(Boolean);
}
const say = (x) => process.stdout.write(JSON.stringify(x) + "\n");
say({ load_ms: loadMs, node: process.version, version: manifest.version });
for await (const line of readline.createInterface({ input: process.stdin })) {
  const job = JSON.parse(line);
  if (job.set) {
    const fn = peer[job.call], texts = sets[job.set];
    const s = performance.now();
    for (const t of texts) fn(t);
    say({ seconds: (performance.now() - s) / 1000 });
  } else {
    const fn = peer[job.long], text = fs.readFileSync(job.text, "utf8");
    fn(text.slice(0, 1000));  // warm-up on a short piece
    let total = 0, count = 0;
    while (count < 1 || (total < 0.5 && count < job.repeat)) {
      const s = performance.now();
      fn(text);
      total += (performance.now() - s) / 1000;
      count++;
    }
    say({ seconds: total / count });
  }
}
"""

PEER_FOR = {
    "convert": ("getJyutping", "getJyutpingText"),
    "convert_detailed": ("getJyutpingList",),
    "convert_candidates": ("getJyutpingCandidates",),
}
GOALS = {"convert": 2.0, "convert_detailed": 1.0, "convert_candidates": 1.5, "convert_batch": 3.0}
OPS = ("convert", "convert_detailed", "convert_candidates",
       "convert_batch", "convert_detailed_batch", "convert_candidates_batch")
LONG_OPS = ("convert", "convert_detailed", "convert_candidates")


def corpus_texts(path):
    """The non-empty second column of a tab-separated file."""
    texts = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            cols = line.rstrip("\n").split("\t")
            if len(cols) >= 2 and cols[1]:
                texts.append(cols[1])
    if not texts:
        sys.exit(f"no texts in {path}")
    return texts


def line_texts(path):
    """The non-empty lines of a file."""
    with open(path, encoding="utf-8") as f:
        texts = [line.rstrip("\n") for line in f if line.strip()]
    if not texts:
        sys.exit(f"no texts in {path}")
    return texts


def joined_text(texts, chars):
    out, have = [], 0
    while have < chars:
        for t in texts:
            out.append(t)
            have += len(t)
            if have >= chars:
                break
    return "".join(out)[:chars]


def timed(fn, repeat):
    """Median seconds of `repeat` calls of fn() after one warm-up call."""
    fn()
    runs = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        runs.append(time.perf_counter() - start)
    return statistics.median(runs)


def peer_package(npm_dir):
    package = npm_dir / "node_modules" / "to-jyutping"
    manifest = package / "package.json"
    if not manifest.exists() or json.loads(manifest.read_text())["version"] != PEER_VERSION:
        npm_dir.mkdir(parents=True, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", str(npm_dir), "--no-audit", "--no-fund",
                        f"to-jyutping@{PEER_VERSION}"], check=True, stdout=subprocess.DEVNULL)
    return package


class Peer:
    """The Node process, asked one job at a time."""

    def __init__(self, scratch, package, sets):
        runner = scratch / "peer_runner.mjs"
        runner.write_text(NODE_RUNNER)
        files = {}
        for name, texts in sets.items():
            files[name] = str(scratch / f"{name}.txt")
            pathlib.Path(files[name]).write_text("\n".join(texts) + "\n", encoding="utf-8")
        (scratch / "sets.json").write_text(json.dumps(files))
        self.proc = subprocess.Popen(["node", str(runner), str(package), str(scratch / "sets.json")],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.info = self._read()

    def _read(self):
        line = self.proc.stdout.readline()
        if not line:
            sys.exit("the peer's runner stopped")
        return json.loads(line)

    def ask(self, job):
        self.proc.stdin.write(json.dumps(job) + "\n")
        self.proc.stdin.flush()
        return self._read()["seconds"]

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


STARTUP_PROBE = r"""
import sys, time
sys.path.insert(0, sys.argv[1])
import _quillet
def rss_kb():
    for line in open("/proc/self/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
before = rss_kb()
start = time.perf_counter()
p = _quillet.PyPipeline(data_dir=sys.argv[2])
first_ms = (time.perf_counter() - start) * 1000
after = rss_kb()
runs = []
for _ in range(50):
    start = time.perf_counter()
    _quillet.PyPipeline(data_dir=sys.argv[2])
    runs.append((time.perf_counter() - start) * 1000)
runs.sort()
print(first_ms, runs[len(runs) // 2], after - before)
"""


def quillet_startup(build_dir, data_dir):
    """First and median construction time (ms) and resident memory added (KiB), fresh process."""
    out = subprocess.run([sys.executable, "-c", STARTUP_PROBE, str(build_dir), str(data_dir)],
                         check=True, capture_output=True, text=True).stdout.split()
    return float(out[0]), float(out[1]), int(out[2])


def alternating_rounds(pipeline, peer, sets, rounds):
    """Best seconds per (set, Quillet op) and per (set, peer call), taken in alternation."""
    quillet, theirs = {}, {}
    calls = sorted({c for cs in PEER_FOR.values() for c in cs})
    for name, texts in sets.items():  # warm-up: the peer's JIT, Quillet's pages
        for op in OPS[:3]:
            [getattr(pipeline, op)(t) for t in texts]
        for call in calls:
            peer.ask({"set": name, "call": call})
    for _ in range(rounds):
        for name, texts in sets.items():
            for op in OPS:
                method = getattr(pipeline, op)
                start = time.perf_counter()
                result = method(texts) if op.endswith("_batch") else [method(t) for t in texts]
                seconds = time.perf_counter() - start
                del result
                quillet[name, op] = min(quillet.get((name, op), float("inf")), seconds)
            for call in calls:
                seconds = peer.ask({"set": name, "call": call})
                theirs[name, call] = min(theirs.get((name, call), float("inf")), seconds)
    return quillet, theirs


def long_texts(pipeline, peer, scratch, texts, lengths, repeat, budget):
    """Seconds of one call on each long text: Quillet's three operations and the peer's
    faster string call. A peer length whose time, grown from the last one at the rate
    seen between the last two, would pass `budget` is not run (None)."""
    joined = joined_text(texts, lengths[-1])
    q = {op: {} for op in LONG_OPS}
    theirs = {}
    growth, prev = 2.0, None
    for n in lengths:
        text = joined[:n]
        for op in LONG_OPS:
            method = getattr(pipeline, op)
            q[op][n] = timed(lambda: method(text), 1 if n >= 1_000_000 else repeat)
        if prev and (theirs.get(prev) is None or theirs[prev] * (n / prev) ** growth > budget):
            theirs[n] = None
            continue
        path = scratch / "long.txt"
        path.write_text(text, encoding="utf-8")
        theirs[n] = min(peer.ask({"long": call, "text": str(path), "repeat": repeat})
                        for call in PEER_FOR["convert"])
        if prev:
            growth = min(2.0, max(1.0, math.log(theirs[n] / theirs[prev]) / math.log(n / prev)))
        prev = n
    return q, theirs


def write_chart(path, lengths, quillet_long, peer_long):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for op, marker in zip(quillet_long, ("o-", "^-", "v-")):
        q = [(n, n / quillet_long[op][n]) for n in lengths if quillet_long[op].get(n)]
        ax.plot([x for x, _ in q], [y for _, y in q], marker, label=f"Quillet {op} (Python)")
    p = [(n, n / peer_long[n]) for n in lengths if peer_long.get(n)]
    ax.plot([x for x, _ in p], [y for _, y in p], "s--", label="to-jyutping string call (Node)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("text length (characters, one call)")
    ax.set_ylabel("characters per second")
    ax.set_title("One call on a long text: Quillet vs to-jyutping")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def write_bars(path, sets, ratios):
    """ratios: {(set, op): ratio}; one group of bars per operation, goal marks."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8, 4.5))
    width = 0.8 / len(sets)
    for k, name in enumerate(sets):
        xs = [i + k * width for i in range(len(OPS))]
        ax.bar(xs, [ratios[name, op] for op in OPS], width, label=name)
    for i, op in enumerate(OPS):
        goal = GOALS.get(op)
        if goal:
            ax.hlines(goal, i - width / 2, i + width * (len(sets) - 0.5), colors="black",
                      linestyles="dashed")
    ax.axhline(1.0, color="grey", linewidth=0.8)
    ax.set_xticks([i + width * (len(sets) - 1) / 2 for i in range(len(OPS))])
    ax.set_xticklabels(OPS, rotation=20, fontsize=8)
    ax.set_ylabel("speed relative to the peer call (×)")
    ax.set_title("Quillet (Python) vs to-jyutping (Node), one call per text; dashes: goals")
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def fmt(x):
    if x is None:
        return "–"
    if x >= 1e6:
        return f"{x / 1e6:.2f} M"
    if x >= 1e3:
        return f"{x / 1e3:.1f} k"
    return f"{x:.0f}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build-dir", default=str(ROOT / "build" / "release"))
    ap.add_argument("--data", default=str(ROOT / "data"))
    ap.add_argument("--corpus", default=str(ROOT.parent / "shared" / "eval" / "gold_dev.tsv"))
    ap.add_argument("--sentences", default=str(ROOT.parent / "shared" / "eval" / "cv_sents.txt"))
    ap.add_argument("--npm-dir", default=str(ROOT / "build" / "peer-npm"))
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--repeat", type=int, default=5, help="calls per long text below 1 M chars")
    ap.add_argument("--max-chars", type=int, default=10_000_000)
    ap.add_argument("--no-long", action="store_true", help="skip the long texts")
    ap.add_argument("--peer-budget", type=float, default=60.0,
                    help="seconds; a long peer text predicted slower than this is not run")
    ap.add_argument("--out-dir", default=str(ROOT / "bench" / "results"))
    args = ap.parse_args()

    build_dir = pathlib.Path(args.build_dir).resolve()
    out_dir = pathlib.Path(args.out_dir).resolve()
    out_dir.mkdir(parents=True, exist_ok=True)
    scratch = ROOT / "build" / "peer-run"  # the peer's inputs, never in the repository
    scratch.mkdir(parents=True, exist_ok=True)
    package = peer_package(pathlib.Path(args.npm_dir).resolve())
    sets = {"utterances": corpus_texts(args.corpus), "sentences": line_texts(args.sentences)}
    chars = {name: sum(map(len, texts)) for name, texts in sets.items()}

    sys.path.insert(0, str(build_dir))
    import _quillet
    pipeline = _quillet.PyPipeline(data_dir=args.data)
    peer = Peer(scratch, package, sets)
    load_before = os.getloadavg()[0]
    quillet, theirs = alternating_rounds(pipeline, peer, sets, args.rounds)
    load_after = os.getloadavg()[0]
    lengths = [n for n in (100, 1_000, 10_000, 100_000, 1_000_000, 10_000_000)
               if n <= args.max_chars]
    q_long, peer_long = ({}, {}) if args.no_long else long_texts(
        pipeline, peer, scratch, sets["utterances"], lengths, args.repeat, args.peer_budget)
    peer.close()
    first_ms, median_ms, rss_kib = quillet_startup(build_dir, args.data)

    def peer_seconds(name, op):
        return min(theirs[name, call] for call in PEER_FOR[op.removesuffix("_batch")])

    rows = ["| Text set | Quillet call | Quillet chars/s | Peer call | Peer chars/s | Ratio | Goal |",
            "|---|---|---|---|---|---|---|"]
    ratios = {}
    for name in sets:
        for op in OPS:
            base = op.removesuffix("_batch")
            calls = PEER_FOR[base]
            best = min(calls, key=lambda c: theirs[name, c])
            mine, their = quillet[name, op], peer_seconds(name, op)
            ratios[name, op] = their / mine
            goal = GOALS.get(op)
            met = "" if goal is None else (f"≥ {goal:g}× " +
                                           ("met" if ratios[name, op] >= goal else "not met"))
            rows.append(f"| {name} ({len(sets[name])} texts, {chars[name]:,} chars) | `{op}` | "
                        f"{fmt(chars[name] / mine)} | {best} | {fmt(chars[name] / their)} | "
                        f"{ratios[name, op]:.2f}× | {met} |")
    if q_long:
        rows += ["", "| One call on a text of | " + " | ".join(f"`{op}`" for op in LONG_OPS) +
                 " | peer string call | `convert` / peer |", "|---" * (len(LONG_OPS) + 3) + "|"]
        for n in lengths:
            p = peer_long.get(n)
            rows.append(f"| {n:,} chars | " +
                        " | ".join(fmt(n / q_long[op][n]) for op in LONG_OPS) +
                        f" | {fmt(n / p) if p else '–'} | "
                        f"{f'{p / q_long[LONG_OPS[0]][n]:.2f}×' if p else '–'} |")
    peer_calls = "; ".join(
        f"{name}: " + ", ".join(f"{call} {fmt(chars[name] / theirs[name, call])}"
                                for call in sorted({c for cs in PEER_FOR.values() for c in cs}))
        for name in sets)
    notes = [
        "",
        f"Peer: to-jyutping {peer.info['version']} on Node {peer.info['node']} (chars/s per call: "
        f"{peer_calls}). Quillet: `_quillet` from {sys.executable} (Python "
        f"{sys.version.split()[0]}), build {build_dir.name}. Best of {args.rounds} alternating "
        f"rounds after a warm-up; the batch calls use all {os.cpu_count()} processors. "
        f"Load average {load_before:.1f} before the rounds, {load_after:.1f} after.",
        f"Start-up: PyPipeline on the data directory, first construction {first_ms:.2f} ms, "
        f"median of 50 {median_ms:.2f} ms, resident memory added {rss_kib / 1024:.2f} MiB; "
        f"to-jyutping import {peer.info['load_ms']:.0f} ms.",
    ]
    table = "\n".join(rows + notes) + "\n"
    (out_dir / "peer_table.md").write_text(table, encoding="utf-8")
    try:
        write_bars(out_dir / "peer_ratios.png", sets, ratios)
        if q_long:
            write_chart(out_dir / "peer_chart.png", lengths, q_long, peer_long)
    except ImportError:
        print("no charts: matplotlib is not installed (apt install python3-matplotlib)")
    (out_dir / "peer_raw.json").write_text(json.dumps({
        "quillet": {f"{k[0]}/{k[1]}": v for k, v in quillet.items()},
        "peer": {f"{k[0]}/{k[1]}": v for k, v in theirs.items()},
        "quillet_long": q_long, "peer_long": peer_long, "peer_info": peer.info,
        "startup_ms": [first_ms, median_ms], "rss_kib": rss_kib,
        "load": [load_before, load_after]}, indent=1))
    print(table)


if __name__ == "__main__":
    main()
