// KeyFilter, the load-time filter of word_candidates' keys: it never rules
// out a key its file holds (so no lookup it skips could have hit), on
// written files and on unsorted, duplicated and broken ones; it rules out
// most other keys; and a pipeline's resolutions are the same with it as
// with the filter that holds everything.
#include "dict/key_filter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dict/data_dir.h"
#include "resolution.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::u16;
using testing::u32;

DictFile open_file(const TempDir& dir, std::string_view name) {
  auto f = DictFile::open(dir.file(name));
  EXPECT_TRUE(f.ok()) << f.error();
  return f.ok() ? std::move(f).value() : DictFile();
}

// Keys and near misses of each: cut by a byte, extended by one, and changed
// in the first, middle and last byte (which the hash reads) or elsewhere.
std::vector<std::string> probes_of(const std::vector<std::string>& keys) {
  std::vector<std::string> probes = {"", "x", "\xE4\xB8\x80"};
  for (const auto& k : keys) {
    probes.push_back(k);
    probes.push_back(k + "a");
    if (k.empty()) continue;
    probes.push_back(k.substr(0, k.size() - 1));
    for (std::size_t at : {std::size_t{0}, k.size() / 2, k.size() - 1, k.size() / 3}) {
      std::string changed = k;
      changed[at] = static_cast<char>(changed[at] ^ 1);
      probes.push_back(changed);
    }
  }
  return probes;
}

// Whether `filter` is sound for `file`: a probe it rules out, find misses.
void expect_sound(const KeyFilter& filter, const DictFile& file,
                  const std::vector<std::string>& probes, const std::string& where) {
  for (const auto& p : probes) {
    if (!filter.might_hold(p)) {
      EXPECT_FALSE(file.find(p).has_value())
          << where << ": ruled out a key of " << p.size() << " bytes that the file holds";
    }
  }
}

TEST(KeyFilter, HoldsEveryKeyOfAWrittenFile) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
  };
  std::vector<Case> cases = {
      {"empty file", {}},
      {"short keys", {"a", "ab", "abc", "\x01", std::string(1, '\0'), "zz"}},
      {"words", {"銀行", "一齊", "重新", "空候", "用戶", "食飯", "我哋"}},
      {"shared heads, long keys",
       {"一二三四五六", "一二三四五七", "一二三四五六七", "一二三四五六七八九十"}},
      {"differ in the middle only", {"abcdXefgh", "abcdYefgh", "abcdZefgh"}},
  };
  Case many{"a thousand keys", {}};
  for (int i = 0; i < 1000; ++i) many.keys.push_back(testing::numbered("詞", i * 7));
  cases.push_back(many);
  TempDir dir;
  for (const auto& c : cases) {
    std::vector<DictEntry> entries;
    for (const auto& k : c.keys) entries.push_back({k, "v"});
    testing::write_dict(dir, "f.bin", entries);
    const DictFile file = open_file(dir, "f.bin");
    const KeyFilter filter = KeyFilter::of(file);
    EXPECT_GE(filter.bit_count(), 32 * c.keys.size()) << c.name;
    for (const auto& k : c.keys) EXPECT_TRUE(filter.might_hold(k)) << c.name << ": " << k;
    expect_sound(filter, file, probes_of(c.keys), c.name);
  }
}

TEST(KeyFilter, RulesOutMostOtherKeys) {
  TempDir dir;
  std::vector<DictEntry> entries;
  for (int i = 0; i < 1387; ++i) entries.push_back({testing::numbered("字", i), "v"});
  testing::write_dict(dir, "f.bin", entries);
  const KeyFilter filter = KeyFilter::of(open_file(dir, "f.bin"));
  int passed = 0;
  const int probes = 20000;
  for (int i = 0; i < probes; ++i) passed += filter.might_hold(testing::numbered("詞", i));
  // About one in 32 by the table's size; a filter that let all through, or
  // a hash that ignored most of the key, would let many more.
  EXPECT_LT(passed, probes / 10);
}

// The heads filter holds the two-code-point head of every key, as the
// segmentation walk cuts a text: a lead byte counts its sequence's bytes,
// whatever follows, and a key shorter than its second code point has none.
TEST(KeyFilter, HeadsHoldEveryKeysHead) {
  const struct {
    std::string key;
    std::size_t head;  // two_code_point_head(key)
  } kRows[] = {
      // Words, a key of one code point, Latin, a four-byte ideograph first,
      // the second code point cut short, the first one cut short, and stray
      // continuation bytes (each steps by one).
      {"銀行", 6},
      {"銀行家", 6},
      {"一二三四五六七八九十", 6},
      {"銀", 0},
      {"ab", 2},
      {"a", 0},
      {"a銀行", 4},
      {"\xF0\xA0\x80\x80\xE4\xB8\x80", 7},
      {"銀\xE4\xB8", 0},
      {"\xE4\xB8", 0},
      {"\x80\x80x", 2},
  };
  TempDir dir;
  std::vector<DictEntry> entries;
  for (const auto& row : kRows) {
    EXPECT_EQ(two_code_point_head(row.key), row.head) << row.key;
    entries.push_back({row.key, "v"});
  }
  testing::write_dict(dir, "f.bin", entries);
  const DictFile file = open_file(dir, "f.bin");
  const KeyFilter heads = KeyFilter::of_heads(file);
  EXPECT_GE(heads.bit_count(), 8 * entries.size());
  for (const auto& row : kRows) {
    if (row.head == 0) continue;
    EXPECT_TRUE(heads.might_hold(std::string_view(row.key).substr(0, row.head))) << row.key;
  }
}

// The ideograph U+4E00 + k, UTF-8.
std::string ideograph(std::size_t k) { return testing::utf8(static_cast<char32_t>(0x4E00 + k)); }

TEST(KeyFilter, HeadsRuleOutMostOtherHeads) {
  // Words of three ideographs: 500 heads among 2000 keys.
  std::vector<DictEntry> entries;
  for (std::size_t i = 0; i < 2000; ++i) {
    entries.push_back(
        {ideograph(i % 50) + ideograph(100 + i / 50 % 10) + ideograph(1000 + i), "v"});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DictEntry& a, const DictEntry& b) { return a.key < b.key; });
  TempDir dir;
  testing::write_dict(dir, "f.bin", entries);
  const KeyFilter heads = KeyFilter::of_heads(open_file(dir, "f.bin"));
  for (const auto& e : entries) ASSERT_TRUE(heads.might_hold(e.key.substr(0, 6))) << e.key;
  // 20,000 heads no key has: about one in 128 finds its bit set (500 heads
  // in 16,384 bits); a filter that let all through, or a hash that read only
  // one of the two code points, would let many more.
  int passed = 0;
  const std::size_t probes = 20000;
  for (std::size_t j = 0; j < probes; ++j) {
    passed += heads.might_hold(ideograph(3000 + j % 141) + ideograph(4000 + j / 141));
  }
  EXPECT_LT(passed, static_cast<int>(probes / 20));
}

TEST(KeyFilter, DefaultHoldsEverything) {
  const KeyFilter filter;
  EXPECT_EQ(filter.bit_count(), 0u);
  for (const char* k : {"", "a", "銀行", "一二三四五六七八九十"}) EXPECT_TRUE(filter.might_hold(k));
}

// A file assembled by hand: entries (key offset, key length) over `pool`,
// values all "v" at the pool's end, in the order given.
std::string raw_file(const std::vector<std::pair<std::uint32_t, std::uint16_t>>& keys,
                     const std::string& pool) {
  std::string bytes = "CJYP" + u32(1) + u32(static_cast<std::uint32_t>(keys.size())) +
                      u32(static_cast<std::uint32_t>(pool.size() + 1));
  for (const auto& [offset, length] : keys) {
    bytes += u32(offset) + u16(length) + u32(static_cast<std::uint32_t>(pool.size())) + u16(1);
  }
  return bytes + pool + "v";
}

TEST(KeyFilter, SoundOnUnsortedDuplicatedAndBrokenFiles) {
  // Pool: "銀行" (0, 6 bytes), "一齊" (6), "重新" (12), "a" (18).
  const std::string pool = "銀行一齊重新a";
  struct Case {
    const char* name;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> keys;
  };
  const Case cases[] = {
      {"unsorted", {{12, 6}, {0, 6}, {18, 1}, {6, 6}}},
      {"duplicated", {{0, 6}, {0, 6}, {6, 6}, {6, 6}}},
      {"broken key ranges", {{0, 6}, {200, 6}, {6, 0xFFFF}, {12, 6}}},
      {"all broken", {{0xFFFFFFFF, 6}, {300, 1}}},
  };
  const std::vector<std::string> probes =
      probes_of({"銀行", "一齊", "重新", "a", pool.substr(6, 9)});
  TempDir dir;
  for (const auto& c : cases) {
    testing::write_bytes(dir.file("f.bin"), raw_file(c.keys, pool));
    const DictFile file = open_file(dir, "f.bin");
    expect_sound(KeyFilter::of(file), file, probes, c.name);
    ::unlink(dir.file("f.bin").c_str());
  }
}

// What resolve_token_view makes of `token`, as text.
std::string resolved(const Pipeline& p, std::string_view token, WordMatch word) {
  const ResolutionView v = resolve_token_view(p, token, nullptr, word);
  return std::string(v.candidates.view()) + (v.is_list ? " list " : " one ") +
         std::string(v.confidence) + " " + std::string(v.source) + " " +
         std::to_string(static_cast<int>(v.lang));
}

TEST(KeyFilter, ResolutionsAreThoseOfTheFullSearch) {
  const std::vector<std::string> words = {"銀行", "一齊", "重新", "食飯", "我哋", "行人", "人行"};
  const std::vector<std::string> chars = {"銀", "行", "一", "齊", "人", "我", "好"};
  // The candidate file written, and assembled unsorted with a broken entry.
  const std::string pool = "銀行一齊重新";
  const std::string hostile = raw_file({{12, 6}, {0, 6}, {500, 6}, {6, 6}}, pool);
  for (const bool written : {true, false}) {
    TempDir dir;
    std::vector<DictEntry> word_entries, char_entries;
    for (const auto& w : words) word_entries.push_back({w, "w(" + w + ")"});
    for (const auto& c : chars) char_entries.push_back({c, "c(" + c + ")"});
    testing::write_dict(dir, "word.bin", word_entries);
    testing::write_dict(dir, "char.bin", char_entries);
    testing::write_dict(dir, "word_source.bin", {{"食飯", "src"}, {"銀行", "rime"}});
    if (written) {
      testing::write_dict(dir, "word_candidates.bin",
                          {{"銀行", "a|b"}, {"一齊", "c|d"}, {"重新", "e"}});
    } else {
      testing::write_bytes(dir.file("word_candidates.bin"), hostile);
    }
    const Pipeline filtered = testing::load(dir);
    Pipeline plain = testing::load(dir);
    plain.word_candidates_keys = KeyFilter();
    ASSERT_GT(filtered.word_candidates_keys.bit_count(), 0u);
    std::vector<std::string> tokens = words;
    tokens.insert(tokens.end(), chars.begin(), chars.end());
    for (const auto& w : words) {
      for (const auto& c : chars) tokens.push_back(w + c);
    }
    for (const auto& t : tokens) {
      // As segmentation would see the token, and as a caller of resolve.
      const auto found = filtered.word_dict.find(t);
      const WordMatch seen = found ? WordMatch{WordMatch::Kind::Hit, found->value, found->index}
                                   : WordMatch{WordMatch::Kind::Miss, {}, 0};
      for (const WordMatch& word : {seen, WordMatch{}}) {
        EXPECT_EQ(resolved(filtered, t, word), resolved(plain, t, word))
            << (written ? "written" : "hostile") << " file, token " << t;
      }
    }
  }
}

}  // namespace
}  // namespace quillet
