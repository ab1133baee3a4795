"""Reference and memory leaks: after a warm-up, 100,000 calls of each method
(including failing calls) must leave the resident set size flat."""
import os

import pytest

PAGE = os.sysconf("SC_PAGE_SIZE")
CALLS = 100_000
TOLERANCE = 2 * 1024 * 1024  # allocator noise, not growth per call


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * PAGE


def _raises(fn, *args, **kwargs):
    try:
        fn(*args, **kwargs)
    except (TypeError, UnicodeEncodeError, RuntimeError):
        return
    raise AssertionError("expected an exception")


def _calls(quillet, pipeline, data_dir):
    text = "我哋今日去香港行山，好 hello 12"
    pair = [text, "食飯"]
    return {
        "convert": lambda: pipeline.convert(text),
        "convert_detailed": lambda: pipeline.convert_detailed(text),
        "convert_candidates": lambda: pipeline.convert_candidates(text=text),
        "convert_batch": lambda: pipeline.convert_batch(pair),
        "convert_detailed_batch": lambda: pipeline.convert_detailed_batch(pair),
        "convert_candidates_batch": lambda: pipeline.convert_candidates_batch(pair),
        "errors": lambda: (_raises(pipeline.convert, None), _raises(pipeline.convert, "\ud800"),
                           _raises(pipeline.convert_batch, ["a", 1]),
                           _raises(pipeline.convert_batch, ("a",)),
                           _raises(pipeline.convert, text, text)),
    }


# Construction maps files, so it gets fewer rounds.
DISTINCT_CHARS = "".join(chr(0x4E00 + i) for i in range(200))
CONSTRUCTION_CALLS = 5_000


@pytest.mark.parametrize("name", ["convert", "convert_detailed", "convert_candidates",
                                  "convert_batch", "convert_detailed_batch",
                                  "convert_candidates_batch", "errors"])
def test_calls_leave_rss_flat(quillet, pipeline, data_dir, name):
    call = _calls(quillet, pipeline, data_dir)[name]
    for _ in range(2000):
        call()
    before = rss_bytes()
    for _ in range(CALLS):
        call()
    growth = rss_bytes() - before
    assert growth < TOLERANCE, f"{name}: RSS grew by {growth} bytes over {CALLS} calls"


def test_construction_leaves_rss_flat(quillet, data_dir):
    d = str(data_dir)
    make = [
        lambda: quillet.PyPipeline(data_dir=d, user_dict={"我哋": "ngo5 hei6"}),
        lambda: quillet.PyPipeline.from_dir(d),
        lambda: _raises(quillet.PyPipeline, data_dir=d + "/missing"),
        lambda: _raises(quillet.PyPipeline, data_dir=d, user_dict={"a": 1}),
        # A pipeline keeps the strs of its results; they must go with it.
        lambda: quillet.PyPipeline(data_dir=d).convert_detailed(DISTINCT_CHARS),
    ]
    for _ in range(200):
        for m in make:
            m()
    before = rss_bytes()
    fds_before = len(os.listdir("/proc/self/fd"))
    for _ in range(CONSTRUCTION_CALLS):
        for m in make:
            m()
    growth = rss_bytes() - before
    assert growth < TOLERANCE, f"RSS grew by {growth} bytes"
    assert len(os.listdir("/proc/self/fd")) == fds_before


# Cycles a caller makes through the mutable parts of a result (the outer
# lists, a candidate tuple's list) must be found by the cycle collector:
# whatever the module leaves out of its sight must hold nothing mutable.
CYCLES = {
    "detailed list": lambda p, t: (lambda r: r.append(r))(p.convert_detailed(t)),
    "candidate list": lambda p, t: (lambda r: r[0][1].append(r))(p.convert_candidates(t)),
    "batch candidate list": lambda p, t: (
        lambda r: r[0][0][1].append(r))(p.convert_candidates_batch([t, t])),
    "batch detailed list": lambda p, t: (lambda r: r[1].append(r))(p.convert_detailed_batch([t, t])),
}


@pytest.mark.parametrize("name", CYCLES)
def test_cycles_through_results_are_collected(pipeline, name):
    import gc
    text = "我哋今日去香港行山，好 hello 12"
    gc.collect()
    for _ in range(1000):
        CYCLES[name](pipeline, text)
    before = rss_bytes()
    for _ in range(20_000):
        CYCLES[name](pipeline, text)
    assert rss_bytes() - before < TOLERANCE, f"{name}: cycles were not collected"
