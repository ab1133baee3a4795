"""A PyPipeline converts each single call in storage it keeps from the calls
before (bounded after a huge text): whatever came before, every result is
the one a fresh pipeline gives, in single and batch calls alike."""
import pytest

LONG = "我哋去銀行，行山——今日食飯！" * 3000  # several windows, punctuation folded
TEXTS = [
    LONG,
    "行",
    "",
    "「香港」……我哋 ok 12.5",  # every normalization pass rewrites it
    "   ",
    LONG[: len(LONG) // 3],
    "銀行行山",
    "\u3000",
    LONG,
    "我",
]
METHODS = ["convert", "convert_detailed", "convert_candidates"]


@pytest.mark.parametrize("method", METHODS)
def test_results_do_not_depend_on_the_calls_before(quillet, data_dir, method):
    expected = {}
    for text in set(TEXTS):
        expected[text] = getattr(quillet.PyPipeline(data_dir=str(data_dir)), method)(text)
    reused = quillet.PyPipeline(data_dir=str(data_dir))
    # Every method shares the one storage, so interleave them all.
    for round_ in range(2):
        for text in TEXTS:
            for other in METHODS:
                got = getattr(reused, other)(text)
                if other == method:
                    assert got == expected[text], (round_, text[:20])
    batch = getattr(reused, method + "_batch")(TEXTS)
    assert batch == [expected[t] for t in TEXTS]
