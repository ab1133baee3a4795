#!/usr/bin/env python3
"""Speed of the _quillet module as Python callers see it.

Measures, on one full-size generated data directory (400,000 words written
with quillet_dictool):
  * PyPipeline construction time (constructor and from_dir);
  * texts/s and chars/s of convert / convert_detailed / convert_candidates,
    one call per text in a Python loop, and of the three batch methods on the
    whole list (batch speed-up = loop time / batch time);
  * the Python layer's cost: the loop's time per text against the C++ engine
    converting the same texts with the same data (engine_texts_bench).

Texts are generated Cantonese-like sentences, or the text column of a
tab-separated file (id<TAB>text<TAB>...) given with --texts.

Usage:
  python3 bench/python_bench.py [--build-dir build/release] [--texts FILE]
                                [--count 10000] [--repeat 5]
"""
import argparse
import json
import os
import pathlib
import random
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]

FIRST_CJK = 0x4E00
POOL = 6000
INITIALS = ["b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "ng", "h", "gw", "kw", "w", "z",
            "c", "s", "j"]
FINALS = ["aa", "aai", "aau", "aam", "aan", "aang", "ai", "au", "am", "an", "ang", "e", "ei",
          "eng", "i", "iu", "im", "in", "ing", "o", "oi", "ou", "on", "ong", "u", "ung"]
PARTICLES = ["嘅", "啊", "呢", "喇", "咩", "吖", "㗎", "囉", "嘛", "喎"]
INSERTS = ["，", "。", "！", "？", "、", " ", "2024年", "3.5kg", "50%", "HK$120", "OK", "app",
           "email", "Sir", "12點半"]


def syllable(cp):
    return f"{INITIALS[cp % 19]}{FINALS[(cp // 19) % 26]}{1 + cp % 6}"


def draw_char(rng):
    x = rng.random()  # squared: a few characters start many words, as in text
    return chr(FIRST_CJK + int(x * x * (POOL - 1)))


def generate_words(count, rng):
    words = set()
    while len(words) < count:
        words.add("".join(draw_char(rng) for _ in range(rng.randint(2, 6))))
    return sorted(words)


def write_dict(dictool, path, entries):
    tsv = "".join(f"{k}\t{v}\n" for k, v in entries)
    subprocess.run([str(dictool), "build", "-", str(path)], input=tsv.encode(), check=True)


def build_data_dir(dictool, directory, word_count, rng):
    words = generate_words(word_count, rng)
    chars = [chr(FIRST_CJK + i) for i in range(POOL)]
    reading = lambda w: " ".join(syllable(ord(c)) for c in w)
    write_dict(dictool, directory / "word.bin", [(w, reading(w)) for w in words + chars])
    write_dict(dictool, directory / "char.bin", [(c, syllable(ord(c))) for c in chars])
    return words


def generate_sentences(words, count, rng):
    sentences = []
    for _ in range(count):
        target = rng.randint(8, 30)
        s = ""
        while len(s) < target:
            pick = rng.random()
            if pick < 0.6:
                s += rng.choice(words)
            elif pick < 0.75:
                s += draw_char(rng)
            elif pick < 0.87:
                s += rng.choice(PARTICLES)
            else:
                s += rng.choice(INSERTS)
        sentences.append(s)
    return sentences


def read_texts(path, count):
    from peer_bench import corpus_texts  # the same column reader, beside this script
    texts = corpus_texts(path)
    reps = -(-count // len(texts))
    return (texts * reps)[:count]


def best_of(repeat, fn, clock=time.perf_counter):
    """Best and median time of `repeat` runs of fn() on `clock`."""
    times = []
    for _ in range(repeat):
        start = clock()
        fn()
        times.append(clock() - start)
    return min(times), statistics.median(times)


def engine_ns_per_text(build_dir, data_dir, texts_file, repeat):
    """Per-text time of the C++ engine on the same texts, from the benchmark:
    the best of `repeat` repetitions of each benchmark."""
    binary = build_dir / "bench" / "engine_texts_bench"
    if not binary.exists():
        return None
    env = dict(os.environ, QUILLET_BENCH_DATA=str(data_dir), QUILLET_BENCH_TEXTS=str(texts_file))
    out = subprocess.run([str(binary), "--benchmark_format=json", "--benchmark_min_time=0.5",
                          f"--benchmark_repetitions={repeat}"],
                         env=env, capture_output=True, text=True, check=True)
    result = {}  # the best repetition, as for the Python side
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"].split("/")[0].removeprefix("BM_")
        result[name] = min(result.get(name, float("inf")), 1e9 / b["items_per_second"])
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default=str(ROOT / "build" / "release"))
    parser.add_argument("--texts", help="tab-separated file whose second column holds texts")
    parser.add_argument("--count", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--words", type=int, default=400000)
    args = parser.parse_args()

    build_dir = pathlib.Path(args.build_dir).resolve()
    sys.path.insert(0, str(build_dir))
    import _quillet

    rng = random.Random(42)
    with tempfile.TemporaryDirectory(prefix="quillet-pybench-") as tmp:
        tmp = pathlib.Path(tmp)
        data_dir = tmp / "data"
        data_dir.mkdir()
        start = time.perf_counter()
        words = build_data_dir(build_dir / "quillet_dictool", data_dir, args.words, rng)
        print(f"data directory: {args.words} words + {POOL} characters, written in "
              f"{time.perf_counter() - start:.1f} s")

        texts = (read_texts(args.texts, args.count) if args.texts
                 else generate_sentences(words, args.count, rng))
        texts_file = tmp / "texts.txt"
        texts_file.write_text("".join(t + "\n" for t in texts), encoding="utf-8")
        chars = sum(len(t) for t in texts)
        print(f"texts: {len(texts)} ({'from ' + args.texts if args.texts else 'generated'}), "
              f"{chars / len(texts):.1f} characters on average")

        d = str(data_dir)
        n = 200
        best, median = best_of(n, lambda: _quillet.PyPipeline(data_dir=d))
        print(f"construction PyPipeline(data_dir=...): best {best * 1e3:.3f} ms, "
              f"median {median * 1e3:.3f} ms over {n}")
        best, median = best_of(n, lambda: _quillet.PyPipeline.from_dir(d))
        print(f"construction from_dir(...):            best {best * 1e3:.3f} ms, "
              f"median {median * 1e3:.3f} ms over {n}")

        p = _quillet.PyPipeline(data_dir=d)
        methods = [("convert", "Convert"), ("convert_detailed", "ConvertDetailed"),
                   ("convert_candidates", "ConvertCandidates")]
        for single, _ in methods:
            for t in texts[:500]:
                getattr(p, single)(t)  # warm caches and page in the mappings

        # Python-layer cost: CPU time per text of a loop that drops each
        # result (binding, copying, result building and freeing, without the
        # page faults of keeping 10,000 results alive), against the engine's
        # CPU time on the same texts. Rounds alternate between the two sides
        # so that a change in machine load hits both; each keeps its best.
        py_cpu = {single: float("inf") for single, _ in methods}
        engine = {}
        for _ in range(args.repeat):
            for single, _ in methods:
                one = getattr(p, single)

                def discard_all():
                    for t in texts:
                        one(t)
                py_cpu[single] = min(py_cpu[single], best_of(1, discard_all, time.thread_time)[0])
            round_result = engine_ns_per_text(build_dir, data_dir, texts_file, 1)
            for k, v in (round_result or {}).items():
                engine[k] = min(engine.get(k, float("inf")), v)
        floor, _ = best_of(args.repeat, lambda: [p.convert("") for _ in range(100000)],
                           time.thread_time)

        print(f"\nprocessors allowed: {len(os.sched_getaffinity(0))}; load average "
              f"{os.getloadavg()[0]:.1f} (wall-clock figures need a quiet machine)")
        print("loop ([one(t) for t in texts]) and batch: wall-clock rates, all results kept;")
        print("speed-up = loop time / batch time; overhead: Python CPU ns per text (results")
        print("dropped) against the C++ engine's CPU ns per text on the same texts and data")
        print(f"call floor: convert(\"\") costs {floor / 100000 * 1e9:.0f} ns of CPU per call")
        header = (f"{'method':<20}{'loop texts/s':>14}{'loop chars/s':>14}{'batch texts/s':>15}"
                  f"{'batch chars/s':>15}{'speed-up':>10}{'C++ ns/text':>13}{'Py ns/text':>12}"
                  f"{'overhead':>10}")
        print(header)
        cpu_ratios = []
        for single, engine_name in methods:
            one = getattr(p, single)
            batch = getattr(p, single + "_batch")
            loops, batches = [], []
            for _ in range(args.repeat):
                loops.append(best_of(1, lambda: [one(t) for t in texts])[0])
                batches.append(best_of(1, lambda: batch(texts))[0])
            loop, batched = min(loops), min(batches)
            # CPU spent by the whole process (calling thread and workers) on
            # one batch, against one loop's: near 1 means the pool wastes no
            # processor time (no spinning), whatever the machine's load.
            loop_cpu_kept, _ = best_of(args.repeat, lambda: [one(t) for t in texts],
                                       time.process_time)
            batch_cpu, _ = best_of(args.repeat, lambda: batch(texts), time.process_time)
            cpu_ratios.append(f"{single} {batch_cpu / loop_cpu_kept:.2f}")
            py_ns = py_cpu[single] / len(texts) * 1e9
            row = (f"{single:<20}{len(texts) / loop:>14,.0f}{chars / loop:>14,.0f}"
                   f"{len(texts) / batched:>15,.0f}{chars / batched:>15,.0f}"
                   f"{loop / batched:>9.2f}x")
            if engine:
                cpp_ns = engine[engine_name]
                row += f"{cpp_ns:>13,.0f}{py_ns:>12,.0f}{(py_ns / cpp_ns - 1) * 100:>9.1f}%"
            print(row)
        print("\nprocess CPU time of a batch / of a loop (all results kept): " +
              ", ".join(cpu_ratios))
        if engine:
            print("C++ engine on the same texts, parallel on the pool (wall ns/text; speed-up "
                  "over one thread's CPU time, what the machine gave at this moment): " +
                  ", ".join(f"{k}={v:,.0f} ({engine[k[:-len('Parallel')]] / v:.2f}x)"
                            for k, v in engine.items() if k.endswith("Parallel")))
        else:
            print("\n(no engine_texts_bench binary in the build dir: overhead not measured)")


if __name__ == "__main__":
    main()
