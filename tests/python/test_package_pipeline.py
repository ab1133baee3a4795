"""quillet.Pipeline: the engine's results and errors unchanged, inline
readings (長(coeng4)度) and letter names (AV線) in every conversion, and
where a fixed reading lands inside a word token."""
import pytest

from conftest import CHARS, WORDS, make_data_dir
import pkg_util  # noqa: F401 - puts the package on sys.path

import quillet
from quillet._jyutping import is_syllable
from quillet._letters import LETTER_NAMES

LEXICON_WORDS = {**WORDS, "長度": "coeng4 dou6", "大學": "daai6 hok6",
                 "香港大學": "hoeng1 gong2 daai6 hok6", "一一": "jat1 jat1", "三點": "saam1 dim2"}
LEXICON_CHARS = {**CHARS, "長": "coeng4", "度": "dou6", "大": "daai6", "學": "hok6",
                 "線": "sin3", "三": "saam1", "點": "dim2", "半": "bun3", "紙": "zi2", "四": "sei3"}
SIDE_FILES = {
    "word_candidates.bin": {"長度": "coeng4 dou6|zoeng2 dou6|coeng4 dok6"},
    "char_candidates.bin": {"長": "coeng4|zoeng2", "行": "hang4|haang4|hong4"},
}


@pytest.fixture(scope="module")
def lexicon(tmp_path_factory):
    return str(make_data_dir(tmp_path_factory.mktemp("pipeline-data"), words=LEXICON_WORDS,
                             chars=LEXICON_CHARS, extra=SIDE_FILES))


INLINE = "inline_reading"
LETTER = "letter_name"

# (name, text, options, the convert_candidates tokens expected)
CASES = [
    ("ASCII parentheses split the word", "長(zoeng2)度", {"inline_readings": True},
     [("長", ["zoeng2"], "yue", "certain", INLINE),
      ("度", ["dou6", "dok6"], "yue", "tied", "unknown")]),
    ("full-width parentheses", "長（zoeng2）度", {"inline_readings": True},
     [("長", ["zoeng2"], "yue", "certain", INLINE),
      ("度", ["dou6", "dok6"], "yue", "tied", "unknown")]),
    ("the last character of a word", "長度(dok6)", {"inline_readings": True},
     [("長", ["coeng4", "zoeng2"], "yue", "tied", "unknown"),
      ("度", ["dok6"], "yue", "certain", INLINE)]),
    ("every character fixed", "長(coeng4)度(dok6)", {"inline_readings": True},
     [("長", ["coeng4"], "yue", "certain", INLINE), ("度", ["dok6"], "yue", "certain", INLINE)]),
    ("inside a long word the rest stays whole", "香港(gong3)大學", {"inline_readings": True},
     [("香", ["hoeng1"], "yue", "certain", "unknown"), ("港", ["gong3"], "yue", "certain", INLINE),
      ("大學", ["daai6 hok6"], "yue", "certain", "unknown")]),
    ("a lone character", "行(haang4)", {"inline_readings": True},
     [("行", ["haang4"], "yue", "certain", INLINE)]),
    ("a character the data does not know", "㐀(jat1)", {"inline_readings": True},
     [("㐀", ["jat1"], "yue", "certain", INLINE)]),
    ("after a rewritten number", "3點(dim1)半", {"inline_readings": True},
     [("三", ["saam1"], "yue", "certain", "unknown"), ("點", ["dim1"], "yue", "certain", INLINE),
      ("半", ["bun3"], "yue", "certain", "unknown")]),
    ("inside a word made with a rewritten number", "1一(jat6)", {"inline_readings": True},
     [("一", ["jat1"], "yue", "certain", "unknown"), ("一", ["jat6"], "yue", "certain", INLINE)]),
    ("a syllabic nasal", "我(ng5)哋", {"inline_readings": True},
     [("我", ["ng5"], "yue", "certain", INLINE), ("哋", ["dei6"], "yue", "certain", "unknown")]),
    ("an acronym", "AV線", {"letter_names": True},
     [("AV", ["ei1 wi1"], "en", "certain", LETTER), ("線", ["sin3"], "yue", "certain", "unknown")]),
    ("a single capital before a rewritten number", "A4紙", {"letter_names": True},
     [("A", ["ei1"], "en", "certain", LETTER), ("四", ["sei3"], "yue", "certain", "unknown"),
      ("紙", ["zi2"], "yue", "certain", "unknown")]),
    ("five capitals, letters of two syllables", "HKFSW", {"letter_names": True},
     [("HKFSW", ["ek1 cyu4 kei1 e1 fu4 e1 si2 daa1 bo1 ju1"], "en", "certain", LETTER)]),
    ("six capitals pass through", "ABCDEF", {"letter_names": True},
     [("ABCDEF", ["ABCDEF"], "en", "certain", "passthrough")]),
    ("mixed case passes through", "Ok iPhone ok", {"letter_names": True},
     [("Ok", ["Ok"], "en", "certain", "passthrough"),
      ("iPhone", ["iPhone"], "en", "certain", "passthrough"),
      ("ok", ["ok"], "en", "certain", "passthrough")]),
    ("full-width capitals pass through", "ＡＢ", {"letter_names": True},
     [("Ａ", ["Ａ"], "punct", "certain", "passthrough"),
      ("Ｂ", ["Ｂ"], "punct", "certain", "passthrough")]),
    ("both options", "OK，長(zoeng2)度", {"inline_readings": True, "letter_names": True},
     [("OK", ["ou1 kei1"], "en", "certain", LETTER), ("，", ["，"], "punct", "certain", "passthrough"),
      ("長", ["zoeng2"], "yue", "certain", INLINE),
      ("度", ["dou6", "dok6"], "yue", "tied", "unknown")]),
]


def _pipeline(lexicon, options, **more):
    return quillet.Pipeline(data_dir=lexicon, **options, **more)


@pytest.mark.parametrize("name,text,options,expected", CASES, ids=[c[0] for c in CASES])
def test_options_in_every_conversion(lexicon, name, text, options, expected):
    pipeline = _pipeline(lexicon, options)
    detailed = [(t, readings[0], lang, conf, src) for t, readings, lang, conf, src in expected]
    assert pipeline.convert_candidates(text) == expected, name
    assert pipeline.convert_detailed(text) == detailed, name
    assert pipeline.convert(text) == " ".join(token[1] for token in detailed), name
    # The batch forms, with the text among others that the options leave alone.
    texts = ["我哋", text, "", text]
    assert pipeline.convert_candidates_batch(texts)[1::2] == [expected, expected], name
    assert pipeline.convert_detailed_batch(texts)[1::2] == [detailed, detailed], name
    assert pipeline.convert_batch(texts) == [pipeline.convert(t) for t in texts], name


# Annotations that are not one syllable after a Chinese character stay text:
# the result is the one without the option.
MALFORMED = ["長(zoeng)度", "長(Zoeng2)度", "長(zoeng2 dou6)度", "長()度", "長(zoeng7)度",
             "長(zoeng2）度", "長（zoeng2)度", "長 (zoeng2)度", "(zoeng2)度", "A(ei1)",
             "長(gwx2)度", "長((zoeng2))度", "長(zoeng2"]


@pytest.mark.parametrize("text", MALFORMED)
def test_malformed_annotations_stay_text(lexicon, text):
    plain = quillet.Pipeline(data_dir=lexicon)
    inline = quillet.Pipeline(data_dir=lexicon, inline_readings=True)
    assert inline.convert_candidates(text) == plain.convert_candidates(text), text
    assert inline.convert(text) == plain.convert(text), text


def test_second_annotation_of_a_character_stays_text(lexicon):
    inline = quillet.Pipeline(data_dir=lexicon, inline_readings=True)
    plain = quillet.Pipeline(data_dir=lexicon)
    tokens = inline.convert_detailed("行(haang4)(hong4)")
    assert tokens[0] == ("行", "haang4", "yue", "certain", INLINE)
    assert tokens[1:] == plain.convert_detailed("(hong4)")


def test_without_the_options_annotations_and_letters_are_read_as_before(lexicon):
    plain = quillet.Pipeline(data_dir=lexicon)
    engine = quillet.PyPipeline(data_dir=lexicon)
    for text in ["長(zoeng2)度", "AV線", "OK"]:
        assert plain.convert_candidates(text) == engine.convert_candidates(text), text
        assert plain.convert(text) == engine.convert(text), text


def test_word_whose_reading_does_not_split_by_character(lexicon):
    # A user reading with fewer syllables than characters: the characters
    # around the fixed one are converted on their own.
    pipeline = _pipeline(lexicon, {"inline_readings": True},
                         user_dict={"香港大學": "hoeng1 gong2 daai6"})
    assert pipeline.convert_detailed("香港(gong3)大學") == [
        ("香", "hoeng1", "yue", "certain", "unknown"), ("港", "gong3", "yue", "certain", INLINE),
        ("大學", "daai6 hok6", "yue", "certain", "unknown")]
    assert pipeline.convert("香港(gong3)大學") == "hoeng1 gong3 daai6 hok6"


def test_per_character_of_the_options(lexicon):
    pipeline = _pipeline(lexicon, {"inline_readings": True, "letter_names": True})
    tokens = pipeline.convert_detailed("AV線，香港(gong3)大學 iPhone")
    assert quillet.per_character(tokens) == [
        ("A", "ei1"), ("V", "wi1"), ("線", "sin3"), ("，", "，"), ("香", "hoeng1"),
        ("港", "gong3"), ("大", "daai6"), ("學", "hok6"), ("iPhone", "iPhone")]


# (tokens, the pairs per_character gives)
PER_CHARACTER = [
    ([], []),
    ([("銀行", "ngan4 hong4", "yue", "certain", "rime")], [("銀", "ngan4"), ("行", "hong4")]),
    ([("銀行", "ngan4 hong4")], [("銀", "ngan4"), ("行", "hong4")]),  # pairs are enough
    ([("銀行", "ngan4")], [("銀行", "ngan4")]),  # fewer syllables: whole
    ([("㐀㐁", "㐀 㐁")], [("㐀", "㐀"), ("㐁", "㐁")]),  # unknown characters stand for themselves
    ([("OK", "OK"), ("，", "，")], [("OK", "OK"), ("，", "，")]),
    ([("AV", "ei1 wi1")], [("A", "ei1"), ("V", "wi1")]),  # letter names split by letter
    ([("HF", "ek1 cyu4 e1 fu4")], [("H", "ek1 cyu4"), ("F", "e1 fu4")]),
    ([("AV", "av1 ei1")], [("AV", "av1 ei1")]),  # not letter names: whole
    ([("A線", "ei1 sin3")], [("A線", "ei1 sin3")]),  # not all Chinese: whole
]


@pytest.mark.parametrize("tokens,expected", PER_CHARACTER)
def test_per_character(tokens, expected):
    assert quillet.per_character(tokens) == expected, tokens


@pytest.mark.parametrize("tokens", ["銀行", [("銀行",)], [("銀行", ["ngan4 hong4"])], [None], 3,
                                    [("銀行", "ngan4 hong4"), "行"]])
def test_per_character_rejects_what_is_not_tokens(tokens):
    with pytest.raises(TypeError, match="tokens"):
        quillet.per_character(tokens)


# (name, call on quillet.Pipeline, the same call on PyPipeline): same error
SAME_ERRORS = [
    ("text None", lambda P, d: P(data_dir=d).convert(None), lambda d: quillet.PyPipeline(data_dir=d).convert(None)),
    ("text int, options on", lambda P, d: P(data_dir=d, inline_readings=True).convert(1),
     lambda d: quillet.PyPipeline(data_dir=d).convert(1)),
    ("detailed of bytes, options on", lambda P, d: P(data_dir=d, letter_names=True).convert_detailed(b"x"),
     lambda d: quillet.PyPipeline(data_dir=d).convert_detailed(b"x")),
    ("batch of a tuple, options on", lambda P, d: P(data_dir=d, inline_readings=True).convert_batch(("x",)),
     lambda d: quillet.PyPipeline(data_dir=d).convert_batch(("x",))),
    ("batch with an int, options on",
     lambda P, d: P(data_dir=d, letter_names=True).convert_candidates_batch(["x", 1]),
     lambda d: quillet.PyPipeline(data_dir=d).convert_candidates_batch(["x", 1])),
    ("lone surrogate, options on", lambda P, d: P(data_dir=d, inline_readings=True).convert("\ud800"),
     lambda d: quillet.PyPipeline(data_dir=d).convert("\ud800")),
    ("punc_norm int", lambda P, d: P(1, d), lambda d: quillet.PyPipeline(1, d)),
    ("user_dict value int", lambda P, d: P(data_dir=d, user_dict={"a": 1}),
     lambda d: quillet.PyPipeline(data_dir=d, user_dict={"a": 1})),
    ("from_dir of an int", lambda P, d: P.from_dir(1), lambda d: quillet.PyPipeline.from_dir(1)),
    ("from_dir punc_norm None", lambda P, d: P.from_dir(d, None),
     lambda d: quillet.PyPipeline.from_dir(d, None)),
]


@pytest.mark.parametrize("name,ours,engine", SAME_ERRORS, ids=[c[0] for c in SAME_ERRORS])
def test_errors_are_the_engine_errors(lexicon, name, ours, engine):
    with pytest.raises(Exception) as expected:
        engine(lexicon)
    with pytest.raises(type(expected.value)) as got:
        ours(quillet.Pipeline, lexicon)
    assert str(got.value) == str(expected.value), name
    assert getattr(got.value, "__notes__", None) == getattr(expected.value, "__notes__", None), name


# (name, call, exception, message)
BAD_OPTIONS = [
    ("inline_readings int", lambda d: quillet.Pipeline(data_dir=d, inline_readings=1), TypeError,
     "inline_readings must be a bool, not int"),
    ("letter_names None", lambda d: quillet.Pipeline(data_dir=d, letter_names=None), TypeError,
     "letter_names must be a bool, not NoneType"),
    ("from_dir letter_names str", lambda d: quillet.Pipeline.from_dir(d, letter_names="yes"),
     TypeError, "letter_names must be a bool, not str"),
    ("user_dict list of pairs", lambda d: quillet.Pipeline(data_dir=d, user_dict=[("a", "b")]),
     TypeError, "user_dict must be a mapping of str to str, not list"),
    ("options by position", lambda d: quillet.Pipeline(True, d, None, True), TypeError,
     "positional argument"),
]


@pytest.mark.parametrize("name,call,error,message", BAD_OPTIONS, ids=[c[0] for c in BAD_OPTIONS])
def test_bad_options_name_the_argument(lexicon, name, call, error, message):
    with pytest.raises(error) as caught:
        call(lexicon)
    assert message in str(caught.value), name


def test_from_dir_is_the_engines(lexicon):
    ours = quillet.Pipeline.from_dir(lexicon, punc_norm=False, letter_names=True)
    engine = quillet.PyPipeline.from_dir(lexicon, punc_norm=False)
    assert isinstance(ours, quillet.Pipeline) and ours.letter_names and not ours.inline_readings
    assert ours.convert_detailed("「我」") == engine.convert_detailed("「我」")
    assert ours.convert("OK") == "ou1 kei1"


def test_letter_names_cover_the_alphabet_in_jyutping():
    assert sorted(LETTER_NAMES) == [chr(c) for c in range(ord("A"), ord("Z") + 1)]
    bad = {letter: name for letter, name in LETTER_NAMES.items()
           if not all(is_syllable(s) for s in name.split(" "))}
    assert bad == {}
