// Tests of the tokenizer driver: punctuation folding with and without
// punc_norm, romanized slang from a table written by the project's writer,
// run splitting by character class, random-input properties, hostile inputs
// and concurrent use of one Pipeline.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "dict/data_dir.h"
#include "normalize/normalizer.h"
#include "test_util.h"
#include "unicode.h"

namespace quillet {
namespace {

using testing::TempDir;

std::string join(const std::vector<std::string>& tokens) {
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i) out += '|';
    out += tokens[i];
  }
  return out;
}

// A small data directory: a few words for segmentation, and optionally a
// romanized-slang table.
class NormalizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_dict(dir_, "word.bin",
                        {{"你好", "nei5 hou2"}, {"百分之", "baak3 fan6 zi1"}, {"一百", "jat1 baak3"}});
    testing::write_dict(dir_, "char.bin", {{"好", "hou2"}});
    testing::write_dict(slang_dir_, "word.bin", {{"你好", "nei5 hou2"}, {"百分之", "baak3 fan6 zi1"}});
    testing::write_dict(slang_dir_, "char.bin", {{"好", "hou2"}});
    testing::write_dict(slang_dir_, "romanized_slang.bin",
                        {{"abc", "阿B"},
                         {"mp3", "MP三"},
                         {"ok", "好"},
                         {"empty", ""},
                         {"num", "50%"},
                         {"mixed", "MiXeD"},
                         {"broken", "\xE4\xB8"},
                         {"spaced", "a  b"},
                         {"same", "same"}});
  }

  Pipeline load(bool punc_norm, bool with_slang = false) {
    auto p = load_pipeline(with_slang ? slang_dir_.path() : dir_.path(), UserDict{}, punc_norm);
    EXPECT_TRUE(p.ok()) << p.error();
    return std::move(p).value();
  }

  TempDir dir_;
  TempDir slang_dir_;
};

TEST_F(NormalizerTest, PunctuationWithAndWithoutFolding) {
  static const struct {
    const char* input;
    const char* folded;    // tokens with punc_norm on, joined by '|'
    const char* unfolded;  // tokens with punc_norm off
  } kRows[] = {
      {"「」", "", "「|」"},
      {"  \t\n ", "", ""},
      {"好……", "好|。", "好|…|…"},
      {"a  b", "a|b", "a|b"},
      {"a--b", "a|，|b", "a|-|-|b"},
      {"a---b", "a|，|-|b", "a|-|-|-|b"},
      {"a----b", "a|，|，|b", "a|-|-|-|-|b"},
      {"a-b", "a|-|b", "a|-|b"},
      {"好...了", "好|。|了", "好|.|.|.|了"},
      {"好....了", "好|。|了", "好|.|.|.|.|了"},
      {"好..了", "好|.|.|了", "好|.|.|了"},
      {"、", "，", "、"},
      {"–", "，", "–"},
      {"—", "，", "—"},
      {"——", "，", "—|—"},
      {"———", "，|，", "—|—|—"},
      {"a・b～c", "a|b|c", "a|・|b|～|c"},
      {"《你好》", "你好", "《|你好|》"},
      {"“OK”", "OK", "“|OK|”"},
      {"。，！？：；（）", "。|，|！|？|：|；|（|）", "。|，|！|？|：|；|（|）"},
      {"3--5", "三|，|五", "三|-|-|五"},
      {"3–5", "三|，|五", "三|–|五"},
      {"1.5", "一|點|五", "一|點|五"},
      {"a\u3000b", "a|b", "a|b"},
      {"a\u00A0b\u2028c", "a|b|c", "a|b|c"},
  };
  const Pipeline on = load(true);
  const Pipeline off = load(false);
  for (const auto& row : kRows) {
    EXPECT_EQ(join(tokenize(on, row.input)), row.folded) << "punc_norm on, input=«" << row.input << "»";
    EXPECT_EQ(join(tokenize(off, row.input)), row.unfolded)
        << "punc_norm off, input=«" << row.input << "»";
  }
}

// The folding pass alone, where spaces are still visible.
TEST(NormalizePunctuation, Rows) {
  static const struct {
    const char* input;
    const char* want;
  } kRows[] = {
      {"a ‘ b", "a  b"},  // a deleted mark ends a run of separators
      {"a \t・ b", "a b"},
      {" a", " a"},
      {"a \n b", "a \n b"},  // a newline is not a separator
      {"a\u3000 b", "a\u3000 b"},
      {"x‘ ’y", "x y"},
      {"-", "-"},
      {"--", "，"},
      {"---", "，-"},
      {"----", "，，"},
      {".", "."},
      {"..", ".."},
      {"...", "。"},
      {".....", "。"},
      {"…a……", "。a。"},
      {"———", "，，"},
      {"—-", "，-"},
      {"—…", "，。"},
      {"、–", "，，"},
      {"1.5 ..x", "1.5 ..x"},
      {"‘’“”※■□▲△▼▽◆◇○◎●★☆〈〉《》「」『』【】〔〕", ""},
      {"〜～・·•‧", " "},
      {"é〇ＡＢ", "é〇ＡＢ"},
      {"好 \t好", "好 好"},   // separators around the code points the walk steps over
      {"好\t 好 ", "好 好 "},
      {"€ \t€—", "€ €，"},  // € shares its first byte with the dashes
      {"…\t", "。 "},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(normalize_punctuation(row.input), row.want) << "input=«" << row.input << "»";
    // The chained form says whether the text changed, and only then writes.
    std::string out = "untouched";
    const bool changed = normalize_punctuation_into(row.input, out);
    EXPECT_EQ(changed, std::string_view(row.input) != row.want) << "input=«" << row.input << "»";
    EXPECT_EQ(out, changed ? std::string(row.want) : "untouched") << "input=«" << row.input << "»";
  }
}

TEST_F(NormalizerTest, RomanizedSlang) {
  static const struct {
    const char* input;
    const char* want;  // tokens, punc_norm off
  } kRows[] = {
      {"ABC!", "阿|B|!"},
      {"ABCD!", "ABCD|!"},
      {"abc123", "abc|一|百|二|十|三"},  // whole runs only: no key «abc123»
      {"xabc", "xabc"},
      {"mp3", "MP|三"},
      {"Mp3 ok好", "MP|三|好|好"},
      {"empty!", "!"},
      {"num", "百分之|五|十"},  // the value goes through the number pass
      {"MIXED", "MiXeD"},       // the value is not lower-cased
      {"broken", "broken"},     // a value that is not UTF-8 is a miss
      {"spaced", "a|b"},
      {"ＡＢＣ", "Ａ|Ｂ|Ｃ"},  // full-width letters form no run
      {"é abc", "é|阿|B"},
  };
  const Pipeline with_slang = load(false, true);
  const Pipeline without = load(false);
  for (const auto& row : kRows) {
    EXPECT_EQ(join(tokenize(with_slang, row.input)), row.want) << "input=«" << row.input << "»";
  }
  EXPECT_EQ(join(tokenize(without, "ABC!")), "ABC|!");
  EXPECT_EQ(join(tokenize(without, "mp3")), "mp|三");
}

TEST_F(NormalizerTest, SlangPassAlone) {
  const Pipeline p = load(false, true);
  static const struct {
    const char* input;
    const char* want;
  } kRows[] = {
      {"ABC!", "阿B!"},
      {"abc,ABC;Abc", "阿B,阿B;阿B"},
      {"好abc好", "好阿B好"},
      {"broken", "broken"},
      {"", ""},
      {"好 xabc, ok!", "好 xabc, 好!"},
      {"好 xabc, 好!", "好 xabc, 好!"},
      {"same", "same"},  // a value equal to the run changes nothing
      {"Same", "same"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(expand_romanized_slang(*p.romanized_slang, row.input), row.want)
        << "input=«" << row.input << "»";
    std::string out = "untouched";
    const bool changed = expand_romanized_slang_into(*p.romanized_slang, row.input, out);
    EXPECT_EQ(changed, std::string_view(row.input) != row.want) << "input=«" << row.input << "»";
    EXPECT_EQ(out, changed ? std::string(row.want) : "untouched") << "input=«" << row.input << "»";
  }
}

// The rewriting passes chained: each starts where the first byte it acts
// on lies in the input, found by one scan that tests four bytes at a time,
// so the rows put that byte at every place in and around a block; a pass
// after one that changed the text starts over from its start.
TEST_F(NormalizerTest, ChainedPassesStartAtTheirFirstByte) {
  static const struct {
    const char* input;
    const char* want;  // normalize_text with slang and punc_norm
  } kRows[] = {
      {"abc好", "阿B好"},
      {"a abc", "a 阿B"},
      {"好abc", "好阿B"},
      {"好 abc", "好 阿B"},
      {"好好 abc", "好好 阿B"},
      {"好好好好好好abc", "好好好好好好阿B"},
      {"「好」", "好"},
      {"好「", "好"},
      {"好好好「好」", "好好好好"},
      {"好好好好好好好好—", "好好好好好好好好，"},
      {"好好好...", "好好好。"},
      {"好，好...", "好，好。"},  // 「，」 leads with EF, as do the marks folded
      {"好  好", "好 好"},
      {"x  abc", "x 阿B"},
      {"spaced好——", "a b好，"},  // the slang value's spaces are folded too
      {"好spaced好……", "好a b好。"},
      {"ok...spaced", "好。a b"},
      {"好好好好", "好好好好"},
  };
  const Pipeline p = load(true, true);
  for (const auto& row : kRows) {
    EXPECT_EQ(normalize_text(p, row.input), row.want) << "input=«" << row.input << "»";
  }
}

TEST_F(NormalizerTest, RunSplitting) {
  static const struct {
    const char* input;
    const char* want;
  } kRows[] = {
      {"OK好", "OK|好"},
      {"?!", "?|!"},
      {"你好嗎", "你好|嗎"},
      {"abc123def", "abc123def"},  // digits stay in the run at this pass
      {"café", "caf|é"},
      {"ＡＢ", "Ａ|Ｂ"},
      {"〇一", "〇|一"},
      {"ab cd", "ab|cd"},
      {"a\xF0\xA0\x80\x80", "a|\xF0\xA0\x80\x80"},  // U+20000 is CJK
      {"\xF0\xAA\x9B\x9F\xF0\xAA\x9B\xA0",
       "\xF0\xAA\x9B\x9F|\xF0\xAA\x9B\xA0"},                      // U+2A6DF, U+2A6E0
      {"\xE3\x90\x80\xE4\xB6\xBF", "\xE3\x90\x80|\xE4\xB6\xBF"},  // U+3400, U+4DBF
      {"\xEF\xA4\x80好", "\xEF\xA4\x80|好"},                      // U+F900
      {"한국", "한|국"},
      {"\u3000", ""},
      {"你好\xE5\x80", "你好|\xE5|\x80"},        // a cut or broken sequence led by E5
      {"你好\xE5\x41你好", "你好|\xE5|A|你好"},  // \x41 is A
      {"ab你好12", "ab|你好|12"},
  };
  const Pipeline p = load(false);
  for (const auto& row : kRows) {
    std::vector<std::string> tokens;
    split_runs(p, row.input, tokens);
    EXPECT_EQ(join(tokens), row.want) << "input=«" << row.input << "»";
  }
}

// Where a CJK run ends, seen through words that would join across its end:
// ideographs of every range stay in the run, U+4DC0 (E4 B7 80, beside
// U+4DBF) and U+A000 (beside U+9FFF) end it.
TEST(RunSplitting, CjkRunEnds) {
  TempDir dir;
  testing::write_dict(dir, "word.bin",
                      {{"你\xE4\xB7\x80", "x"},      // 你 U+4DC0
                       {"好\xE4\xB6\xBF", "x"},      // 好 U+4DBF
                       {"好\xE9\xBF\xBF", "x"},      // 好 U+9FFF
                       {"好\xEA\x80\x80", "x"},      // 好 U+A000
                       {"好\xF0\xA0\x80\x80", "x"},  // 好 U+20000
                       {"好\xEF\xA4\x80", "x"}});    // 好 U+F900
  testing::write_dict(dir, "char.bin", {{"好", "hou2"}});
  auto loaded = load_pipeline(dir.path(), UserDict{}, false);
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  const Pipeline p = std::move(loaded).value();
  static const struct {
    const char* input;
    const char* want;
  } kRows[] = {
      {"你\xE4\xB7\x80", "你|\xE4\xB7\x80"},
      {"好\xE4\xB6\xBF好", "好\xE4\xB6\xBF|好"},
      {"好\xE9\xBF\xBF", "好\xE9\xBF\xBF"},
      {"好\xEA\x80\x80", "好|\xEA\x80\x80"},
      {"好\xF0\xA0\x80\x80", "好\xF0\xA0\x80\x80"},
      {"好\xEF\xA4\x80", "好\xEF\xA4\x80"},
      {"好\xE9\xBF", "好|\xE9|\xBF"},
  };
  for (const auto& row : kRows) {
    std::vector<std::string> tokens;
    split_runs(p, row.input, tokens);
    EXPECT_EQ(join(tokens), row.want) << "input=«" << row.input << "»";
  }
}

// Random texts drawn from characters every pass cares about.
std::string random_text(std::mt19937& rng, bool allow_digits) {
  static const char* const kPieces[] = {
      "a", "Z", "k", "m", "H", "K", "$", "U", "S", "D", "%", "/", ":", ".", "-", " ", "\t",
      "\n", "\u3000", "\u00A0", "好", "你", "年", "元", "點", "€", "￥", "²", "°", "℃", "㎡",
      "…", "—", "–", "、", "「", "」", "・", "～", "é", "〇", "Ａ", "\xF0\xA0\x80\x80",
      "％", "：", "。", "，", "!", "abc", "ok", "mp", "km"};
  static const char* const kDigits[] = {"0", "1", "5", "9", "０", "７"};
  std::uniform_int_distribution<std::size_t> length(0, 24);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<std::size_t> digit(0, std::size(kDigits) - 1);
  std::uniform_int_distribution<int> coin(0, 3);
  std::string s;
  for (std::size_t i = length(rng); i > 0; --i) {
    s += (allow_digits && coin(rng) == 0) ? kDigits[digit(rng)] : kPieces[piece(rng)];
  }
  return s;
}

std::string without_whitespace(std::string_view s) {
  std::string out;
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t start = pos;
    if (!is_white_space(next_code_point(s, pos))) out.append(s.substr(start, pos - start));
  }
  return out;
}

bool has_digit(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const char32_t c = next_code_point(s, pos);
    if (is_ascii_digit(c) || (c >= 0xFF10 && c <= 0xFF19)) return true;
  }
  return false;
}

bool is_whitespace_token(std::string_view token) {
  std::size_t pos = 0;
  return is_white_space(next_code_point(token, pos)) && pos == token.size();
}

TEST_F(NormalizerTest, RandomTextProperties) {
  const Pipeline plain = load(false);
  const Pipeline folded = load(true);
  const Pipeline slang = load(true, true);
  for (unsigned seed = 1; seed <= 3000; ++seed) {
    std::mt19937 rng(seed);
    const bool digits = seed % 2 == 0;
    const std::string text = random_text(rng, digits);
    for (const Pipeline* p : {&plain, &folded, &slang}) {
      const auto tokens = tokenize(*p, text);
      for (const std::string& token : tokens) {
        ASSERT_FALSE(token.empty()) << "seed " << seed << " text «" << text << "»";
        ASSERT_FALSE(is_whitespace_token(token)) << "seed " << seed << " text «" << text << "»";
        ASSERT_TRUE(is_valid_utf8(token)) << "seed " << seed << " text «" << text << "»";
        // Every digit, ASCII or full-width, has been read out as a numeral.
        ASSERT_FALSE(has_digit(token)) << "seed " << seed << " text «" << text << "»";
      }
      // Without folding, slang or digits, tokenizing only drops whitespace.
      if (p == &plain && !digits) {
        std::string joined;
        for (const std::string& token : tokens) joined += token;
        ASSERT_EQ(joined, without_whitespace(text)) << "seed " << seed;
      }
    }
  }
}

TEST_F(NormalizerTest, HostileInputs) {
  constexpr std::size_t kCount = 100000;
  const auto repeat = [](std::string_view piece, std::size_t times) {
    std::string s;
    for (std::size_t i = 0; i < times; ++i) s += piece;
    return s;
  };
  const Pipeline p = load(true);
  const auto digits = tokenize(p, std::string(kCount, '8'));
  ASSERT_EQ(digits.size(), kCount);  // one ideograph 八 each: no word joins them
  EXPECT_EQ(digits.front(), "八");
  EXPECT_EQ(digits.back(), "八");

  const auto euros = tokenize(p, repeat("€", kCount));
  ASSERT_EQ(euros.size(), kCount);
  EXPECT_EQ(euros.back(), "€");

  EXPECT_TRUE(tokenize(p, repeat(" \t\u3000\n", kCount / 4)).empty());
  EXPECT_TRUE(tokenize(p, repeat("「」★", kCount / 3)).empty());
  EXPECT_EQ(tokenize(p, repeat(".", kCount)), std::vector<std::string>{"。"});
  EXPECT_EQ(tokenize(p, std::string(kCount, 'x')).size(), 1u);
}

TEST_F(NormalizerTest, ConcurrentTokenizeThreads) {
  const Pipeline p = load(true, true);
  std::string text;
  for (int i = 0; i < 50; ++i) text += "你好ABC！USD 100，3.5kg「好」mp3…… 2024年";
  const std::vector<std::string> expected = tokenize(p, text);
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) mismatches[t] += tokenize(p, text) != expected;
    });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t t = 0; t < mismatches.size(); ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace quillet
