"""A quillet.Pipeline crosses process boundaries: it pickles by its
arguments and is rebuilt where it lands, so a file converted on a
multiprocessing pool or by Dask's process scheduler reads exactly as it
does in one process."""
import copy
import multiprocessing
import os
import pickle

import pytest

from conftest import CHAR_CANDIDATES, make_data_dir
import pkg_util  # noqa: F401 - puts the package on sys.path

import quillet

LINES = ["我哋今日去行山", "香港銀行 ok", "", "行(haang4)山 AV", "1一", "我哋食飯，OK？"] * 40


@pytest.fixture(scope="module")
def small(tmp_path_factory):
    return str(make_data_dir(tmp_path_factory.mktemp("processes-data"),
                             extra={"char_candidates.bin": CHAR_CANDIDATES}))


# (name, how to build the pipeline from the data directory)
PIPELINES = [
    ("defaults", lambda d: quillet.Pipeline(data_dir=d)),
    ("no punc_norm", lambda d: quillet.Pipeline(False, d)),
    ("user_dict", lambda d: quillet.Pipeline(data_dir=d, user_dict={"行山": "haang4 saan2"})),
    ("inline readings", lambda d: quillet.Pipeline(data_dir=d, inline_readings=True)),
    ("letter names", lambda d: quillet.Pipeline(data_dir=d, letter_names=True)),
    ("from_dir with both", lambda d: quillet.Pipeline.from_dir(d, False, inline_readings=True,
                                                               letter_names=True)),
]


@pytest.mark.parametrize("name,build", PIPELINES, ids=[p[0] for p in PIPELINES])
def test_pickle_and_copy_rebuild_the_same_pipeline(small, name, build):
    original = build(small)
    for clone in (pickle.loads(pickle.dumps(original)), copy.deepcopy(original),
                  copy.copy(original)):
        assert clone is not original and type(clone) is quillet.Pipeline
        assert repr(clone) == repr(original), name
        assert clone.convert_candidates_batch(LINES) == original.convert_candidates_batch(LINES)
        assert clone.convert_batch(LINES) == original.convert_batch(LINES), name


def test_pickle_carries_arguments_not_data(small):
    # The data directory is loaded again on the far side, not shipped.
    assert len(pickle.dumps(quillet.Pipeline(data_dir=small))) < 400


def test_bundled_default_is_resolved_by_the_receiver(small, monkeypatch):
    from quillet import _paths
    monkeypatch.setattr(_paths, "bundled_data_dir", lambda *a: small)
    state = pickle.dumps(quillet.Pipeline())
    assert small.encode() not in state  # None travels, not this process's path
    assert pickle.loads(state).convert("我哋") == "ngo5 dei6"


def _convert_chunk(job):
    pipeline, lines = job
    return pipeline.convert_detailed_batch(lines)


def test_multiprocessing_pool_converts_a_file_like_one_process(small, tmp_path):
    path = tmp_path / "corpus.txt"
    path.write_text("\n".join(LINES) + "\n", encoding="utf-8")
    lines = path.read_text(encoding="utf-8").splitlines()
    pipeline = quillet.Pipeline(data_dir=small, inline_readings=True, letter_names=True)
    chunks = [lines[i:i + 25] for i in range(0, len(lines), 25)]
    # spawn: the workers share nothing with this process but what was pickled
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        pooled = pool.map(_convert_chunk, [(pipeline, chunk) for chunk in chunks])
        texts = pool.map(pipeline.convert, lines, chunksize=40)
    assert [tokens for chunk in pooled for tokens in chunk] == pipeline.convert_detailed_batch(lines)
    assert texts == pipeline.convert_batch(lines)


def test_dask_process_scheduler_converts_a_file_like_one_process(small, tmp_path):
    bag = pytest.importorskip("dask.bag", reason="Dask is not installed (Debian: python3-dask)")
    path = tmp_path / "corpus.txt"
    path.write_text("\n".join(LINES) + "\n", encoding="utf-8")
    pipeline = quillet.Pipeline(data_dir=small, inline_readings=True, letter_names=True)
    lines = bag.read_text(str(path), blocksize=600).map(lambda line: line.rstrip("\n"))
    assert lines.npartitions > 2
    readings = lines.map_partitions(lambda part, p: p.convert_batch(list(part)), pipeline)
    tokens = lines.map_partitions(lambda part, p: p.convert_candidates_batch(list(part)), pipeline)
    workers = lines.map_partitions(lambda part: [os.getpid()])
    got_readings, got_tokens, pids = bag.compute(readings, tokens, workers,
                                                 scheduler="processes", num_workers=2)
    assert os.getpid() not in pids
    assert list(got_readings) == pipeline.convert_batch(LINES)
    assert list(got_tokens) == pipeline.convert_candidates_batch(LINES)
