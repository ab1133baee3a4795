// Tests of the dictionary writer: parsing key<TAB>value text with its
// rejections, the bytes it writes, writing through a temporary file, and
// the checker that reads a file back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dict/format.h"
#include "dict/lookup.h"
#include "dict_writer.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

TEST(DictWriter, ParseRejectionsNameTheLine) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"no tab", "a\tx\nbc\n", "line 2: no tab between key and value"},
      {"blank line", "a\tx\n\nb\ty\n", "line 2: no tab between key and value"},
      {"blank CRLF line", "a\tx\r\n\r\nb\ty\r\n", "line 2: no tab between key and value"},
      {"CR alone is no line end", "a\tx\rb\ty\na\tz\n", "line 2: duplicate key (first given on line 1)"},
      {"invalid UTF-8 in key", "a\tx\nb\ty\n\xC3\x28\tz\n", "line 3: invalid UTF-8"},
      {"invalid UTF-8 in value", "a\t\xFF\n", "line 1: invalid UTF-8"},
      {"surrogate", "a\t\xED\xA0\x80\n", "line 1: invalid UTF-8"},
      {"overlong", "\xC0\xAF\tx\n", "line 1: invalid UTF-8"},
      {"duplicate key", "a\tx\nb\ty\na\tz\n", "line 3: duplicate key (first given on line 1)"},
      {"duplicate empty key", "\tx\n\ty", "line 2: duplicate key (first given on line 1)"},
      {"key over 65535 bytes", "a\tx\n" + std::string(65536, 'k') + "\tv\n",
       "line 2: key longer than 65535 bytes"},
      {"value over 65535 bytes", "k\t" + std::string(65536, 'v'),
       "line 1: value longer than 65535 bytes"},
  };
  for (const auto& c : cases) {
    auto parsed = parse_entries(c.text);
    ASSERT_FALSE(parsed.ok()) << c.name;
    EXPECT_EQ(parsed.error(), c.message) << c.name;
  }
}

TEST(DictWriter, ParseAcceptedInputs) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  const Case cases[] = {
      {"empty text", "", {}},
      {"no final line feed", "a\tx", {{"a", "x"}}},
      {"value keeps later tabs", "a\tx\ty\n", {{"a", "x\ty"}}},
      {"empty value", "a\t\n", {{"a", ""}}},
      {"empty key", "\tx\n", {{"", "x"}}},
      {"kept in input order", "b\t1\na\t2\n", {{"b", "1"}, {"a", "2"}}},
      {"fields at the limit", std::string(65535, 'k') + "\t" + std::string(65535, 'v'),
       {{std::string(65535, 'k'), std::string(65535, 'v')}}},
      {"CJK", "\xE4\xB8\x80\tjat1\n", {{"\xE4\xB8\x80", "jat1"}}},
      {"CRLF line ends", "a\tx\r\nb\ty\r\n", {{"a", "x"}, {"b", "y"}}},
      {"CRLF and LF mixed", "a\tx\nb\ty\r\nc\tz", {{"a", "x"}, {"b", "y"}, {"c", "z"}}},
      {"CR before a missing final LF", "a\tx\r", {{"a", "x"}}},
      {"empty value, CRLF", "a\t\r\n", {{"a", ""}}},
      {"only the last CR goes", "a\tx\r\r\n", {{"a", "x\r"}}},
      {"CR inside a value stays", "a\tx\ry\n", {{"a", "x\ry"}}},
  };
  for (const auto& c : cases) {
    auto parsed = parse_entries(c.text);
    ASSERT_TRUE(parsed.ok()) << c.name << ": " << parsed.error();
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& e : parsed.value()) got.emplace_back(e.key, e.value);
    EXPECT_EQ(got, c.entries) << c.name;
  }
}

TEST(DictWriter, EncodeRejections) {
  struct Case {
    const char* name;
    std::vector<DictEntry> entries;
    std::string message;
  };
  const Case cases[] = {
      {"duplicate", {{"b", "1"}, {"a", "2"}, {"b", "3"}}, "duplicate key: b"},
      {"long key", {{std::string(65536, 'k'), "v"}}, "key longer than 65535 bytes"},
      {"long value", {{"k", std::string(65536, 'v')}}, "value longer than 65535 bytes"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    auto bytes = encode_dict(c.entries);
    ASSERT_FALSE(bytes.ok()) << c.name;
    EXPECT_EQ(bytes.error(), c.message) << c.name;
    // Nothing is written on error, and an older file at the path survives.
    const std::string path = dir.file("out.bin");
    auto status = write_dict_file(path, c.entries);
    ASSERT_FALSE(status.ok()) << c.name;
    EXPECT_FALSE(exists(path)) << c.name;
    EXPECT_FALSE(exists(path + ".tmp")) << c.name;
    testing::write_dict(dir, "keep.bin", {{"x", "y"}});
    EXPECT_FALSE(write_dict_file(dir.file("keep.bin"), c.entries).ok());
    auto kept = read_dict_file(dir.file("keep.bin"));
    ASSERT_TRUE(kept.ok()) << kept.error();
    ASSERT_EQ(kept.value().size(), 1u);
    EXPECT_EQ(kept.value()[0].value, "y");
  }
  const auto left = std::distance(std::filesystem::directory_iterator(dir.path()),
                                  std::filesystem::directory_iterator{});
  EXPECT_EQ(left, 1);  // only keep.bin
}

// The writer's bytes for the one-entry example are the documented 35 bytes,
// then the index: one page (U+4E00 is code point 0 of page 0x138), whose
// starts are 0 up to U+4E00 and 1 after it.
TEST(DictWriter, ExampleBytes) {
  auto bytes = encode_dict({{"\xE4\xB8\x80", "jat1"}});
  ASSERT_TRUE(bytes.ok());
  std::string expected(
      "CJYP\x01\x00\x00\x00\x01\x00\x00\x00\x07\x00\x00\x00"
      "\x00\x00\x00\x00\x03\x00\x03\x00\x00\x00\x04\x00"
      "\xE4\xB8\x80jat1",
      35);
  expected += "CJYI" + testing::u32(0x138) + testing::u32(1) + testing::u32(1);
  expected += testing::u32(0) + testing::u32(0);
  for (int j = 1; j <= 64; ++j) expected += testing::u32(1);
  EXPECT_EQ(bytes.value(), expected);
}

// Random entries, written and read back: the checker returns them sorted in
// key order, and DictFile finds every one.
TEST(DictWriter, RoundTrip) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<DictEntry> entries;
    std::vector<std::string> keys;
    const int n = static_cast<int>(rng() % 200);
    for (int i = 0; i < n; ++i) {
      std::string key;
      const std::size_t len = rng() % 5;
      for (std::size_t k = 0; k < len; ++k) key += "ab\xE4\xB8\x80"[rng() % 5];
      if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
      keys.push_back(key);
      // Few distinct values, so that values share pool bytes.
      entries.push_back({key, rng() % 3 ? testing::numbered("v", rng() % 4) : ""});
    }
    TempDir dir;
    testing::write_dict(dir, "r.bin", entries);
    auto back = read_dict_file(dir.file("r.bin"));
    ASSERT_TRUE(back.ok()) << back.error();
    auto sorted = entries;
    std::sort(sorted.begin(), sorted.end(), [](const DictEntry& a, const DictEntry& b) {
      return compare_keys(a.key, b.key) < 0;
    });
    ASSERT_EQ(back.value().size(), sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      EXPECT_EQ(back.value()[i].key, sorted[i].key) << "trial " << trial << " entry " << i;
      EXPECT_EQ(back.value()[i].value, sorted[i].value) << "trial " << trial << " entry " << i;
    }
    auto f = DictFile::open(dir.file("r.bin"));
    ASSERT_TRUE(f.ok()) << f.error();
    for (const auto& e : entries) {
      EXPECT_EQ(f.value().get(e.key).value_or("<miss>"), e.value) << "trial " << trial;
    }
  }
}

using testing::u16;
using testing::u32;
std::string entry(std::uint32_t ko, std::uint16_t kl, std::uint32_t vo, std::uint16_t vl) {
  return u32(ko) + u16(kl) + u32(vo) + u16(vl);
}

TEST(DictWriter, CheckDetectsBrokenFiles) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  };
  // Pool "abx": keys a (0,1), b (1,1); value x (2,1).
  const std::string head = "CJYP" + u32(1) + u32(2) + u32(3);
  const Case cases[] = {
      {"unsorted keys", head + entry(1, 1, 2, 1) + entry(0, 1, 2, 1) + "abx",
       "entry 1: keys not strictly ascending"},
      {"duplicate keys", head + entry(0, 1, 2, 1) + entry(0, 1, 2, 1) + "abx",
       "entry 1: keys not strictly ascending"},
      {"key out of pool", head + entry(0, 1, 2, 1) + entry(2, 2, 2, 1) + "abx",
       "entry 1: key outside the pool"},
      {"value out of pool", head + entry(0, 1, 3, 1) + entry(1, 1, 2, 1) + "abx",
       "entry 0: value outside the pool"},
      {"value offset near 2^32", head + entry(0, 1, 0xFFFFFFFF, 2) + entry(1, 1, 2, 1) + "abx",
       "entry 0: value outside the pool"},
      {"short", "CJYP", "file too short: 4 bytes"},
      {"bad magic", "CJYQ" + u32(1) + u32(0) + u32(0), "bad magic"},
      {"bad version", "CJYP" + u32(3) + u32(0) + u32(0), "unsupported version 3"},
      {"table beyond file", head + "abx", "entry table and pool exceed the file"},
  };
  for (const auto& c : cases) {
    auto decoded = decode_dict(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error(), c.message) << c.name;
  }
  // The well-formed neighbour of these files passes, extra bytes and all.
  auto good = decode_dict(head + entry(0, 1, 2, 1) + entry(1, 1, 2, 0) + "abx" + "tail");
  ASSERT_TRUE(good.ok()) << good.error();
  ASSERT_EQ(good.value().size(), 2u);
  EXPECT_EQ(good.value()[1].key, "b");
  EXPECT_EQ(good.value()[1].value, "");

  TempDir dir;
  EXPECT_FALSE(read_dict_file(dir.file("absent.bin")).ok());
}

// `bytes` with the u32 at `offset` set to `v`.
std::string with_u32(std::string bytes, std::size_t offset, std::uint32_t v) {
  bytes.replace(offset, 4, u32(v));
  return bytes;
}

// A file for the checker and what it must say: empty, the file passes.
struct CheckCase {
  const char* name;
  std::string bytes;
  std::string message;
};

void expect_check(const std::vector<CheckCase>& cases, std::size_t entries) {
  for (const auto& c : cases) {
    auto decoded = decode_dict(c.bytes);
    if (c.message.empty()) {
      ASSERT_TRUE(decoded.ok()) << c.name << ": " << decoded.error();
      EXPECT_EQ(decoded.value().size(), entries) << c.name;
    } else {
      ASSERT_FALSE(decoded.ok()) << c.name;
      EXPECT_EQ(decoded.error(), c.message) << c.name;
    }
  }
}

// The checker holds the index to the one the keys give, naming the first
// field that differs; a file without one still passes.
TEST(DictWriter, CheckDetectsAWrongIndex) {
  // 'a' and 'b' start in page 1 (code points 0x40 to 0x7F), U+4E00 in page
  // 0x138: pages 1 to 0x138, two slots.
  auto written = encode_dict({{"a", "1"}, {"b", "2"}, {"\xE4\xB8\x80", "3"}});
  ASSERT_TRUE(written.ok());
  const std::string bytes = written.value();
  const std::size_t at = bytes.find("CJYI");
  ASSERT_NE(at, std::string::npos);
  const std::size_t pages_at = at + 16, slots_at = pages_at + 4 * 0x138;
  ASSERT_EQ(bytes.size(), slots_at + 2 * 65 * 4);
  const auto with = [&](std::size_t offset, std::uint32_t v) { return with_u32(bytes, offset, v); };
  expect_check(
      {
          {"as written", bytes, ""},
          {"no index", bytes.substr(0, at), ""},
          {"other bytes after the pool", bytes.substr(0, at) + "CJY", ""},
          {"header cut short", bytes.substr(0, at + 15), "index: header cut short"},
          {"slots cut short", bytes.substr(0, bytes.size() - 1),
           "index: 312 pages and 2 slots exceed the file"},
          {"page count past the file", with(at + 8, 0xFFFFFFFF),
           "index: 4294967295 pages and 2 slots exceed the file"},
          {"page count short", with(at + 8, 0x137), "index: page count is 311, the keys give 312"},
          {"slot count short", with(at + 12, 1), "index: slot count is 1, the keys give 2"},
          {"first page off", with(at + 4, 2), "index: first page is 2, the keys give 1"},
          {"page without its slot", with(pages_at, format::kNoSlot),
           "index: slot of page 0x1 is 4294967295, the keys give 0"},
          {"empty page with a slot", with(pages_at + 4, 0),
           "index: slot of page 0x2 is 0, the keys give 4294967295"},
          // 'b' is code point 34 of page 1: one key ('a') sorts before it.
          {"start off", with(slots_at + 4 * 34, 9),
           "index: start 34 of slot 0 is 9, the keys give 1"},
          {"last start off", with(bytes.size() - 4, 0),
           "index: start 64 of slot 1 is 0, the keys give 3"},
      },
      3);
}

// The checker holds a prefix table to the one the keys give as well.
TEST(DictWriter, CheckDetectsAWrongPrefixTable) {
  auto written = encode_dict({{"a", "1"}, {"ab", "2"}, {"\xE4\xB8\x80", "3"}}, PrefixTable::Write);
  auto plain = encode_dict({{"a", "1"}, {"ab", "2"}, {"\xE4\xB8\x80", "3"}});
  ASSERT_TRUE(written.ok() && plain.ok());
  const std::string bytes = written.value();
  const std::size_t at = plain.value().size();
  ASSERT_EQ(bytes.substr(at, 4), "CJYH");
  // Nodes a, ab and U+4E00: three in four slots; two bits of entry.
  ASSERT_EQ(bytes.size(), at + 16 + 4 * 4);
  std::size_t used = 0;
  for (std::size_t i = 0; i < 4; ++i) used += format::load_u32(bytes.data() + at + 16 + 4 * i) != 0;
  ASSERT_EQ(used, 3u);
  const std::size_t empty_slot = [&] {
    for (std::size_t i = 0;; ++i) {
      if (format::load_u32(bytes.data() + at + 16 + 4 * i) == 0) return i;
    }
  }();
  const auto with = [&](std::size_t offset, std::uint32_t v) { return with_u32(bytes, offset, v); };
  expect_check(
      {
          {"as written", bytes, ""},
          {"no table", bytes.substr(0, at), ""},
          {"other bytes after the index", bytes.substr(0, at) + "CJY", ""},
          {"header cut short", bytes.substr(0, at + 15), "prefix table: header cut short"},
          {"slots cut short", bytes.substr(0, bytes.size() - 1),
           "prefix table: 4 slots exceed the file"},
          {"slot bits off", with(at + 4, 3), "prefix table: slot bits is 3, the keys give 2"},
          {"entry bits off", with(at + 8, 3), "prefix table: entry bits is 3, the keys give 2"},
          {"empty slot filled", with(at + 16 + 4 * empty_slot, 1),
           "prefix table: slot " + std::to_string(empty_slot) + " is 1, the keys give 0"},
      },
      3);
}

}  // namespace
}  // namespace quillet
