"""The strs a PyPipeline keeps from call to call: a token text or reading
seen before comes back as the very same str object in every list call and
batch, so that results a caller keeps share them; the kept set is bounded,
texts past the bound still come out right, and the strs go with the
pipeline."""
import sys

import pytest

KEPT = 16384  # strs one pipeline keeps at most

CALLS = {
    "convert_detailed": lambda p, t: [(tok, jp) for tok, jp, *_ in p.convert_detailed(t)],
    "convert_candidates": lambda p, t: [(tok, c[0]) for tok, c, *_ in p.convert_candidates(t)],
    "convert_detailed_batch": lambda p, t: [
        (tok, jp) for tok, jp, *_ in p.convert_detailed_batch(["", t])[1]],
    "convert_candidates_batch": lambda p, t: [
        (tok, c[0]) for tok, c, *_ in p.convert_candidates_batch([t])[0]],
}


@pytest.mark.parametrize("first", CALLS)
@pytest.mark.parametrize("second", CALLS)
def test_repeated_texts_share_one_str_across_calls(quillet, data_dir, first, second):
    p = quillet.PyPipeline(data_dir=str(data_dir))
    text = "我哋今日去香港行山，好 hello"
    a, b = CALLS[first](p, text), CALLS[second](p, text)
    assert a == b and len(a) > 5
    for (tok_a, jp_a), (tok_b, jp_b) in zip(a, b):
        assert tok_a is tok_b, tok_a
        assert jp_a is jp_b, jp_a


def test_each_pipeline_keeps_its_own(quillet, data_dir):
    one, two = (quillet.PyPipeline(data_dir=str(data_dir)) for _ in range(2))
    assert one.convert_detailed("香港")[0][1] is not two.convert_detailed("香港")[0][1]


def _distinct_chars(start, n):
    return "".join(chr(0x4E00 + start + i) for i in range(n))


def test_the_kept_set_is_bounded_and_later_texts_stay_right(quillet, data_dir):
    p = quillet.PyPipeline(data_dir=str(data_dir))
    # Characters no table knows: each token is its own reading, one str.
    early = _distinct_chars(0, 100)
    p.convert_detailed(early)
    filler = _distinct_chars(100, KEPT)
    assert [t[0] for t in p.convert_detailed(filler)] == list(filler)
    late = _distinct_chars(100 + KEPT, 100)
    first, again = p.convert_detailed(late), p.convert_detailed(late)
    assert [t[0] for t in first] == list(late) == [t[1] for t in again]
    # Past the bound nothing more is kept, but what was kept still is.
    assert all(a[0] is not b[0] for a, b in zip(first, again))
    assert all(a[0] is b[0] for a, b in zip(p.convert_detailed(early), p.convert_detailed(early)))


def test_long_texts_are_not_kept_but_still_shared_in_a_long_call(quillet, data_dir):
    p = quillet.PyPipeline(data_dir=str(data_dir))
    word = "x" * 40  # a token longer than any kept str
    one, two = p.convert_detailed(word), p.convert_detailed(word)
    assert one == two == [(word, word, "en", "certain", "passthrough")]
    assert one[0][0] is not two[0][0]
    many = p.convert_detailed(" ".join([word] * 100))
    assert many[0][0] == word and many[0][0] is many[-1][0]


def test_kept_strs_and_tuples_go_with_the_pipeline(quillet, data_dir):
    p = quillet.PyPipeline(data_dir=str(data_dir))
    row = p.convert_detailed("香港")[0]
    reading = row[1]
    held_row, held_reading = sys.getrefcount(row), sys.getrefcount(reading)
    del p
    # The kept tuple's reference goes, and the kept str's; `row` still holds
    # its reading.
    assert sys.getrefcount(row) == held_row - 1
    assert sys.getrefcount(reading) == held_reading - 1
