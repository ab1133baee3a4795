"""Batch methods: element-wise equality with the single-text methods, list
edge cases, calls from several threads, and use after fork()."""
import multiprocessing
import os
import random
import subprocess
import sys
import threading

import pytest

from conftest import BUILD_DIR

PIECES = ["我哋", "去", "食飯", "香港", "銀行", "行山", "今日", "好", "一", "二", "行",
          "hello", "OK", " ", "12", "3.5", "，", "。", "!", "「", "」", "龘", "é", "\U00020000",
          "ＯＫ", "３"]  # full-width forms: the digit is rewritten, as "12" is

BATCH_OF = {
    "convert": "convert_batch",
    "convert_detailed": "convert_detailed_batch",
    "convert_candidates": "convert_candidates_batch",
}


def random_texts(rng, count):
    return ["".join(rng.choice(PIECES) for _ in range(rng.randint(0, 15))) for _ in range(count)]


class ListSub(list):
    pass


@pytest.mark.parametrize("single", sorted(BATCH_OF))
def test_batch_equals_single_calls(pipeline, single):
    rng = random.Random(f"batch-{single}")
    for count in [0, 1, 2, 3, 7, 64, 500, 2001]:
        texts = random_texts(rng, count)
        expected = [getattr(pipeline, single)(t) for t in texts]
        got = getattr(pipeline, BATCH_OF[single])(texts)
        assert type(got) is list and len(got) == count
        for i, (g, e) in enumerate(zip(got, expected)):
            assert g == e, f"count={count} i={i} text={texts[i]!r}"


@pytest.mark.parametrize("single", sorted(BATCH_OF))
def test_long_text_single_call_equals_batch(pipeline, single):
    # A single call builds a long text's list window by window; the batch
    # builds it from the whole record list. Both must give the same list.
    rng = random.Random(f"long-{single}")
    for pieces in [5000, 20000]:
        text = "".join(rng.choice(PIECES) for _ in range(pieces))
        got = getattr(pipeline, single)(text)
        assert got == getattr(pipeline, BATCH_OF[single])([text])[0]
        if single != "convert":
            assert len(got) > 4000


@pytest.mark.parametrize("method", sorted(BATCH_OF) + sorted(BATCH_OF.values()))
@pytest.mark.parametrize("enabled", [True, False])
def test_cycle_collector_state_is_kept(pipeline, method, enabled):
    # Results are built with automatic collection held off; whatever the
    # caller had set must hold again afterwards.
    import gc
    arg = "我哋去食飯" * 3000
    if method.endswith("_batch"):
        arg = [arg, "好"]
    was = gc.isenabled()
    try:
        gc.enable() if enabled else gc.disable()
        getattr(pipeline, method)(arg)
        assert gc.isenabled() is enabled
    finally:
        gc.enable() if was else gc.disable()


@pytest.mark.parametrize("single", sorted(BATCH_OF))
def test_batch_edge_lists(pipeline, single):
    batch = getattr(pipeline, BATCH_OF[single])
    one = getattr(pipeline, single)
    assert batch([]) == []
    assert batch(["我哋去行山"]) == [one("我哋去行山")]
    assert batch(texts=ListSub(["好", "食飯"])) == [one("好"), one("食飯")]
    assert batch(["香港"] * 300) == [one("香港")] * 300


def test_detailed_batch_of_one_empty_string(pipeline):
    assert pipeline.convert_detailed_batch([""]) == [[]]
    assert pipeline.convert_candidates_batch(["", ""]) == [[], []]
    assert pipeline.convert_batch([""]) == [""]


def test_bad_element_converts_nothing(quillet, data_dir):
    # An element that is not a str stops the call before any conversion;
    # the pipeline and later calls are unaffected.
    p = quillet.PyPipeline(data_dir=str(data_dir))
    for bad in [["我哋"] * 1000 + [1], [None, "好"], ["好", b"x"]]:
        with pytest.raises(TypeError):
            p.convert_batch(bad)
    assert p.convert_batch(["我哋", "好"]) == ["ngo5 dei6", "hou2"]


def test_results_are_fresh_objects(pipeline):
    a = pipeline.convert_detailed_batch(["我哋"] * 2)
    a[0].append("mutated")
    assert a[1] == pipeline.convert_detailed("我哋")


def test_batch_from_several_python_threads(pipeline):
    rng = random.Random(5)
    texts = random_texts(rng, 400)
    expected = pipeline.convert_batch(texts)
    expected_detailed = pipeline.convert_detailed_batch(texts)
    errors = []

    def worker(seed):
        try:
            for k in range(15):
                if (seed + k) % 2:
                    assert pipeline.convert_batch(texts) == expected
                else:
                    assert pipeline.convert_detailed_batch(texts) == expected_detailed
        except BaseException as e:  # reported by the main thread
            errors.append(e)

    threads = [threading.Thread(target=worker, args=(s,)) for s in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads)
    assert errors == []


def _wait_child(pid, timeout=30.0):
    """Waits for a forked child; fails (and kills it) if it hangs."""
    import time
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(status)
        time.sleep(0.01)
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    pytest.fail("forked child hung in a batch call")


def test_batch_in_forked_child(pipeline):
    texts = random_texts(random.Random(9), 300)
    expected = pipeline.convert_batch(texts)  # the parent's pool now exists
    for _ in range(2):
        pid = os.fork()
        if pid == 0:
            code = 1
            try:
                ok = (pipeline.convert_batch(texts) == expected
                      and pipeline.convert_batch(texts) == expected)
                # A grandchild forked from the child must work as well.
                if ok:
                    grandchild = os.fork()
                    if grandchild == 0:
                        os._exit(0 if pipeline.convert_batch(texts) == expected else 1)
                    ok = _wait_child(grandchild) == 0
                code = 0 if ok else 1
            finally:
                os._exit(code)
        assert _wait_child(pid) == 0
        assert pipeline.convert_batch(texts) == expected


def _convert_in_child(args):
    data_dir, texts = args
    import _quillet
    return _quillet.PyPipeline(data_dir=data_dir).convert_batch(texts)


def test_batch_under_multiprocessing_fork(pipeline, data_dir):
    texts = random_texts(random.Random(11), 200)
    expected = pipeline.convert_batch(texts)
    ctx = multiprocessing.get_context("fork")
    with ctx.Pool(2) as pool:
        results = pool.map_async(_convert_in_child, [(str(data_dir), texts)] * 4).get(timeout=120)
    assert results == [expected] * 4


ONE_CPU_SCRIPT = """
import os, sys
os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
sys.path.insert(0, sys.argv[1])
import _quillet
p = _quillet.PyPipeline(data_dir=sys.argv[2])
texts = [("我哋去行山" * (i % 5)) + str(i) for i in range(500)]
assert p.convert_batch(texts) == [p.convert(t) for t in texts]
assert p.convert_candidates_batch(texts) == [p.convert_candidates(t) for t in texts]
print("ok")
"""


def test_batch_with_a_single_worker(data_dir):
    # The pool is sized when first used; with one allowed processor it has
    # one worker, and results must still be complete and in order.
    out = subprocess.run([sys.executable, "-c", ONE_CPU_SCRIPT, str(BUILD_DIR), str(data_dir)],
                         capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "ok"


POOL_START_SCRIPT = """
import os, sys
threads = lambda: len(os.listdir("/proc/self/task"))
sys.path.insert(0, sys.argv[1])
start = threads()
import _quillet
p = _quillet.PyPipeline(data_dir=sys.argv[2])
p.convert("好")
before = threads()
assert p.convert_batch([]) == []
after = threads()
p.convert_detailed_batch(["好", "我哋"])
p.convert_batch(["好"])
print(start, before, after, threads(), len(os.sched_getaffinity(0)))
"""


def test_pool_starts_on_first_batch_even_when_empty(data_dir):
    out = subprocess.run([sys.executable, "-c", POOL_START_SCRIPT, str(BUILD_DIR), str(data_dir)],
                         capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    start, before, after, final, cpus = map(int, out.stdout.split())
    assert before == start  # import, construction and conversion start no thread
    assert 1 <= after - start <= cpus  # the pool: one worker per allowed processor at most
    assert final == after  # created once, then reused
