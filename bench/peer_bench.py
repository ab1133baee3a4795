#!/usr/bin/env python3
"""Quillet from Python against the npm package to-jyutping from Node, same texts, one run.

Texts: the utterances of the dev set (second column of a tab-separated file,
default ../shared/eval/gold_dev.tsv beside this checkout); long texts made by
joining them, 100 characters up to 10,000,000; and a mixed text of numbers,
money, units and English for the normalizer.

The peer is installed with npm into a scratch folder (default build/peer-npm,
pinned to to-jyutping 3.1.1) and driven by a Node runner written there at run
time. Both of its string-producing calls are timed, getJyutpingList and
getJyutpingText, and every ratio is taken against the faster of the two.

Writes a Markdown table (characters/s, utterances/s, ratio to the peer) and a
PNG chart (characters/s against text length, log axes, both engines).

Usage:
  /usr/bin/python3 bench/peer_bench.py [--build-dir build/release] [--data data]
      [--corpus FILE] [--npm-dir build/peer-npm] [--repeat 5]
      [--max-chars 10000000] [--peer-budget 60] [--out-dir bench/results]
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
PEER_VERSION = "3.1.1"

NODE_RUNNER = r"""
import fs from "node:fs";
import { performance } from "node:perf_hooks";
const t0 = performance.now();
const peer = await import("to-jyutping");
const loadMs = performance.now() - t0;
const job = JSON.parse(fs.readFileSync(process.argv[2], "utf8"));
const utterances = fs.readFileSync(job.utterances, "utf8").split("\n").filter(Boolean);
const joined = fs.readFileSync(job.joined, "utf8");
const mixed = fs.readFileSync(job.mixed, "utf8").split("\n").filter(Boolean);
const calls = { list: peer.getJyutpingList, text: peer.getJyutpingText };
const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor(s.length / 2)]; };
// Seconds for one pass over `texts`, one call per text; median of `repeat`.
function perCall(fn, texts, repeat) {
  for (const t of texts) fn(t);  // warm-up: let the JIT compile
  const runs = [];
  for (let r = 0; r < repeat; r++) {
    const s = performance.now();
    for (const t of texts) fn(t);
    runs.push((performance.now() - s) / 1000);
  }
  return median(runs);
}
const out = { load_ms: loadMs, node: process.version, per_utterance: {}, mixed: {}, long: {} };
for (const [name, fn] of Object.entries(calls)) {
  out.per_utterance[name] = perCall(fn, utterances, job.repeat);
  out.mixed[name] = perCall(fn, mixed, job.repeat);
  out.long[name] = {};
  // Code points, not UTF-16 units: the same lengths Python cuts.
  const cps = Array.from(joined);
  let skipRest = false, prevN = 0, prevSeconds = 0, growth = 2;
  for (const n of job.lengths) {
    // Its cost may grow faster than linearly: a length whose time, grown
    // from the last one at the rate seen between the last two (quadratic
    // before there are two), would pass the budget is not run.
    if (prevN && prevSeconds * (n / prevN) ** growth > job.budget) skipRest = true;
    if (skipRest || n > cps.length) { out.long[name][n] = null; continue; }
    const text = cps.slice(0, n).join("");
    fn(text.slice(0, Math.min(text.length, 1000)));  // warm-up on a short piece
    let total = 0, count = 0;
    while (count < 1 || (total < job.min_seconds && count < job.repeat)) {
      const s = performance.now();
      fn(text);
      total += (performance.now() - s) / 1000;
      count++;
      if (total > job.budget) break;
    }
    out.long[name][n] = total / count;
    if (prevN) growth = Math.min(2, Math.max(1, Math.log(total / count / prevSeconds) / Math.log(n / prevN)));
    prevN = n;
    prevSeconds = total / count;
  }
}
process.stdout.write(JSON.stringify(out));
"""

MIXED_PIECES = [
    "我用HK$1,200買咗3.5kg蘋果，仲有50%折扣！",
    "佢喺2024年5月3號12:30打咗個email俾我。",
    "今日氣溫25°C，濕度80%，行咗10km。",
    "部iPhone 15 Pro Max要$9,499，好貴喎。",
    "1/3嘅人話OK，2:1通過咗。",
    "sir，呢份report聽日交得唔得？",
    "我哋build咗個app，download咗3,000次。",
    "US$20大概係HK$156，你check下rate啦。",
]


def corpus_texts(path):
    texts = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            cols = line.rstrip("\n").split("\t")
            if len(cols) >= 2 and cols[1]:
                texts.append(cols[1])
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


def ensure_peer(npm_dir):
    package = npm_dir / "node_modules" / "to-jyutping" / "package.json"
    if not package.exists() or json.loads(package.read_text())["version"] != PEER_VERSION:
        npm_dir.mkdir(parents=True, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", str(npm_dir), "--no-audit", "--no-fund",
                        f"to-jyutping@{PEER_VERSION}"], check=True, stdout=subprocess.DEVNULL)
    runner = npm_dir / "peer_runner.mjs"  # ESM resolves the package from its own folder
    runner.write_text(NODE_RUNNER)
    return runner


def run_peer(runner, job_path):
    done = subprocess.run(["node", str(runner), str(job_path)], check=True,
                          capture_output=True, text=True)
    return json.loads(done.stdout)


def timed(fn, repeat):
    """Median seconds of `repeat` calls of fn() after one warm-up call."""
    fn()
    runs = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        runs.append(time.perf_counter() - start)
    return statistics.median(runs)


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


def write_chart(path, lengths, quillet_long, peer_long):
    """quillet_long: {operation: {length: seconds}}; peer_long: {length: seconds}."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for op, marker in zip(quillet_long, ("o-", "^-", "v-")):
        q = [(n, n / quillet_long[op][n]) for n in lengths if quillet_long[op].get(n)]
        ax.plot([x for x, _ in q], [y for _, y in q], marker, label=f"Quillet {op} (Python)")
    p = [(n, n / peer_long[n]) for n in lengths if peer_long.get(n)]
    ax.plot([x for x, _ in p], [y for _, y in p], "s--", label="to-jyutping (Node)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("text length (characters, one call)")
    ax.set_ylabel("characters per second")
    ax.set_title("One call on a long text: Quillet vs to-jyutping")
    ax.grid(True, which="both", alpha=0.3)
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
    ap.add_argument("--npm-dir", default=str(ROOT / "build" / "peer-npm"))
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--max-chars", type=int, default=10_000_000)
    ap.add_argument("--peer-budget", type=float, default=60.0,
                    help="seconds; a peer length predicted slower than this is not run")
    ap.add_argument("--out-dir", default=str(ROOT / "bench" / "results"))
    args = ap.parse_args()

    build_dir = pathlib.Path(args.build_dir).resolve()
    out_dir = pathlib.Path(args.out_dir).resolve()
    out_dir.mkdir(parents=True, exist_ok=True)
    scratch = pathlib.Path(args.npm_dir).resolve()
    runner = ensure_peer(scratch)

    texts = corpus_texts(args.corpus)
    chars = sum(len(t) for t in texts)
    mixed = MIXED_PIECES * 25
    mixed_chars = sum(len(t) for t in mixed)
    lengths = [n for n in (100, 1_000, 10_000, 100_000, 1_000_000, 10_000_000)
               if n <= args.max_chars]
    joined = joined_text(texts, lengths[-1])

    # The peer's inputs live in the scratch folder, never in the repository.
    (scratch / "utterances.txt").write_text("\n".join(texts) + "\n", encoding="utf-8")
    (scratch / "joined.txt").write_text(joined, encoding="utf-8")
    (scratch / "mixed.txt").write_text("\n".join(mixed) + "\n", encoding="utf-8")
    job = {"utterances": str(scratch / "utterances.txt"), "joined": str(scratch / "joined.txt"),
           "mixed": str(scratch / "mixed.txt"), "lengths": lengths, "repeat": args.repeat,
           "min_seconds": 0.5, "budget": args.peer_budget}
    job_path = scratch / "job.json"
    job_path.write_text(json.dumps(job))

    sys.path.insert(0, str(build_dir))
    import _quillet
    pipeline = _quillet.PyPipeline(data_dir=args.data)
    r = args.repeat
    q = {
        "convert": timed(lambda: [pipeline.convert(t) for t in texts], r),
        "convert_detailed": timed(lambda: [pipeline.convert_detailed(t) for t in texts], r),
        "convert_candidates": timed(lambda: [pipeline.convert_candidates(t) for t in texts], r),
        "convert_batch": timed(lambda: pipeline.convert_batch(texts), r),
        "convert_detailed_batch": timed(lambda: pipeline.convert_detailed_batch(texts), r),
        "convert_candidates_batch": timed(lambda: pipeline.convert_candidates_batch(texts), r),
        "mixed": timed(lambda: [pipeline.convert(t) for t in mixed], r),
    }
    # The cost curve of all three operations; only convert has a peer counterpart.
    long_ops = ("convert", "convert_detailed", "convert_candidates")
    q_long_all = {op: {} for op in long_ops}
    for op in long_ops:
        method = getattr(pipeline, op)
        for n in lengths:
            text = joined[:n]
            q_long_all[op][n] = timed(lambda: method(text), 1 if n >= 1_000_000 else r)
    q_long = q_long_all["convert"]
    first_ms, median_ms, rss_kib = quillet_startup(build_dir, args.data)

    peer = run_peer(runner, job_path)
    best = lambda d: min(v for v in d.values())  # the faster of the two calls
    peer_utt = best(peer["per_utterance"])
    peer_mixed = best(peer["mixed"])
    peer_long = {}
    for n in lengths:
        times = [peer["long"][name].get(str(n)) for name in peer["long"]]
        times = [t for t in times if t]
        peer_long[n] = min(times) if times else None

    rows = []
    def row(label, seconds, n_chars, n_texts, peer_seconds):
        ratio = f"{peer_seconds / seconds:.2f}×" if peer_seconds else "–"
        rows.append(f"| {label} | {fmt(n_chars / seconds)} | {fmt(n_texts / seconds)} | "
                    f"{fmt(n_chars / peer_seconds) if peer_seconds else '–'} | {ratio} |")
    rows.append("| Operation (Quillet from Python) | Quillet chars/s | Quillet texts/s "
                "| to-jyutping chars/s | Ratio to peer |")
    rows.append("|---|---|---|---|---|")
    n = len(texts)
    row(f"`convert`, one call per utterance ({n} utterances)", q["convert"], chars, n, peer_utt)
    row("`convert_detailed`, one call per utterance", q["convert_detailed"], chars, n, peer_utt)
    row("`convert_candidates`, one call per utterance", q["convert_candidates"], chars, n,
        peer_utt)
    row("`convert_batch`, whole corpus", q["convert_batch"], chars, n, peer_utt)
    row("`convert_detailed_batch`, whole corpus", q["convert_detailed_batch"], chars, n, peer_utt)
    row("`convert_candidates_batch`, whole corpus", q["convert_candidates_batch"], chars, n,
        peer_utt)
    row(f"`convert`, mixed text ({len(mixed)} lines)", q["mixed"], mixed_chars, len(mixed),
        peer_mixed)
    for length in lengths:
        row(f"`convert`, one text of {length:,} chars", q_long[length], length, 1,
            peer_long[length])
    for op in long_ops[1:]:
        for length in lengths:
            row(f"`{op}`, one text of {length:,} chars", q_long_all[op][length], length, 1,
                None)

    chart = out_dir / "peer_chart.png"
    write_chart(chart, lengths, q_long_all, peer_long)
    peer_calls = ", ".join(
        f"{name}: {fmt(chars / t)} chars/s" for name, t in peer["per_utterance"].items())
    notes = [
        "",
        f"Corpus: {n} utterances, {chars:,} characters. Peer: to-jyutping {PEER_VERSION} on Node "
        f"{peer['node']}, the faster of getJyutpingList and getJyutpingText per row "
        f"(per utterance: {peer_calls}). Median of {r} runs after a warm-up.",
        f"Start-up: PyPipeline on the data directory, first construction {first_ms:.2f} ms, "
        f"median of 50 {median_ms:.2f} ms, resident memory added {rss_kib / 1024:.2f} MiB; "
        f"to-jyutping import {peer['load_ms']:.0f} ms.",
        f"Long texts: a peer length whose time, extrapolated from the previous two lengths, "
        f"would pass {args.peer_budget:.0f} s is not run (–).",
        f"Machine: {os.cpu_count()} processors; other work may share them.",
    ]
    table = "\n".join(rows + notes) + "\n"
    (out_dir / "peer_table.md").write_text(table, encoding="utf-8")
    (out_dir / "peer_raw.json").write_text(
        json.dumps({"quillet": q, "quillet_long": q_long_all, "peer": peer,
                    "startup_ms": [first_ms, median_ms], "rss_kib": rss_kib}, indent=1))
    print(table)
    print(f"chart: {chart}")


if __name__ == "__main__":
    main()
