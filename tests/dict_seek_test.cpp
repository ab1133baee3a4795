// Tests of DictFile::seek_prefix on tables whose keys are not in order (a
// hostile or broken file): the search may then miss keys, but whatever it
// reports must still be true of the entries it names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dict/lookup.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

// A file holding `keys` in the given order, each mapped to itself, so that
// value_of(i) tells which key entry i holds.
std::string table_of(const std::vector<std::string>& keys) {
  std::vector<DictEntry> entries;
  for (const auto& k : keys) entries.push_back({k, k});
  return testing::dict_bytes_in_order(entries);
}

// Writes and opens a table. The old file is unlinked rather than rewritten,
// which some file systems flush slowly.
Result<DictFile> open_table(const TempDir& dir, const std::vector<std::string>& keys) {
  const std::string path = dir.file("u.bin");
  ::unlink(path.c_str());
  testing::write_bytes(path, table_of(keys));
  return DictFile::open(path);
}

// Walks the prefixes of `text` as segmentation does and checks each step: the
// range lies inside the one it was searched in, a non-empty range starts at
// an entry that starts with the prefix, and `exact` names an entry equal to
// it. Returns a description of the first broken step, or "".
std::string check_walk(const DictFile& d, const std::string& text) {
  DictFile::Range range = d.all();
  for (std::size_t len = 1; len <= text.size() && !range.empty(); ++len) {
    const std::string prefix = text.substr(0, len);
    const DictFile::Range within = range;
    bool exact = false;
    range = d.seek_prefix(within, prefix, exact);
    const std::string where = "prefix '" + prefix + "'";
    if (range.lo < within.lo || range.hi > within.hi || range.lo > range.hi) {
      return where + ": range outside the one searched";
    }
    if (range.empty()) {
      if (exact) return where + ": exact with an empty range";
      continue;
    }
    const std::string first(d.value_of(range.lo).value_or("<broken>"));
    if (first.compare(0, prefix.size(), prefix) != 0) {
      return where + ": range starts at '" + first + "'";
    }
    if (exact != (first == prefix)) return where + ": exact wrong at '" + first + "'";
  }
  return "";
}

TEST(DictSeek, UnsortedTablesNeverReportWrongEntries) {
  struct Row {
    const char* name;
    std::vector<std::string> keys;  // in stored order
    std::vector<std::string> probes;
  };
  const Row rows[] = {
      {"reversed", {"c", "bb", "ba", "b", "a"}, {"a", "b", "ba", "bb", "c", "d"}},
      {"block split by a stranger", {"ab", "z", "abc", "abd", "a"}, {"ab", "abc", "abd", "a"}},
      {"prefix after its extensions", {"abc", "abd", "ab", "b"}, {"ab", "abc", "abx", "b"}},
      {"duplicates", {"a", "a", "b", "a", "b"}, {"a", "b", "ab"}},
      {"one entry past every probe", {"zz"}, {"a", "z", "zz", "zzz"}},
  };
  TempDir dir;
  for (const auto& r : rows) {
    auto f = open_table(dir, r.keys);
    ASSERT_TRUE(f.ok()) << r.name << ": " << f.error();
    for (const auto& p : r.probes) {
      EXPECT_EQ(check_walk(f.value(), p), "") << r.name;
    }
  }

  // Shuffled tables over a small alphabet, so that blocks and near misses
  // are common; some stay sorted, which the search must then get right.
  std::mt19937 rng(11);
  auto word = [&] {
    std::string w;
    for (std::size_t i = 0, n = 1 + rng() % 4; i < n; ++i) w += static_cast<char>('a' + rng() % 3);
    return w;
  };
  std::size_t reported_in_block = 0;
  for (int trial = 0; trial < 400; ++trial) {
    std::vector<std::string> keys;
    for (std::size_t i = 0, n = rng() % 24; i < n; ++i) keys.push_back(word());
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const bool sorted = trial % 4 == 0;
    if (!sorted) {
      for (std::size_t swaps = 1 + rng() % 3; swaps-- > 0 && keys.size() > 1;) {
        std::swap(keys[rng() % keys.size()], keys[rng() % keys.size()]);
      }
    }
    auto f = open_table(dir, keys);
    ASSERT_TRUE(f.ok()) << f.error();
    for (int probe = 0; probe < 12; ++probe) {
      const std::string text = word();
      ASSERT_EQ(check_walk(f.value(), text), "") << "trial " << trial;
      bool exact = false;
      const auto range = f.value().seek_prefix(f.value().all(), text.substr(0, 1), exact);
      reported_in_block += !range.empty();
      if (sorted) {  // in order, every key is found
        const bool present = std::find(keys.begin(), keys.end(), text) != keys.end();
        bool walk_exact = false;
        DictFile::Range r = f.value().all();
        for (std::size_t len = 1; len <= text.size() && !r.empty(); ++len) {
          r = f.value().seek_prefix(r, text.substr(0, len), walk_exact);
        }
        ASSERT_EQ(walk_exact, present) << "trial " << trial << " text " << text;
      }
    }
  }
  EXPECT_GT(reported_in_block, 1000u);
}

// The same walks over unsorted tables that carry an index of random starts
// for page 1 (where 'a' to 'c' start): the index's answers pass or fail the
// checks against an unsorted table by chance, and either way what the
// lookups report must be true of the entries they name.
TEST(DictSeek, UnsortedTablesWithARandomIndexNeverReportWrongEntries) {
  std::mt19937 rng(23);
  auto word = [&] {
    std::string w;
    for (std::size_t i = 0, n = 1 + rng() % 4; i < n; ++i) w += static_cast<char>('a' + rng() % 3);
    return w;
  };
  TempDir dir;
  std::size_t hits = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::string> keys;
    for (std::size_t i = 0, n = 1 + rng() % 20; i < n; ++i) keys.push_back(word());
    std::shuffle(keys.begin(), keys.end(), rng);
    const auto n = static_cast<std::uint32_t>(keys.size());
    // Header: first page 1, one page, one slot; then the page's slot and 65
    // starts, mostly inside the table, some past it.
    std::string index = "CJYI" + testing::u32(1) + testing::u32(1) + testing::u32(1) + testing::u32(0);
    for (int j = 0; j < 65; ++j) index += testing::u32(static_cast<std::uint32_t>(rng() % (n + 2)));
    const std::string path = dir.file("i.bin");
    ::unlink(path.c_str());
    testing::write_bytes(path, table_of(keys) + index);
    auto f = DictFile::open(path);
    ASSERT_TRUE(f.ok()) << f.error();
    ASSERT_TRUE(f.value().has_index());
    for (int probe = 0; probe < 12; ++probe) {
      const std::string text = word();
      ASSERT_EQ(check_walk(f.value(), text), "") << "trial " << trial;
      const auto found = f.value().find(text);
      if (found) {  // a hit names an entry that holds the key (each maps to itself)
        ++hits;
        ASSERT_LT(found->index, keys.size());
        ASSERT_EQ(keys[found->index], text) << "trial " << trial;
        ASSERT_EQ(found->value, text);
      }
    }
  }
  EXPECT_GT(hits, 200u);
}

}  // namespace
}  // namespace quillet
