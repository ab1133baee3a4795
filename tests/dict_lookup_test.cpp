// Tests of DictFile: opening checks with their exact messages, lookups, and
// entries whose ranges break out of the pool or the mapping, plus a loop over
// random and mutated files that must either fail to open or look up safely.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dict/format.h"
#include "dict/lookup.h"
#include "dict/reading.h"
#include "dict/segment.h"
#include "unicode.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

// The 35-byte example file: one entry, U+4E00 -> "jat1".
const std::string kExample(
    "CJYP\x01\x00\x00\x00\x01\x00\x00\x00\x07\x00\x00\x00"
    "\x00\x00\x00\x00\x03\x00\x03\x00\x00\x00\x04\x00"
    "\xE4\xB8\x80jat1",
    35);

using testing::u16;
using testing::u32;
std::string header(std::uint32_t version, std::uint32_t count, std::uint32_t pool) {
  return "CJYP" + u32(version) + u32(count) + u32(pool);
}
std::string entry(std::uint32_t ko, std::uint16_t kl, std::uint32_t vo, std::uint16_t vl) {
  return u32(ko) + u16(kl) + u32(vo) + u16(vl);
}

// Writes `bytes` as dir/name and opens it. The old file is unlinked rather
// than truncated: a file system may flush a truncated-and-rewritten file to
// disk on close, which makes loops over many files crawl.
Result<DictFile> open_bytes(const TempDir& dir, std::string_view bytes,
                            std::string_view name = "f.bin") {
  const std::string path = dir.file(name);
  ::unlink(path.c_str());
  testing::write_bytes(path, bytes);
  return DictFile::open(path);
}

std::string os_error(int err) { return std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")"; }

TEST(DictLookup, OpenFailuresHaveExactMessages) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  };
  std::vector<Case> cases = {
      {"empty file", "", "file too short: 0 bytes (need at least 16)"},
      {"bad magic", "CJYQ" + u32(1) + u32(0) + u32(0),
       "bad magic: expected [67, 74, 89, 80], got [67, 74, 89, 81]"},
      {"high magic bytes", std::string("\xFF\x00\x80\x7F", 4) + u32(1) + u32(0) + u32(0),
       "bad magic: expected [67, 74, 89, 80], got [255, 0, 128, 127]"},
      {"bad magic checked before version", "XJYP" + u32(9) + u32(0) + u32(0),
       "bad magic: expected [67, 74, 89, 80], got [88, 74, 89, 80]"},
      {"version 0", header(0, 0, 0), "unsupported version 0 (expected 1)"},
      {"version 2", header(2, 0, 0), "unsupported version 2 (expected 1)"},
      {"version max", header(0xFFFFFFFF, 0, 0), "unsupported version 4294967295 (expected 1)"},
      {"version checked before sizes", header(2, 10, 5), "unsupported version 2 (expected 1)"},
      {"table beyond file", header(1, 10, 5) + std::string(84, '\0'),
       "file too short: 100 bytes (need 141 for 10 entries + pool)"},
      {"example cut to 34", kExample.substr(0, 34),
       "file too short: 34 bytes (need 35 for 1 entries + pool)"},
      {"header only, claims one entry", header(1, 1, 0),
       "file too short: 16 bytes (need 28 for 1 entries + pool)"},
      // 16 + 12 * (2^32 - 1) + (2^32 - 1) overflows 32 bits; computed in 64.
      {"huge counts", header(1, 0xFFFFFFFF, 0xFFFFFFFF),
       "file too short: 16 bytes (need 55834574851 for 4294967295 entries + pool)"},
  };
  for (std::size_t n = 1; n < 16; ++n) {
    cases.push_back({"short file", kExample.substr(0, n),
                     "file too short: " + std::to_string(n) + " bytes (need at least 16)"});
  }
  TempDir dir;
  for (const auto& c : cases) {
    auto f = open_bytes(dir, c.bytes);
    ASSERT_FALSE(f.ok()) << c.name << " (" << c.bytes.size() << " bytes)";
    EXPECT_EQ(f.error(), c.message) << c.name << " (" << c.bytes.size() << " bytes)";
  }
}

TEST(DictLookup, OpenSystemErrors) {
  TempDir dir;
  auto missing = DictFile::open(dir.file("absent.bin"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), os_error(ENOENT));
  EXPECT_NE(missing.error().find(" (os error 2)"), std::string::npos);

  testing::write_bytes(dir.file("x.bin"), kExample);
  // The NUL check comes first, even when the part before the NUL names a good file.
  auto nul = DictFile::open(dir.file("x.bin") + std::string(1, '\0') + "y");
  ASSERT_FALSE(nul.ok());
  EXPECT_EQ(nul.error(), "file name contained an unexpected NUL byte");

  auto not_dir = DictFile::open(dir.file("x.bin") + "/inner.bin");
  ASSERT_FALSE(not_dir.ok());
  EXPECT_EQ(not_dir.error(), os_error(ENOTDIR));

  // Neither a directory nor a named pipe can be mapped; the pipe must not
  // block the open while it waits for a writer.
  auto directory = DictFile::open(dir.path());
  ASSERT_FALSE(directory.ok());
  EXPECT_EQ(directory.error(), os_error(ENODEV));
  ASSERT_EQ(::mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
  auto pipe = DictFile::open(dir.file("pipe.bin"));
  ASSERT_FALSE(pipe.ok());
  EXPECT_EQ(pipe.error(), os_error(ENODEV));
}

TEST(DictLookup, ExampleFileOpensAndFinds) {
  TempDir dir;
  auto f = open_bytes(dir, kExample);
  ASSERT_TRUE(f.ok()) << f.error();
  EXPECT_EQ(f.value().entry_count(), 1u);
  auto v = f.value().get("\xE4\xB8\x80");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(*v, "jat1");
  EXPECT_FALSE(f.value().get("\xE4\xB8").has_value());
  EXPECT_FALSE(f.value().get("\xE4\xB8\x80\x80").has_value());
}

TEST(DictLookup, EmptyTableMissesEverything) {
  TempDir dir;
  auto f = open_bytes(dir, header(1, 0, 0));
  ASSERT_TRUE(f.ok()) << f.error();
  EXPECT_EQ(f.value().entry_count(), 0u);
  for (const char* key : {"", "a", "\xE4\xB8\x80"}) {
    EXPECT_FALSE(f.value().get(key).has_value()) << key;
  }
}

TEST(DictLookup, ExtraBytesAfterPoolAreAccepted) {
  TempDir dir;
  auto f = open_bytes(dir, kExample + std::string(1000, 'z'));
  ASSERT_TRUE(f.ok()) << f.error();
  EXPECT_EQ(f.value().get("\xE4\xB8\x80").value_or("miss"), "jat1");
}

// Keys a, ab, b laid out by hand, the value of "b" empty.
TEST(DictLookup, ExactMatchOnly) {
  const std::string pool = "aabb" "v1v2";
  const std::string bytes = header(1, 3, static_cast<std::uint32_t>(pool.size())) +
                            entry(0, 1, 4, 2) +  // a  -> v1
                            entry(1, 2, 6, 2) +  // ab -> v2
                            entry(3, 1, 8, 0) +  // b  -> ""
                            pool;
  TempDir dir;
  auto f = open_bytes(dir, bytes);
  ASSERT_TRUE(f.ok()) << f.error();
  struct Row {
    const char* key;
    bool hit;
    const char* value;
  };
  const Row rows[] = {
      {"a", true, "v1"}, {"ab", true, "v2"}, {"b", true, ""},   {"", false, ""},
      {"abc", false, ""}, {"aa", false, ""}, {"ba", false, ""}, {"A", false, ""},
  };
  for (const auto& r : rows) {
    auto v = f.value().get(r.key);
    EXPECT_EQ(v.has_value(), r.hit) << "key '" << r.key << "'";
    if (v && r.hit) {
      EXPECT_EQ(*v, r.value) << "key '" << r.key << "'";
    }
    // find() names the entry that holds the key; get_near() answers as get()
    // whether its hint is that entry, another one or past the table.
    const auto found = f.value().find(r.key);
    ASSERT_EQ(found.has_value(), r.hit) << "key '" << r.key << "'";
    if (found) {
      EXPECT_EQ(f.value().value_of(found->index), v) << "key '" << r.key << "'";
    }
    for (std::size_t hint : {0u, 1u, 2u, 3u, 1000u}) {
      EXPECT_EQ(f.value().get_near(r.key, hint), v) << "key '" << r.key << "' hint " << hint;
    }
  }
}

// Each file holds a broken entry meant for key "a", then a good entry
// "k" -> "good": the broken entry is a miss and the good one still hits.
TEST(DictLookup, BrokenRangesAreMisses) {
  struct Case {
    const char* name;
    std::string broken_entry;  // the entry meant for key "a"
    std::string tail;          // bytes after the pool
    std::string unchecked;     // the key a reader without range checks would see
  };
  // Pool: "k" "good" "a" "v" = 7 bytes. The file is padded with NULs to the
  // page size when `tail` is empty, so bytes past the pool read as "\0".
  const std::string pool = "kgoodav";
  const std::string nul(1, '\0');
  const Case cases[] = {
      {"key runs past pool end by one", entry(5, 3, 6, 1), "", "av" + nul},
      {"key offset beyond pool", entry(100, 1, 6, 1), "", nul},
      {"key offset near 2^32", entry(0xFFFFFFFF, 0xFFFF, 6, 1), "", ""},
      {"value runs past pool end", entry(5, 1, 6, 2), "", "a"},
      {"value offset near 2^32", entry(5, 1, 0xFFFFFFFF, 1), "", "a"},
      {"value range into extra bytes", entry(5, 1, 6, 5), "tail!", "a"},
      {"key range into extra bytes", entry(5, 4, 6, 1), "tail!", "avta"},
      {"value past mapping", entry(5, 1, 7, 0xFFFF), "", "a"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::string bytes = header(1, 2, static_cast<std::uint32_t>(pool.size())) +
                        c.broken_entry + entry(0, 1, 1, 4) + pool + c.tail;
    if (c.tail.empty()) bytes.resize(4096, '\0');
    auto f = open_bytes(dir, bytes);
    ASSERT_TRUE(f.ok()) << c.name << ": " << f.error();
    EXPECT_EQ(f.value().get("k").value_or("miss"), "good") << c.name;
    for (const std::string& probe : {std::string("a"), std::string("av"), std::string(),
                                     c.unchecked}) {
      EXPECT_FALSE(f.value().get(probe).has_value()) << c.name << ", probe of " << probe.size() << " bytes";
      EXPECT_FALSE(f.value().get_near(probe, 0).has_value()) << c.name << ", hint at broken entry";
      EXPECT_FALSE(f.value().find_char(probe).has_value()) << c.name;
      EXPECT_FALSE(f.value().value_of(0).has_value() && probe == "a") << c.name;
      bool exact = true;
      if (!probe.empty()) f.value().seek_prefix(f.value().all(), probe, exact);
      EXPECT_FALSE(exact && !probe.empty()) << c.name;
    }
  }
}

TEST(DictLookup, WrittenFileFindsEveryKeyAndMissesNeighbours) {
  std::vector<DictEntry> entries;
  for (int i = 0; i < 500; ++i) {
    entries.push_back({testing::numbered("k", i * 2), testing::numbered("v", i)});
  }
  TempDir dir;
  testing::write_dict(dir, "w.bin", entries);
  auto f = DictFile::open(dir.file("w.bin"));
  ASSERT_TRUE(f.ok()) << f.error();
  for (int i = 0; i < 500; ++i) {
    const std::string hit = testing::numbered("k", i * 2);
    const std::string miss = testing::numbered("k", i * 2 + 1);
    EXPECT_EQ(f.value().get(hit).value_or("miss"), testing::numbered("v", i)) << hit;
    EXPECT_FALSE(f.value().get(miss).has_value()) << miss;
  }
}

TEST(DictLookup, MoveKeepsTheMappingAlive) {
  TempDir dir;
  auto f = open_bytes(dir, kExample);
  ASSERT_TRUE(f.ok());
  DictFile moved = std::move(f).value();
  auto other = open_bytes(dir, header(1, 0, 0), "g.bin");
  ASSERT_TRUE(other.ok());
  DictFile target = std::move(other).value();
  target = std::move(moved);  // releases the empty file's mapping
  EXPECT_EQ(target.get("\xE4\xB8\x80").value_or("miss"), "jat1");
}

TEST(DictLookup, ConcurrentLookupsShareOneFile) {
  std::vector<DictEntry> entries;
  for (int i = 0; i < 200; ++i) entries.push_back({testing::numbered("w", i), std::to_string(i)});
  TempDir dir;
  testing::write_dict(dir, "w.bin", entries);
  auto f = DictFile::open(dir.file("w.bin"));
  ASSERT_TRUE(f.ok());
  const DictFile& dict = f.value();
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&dict, &wrong, t] {
      for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 200; ++i) {
          auto v = dict.get(testing::numbered("w", i));
          if (!v || *v != std::to_string(i)) ++wrong[t];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// The entries of `sorted` (in key order) whose keys start with `prefix`,
// found by a scan, and whether one of them equals it.
DictFile::Range block_by_scan(const std::vector<DictEntry>& sorted, std::string_view prefix,
                              bool& exact) {
  std::size_t lo = 0;
  while (lo < sorted.size() && compare_keys(sorted[lo].key, prefix) < 0) ++lo;
  std::size_t hi = lo;
  while (hi < sorted.size() && std::string_view(sorted[hi].key).starts_with(prefix)) ++hi;
  exact = lo < hi && sorted[lo].key.size() == prefix.size();
  return {lo, hi};
}

// The prefix walk on well-formed files: seek_prefix() starts at the first
// entry of the block of keys with a prefix (as a scan finds it), covers the
// block, and reports the same exact hits.
TEST(DictLookup, SeekPrefixAgreesWithAScan) {
  std::mt19937 rng(99);
  const char* const alphabet[] = {"a", "b", "\xE4\xB8\x80", "\xE4\xBA\x8C", "\xF0\xA0\x80\x80"};
  auto word = [&](std::size_t max_len) {
    std::string w;
    for (std::size_t i = 0, n = 1 + rng() % max_len; i < n; ++i) w += alphabet[rng() % 5];
    return w;
  };
  TempDir dir;
  std::size_t nonempty = 0;
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<DictEntry> entries;
    std::vector<std::string> keys;
    for (std::size_t i = 0, n = rng() % 80; i < n; ++i) {
      std::string k = word(6);
      if (std::find(keys.begin(), keys.end(), k) != keys.end()) continue;
      keys.push_back(k);
      entries.push_back({k, "v"});
    }
    auto bytes = encode_dict(entries);
    ASSERT_TRUE(bytes.ok());
    auto f = open_bytes(dir, bytes.value());
    ASSERT_TRUE(f.ok()) << f.error();
    const DictFile& d = f.value();
    std::sort(entries.begin(), entries.end(),
              [](const DictEntry& a, const DictEntry& b) { return compare_keys(a.key, b.key) < 0; });
    for (int probe = 0; probe < 30; ++probe) {
      const std::string text = word(8);
      DictFile::Range exact_range = d.all(), seek_range = d.all();
      // Whole characters only, as segmentation walks them.
      for (std::size_t len = 0; len < text.size();) {
        len += utf8_length(static_cast<unsigned char>(text[len]));
        const std::string_view prefix = std::string_view(text).substr(0, len);
        bool scan_exact = false, seek_exact = false;
        const DictFile::Range within = seek_range;
        exact_range = block_by_scan(entries, prefix, scan_exact);
        seek_range = d.seek_prefix(seek_range, prefix, seek_exact);
        const std::string where = "trial " + std::to_string(trial) + " prefix of " +
                                  std::to_string(len) + " bytes";
        ASSERT_EQ(seek_range.lo, exact_range.lo) << where;
        ASSERT_EQ(seek_range.empty(), exact_range.empty()) << where;
        ASSERT_EQ(seek_exact, scan_exact) << where;
        ASSERT_EQ(seek_exact, d.get(prefix).has_value()) << where;
        if (!seek_range.empty()) {
          ++nonempty;
          ASSERT_GE(seek_range.hi, exact_range.hi) << where;
          ASSERT_LE(seek_range.hi, within.hi) << where;
        }
        if (exact_range.empty()) break;
      }
    }
  }
  EXPECT_GT(nonempty, 1000u);
}

// Keys are compared a word of eight bytes at a time: keys of every length
// from 0 to 18 bytes, sharing stems of 6 to 10 bytes, made of bytes at the
// edges of the byte order (0x00 sorts like the end of a key in a word), each
// looked up in the written file and in the same table without its index,
// where the last keys end right at the end of the mapping when every value
// is empty (the writer stores keys first).
TEST(DictLookup, LookupsAgreeWithAScanAtEveryKeyLength) {
  std::mt19937 rng(41);
  const char bytes[] = {'\x00', '\x01', 'a', '\x7F', '\x80', '\xFE', '\xFF'};
  auto tail = [&](std::size_t max_len) {
    std::string w;
    for (std::size_t i = 0, n = rng() % (max_len + 1); i < n; ++i) w += bytes[rng() % sizeof bytes];
    return w;
  };
  TempDir dir;
  std::size_t hits = 0;
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<std::string> stems;
    for (int i = 0; i < 3; ++i) {
      std::string stem = tail(10);
      stems.push_back(stem.size() < 6 ? stem + std::string(6 - stem.size(), 'a') : stem);
    }
    std::vector<DictEntry> entries;
    std::vector<std::string> keys;
    for (std::size_t i = 0, n = rng() % 60; i < n; ++i) {
      std::string k = rng() % 4 ? stems[rng() % 3] + tail(8) : tail(18);
      k.resize(std::min<std::size_t>(k.size(), 18));
      if (std::find(keys.begin(), keys.end(), k) != keys.end()) continue;
      keys.push_back(k);
      entries.push_back({k, trial % 2 ? std::string() : testing::numbered("v", i)});
    }
    auto written = encode_dict(entries);
    ASSERT_TRUE(written.ok());
    const std::string& with_index = written.value();
    const std::uint64_t table_end =
        format::entry_at(format::load_u32(with_index.data() + format::kEntryCountAt)) +
        format::load_u32(with_index.data() + format::kPoolSizeAt);
    std::sort(entries.begin(), entries.end(),
              [](const DictEntry& a, const DictEntry& b) { return compare_keys(a.key, b.key) < 0; });
    std::vector<std::string> probes = {""};
    for (const auto& k : keys) {
      for (std::size_t n = 0; n <= k.size(); ++n) probes.push_back(k.substr(0, n));
      for (char b : bytes) probes.push_back(k + b);
    }
    for (int i = 0; i < 40; ++i) probes.push_back(stems[rng() % 3] + tail(10));
    for (const std::string& file : {with_index, with_index.substr(0, table_end)}) {
      auto f = open_bytes(dir, file);
      ASSERT_TRUE(f.ok()) << f.error();
      const DictFile& d = f.value();
      for (const auto& p : probes) {
        const std::string where = "trial " + std::to_string(trial) + " probe of " +
                                  std::to_string(p.size()) + " bytes, index " +
                                  (d.has_index() ? "yes" : "no");
        bool scan_exact = false, seek_exact = false;
        const DictFile::Range scan = block_by_scan(entries, p, scan_exact);
        const DictFile::Range seek = d.seek_prefix(d.all(), p, seek_exact);
        ASSERT_EQ(seek.lo, scan.lo) << where;
        ASSERT_EQ(seek.empty(), scan.empty()) << where;
        ASSERT_EQ(seek_exact, scan_exact) << where;
        if (!seek.empty()) {
          ASSERT_GE(seek.hi, scan.hi) << where;
        }
        const auto found = d.find(p);
        ASSERT_EQ(found.has_value(), scan_exact) << where;
        if (found) {
          ++hits;
          ASSERT_EQ(found->index, scan.lo) << where;
          ASSERT_EQ(found->value, entries[scan.lo].value) << where;
        }
      }
    }
  }
  EXPECT_GT(hits, 2000u);
}

// Random and mutated byte strings as dictionary files: each either fails to
// open with a message or opens and answers lookups, narrowing, segmentation
// and reading lookups without touching memory outside the mapping (the
// sanitizer build turns any overread into a failure).
TEST(DictLookup, HostileBytesNeverReadOutOfBounds) {
  std::vector<DictEntry> entries = {
      {"\xE4\xB8\x80", "jat1"}, {"\xE4\xB8\x80\xE4\xBA\x8C", "jat1 ji6"},
      {"\xE4\xBA\x8C", "ji6"},  {"a", ""},
      {"ab", "x"},              {"\xF0\xA0\x80\x80", "z"},
  };
  auto valid = encode_dict(entries);
  ASSERT_TRUE(valid.ok()) << valid.error();
  const std::string base = valid.value();
  const std::vector<std::string> probes = {
      "", "a", "ab", "b", "\xE4\xB8\x80", "\xE4\xB8\x80\xE4\xBA\x8C", "\xE4\xBA\x8C",
      "\xF0\xA0\x80\x80", std::string(70000, 'a')};
  const std::string run = "\xE4\xB8\x80\xE4\xBA\x8C\xE4\xB8\x80\xF0\xA0\x80\x80\xE4\xBA\x8C";
  const UserDict no_user;

  std::mt19937 rng(7);
  auto byte = [&] { return static_cast<char>(rng() & 0xFF); };
  TempDir dir;
  int opened = 0, rejected = 0;
  for (int iter = 0; iter < 3000; ++iter) {
    std::string bytes;
    switch (iter % 4) {
      case 0: {  // flip a few bytes of the valid file
        bytes = base;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) bytes[rng() % bytes.size()] = byte();
        break;
      }
      case 1: {  // truncate or extend the valid file
        bytes = base.substr(0, rng() % (base.size() + 1));
        if (rng() % 2) bytes.append(rng() % 8, byte());
        break;
      }
      case 2: {  // a good header over random entries and pool
        const std::uint32_t count = rng() % 6;
        const std::uint32_t pool = rng() % 40;
        bytes = header(1, count, pool);
        for (std::uint32_t k = 0; k < count; ++k) {
          bytes += entry(rng() % 48, static_cast<std::uint16_t>(rng() % 12), rng() % 48,
                         static_cast<std::uint16_t>(rng() % 12));
        }
        for (std::uint32_t k = 0; k < pool; ++k) bytes += "ab\xE4\xB8\x80"[rng() % 5];
        break;
      }
      default: {  // plain noise, sometimes after a good magic
        bytes = (rng() % 2) ? "CJYP" + u32(1) : std::string();
        bytes.append(rng() % 64, '\0');
        for (std::size_t k = bytes.empty() ? 0 : 8; k < bytes.size(); ++k) bytes[k] = byte();
        break;
      }
    }
    auto f = open_bytes(dir, bytes);
    if (!f.ok()) {
      ++rejected;
      EXPECT_FALSE(f.error().empty());
      continue;
    }
    ++opened;
    const DictFile& d = f.value();
    for (const auto& p : probes) {
      auto v = d.get(p);
      if (v) {  // a hit must be a view inside the file's own bytes
        EXPECT_LE(v->size(), bytes.size());
      }
      // On any table, sorted or not, find_char takes find's decisions.
      const auto found = d.find(p), by_char = d.find_char(p);
      ASSERT_EQ(by_char.has_value(), found.has_value()) << "iter " << iter;
      if (found) {
        EXPECT_EQ(by_char->index, found->index) << "iter " << iter;
        EXPECT_EQ(by_char->value.data(), found->value.data()) << "iter " << iter;
      }
      // The text form of get_near compares the hinted entry as the DictKey
      // form does.
      for (std::size_t hint = 0; hint <= d.entry_count(); ++hint) {
        EXPECT_EQ(d.get_near(p, hint), d.get_near(DictKey(p), hint)) << "iter " << iter;
      }
      bool exact = false;
      DictFile::Range r = d.all();
      for (std::size_t len = 1; len <= p.size() && len <= 8 && !r.empty(); ++len) {
        r = d.seek_prefix(r, std::string_view(p).substr(0, len), exact);
        EXPECT_LE(r.hi, d.entry_count());
      }
    }
    std::vector<std::string> tokens;
    segment_run(run, CharClass::Cjk, d, KeyFilter(), no_user, 0, tokens);
    std::string joined;
    for (const auto& t : tokens) joined += t;
    EXPECT_EQ(joined, run);
    (void)lookup_reading(run, d, d, no_user);
  }
  EXPECT_GT(opened, 100);
  EXPECT_GT(rejected, 100);
}

}  // namespace
}  // namespace quillet
