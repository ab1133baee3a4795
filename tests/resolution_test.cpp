// Per-token resolution: each of the seven steps with its labels and
// defaults, candidate splitting, the Lang rule, and resolve's passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dict/data_dir.h"
#include "labels.h"
#include "pipeline.h"
#include "resolution.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::write_dict;

std::string show(const std::vector<std::string>& pieces) {
  std::string s;
  for (const auto& p : pieces) s += "[" + p + "]";
  return s;
}

std::string show(const Resolution& r) {
  return show(r.candidate_readings) + " " + r.confidence + " " + r.source;
}

using testing::load;

TEST(SplitCandidates, KeepsEveryPiece) {
  struct Row {
    const char* value;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a|b", {"a", "b"}},
      {"|a", {"", "a"}},
      {"a|", {"a", ""}},
      {"a||b", {"a", "", "b"}},
      {"|", {"", ""}},
      {" a | b ", {" a ", " b "}},
      {"sik6 faan6|sik6 fan6", {"sik6 faan6", "sik6 fan6"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(split_candidates(row.value)), show(row.expected)) << "value '" << row.value << "'";
    EXPECT_EQ(first_candidate(row.value), row.expected.front()) << "value '" << row.value << "'";
  }
}

// Every size around the fixed-size copies' edges (the in-place buffer's 15
// bytes, the two-block copies' 4, 8 and 16), cut from the middle of a larger
// buffer: the copy equals std::string's and no byte around it moves.
TEST(OwnedCopy, EverySizeAsTheLibraryCopies) {
  std::string source;
  for (int i = 0; i < 64; ++i) source.push_back(static_cast<char>(i * 37 + 11));
  for (std::size_t n = 0; n <= 40; ++n) {
    const std::string_view text = std::string_view(source).substr(3, n);
    const std::string copy = owned_copy(text);
    EXPECT_EQ(copy, std::string(text)) << "size " << n;
    EXPECT_EQ(copy.size(), n);
    std::string out(n + 4, '#');
    char* end = copy_text(text, out.data() + 2);
    EXPECT_EQ(end, out.data() + 2 + n) << "size " << n;
    EXPECT_EQ(out, "##" + std::string(text) + "##") << "size " << n;
  }
}

TEST(Lang, FirstMatchWins) {
  struct Row {
    const char* token;
    const char* expected;
  };
  const Row rows[] = {
      {"我", "yue"},        {"我a", "yue"},          {"，我", "yue"},
      {"\xF0\xA0\x80\x80", "yue"},  // U+20000
      {"abc", "en"},        {"ABC123", "en"},        {"7", "en"},
      {"", "en"},           {"\xEF\xBC\x8C", "punct"},  // full-width comma
      {"\xC3\xA9", "punct"},  // é
      {"a b", "punct"},     {"a-b", "punct"},
      {"\xE3\x80\x87", "punct"},  // 〇 is not a CJK ideograph
      {"\xE3\x81\x82", "punct"},  // kana
  };
  for (const auto& row : rows) {
    EXPECT_EQ(label::lang_of(row.token), row.expected) << "token '" << row.token << "'";
  }
}

// One data directory in which every step of the resolution has a token that
// stops there, and a default-label case beside each stored-label case.
class ResolutionSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    write_dict(dir_, "word.bin",
               {{"食飯", "sik6 faan6"},
                {"銀行", "ngan4 hong4"},
                {"我", "ngo5"},
                {"行", "hang4"},
                {"空值", ""},
                {"用戶", "jung6 wu6 (word)"},
                {"abc", "ei1 bi1 si1"}});
    write_dict(dir_, "char.bin",
               {{"好", "hou2"}, {"人", "jan4"}, {"行", "haang4"}, {"，", "dou3"}});
    write_dict(dir_, "word_candidates.bin",
               {{"銀行", "ngan4 hong4|ngan4 hang4"},
                {"重新", "cung4 san1"},
                {"一齊", "jat1 cai4|"},
                {"空候", ""},
                {"用戶", "x|y"}});
    write_dict(dir_, "word_candidates_confidence.bin", {{"銀行", "ranked"}, {"一齊", ""}});
    write_dict(dir_, "word_source.bin",
               {{"銀行", "rime"}, {"食飯", "oral_hk"}, {"一齊", "any text at all"}});
    write_dict(dir_, "char_candidates.bin",
               {{"行", "haang4|hang4|hong4"},
                {"長", "coeng4|zoeng2"},
                {"好", "hou2|hou3"},
                {"人好", "bad|bad"}});  // a multi-character key is never read here
    write_dict(dir_, "char_candidates_confidence.bin", {{"長", "ranked"}, {"好", "tied?"}});
    write_dict(dir_, "char_source.bin", {{"長", "unihan"}, {"人", "tojyutping"}});
    UserDict user;
    user.emplace("用戶", "jung6 wu6");
    user.emplace("abc", "never used");
    pipeline_ = std::make_unique<Pipeline>(load(dir_, std::move(user)));
  }

  TempDir dir_;
  std::unique_ptr<Pipeline> pipeline_;
};

TEST_F(ResolutionSteps, EachStepAndItsLabels) {
  struct Row {
    const char* token;
    std::vector<std::string> candidates;
    const char* confidence;
    const char* source;
  };
  const Row rows[] = {
      // 2: passthrough, even with word.bin and user entries for the text.
      {"abc", {"abc"}, "certain", "passthrough"},
      {"\xEF\xBC\x8C", {"\xEF\xBC\x8C"}, "certain", "passthrough"},
      {"", {""}, "certain", "passthrough"},
      // 3: user dictionary before the word candidates.
      {"用戶", {"jung6 wu6"}, "certain", "user_dict"},
      // 4: word candidates with stored, empty and default labels.
      {"銀行", {"ngan4 hong4", "ngan4 hang4"}, "ranked", "rime"},
      {"重新", {"cung4 san1"}, "tied", "unknown"},
      {"一齊", {"jat1 cai4", ""}, "", "any text at all"},
      {"空候", {""}, "tied", "unknown"},
      // 5: word reading, unsplit; single characters too, ahead of the character files.
      {"食飯", {"sik6 faan6"}, "certain", "oral_hk"},
      {"空值", {""}, "certain", "unknown"},
      {"我", {"ngo5"}, "certain", "unknown"},
      {"行", {"hang4"}, "certain", "unknown"},
      // 6a: character candidates.
      {"長", {"coeng4", "zoeng2"}, "ranked", "unihan"},
      {"好", {"hou2", "hou3"}, "tied?", "unknown"},
      // 6b: character reading.
      {"人", {"jan4"}, "certain", "tojyutping"},
      // 7: fallback, character by character.
      {"人好", {"jan4 hou2"}, "certain", "char_fallback"},
      {"好a", {"hou2 a"}, "certain", "char_fallback"},
      {"鬼", {"鬼"}, "certain", "unresolved"},
      {"鬼怪", {"鬼 怪"}, "certain", "char_fallback"},
  };
  const ReadingChanges none;
  for (const auto& row : rows) {
    const Resolution r = resolve_token(*pipeline_, 0, row.token, none);
    EXPECT_EQ(show(r), show(Resolution{row.candidates, row.confidence, row.source}))
        << "token '" << row.token << "'";
  }
}

// The language a resolution carries is the Lang rule's for its token on
// every road through the lookup (passthrough, each table, the fallback, an
// override), and for a token of a Chinese run whatever segmentation says of
// its word.
TEST_F(ResolutionSteps, LanguageIsTheRulesOnEveryRoad) {
  struct Row {
    const char* token;
    bool chinese_run;  // every code point an ideograph: segmentation may have cut it
  };
  const Row rows[] = {
      {"abc", false}, {"A1", false},       {"a-b", false}, {"\xEF\xBC\x8C", false},
      {"", false},    {"\xC3\xA9", false}, {"好a", false}, {"a好", false},
      {"用戶", true}, {"銀行", true},      {"重新", true}, {"食飯", true},
      {"我", true},   {"長", true},        {"人", true},   {"人好", true},
      {"鬼", true},   {"鬼怪", true},
  };
  for (const auto& row : rows) {
    const label::Lang expected = label::lang_code(row.token);
    EXPECT_EQ(resolve_token_view(*pipeline_, row.token, nullptr).lang, expected)
        << "token '" << row.token << "'";
    std::string override_reading = "x";
    EXPECT_EQ(resolve_token_view(*pipeline_, row.token, &override_reading).lang, expected)
        << "token '" << row.token << "' overridden";
    if (!row.chinese_run) continue;
    WordMatch seen;
    if (const auto entry = pipeline_->word_dict.find(row.token)) {
      seen = {WordMatch::Kind::Hit, entry->value, entry->index};
    } else {
      seen.kind = WordMatch::Kind::Miss;
    }
    EXPECT_EQ(resolve_token_view(*pipeline_, row.token, nullptr, seen).lang, expected)
        << "token '" << row.token << "' seen by segmentation";
  }
}

TEST(Resolution, WithoutOptionalFilesEverythingIsCertain) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"食飯", "sik6 faan6"}, {"我", "ngo5"}});
  write_dict(dir, "char.bin", {{"好", "hou2"}, {"人", "jan4"}});
  const Pipeline p = load(dir);
  const std::vector<std::string> tokens{"我", "食飯", "好", "人好", "鬼", "abc", "。", "人"};
  const std::vector<std::string> sources{"unknown", "unknown", "unknown", "char_fallback",
                                         "unresolved", "passthrough", "passthrough", "unknown"};
  const std::vector<Resolution> got = resolve(p, tokens);
  ASSERT_EQ(got.size(), tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    EXPECT_EQ(got[i].confidence, "certain") << "token " << tokens[i];
    EXPECT_EQ(got[i].source, sources[i]) << "token " << tokens[i];
    EXPECT_EQ(got[i].candidate_readings.size(), 1u) << "token " << tokens[i];
  }
}

// resolve applies the passes over whole token lists: which label wins, and
// that a change drops every earlier candidate whatever its origin.
TEST(Resolve, PassesReplaceWholeResolutions) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"我", "ngo5"}});
  write_dict(dir, "char.bin",
             {{"個", "go3"}, {"哋", "dei6"}, {"陳", "can4"}, {"食", "sik6"}, {"咗", "zo2"},
              {"人", "jan4"}});
  write_dict(dir, "char_candidates.bin", {{"個", "go3|go4"}, {"哋", "dei6|dei2"}});
  write_dict(dir, "classifier_words.bin", {{"個", ""}});
  write_dict(dir, "separable.bin", {{"食陳", "sik6 can6"}});
  UserDict user;
  user.emplace("人", "jan4");
  const Pipeline p = load(dir, std::move(user));

  struct Row {
    std::vector<std::string> tokens;
    std::vector<std::string> expected;  // one show(Resolution) per token
  };
  const Row rows[] = {
      // AA-dei and classifier both change the second 個: the classifier label wins.
      {{"個", "個", "哋"},
       {"[go3][go4] tied unknown", "[go2] certain classifier_reduplication",
        "[dei2] certain aa_dei_sandhi"}},
      // A user-dictionary reading is dropped by AA-dei.
      {{"人", "人", "哋"},
       {"[jan4] certain user_dict", "[jan2] certain aa_dei_sandhi",
        "[dei2] certain aa_dei_sandhi"}},
      // A separable-compound reading is dropped by address sandhi.
      {{"食", "咗", "陳", "sir"},
       {"[sik6] certain separable_compound", "[zo2] certain unknown",
        "[can2] certain address_sandhi", "[sir] certain passthrough"}},
      // AA-dei reads the suffix after address sandhi turned it to tone 2, so it
      // leaves the suffix alone and the address label stays.
      {{"陳", "陳", "哋", "sir"},
       {"[can4] certain unknown", "[can2] certain aa_dei_sandhi",
        "[dei2] certain address_sandhi", "[sir] certain passthrough"}},
  };
  for (const auto& row : rows) {
    const std::vector<Resolution> got = resolve(p, row.tokens);
    std::vector<std::string> shown;
    for (const auto& r : got) shown.push_back(show(r));
    EXPECT_EQ(show(shown), show(row.expected)) << "tokens " << show(row.tokens);
  }
}

}  // namespace
}  // namespace quillet
