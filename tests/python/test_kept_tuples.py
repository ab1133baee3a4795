"""The tuples of convert_detailed a PyPipeline keeps from call to call: a
token read the same way with the same labels comes back as the very same
tuple, in single and batch calls; a token read differently, or labelled
differently, gets its own; candidate tuples, which hold a list, are never
shared; and whatever was kept, every result equals a fresh pipeline's."""
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from conftest import make_data_dir
from pkg_util import REAL_DATA, needs_real_data


def test_a_repeated_token_is_one_tuple_in_a_call_across_calls_and_in_batches(pipeline):
    text = "我哋食飯，我哋行山 ok ok"
    first = pipeline.convert_detailed(text)
    again = pipeline.convert_detailed(text)
    batch = pipeline.convert_detailed_batch(["香港", text])[1]
    assert first == again == batch
    assert first[0] is first[3] and first[-1] is first[-2]
    assert all(a is b is c for a, b, c in zip(first, again, batch))


def test_candidate_tuples_are_never_shared(pipeline):
    text = "行山，行"
    first = pipeline.convert_candidates(text)
    first[0][1].append("changed by the caller")
    again = pipeline.convert_candidates(text)
    assert "changed by the caller" not in again[0][1]
    assert all(a is not b and a[1] is not b[1] for a, b in zip(first, again))
    assert again == pipeline.convert_candidates_batch([text])[0]


def test_tuples_with_labels_of_other_data_are_right_every_time(quillet, tmp_path):
    # A source no constant label names: such tuples are made afresh.
    data = make_data_dir(tmp_path, extra={"word_source.bin": {"香港": "my_source"}})
    p = quillet.PyPipeline(data_dir=str(data))
    expected = [("香港", "hoeng1 gong2", "yue", "certain", "my_source"),
                ("我哋", "ngo5 dei6", "yue", "certain", "unknown")]
    for _ in range(3):
        assert p.convert_detailed("香港我哋") == expected
        assert p.convert_detailed_batch(["香港我哋"]) == [expected]


# Texts where one token of the real data is read, or labelled, in two ways.
TWO_WAYS = [
    ("下", "正中奸人下懷", "不過學下都冇壞嘅"),  # haa6 / haa5
    ("講", "同你嘅講粵語嘅朋友", "我入群都冇同佢講過嘢"),  # source: separable compound
    ("讀", "一本通書讀到老", "仲喺度讀緊書"),  # confidence and source
    ("樣", "一樣米養百樣人", "你睇佢個樣幾開心"),  # joeng6 / joeng2
]


@needs_real_data
@pytest.mark.parametrize("token, one, other", TWO_WAYS)
def test_a_token_read_two_ways_keeps_both_tuples_apart(quillet, token, one, other):
    fresh = {t: quillet.PyPipeline(data_dir=str(REAL_DATA)).convert_detailed(t)
             for t in (one, other)}
    rows = {t: [row for row in fresh[t] if row[0] == token] for t in fresh}
    assert rows[one] and rows[other] and rows[one][0] != rows[other][0]
    p = quillet.PyPipeline(data_dir=str(REAL_DATA))
    for text in (one, other, one, other):
        assert p.convert_detailed(text) == fresh[text]
    assert p.convert_detailed_batch([other, one, other]) == [fresh[other], fresh[one],
                                                              fresh[other]]


PIECES = [one for _, one, _ in TWO_WAYS] + [other for _, _, other in TWO_WAYS] + [
    "3點", "$5", "OK", "，", " ", "一個個", "好好睇", "我哋", "下下", "hello world", "第一"]


@pytest.fixture(scope="module")
def used(quillet):
    """One pipeline for every example, so each meets what earlier ones kept."""
    return quillet.PyPipeline(data_dir=str(REAL_DATA))


@needs_real_data
@settings(max_examples=60, deadline=None)
@given(st.lists(st.lists(st.sampled_from(PIECES), max_size=6).map("".join), min_size=1,
                max_size=6))
def test_a_used_pipeline_answers_as_a_fresh_one(quillet, used, texts):
    results = [used.convert_detailed(t) for t in texts]
    assert used.convert_detailed_batch(texts) == results
    for text, result in zip(texts, results):
        assert result == quillet.PyPipeline(data_dir=str(REAL_DATA)).convert_detailed(text)
