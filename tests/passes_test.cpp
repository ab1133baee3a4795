// The four context passes on hand-made token lists: which windows match and
// which index gets which reading, including windows that must not match.
#include "passes/passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/key_filter.h"
#include "passes/aa_dei_sandhi.h"
#include "passes/address_sandhi.h"
#include "passes/classifier_reduplication.h"
#include "passes/context_readings.h"
#include "passes/reading_changes.h"
#include "passes/separable_compound.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;
using Changes = std::vector<std::pair<std::size_t, std::string>>;

Changes to_list(const ReadingChanges& changes) {
  Changes out;
  for (const auto& e : changes) out.emplace_back(e.index, e.reading);
  return out;
}

std::string show(const Changes& changes) {
  std::ostringstream s;
  s << "{";
  for (const auto& [i, r] : changes) s << " " << i << ":'" << r << "'";
  s << " }";
  return s.str();
}

template <class Text>
std::string show(const std::vector<Text>& tokens) {
  std::string s;
  for (const auto& t : tokens) s.append("[").append(t).append("]");
  return s;
}

std::optional<DictFile> open_dict(const TempDir& dir, std::string_view name,
                                  std::vector<DictEntry> entries) {
  testing::write_dict(dir, name, std::move(entries));
  auto file = DictFile::open(dir.file(name));
  if (!file.ok()) {
    ADD_FAILURE() << file.error();
    return std::nullopt;
  }
  return std::move(file).value();
}

TEST(ReadingChanges, LaterWriteWinsAndEntriesStaySorted) {
  ReadingChanges changes;
  changes.set(4, "a");
  changes.set(1, "b");
  changes.set(4, "c");
  changes.set(2, "d");
  changes.set(1, "e");
  EXPECT_EQ(show(to_list(changes)), show(Changes{{1, "e"}, {2, "d"}, {4, "c"}}));
  ASSERT_NE(changes.find(2), nullptr);
  EXPECT_EQ(*changes.find(2), "d");
  EXPECT_EQ(changes.find(3), nullptr);
}

struct SeparableRow {
  std::vector<std::string_view> tokens;
  Changes expected;
};

TEST(SeparableCompounds, Table) {
  TempDir dir;
  auto separable = open_dict(dir, "separable.bin",
                             {{"食飯", "sik6 faan6"},
                              {"飯堂", "faan9 tong4"},
                              {"一個", "jat1"},               // one piece: ignored
                              {"三聲", "saam1 seng1 x"},      // three pieces: ignored
                              {"打波", "daa2 "},              // second piece empty
                              {"瞓覺", " gaau3"}});           // first piece empty
  ASSERT_TRUE(separable);
  const SeparableRow rows[] = {
      {{"食", "咗", "飯"}, {{0, "sik6"}, {2, "faan6"}}},
      {{"食", "緊", "飯"}, {{0, "sik6"}, {2, "faan6"}}},
      {{"食", "過", "飯"}, {{0, "sik6"}, {2, "faan6"}}},
      {{"食", "開", "飯"}, {{0, "sik6"}, {2, "faan6"}}},
      {{"我", "食", "咗", "飯", "。"}, {{1, "sik6"}, {3, "faan6"}}},
      {{"食", "了", "飯"}, {}},                      // not one of the four particles
      {{"食", "咗咗", "飯"}, {}},                    // particle token must be exactly one particle
      {{"食咗", "飯"}, {}},                          // verb and particle in one token
      {{"食", "咗", "飯碗"}, {}},                    // object of two characters
      {{"食食", "咗", "飯"}, {}},                    // verb of two characters
      {{"飯", "咗", "食"}, {}},                      // reversed key is not stored
      {{"一", "咗", "個"}, {}},
      {{"三", "咗", "聲"}, {}},
      {{"打", "咗", "波"}, {{0, "daa2"}, {2, ""}}},
      {{"瞓", "咗", "覺"}, {{0, ""}, {2, "gaau3"}}},
      {{"食", "咗"}, {}},
      // Overlapping matches: the middle character ends with the second match's piece.
      {{"食", "咗", "飯", "過", "堂"}, {{0, "sik6"}, {2, "faan9"}, {4, "tong4"}}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(separable_compounds(row.tokens, separable))), show(row.expected))
        << "tokens " << show(row.tokens);
  }
  const std::vector<std::string_view> match{"食", "咗", "飯"};
  EXPECT_TRUE(separable_compounds(match, std::nullopt).empty()) << "without separable.bin";
}

struct TonePassRow {
  std::vector<std::string_view> tokens;
  std::vector<std::string_view> readings;
  Changes expected;
};

TEST(AddressSandhi, Table) {
  const TonePassRow rows[] = {
      {{"陳", "Sir"}, {"can4", "Sir"}, {{0, "can2"}}},
      {{"陳", "sir"}, {"can4", "sir"}, {{0, "can2"}}},
      {{"陳", "SIR"}, {"can4", "SIR"}, {{0, "can2"}}},
      {{"陳", "sIr"}, {"can4", "sIr"}, {{0, "can2"}}},
      {{"趙", "sir"}, {"ziu6", "sir"}, {{0, "ziu2"}}},
      {{"我", "話", "黃", "sir"}, {"ngo5", "waa6", "wong4", "sir"}, {{2, "wong2"}}},
      {{"李", "sir"}, {"lei5", "sir"}, {}},     // tone 5 stays
      {{"宋", "sir"}, {"sung3", "sir"}, {}},    // tone 3 stays
      {{"張", "sir"}, {"zoeng1", "sir"}, {}},
      {{"許", "sir"}, {"heoi2", "sir"}, {}},
      {{"陳生", "sir"}, {"can4 saang1", "sir"}, {}},  // two-character token
      {{"陳", "sir"}, {"can4 san4", "sir"}, {}},      // two-syllable reading
      {{"陳", "sirs"}, {"can4", "sirs"}, {}},
      {{"陳", "si"}, {"can4", "si"}, {}},
      {{"sir", "陳"}, {"sir", "can4"}, {}},           // title first
      {{"陳", "。", "sir"}, {"can4", "。", "sir"}, {}},
      {{"陳", "sir"}, {"can4"}, {}},                  // lengths differ
      {{"陳"}, {"can4"}, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(address_sandhi(row.tokens, row.readings))), show(row.expected))
        << "tokens " << show(row.tokens);
  }
}

TEST(AaDeiSandhi, Table) {
  const TonePassRow rows[] = {
      {{"人", "人", "哋"}, {"jan4", "jan4", "dei6"}, {{1, "jan2"}, {2, "dei2"}}},
      {{"佢", "人", "人", "哋"}, {"keoi5", "jan4", "jan4", "dei6"}, {{2, "jan2"}, {3, "dei2"}}},
      {{"人", "人", "哋"}, {"jan1", "jan1", "dei6"}, {{2, "dei2"}}},  // A in tone 1
      {{"人", "人", "哋"}, {"jan4", "jan4", "dei2"}, {{1, "jan2"}}},  // suffix already tone 2
      {{"人", "人", "哋"}, {"jan4", "jan4 x4", "dei6"}, {{2, "dei2"}}},
      {{"人", "我", "哋"}, {"jan4", "ngo5", "dei6"}, {}},
      {{"人人", "哋"}, {"jan4 jan4", "dei6"}, {}},
      {{"人", "人"}, {"jan4", "jan4"}, {}},
      {{"人", "人", "，", "哋"}, {"jan4", "jan4", "，", "dei6"}, {}},
      {{"人", "人", "地"}, {"jan4", "jan4", "dei6"}, {}},  // 地 is not the suffix
      {{"ab", "ab", "哋"}, {"ab", "ab", "dei6"}, {}},      // A must be one code point
      {{"人", "人", "哋"}, {"jan4", "jan4"}, {}},           // lengths differ
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(aa_dei_sandhi(row.tokens, row.readings))), show(row.expected))
        << "tokens " << show(row.tokens);
  }
}

TEST(ClassifierReduplication, Table) {
  TempDir dir;
  auto classifiers = open_dict(dir, "classifier_words.bin", {{"個", "x"}, {"隻", ""}});
  ASSERT_TRUE(classifiers);
  const TonePassRow rows[] = {
      {{"個", "個"}, {"go3", "go3"}, {{1, "go2"}}},
      {{"隻", "隻"}, {"zek3", "zek3"}, {{1, "zek2"}}},  // empty stored value: membership only
      {{"個", "個", "個"}, {"go3", "go3", "go3"}, {{1, "go2"}, {2, "go2"}}},
      {{"一", "個", "個"}, {"jat1", "go3", "go3"}, {{2, "go2"}}},
      {{"個", "個"}, {"go3", "go2"}, {}},
      {{"個", "個"}, {"go3", "go1"}, {}},
      {{"人", "人"}, {"jan4", "jan4"}, {}},  // not a classifier
      {{"個個"}, {"go3 go3"}, {}},
      {{"個", "隻"}, {"go3", "zek3"}, {}},
      {{"個", "個"}, {"go3"}, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(classifier_reduplication(row.tokens, row.readings, classifiers))),
              show(row.expected))
        << "tokens " << show(row.tokens);
  }
  const std::vector<std::string_view> pair{"個", "個"};
  const std::vector<std::string_view> readings{"go3", "go3"};
  EXPECT_TRUE(classifier_reduplication(pair, readings, std::nullopt).empty())
      << "without classifier_words.bin";
  auto empty = open_dict(dir, "empty.bin", {});
  EXPECT_TRUE(classifier_reduplication(pair, readings, empty).empty()) << "with an empty file";
}

// The rules of the table test below, and of the filter tests after it.
std::vector<DictEntry> table_rules() {
  return {
      {"=\u5230", ""},             // 到 has rules
      {"\u5230 <@verb", "dou2"},   // after a verb
      {"\u5230 <\u8aaa", "dou6"},  // after the token 說 (literal wins)
      {"\u5230 >\u4f60", "dou4"},  // before the token 你
      {"=\u5462", ""},             // 呢
      {"\u5462 >@cl", "ni1"},      // before a classifier
      {"\u5462 >@end", "ne1"},     // at the end of a clause
      {"\u5462 <@end", "nei1"},    // at the start of one
      {"@\u6435", "adj verb"},     // 搵: its second class matches
      {"@\u8aaa", "verb"},
      {"@\u500b", "cl"},
      {"@\u55ce", " "},           // 嗎: only an empty class name
      {"\u4f60 <@verb", "nei2"},  // 你 has no "=" key: never read
      {"=\u884c\u5c71", ""},      // a word may be a target too
      {"\u884c\u5c71 >@end", "hang4 saan1"},
  };
}

TEST(ContextReadings, Table) {
  TempDir dir;
  auto rules = open_dict(dir, "context_readings.bin", table_rules());
  ASSERT_TRUE(rules);
  const SeparableRow rows[] = {
      {{"搵", "到"}, {{1, "dou2"}}},
      {{"說", "到"}, {{1, "dou6"}}},            // literal left beats the left class
      {{"說", "到", "你"}, {{1, "dou6"}}},      // literal left beats literal right
      {{"搵", "到", "你"}, {{1, "dou4"}}},      // literal right beats the left class
      {{"我", "到"}, {}},                        // no class, not an edge: no rule
      {{"到"}, {}},                              // an edge on both sides, but no edge rule
      {{"呢", "個"}, {{0, "nei1"}}},             // the left edge is tried before the right class
      {{"我", "呢", "個"}, {{1, "ni1"}}},
      {{"我", "呢"}, {{1, "ne1"}}},              // end of the text
      {{"我", "呢", "\xEF\xBC\x8C"}, {{1, "ne1"}}},  // before a full-width comma
      {{"我", "呢", "abc"}, {}},                 // a Latin word is no clause edge
      {{"我", "呢", "嗎"}, {}},
      {{"搵", "你"}, {}},                        // 你 is no target
      {{"行山", "!"}, {{0, "hang4 saan1"}}},
      {{"行", "山"}, {}},
      {{"搵", "到", "呢", "個", "到"}, {{1, "dou2"}, {2, "ni1"}}},
      {{"abc", "到"}, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(context_readings(row.tokens, rules))), show(row.expected))
        << "tokens " << show(row.tokens);
  }
  const std::vector<std::string_view> pair{"搵", "到"};
  EXPECT_TRUE(context_readings(pair, std::nullopt).empty()) << "without context_readings.bin";
  auto empty = open_dict(dir, "empty.bin", {});
  EXPECT_TRUE(context_readings(pair, empty).empty()) << "with an empty file";
}

// The "=" values narrow what is tried: a target's kinds of rule, and the
// list of all targets. A list too long to scan is ignored.
TEST(ContextReadings, KindsAndTargetListLimitWhatIsTried) {
  TempDir dir;
  const std::vector<DictEntry> common = {
      {"=\u5230", "L"},  // 到: classes before it only
      {"\u5230 >\u4f60", "dou4"},
      {"\u5230 <@verb", "dou2"},
      {"@\u6435", "verb"},
      {"=\u884c\u5c71", "R"},  // 行山
      {"\u884c\u5c71 >@end", "hang4 saan1"},
      {"\u54aa >@end", "mai6"},  // 咪: a rule, but no "=" entry
  };
  const std::string too_long = std::string(kMaxTargetList, 'x') + " ";
  struct Row {
    const char* list;  // value of "=", or nullptr for no such key
    std::vector<std::string_view> tokens;
    Changes expected;
  };
  const Row rows[] = {
      {nullptr, {"搵", "到", "你"}, {{1, "dou2"}}},  // the literal rule is not tried
      {nullptr, {"我", "到", "你"}, {}},
      {nullptr, {"行山"}, {{0, "hang4 saan1"}}},
      {"到 行山 ", {"行山"}, {{0, "hang4 saan1"}}},
      {"到 ", {"行山"}, {}},                          // not in the list
      {"行山 到", {"搵", "到"}, {{1, "dou2"}}},        // the last piece needs no space
      {"行 到 ", {"行山"}, {}},                       // whole pieces only
      {"", {"搵", "到"}, {}},                          // an empty list: no targets
      {too_long.c_str(), {"行山"}, {{0, "hang4 saan1"}}},  // ignored
      {nullptr, {"咪"}, {}},                          // no "=" entry: no rule is tried
      {"咪 行山 ", {"咪"}, {}},                        // listed, still no "=" entry
      {"咪 行山 ", {"行山"}, {{0, "hang4 saan1"}}},   // the next target keeps its kinds
      {"咪 到 ", {"搵", "到"}, {{1, "dou2"}}},
  };
  for (const auto& row : rows) {
    std::vector<DictEntry> entries = common;
    if (row.list) entries.push_back({"=", row.list});
    auto rules = open_dict(dir, "rules.bin", entries);
    ASSERT_TRUE(rules);
    EXPECT_EQ(show(to_list(context_readings(row.tokens, rules))), show(row.expected))
        << "tokens " << show(row.tokens) << " list '" << (row.list ? row.list : "none") << "'";
  }
}

// The proposals for `tokens` with the load-time filter of `rules` and with
// the filter that holds every key, under which every key is searched.
std::pair<std::string, std::string> filtered_and_searched(std::span<const std::string_view> tokens,
                                                          const std::optional<DictFile>& rules) {
  const ContextTargets targets = list_context_targets(rules);
  const KeyFilter keys = KeyFilter::of(*rules);
  return {show(to_list(context_readings(tokens, rules, targets, keys))),
          show(to_list(context_readings(tokens, rules, targets, KeyFilter())))};
}

// The filter only spares searches that would miss: on the written rules, with
// and without the "=" list, and on the same rules assembled unsorted and
// with duplicated keys (whose searches miss or hit as they happen to), every
// run of up to three tokens gets the proposals the full search gives.
TEST(ContextReadings, KeyFilterChangesNoProposal) {
  std::vector<DictEntry> listed = table_rules();
  listed.push_back({"=", "\u5230 \u5462 \u884c\u5c71 "});
  // In key order, as the writer puts them, then disturbed: the first and
  // last swapped, a key given a second value beside the first, and one out
  // of place.
  std::vector<DictEntry> hostile = listed;
  std::sort(hostile.begin(), hostile.end(),
            [](const DictEntry& a, const DictEntry& b) { return a.key < b.key; });
  std::swap(hostile.front(), hostile.back());
  const auto cl = std::find_if(hostile.begin(), hostile.end(),
                               [](const DictEntry& e) { return e.key == "\u5462 >@cl"; });
  ASSERT_NE(cl, hostile.end());
  hostile.insert(cl + 1, {"\u5462 >@cl", "nei4"});
  hostile.insert(hostile.begin() + 3, {"@\u500b", "verb"});
  TempDir dir;
  testing::write_dict(dir, "a.bin", table_rules());
  testing::write_dict(dir, "b.bin", listed);
  testing::write_bytes(dir.file("c.bin"), testing::dict_bytes_in_order(hostile));
  const std::vector<std::string_view> words = {
      "到", "呢", "行山", "搵", "說", "個", "嗎", "你", "我", "，", "!", "abc", "行",
  };
  const char* const files[] = {"a.bin", "b.bin", "c.bin"};
  const char* const names[] = {"written", "written with a list", "hostile"};
  for (std::size_t f = 0; f < std::size(files); ++f) {
    auto file = DictFile::open(dir.file(files[f]));
    ASSERT_TRUE(file.ok()) << file.error();
    const std::optional<DictFile> rules = std::move(file).value();
    std::size_t proposing = 0;
    std::vector<std::string_view> tokens;
    for (std::size_t n = 1; n <= 3; ++n) {
      std::size_t count = 1;
      for (std::size_t k = 0; k < n; ++k) count *= words.size();
      for (std::size_t code = 0; code < count; ++code) {
        tokens.clear();
        for (std::size_t k = 0, c = code; k < n; ++k, c /= words.size()) {
          tokens.push_back(words[c % words.size()]);
        }
        const auto [filtered, searched] = filtered_and_searched(tokens, rules);
        ASSERT_EQ(filtered, searched) << names[f] << ", tokens " << show(tokens);
        proposing += filtered != "{ }";
      }
    }
    EXPECT_GT(proposing, 50u) << names[f] << ": the runs should exercise the rules";
  }
}

// Keys of the same length whose first and last four bytes agree hash alike,
// so they share a bit of any filter: a neighbour whose rule key collides with
// one the file holds, a neighbour whose "@" key does, and a class name whose
// rule key does, all pass the filter, and the search decides.
TEST(ContextReadings, KeysThatShareAFilterBitAreSearched) {
  const std::string held = "甲乙丙丁", twin = "甲戊丙丁";  // differ in the second character
  ASSERT_EQ(key_filter_hash("\u5230 <" + held), key_filter_hash("\u5230 <" + twin));
  ASSERT_EQ(key_filter_hash("@" + held), key_filter_hash("@" + twin));
  ASSERT_EQ(key_filter_hash("\u5462 >@x1yyyy"), key_filter_hash("\u5462 >@x2yyyy"));
  TempDir dir;
  auto rules = open_dict(dir, "rules.bin",
                         {
                             {"=\u5230", ""},
                             {"=\u5462", ""},
                             {"\u5230 <" + held, "dou3"},
                             {"\u5230 <@verb", "dou2"},
                             {"@" + held, "verb"},
                             {"@\u6435", "x2yyyy x1yyyy"},  // 搵: the first class has no rule
                             {"\u5462 >@x1yyyy", "ni1"},
                         });
  ASSERT_TRUE(rules);
  const KeyFilter keys = KeyFilter::of(*rules);
  ASSERT_TRUE(keys.might_hold("\u5230 <" + twin));
  ASSERT_TRUE(keys.might_hold("@" + twin));
  ASSERT_TRUE(keys.might_hold("\u5462 >@x2yyyy"));
  const SeparableRow rows[] = {
      {{held, "到"}, {{1, "dou3"}}},  // the literal rule
      {{twin, "到"}, {}},             // neither its literal rule nor its class is held
      {{"呢", "搵"}, {{0, "ni1"}}},   // the colliding first class misses, the second hits
  };
  const ContextTargets targets = list_context_targets(rules);
  for (const auto& row : rows) {
    EXPECT_EQ(show(to_list(context_readings(row.tokens, rules, targets, keys))), show(row.expected))
        << "tokens " << show(row.tokens);
  }
}

TEST(ContextReadings, PickCandidate) {
  struct Row {
    const char* candidates;
    bool is_list;
    const char* reading;
    std::optional<std::string> ranked;
    bool known;
  };
  const Row rows[] = {
      {"dou3|dou2", true, "dou2", "dou2|dou3", true},
      {"a|b|c|d", true, "c", "c|a|b|d", true},
      {"a|b|c", true, "c", "c|a|b", true},
      {"a|b|c", true, "a", std::nullopt, true},  // already first
      {"a|b|c", true, "x", std::nullopt, false},
      {"a|b", true, "", std::nullopt, false},
      {"a||b", true, "", "|a|b", true},            // an empty candidate is a candidate
      {"a|b|b", true, "b", "b|a|b", true},         // the first occurrence moves
      {"ab|a", true, "a", "a|ab", true},           // whole pieces only
      {"dou3", false, "dou3", std::nullopt, true},
      {"dou3", false, "dou2", std::nullopt, false},
      {"dou3|dou2", false, "dou2", std::nullopt, false},  // a single reading holding a bar
  };
  for (const auto& r : rows) {
    EXPECT_EQ(pick_candidate(r.candidates, r.is_list, r.reading), r.ranked)
        << "'" << r.candidates << "' pick '" << r.reading << "'";
    EXPECT_EQ(is_candidate(r.candidates, r.is_list, r.reading), r.known)
        << "'" << r.candidates << "' has '" << r.reading << "'";
  }
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// The chain of passes as both roads run it: every pass in table order, each
// reading the changes of the ones before it, except that classifier
// reduplication reads what AA-dei sandhi read (so in 個個哋 it still changes
// the second 個, which AA-dei has already put in tone 2), and is applied
// after it.
TEST(ContextPasses, RunInTableOrderOnTheReadingsEachReads) {
  TempDir dir;
  testing::write_dict(dir, "word.bin", {});
  testing::write_dict(dir, "char.bin", {});
  testing::write_dict(dir, "classifier_words.bin", {{"\xE5\x80\x8B", ""}});  // 個
  const Pipeline p = testing::load(dir);
  const std::vector<std::string_view> tokens = {"\xE5\x80\x8B", "\xE5\x80\x8B", "\xE5\x93\x8B"};
  std::vector<std::string_view> readings = {"go3", "go3", "dei6"};
  std::vector<std::string> kept;
  kept.reserve(8);  // views into it must not move
  std::vector<std::string> applied;
  run_context_passes(p, tokens, readings, [&](ReadingChanges&& changes, const ContextPass& pass) {
    applied.push_back(std::string(pass.source) + show(to_list(changes)));
    for (auto& change : changes) readings[change.index] = kept.emplace_back(change.reading);
  });
  EXPECT_EQ(show(applied),
            "[address_sandhi{ }][aa_dei_sandhi{ 1:'go2' 2:'dei2' }]"
            "[classifier_reduplication{ 1:'go2' }]");
  EXPECT_EQ(readings, (std::vector<std::string_view>{"go3", "go2", "dei2"}));
}

// The patterns one walk finds, which decide the passes run: each pattern
// where it lies, at the edges of the tokens, and the near misses.
TEST(ContextPasses, TriggersFoundInOneWalk) {
  static const struct {
    std::vector<std::string_view> tokens;
    unsigned want;
  } kRows[] = {
      {{}, 0},
      {{"\xE9\x99\xB3", "sir"}, kSirTitleToken},  // 陳 sir
      {{"SIR"}, kSirTitleToken},
      {{"sirs", "si"}, 0},
      {{"\xE4\xBA\xBA", "\xE4\xBA\xBA", "\xE5\x93\x8B"},  // 人 人 哋
       kDeiSuffixToken | kRepeatedCodePoint},
      {{"\xE5\x93\x8B"}, kDeiSuffixToken},
      {{"\xE5\x93\x8B\xE5\x93\x8B"}, 0},                      // 哋哋 as one token
      {{"\xE5\x80\x8B", "\xE4\xBA\xBA", "\xE5\x80\x8B"}, 0},  // 個 人 個
      {{"\xE4\xBA\xBA", "\xE5\x80\x8B", "\xE5\x80\x8B"}, kRepeatedCodePoint},
      {{"\xE5\x80\x8B", "\xE5\x80\x8C"}, 0},  // differ in the last byte only
      {{"\xE4\xBA\xBA", "\xE5\xBA\xBA"}, 0},  // differ in the first byte only
      {{"\xE4\xBA\xBA\xE4\xBA\xBA", "\xE4\xBA\xBA\xE4\xBA\xBA"}, 0},  // two code points
      {{"a", "a"}, kRepeatedCodePoint},
      {{"\xF0\xA0\x80\x80", "\xF0\xA0\x80\x80"}, kRepeatedCodePoint},
      {{"", ""}, 0},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(pass_triggers(row.tokens), row.want) << "tokens " << row.tokens.size();
  }
}

}  // namespace
}  // namespace quillet
