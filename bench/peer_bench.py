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
(100 to 10,000,000 characters, the utterances joined) gives the cost curve
of each conversion and its peer call. Some peer calls grow far faster than
the text (getJyutpingText took 0.28 s on 10,000 characters and 196 s on
100,000), so each peer call is time-boxed per length: a length its own
growth predicts past --peer-budget is not run, a call running past twice
that is stopped (the Node process restarted) and dropped for longer texts,
and the long peer calls stop altogether after --peer-total seconds. Texts of
a million characters or more get one call each, without a warm-up.

The peer is used from an existing npm folder (--npm-dir, holding
node_modules/to-jyutping at the pinned version), or installed into it with
npm when it is not there. Writes bench/results/peer_table.md, the chart
bench/results/peer_chart.png and the raw timings bench/results/peer_raw.json.

Usage:
  /usr/bin/python3 bench/peer_bench.py [--build-dir build/release] [--data data]
      [--npm-dir build/peer-npm] [--rounds 7] [--max-chars 10000000] [--no-long]
      [--peer-budget 30] [--peer-total 300]
"""
import argparse
import json
import math
import os
import pathlib
import select
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
# Texts from this length get one call each, without a warm-up.
ONE_CALL_FROM = 1_000_000


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


def timed(fn, repeat, warm_up=True):
    """Median seconds of `repeat` calls of fn(), after one warm-up call unless
    `warm_up` is false."""
    if warm_up:
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
        self.command = ["node", str(runner), str(package), str(scratch / "sets.json")]
        self._start()

    def _start(self):
        self.proc = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True)
        self.info = self._read(None)

    def _read(self, timeout):
        """The next answer; None when none comes within `timeout` seconds."""
        ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
        if not ready:
            return None
        line = self.proc.stdout.readline()
        if not line:
            sys.exit("the peer's runner stopped")
        return json.loads(line)

    def ask(self, job, timeout=None):
        """Seconds of the job; None when it ran past `timeout`, in which case
        the process is killed and a fresh one started (the job cannot be
        stopped any other way: the peer's calls run to their end)."""
        self.proc.stdin.write(json.dumps(job) + "\n")
        self.proc.stdin.flush()
        answer = self._read(timeout)
        if answer is None:
            self.proc.kill()
            self.proc.wait()
            self._start()
            return None
        return answer["seconds"]

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


# The peer calls set against each conversion on the long texts.
LONG_PEER_FOR = {
    "convert": ("getJyutping", "getJyutpingText"),
    "convert_detailed": ("getJyutpingList",),
    "convert_candidates": ("getJyutpingCandidates",),
}


def predicted(times, n):
    """Seconds a call would take on n characters, grown from its last two
    lengths at their rate (exponent between 1 and 3); None before any."""
    if not times:
        return None
    (m, t), = list(times.items())[-1:]
    growth = 2.0
    if len(times) >= 2:
        (k, u), _ = list(times.items())[-2:]
        if t > 0 and u > 0:
            growth = min(3.0, max(1.0, math.log(t / u) / math.log(m / k)))
    return t * (n / m) ** growth


def long_texts(pipeline, peer, scratch, texts, lengths, repeat, budget, total):
    """Seconds of one call on each long text: Quillet's three operations
    (every length) and each peer call of LONG_PEER_FOR, time-boxed: a length
    a call's own growth predicts past `budget` is not run (None), nor is any
    after a call ran past twice `budget` (stopped), nor any once the peer's
    long calls have taken `total` seconds in all."""
    joined = joined_text(texts, lengths[-1])
    q = {op: {} for op in LONG_OPS}
    theirs = {call: {} for calls in LONG_PEER_FOR.values() for call in calls}
    dropped = set()
    spent = 0.0
    path = scratch / "long.txt"
    for n in lengths:
        text = joined[:n]
        for op in LONG_OPS:
            method = getattr(pipeline, op)
            one = n >= ONE_CALL_FROM
            q[op][n] = timed(lambda: method(text), 1 if one else repeat, warm_up=not one)
        path.write_text(text, encoding="utf-8")
        for call in theirs:
            ran = {k: v for k, v in theirs[call].items() if v is not None}
            guess = predicted(ran, n)
            if call in dropped or spent >= total or (guess is not None and guess > budget):
                theirs[call][n] = None
                continue
            start = time.perf_counter()
            seconds = peer.ask({"long": call, "text": str(path), "repeat": 1 if n >= ONE_CALL_FROM
                                else repeat}, timeout=2 * budget)
            spent += time.perf_counter() - start
            theirs[call][n] = seconds
            if seconds is None:
                dropped.add(call)
                print(f"peer {call} on {n:,} characters stopped after {2 * budget:g} s",
                      file=sys.stderr)
    return q, theirs


def best_peer(peer_long, op, n):
    """The fastest of the peer calls for `op` that ran on n characters, as
    (seconds, call), or (None, None)."""
    ran = [(peer_long[c][n], c) for c in LONG_PEER_FOR[op] if peer_long[c].get(n) is not None]
    return min(ran) if ran else (None, None)


def write_chart(path, lengths, quillet_long, peer_long):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7.5, 4.8))
    for op, color in zip(LONG_OPS, ("C0", "C1", "C2")):
        q = [(n, n / quillet_long[op][n]) for n in lengths if quillet_long[op].get(n)]
        ax.plot([x for x, _ in q], [y for _, y in q], "o-", color=color,
                label=f"Quillet {op} (Python)")
        p = [(n, n / best_peer(peer_long, op, n)[0]) for n in lengths
             if best_peer(peer_long, op, n)[0]]
        ax.plot([x for x, _ in p], [y for _, y in p], "s--", color=color,
                label=f"to-jyutping {'/'.join(LONG_PEER_FOR[op])} (Node)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("text length (characters, one call)")
    ax.set_ylabel("characters per second")
    ax.set_title("One call on a long text: Quillet vs to-jyutping")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=7)
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
    ap.add_argument("--peer-budget", type=float, default=30.0,
                    help="seconds; a long peer call predicted slower than this is not run, "
                         "one running past twice this is stopped")
    ap.add_argument("--peer-total", type=float, default=300.0,
                    help="seconds; the long peer calls stop once they have taken this in all")
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
        pipeline, peer, scratch, sets["utterances"], lengths, args.repeat, args.peer_budget,
        args.peer_total)
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
        rows += ["", "| One call on a text of | " +
                 " | ".join(f"`{op}` | peer | ratio" for op in LONG_OPS) + " |",
                 "|---" * (1 + 3 * len(LONG_OPS)) + "|"]
        for n in lengths:
            cells = []
            for op in LONG_OPS:
                p, call = best_peer(peer_long, op, n)
                mine = q_long[op][n]
                cells += [fmt(n / mine), f"{fmt(n / p)} ({call})" if p else "–",
                          f"{p / mine:.2f}×" if p else "–"]
            rows.append(f"| {n:,} chars | " + " | ".join(cells) + " |")
        first_missing = {c: min(n for n, v in by_n.items() if v is None)
                         for c, by_n in peer_long.items() if None in by_n.values()}
        if first_missing:
            rows.append("\nPeer calls not timed from a length on (predicted past "
                        f"{args.peer_budget:g} s, stopped after {2 * args.peer_budget:g} s, or "
                        f"past the {args.peer_total:g} s for all long peer calls): " +
                        ", ".join(f"{c} from {n:,} chars" for c, n in sorted(first_missing.items()))
                        + ".")
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
