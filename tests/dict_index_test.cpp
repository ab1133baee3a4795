// Tests of the index after the pool: the writer's index changes no answer of
// any lookup (the same file without it is the reference), and a damaged index,
// assembled by hand, changes none either on a sorted table, whatever it
// claims. The sanitizer build turns any read outside the mapping into a
// failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dict/format.h"
#include "dict/lookup.h"
#include "dict_writer.h"
#include "test_util.h"
#include "unicode.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::u32;
using testing::utf8;

// Pieces keys are made of: code points of 1 to 4 bytes at the edges of
// pages and of encoding lengths, and byte sequences that are no UTF-8.
std::vector<std::string> key_pieces() {
  std::vector<std::string> pieces;
  for (char32_t c : {U'a', U'b', U'?', U'@', U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\x4E00',
                     U'\x4E01', U'\x4E3F', U'\x4E40', U'\x4E41', U'\xD7FF', U'\xE000', U'\xFFFF',
                     U'\x10000', U'\x2A6DF', U'\x10FFFF'}) {
    pieces.push_back(utf8(c));
  }
  for (const char* bad : {"\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "\xE4\xB8"}) {
    pieces.emplace_back(bad);
  }
  return pieces;
}

// The file's bytes up to the end of its pool: the same table, no index.
std::string without_index(const std::string& bytes) {
  const std::uint64_t count = format::load_u32(bytes.data() + format::kEntryCountAt);
  const std::uint64_t pool = format::load_u32(bytes.data() + format::kPoolSizeAt);
  return bytes.substr(0, format::entry_at(count) + pool);
}

Result<DictFile> open_bytes(const TempDir& dir, std::string_view bytes, std::string_view name) {
  const std::string path = dir.file(name);
  ::unlink(path.c_str());
  testing::write_bytes(path, bytes);
  return DictFile::open(path);
}

// End of the block of keys (sorted) that start with `prefix`.
std::size_t block_end(const std::vector<std::string>& keys, std::string_view prefix) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (std::string_view(keys[i]).substr(0, prefix.size()) == prefix) end = i + 1;
  }
  return end;
}

// What the lookups answer for `key`, as text, so that two files compare in
// one assertion: find and get, seek_prefix from the whole table at every
// byte length, and the walk over whole code points that segmentation makes.
// Range ends may differ between searches; each is checked to cover its
// block instead (`keys`: the table's keys in order).
std::string answers(const DictFile& d, const std::vector<std::string>& keys,
                    std::string_view key) {
  std::string out;
  const auto found = d.find(key);
  out += found ? "find " + std::to_string(found->index) + "=" + std::string(found->value)
               : "find miss";
  const auto got = d.get(key);
  out += got ? "; get " + std::string(*got) : "; get miss";
  // find_char answers as find, whatever the index says, by its own road.
  const auto by_char = d.find_char(key);
  if (by_char.has_value() != found.has_value() ||
      (by_char && (by_char->index != found->index || by_char->value != found->value))) {
    out += "; BAD find_char";
  }
  const auto step = [&](DictFile::Range within, std::string_view prefix) {
    bool exact = false;
    const DictFile::Range r = d.seek_prefix(within, prefix, exact);
    out += "; " + std::to_string(prefix.size()) + ":" + std::to_string(r.lo) +
           (r.empty() ? " empty" : "") + (exact ? " exact" : "");
    if (r.hi > within.hi || (!r.empty() && r.hi < block_end(keys, prefix))) out += " BAD END";
    return r;
  };
  for (std::size_t n = 0; n <= key.size(); ++n) step(d.all(), key.substr(0, n));
  out += "; walk";
  DictFile::Range r = d.all();
  for (std::size_t end = 0; end < key.size() && !r.empty();) {
    end += utf8_length(static_cast<unsigned char>(key[end]));
    r = step(r, key.substr(0, std::min(end, key.size())));
  }
  return out;
}

// Keys and probes drawn from key_pieces(): most keys start with a valid code
// point, some with broken bytes; probes are the keys, their extensions and
// cuts, and fresh strings.
struct Table {
  std::vector<std::string> keys;  // sorted
  std::vector<std::string> probes;
  std::string bytes;              // as the writer wrote them, index included
};

Table random_table(std::mt19937& rng, std::size_t max_keys) {
  const std::vector<std::string> pieces = key_pieces();
  const auto word = [&](std::size_t max_len) {
    std::string w;
    for (std::size_t i = 0, n = rng() % (max_len + 1); i < n; ++i) w += pieces[rng() % pieces.size()];
    return w;
  };
  Table t;
  std::vector<DictEntry> entries;
  for (std::size_t i = 0, n = rng() % (max_keys + 1); i < n; ++i) {
    std::string k = word(4);
    if (std::find(t.keys.begin(), t.keys.end(), k) != t.keys.end()) continue;
    t.keys.push_back(k);
    entries.push_back({k, testing::numbered("v", i)});
  }
  std::sort(t.keys.begin(), t.keys.end(),
            [](const std::string& a, const std::string& b) { return compare_keys(a, b) < 0; });
  auto bytes = encode_dict(entries);
  EXPECT_TRUE(bytes.ok());
  t.bytes = bytes.ok() ? bytes.value() : std::string();
  t.probes = {""};
  for (const auto& p : pieces) t.probes.push_back(p);
  for (const auto& k : t.keys) {
    t.probes.push_back(k);
    t.probes.push_back(k + pieces[rng() % pieces.size()]);
    if (!k.empty()) t.probes.push_back(k.substr(0, k.size() - 1));
  }
  for (int i = 0; i < 20; ++i) t.probes.push_back(word(5));
  return t;
}

// Which keys start in a page: the writer and the reader both ask
// first_code_point, so its errors would agree with themselves; checked here
// against append_utf8 for every code point, and on each ill-formed start.
TEST(DictIndex, FirstCodePointIsStrictUtf8) {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string key = utf8(c) + "\x80z";
    const format::FirstCodePoint got = format::first_code_point(key);
    ASSERT_EQ(got.code_point, c);
    ASSERT_EQ(got.length, key.size() - 2);
  }
  const char* const none[] = {
      "",                  // empty
      "\x80", "\xBF",      // continuation bytes
      "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong
      "\xED\xA0\x80", "\xED\xBF\xBF",                             // surrogates
      "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",              // past U+10FFFF
      "\xC2", "\xE4\xB8", "\xF0\xA0\x80",                           // cut short
      "\xC2z", "\xE4z\x80", "\xE4\xB8z", "\xE4\xB8\xC0", "\xF0\xA0\x80z",  // no continuation
  };
  for (const char* k : none) {
    EXPECT_EQ(format::first_code_point(k).length, 0u) << testing::numbered("case ", k[0] & 0xFF);
  }
}

TEST(DictIndex, WriterIndexChangesNoAnswer) {
  std::mt19937 rng(5);
  TempDir dir;
  std::size_t probes = 0;
  for (int trial = 0; trial < 120; ++trial) {
    // Mostly small tables with many near keys; some large, so that blocks
    // of one code point hold many entries.
    const Table t = random_table(rng, trial % 10 == 0 ? 600 : 60);
    auto with = open_bytes(dir, t.bytes, "with.bin");
    auto plain = open_bytes(dir, without_index(t.bytes), "plain.bin");
    ASSERT_TRUE(with.ok() && plain.ok());
    ASSERT_TRUE(with.value().has_index());
    ASSERT_FALSE(plain.value().has_index());
    for (const auto& p : t.probes) {
      const std::string want = answers(plain.value(), t.keys, p);
      ASSERT_EQ(answers(with.value(), t.keys, p), want) << "trial " << trial;
      ASSERT_EQ(want.find("BAD"), std::string::npos) << want;
      ++probes;
    }
  }
  EXPECT_GT(probes, 5000u);
}

// An index assembled by hand: header, page table and slots as given.
std::string index_bytes(std::uint32_t first_page, std::uint32_t page_count,
                        std::uint32_t slot_count, const std::vector<std::uint32_t>& pages,
                        const std::vector<std::uint32_t>& starts) {
  std::string s(format::kIndexMagic, sizeof format::kIndexMagic);
  s += u32(first_page) + u32(page_count) + u32(slot_count);
  for (std::uint32_t p : pages) s += u32(p);
  for (std::uint32_t v : starts) s += u32(v);
  return s;
}

TEST(DictIndex, DamagedIndexChangesNoAnswer) {
  // Keys in four pages: 0 ('?'), 1 ('@' to DEL), 0x138 (U+4E00..) and 0x139
  // right after it, with blocks of several entries.
  std::vector<DictEntry> entries;
  for (const char* k : {"", "?", "@", "@a", "a", "ab", "abc", "b", "\x7F"}) entries.push_back({k, k});
  for (char32_t c : {U'\x4E00', U'\x4E01', U'\x4E3F', U'\x4E40', U'\x4E41'}) {
    for (const char* tail : {"", "a", "\xE4\xB8\x80"}) entries.push_back({utf8(c) + tail, "x"});
  }
  entries.push_back({"\xFF", "bad"});
  auto written = encode_dict(entries);
  ASSERT_TRUE(written.ok());
  const std::string table = without_index(written.value());
  const auto n = static_cast<std::uint32_t>(entries.size());
  std::vector<std::string> keys;
  for (const auto& e : entries) keys.push_back(e.key);
  std::sort(keys.begin(), keys.end(),
            [](const std::string& a, const std::string& b) { return compare_keys(a, b) < 0; });

  // The sound index, built by counting, to damage below.
  const std::uint32_t first = 0, last = 0x139;
  std::vector<std::uint32_t> pages(last - first + 1, format::kNoSlot);
  std::vector<std::uint32_t> starts;
  std::uint32_t slot = 0;
  for (std::uint32_t page : {0u, 1u, 0x138u, 0x139u}) {
    pages[page - first] = slot++;
    for (std::uint32_t j = 0; j <= 64; ++j) {
      const std::string bound = utf8(page * 64 + j);
      starts.push_back(static_cast<std::uint32_t>(
          std::count_if(keys.begin(), keys.end(),
                        [&](const std::string& k) { return compare_keys(k, bound) < 0; })));
    }
  }
  const auto sound = [&] { return index_bytes(first, last - first + 1, 4, pages, starts); };
  ASSERT_TRUE(table + sound() == written.value()) << "the writer's index is the one counted here";
  const auto with_pages = [&](std::vector<std::uint32_t> p) {
    return index_bytes(first, last - first + 1, 4, p, starts);
  };
  const auto with_starts = [&](std::vector<std::uint32_t> s) {
    return index_bytes(first, last - first + 1, 4, pages, s);
  };
  const auto slot_of = [&](std::uint32_t page) { return pages[page - first]; };
  auto changed = [&](auto edit) {
    std::vector<std::uint32_t> s = starts;
    edit(s);
    return with_starts(s);
  };
  const std::size_t at_4e00 = slot_of(0x138) * 65;  // start of U+4E00 in `starts`
  const std::size_t at_4e01 = at_4e00 + 1, at_4e02 = at_4e00 + 2;

  struct Case {
    const char* name;
    std::string index;
    bool fits;  // whether open takes it as an index
  };
  const Case cases[] = {
      {"no index", "", false},
      {"magic cut short", sound().substr(0, 3), false},
      {"header cut short", sound().substr(0, 15), false},
      {"last start cut", sound().substr(0, sound().size() - 1), false},
      {"page count past the file", index_bytes(first, 0xFFFFFFFF, 4, pages, starts), false},
      {"slot count past the file", index_bytes(first, last - first + 1, 0xFFFFFFFF, pages, starts),
       false},
      {"both counts at their maximum", index_bytes(first, 0xFFFFFFFF, 0xFFFFFFFF, pages, starts),
       false},
      {"wrong magic", "CJYX" + sound().substr(4), false},
      {"no pages", index_bytes(first, 0, 0, {}, {}), true},
      {"first page 1", index_bytes(1, last - first + 1, 4, pages, starts), true},
      {"first page 0x138", index_bytes(0x138, last - first + 1, 4, pages, starts), true},
      {"first page past every code point", index_bytes(0xFFFFFFFF, last - first + 1, 4, pages, starts),
       true},
      {"slot numbers past slot_count",
       with_pages(std::vector<std::uint32_t>(pages.size(), 4)), true},
      {"slot numbers near 2^32", with_pages(std::vector<std::uint32_t>(pages.size(), 0xFFFFFFFE)),
       true},
      {"every page names slot 0", with_pages(std::vector<std::uint32_t>(pages.size(), 0)), true},
      {"pages swapped", [&] {
         auto p = pages;
         std::swap(p[0x138 - first], p[0x139 - first]);
         return with_pages(p);
       }(), true},
      {"all starts 0", with_starts(std::vector<std::uint32_t>(starts.size(), 0)), true},
      {"all starts entry_count", with_starts(std::vector<std::uint32_t>(starts.size(), n)), true},
      {"starts past entry_count", with_starts(std::vector<std::uint32_t>(starts.size(), n + 1)),
       true},
      {"starts near 2^32", with_starts(std::vector<std::uint32_t>(starts.size(), 0xFFFFFFFF)), true},
      {"starts descending", changed([](auto& s) { std::reverse(s.begin(), s.end()); }), true},
      {"starts one late", changed([](auto& s) { for (auto& v : s) v = v + 1; }), true},
      {"starts one early", changed([](auto& s) { for (auto& v : s) v = v ? v - 1 : 0; }), true},
      {"U+4E00 block ends one short", changed([&](auto& s) { s[at_4e00 + 1] -= 1; }), true},
      {"U+4E00 block ends one long", changed([&](auto& s) { s[at_4e00 + 1] += 1; }), true},
      {"U+4E00 block starts inside", changed([&](auto& s) { s[at_4e00] += 1; }), true},
      {"U+4E00 names the U+4E01 block",
       changed([&](auto& s) {
         s[at_4e00] = s[at_4e00 + 1];
         s[at_4e00 + 1] = s[at_4e00 + 2];
       }),
       true},
      {"U+4E00 block empty at its start", changed([&](auto& s) { s[at_4e00 + 1] = s[at_4e00]; }),
       true},
      {"U+4E00 lo after hi", changed([&](auto& s) { std::swap(s[at_4e00], s[at_4e00 + 1]); }),
       true},
      {"slots of pages 0x138 and 0x139 swapped", changed([&](auto& s) {
         std::swap_ranges(s.begin() + at_4e00, s.begin() + at_4e00 + 65, s.begin() + at_4e00 + 65);
       }), true},
      // A key of one code point is settled by the block's first entry and the
      // one before it; each of these would fool a check of either alone.
      {"U+4E01 block starts one late, past its equal key",
       changed([&](auto& s) { s[at_4e01] += 1; }), true},
      {"U+4E01 block starts one early", changed([&](auto& s) { s[at_4e01] -= 1; }), true},
      {"U+4E01 block starts at its key, ends past the table",
       changed([&](auto& s) { s[at_4e02] = n; }), true},
      {"U+4E01 block starts at its key, ends there", changed([&](auto& s) { s[at_4e02] = s[at_4e01]; }),
       true},
      {"U+4E01 block starts at its key, holds only it",
       changed([&](auto& s) { s[at_4e02] = s[at_4e01] + 1; }), true},
      {"U+4E01 names the U+4E3F block", changed([&](auto& s) {
         s[at_4e01] = s[at_4e00 + 0x3F];
         s[at_4e02] = s[at_4e00 + 0x40];
       }), true},
      {"U+4E02 names the U+4E01 block", changed([&](auto& s) {
         s[at_4e02] = s[at_4e01];
         s[at_4e02 + 1] = s[at_4e01 + 1];
       }), true},
      {"U+4E02 empty one early", changed([&](auto& s) { s[at_4e02] -= 1; }), true},
      {"U+4E02 empty one late", changed([&](auto& s) {
         s[at_4e02] += 1;
         s[at_4e02 + 1] += 1;
       }), true},
      {"U+4E02 empty at the end of the table", changed([&](auto& s) {
         s[at_4e02] = n;
         s[at_4e02 + 1] = n;
       }), true},
      {"U+4E02 empty at the start of the table", changed([&](auto& s) {
         s[at_4e02] = 0;
         s[at_4e02 + 1] = 0;
       }), true},
  };
  std::vector<std::string> probes = {"", "\xFF", "\xE4\xB8", "@@", "ac", "\x7F\x7F"};
  for (const auto& k : keys) {
    probes.push_back(k);
    probes.push_back(k + "a");
    probes.push_back(k + "\xE4\xB8\x80");
    if (!k.empty()) probes.push_back(k.substr(0, k.size() - 1));
  }
  for (char32_t c : {U'>', U'A', U'c', U'\x4DFF', U'\x4E02', U'\x4E42', U'\x4E7F', U'\x4E80'}) {
    probes.push_back(utf8(c));
  }
  TempDir dir;
  auto plain = open_bytes(dir, table, "plain.bin");
  ASSERT_TRUE(plain.ok());
  for (const Case& c : cases) {
    auto damaged = open_bytes(dir, table + c.index, "damaged.bin");
    ASSERT_TRUE(damaged.ok()) << c.name << ": " << damaged.error();
    EXPECT_EQ(damaged.value().has_index(), c.fits) << c.name;
    for (const auto& p : probes) {
      const std::string want = answers(plain.value(), keys, p);
      ASSERT_EQ(answers(damaged.value(), keys, p), want) << c.name;
      ASSERT_EQ(want.find("BAD"), std::string::npos) << want;
    }
  }

  // Random damage: any u32 of the sound index replaced by a nearby or a wild value.
  std::mt19937 rng(3);
  const std::string good = sound();
  for (int trial = 0; trial < 300; ++trial) {
    std::string index = good;
    for (int k = 0, edits = 1 + static_cast<int>(rng() % 4); k < edits; ++k) {
      const std::size_t at = 4 + 4 * (rng() % ((index.size() - 4) / 4));
      const std::uint32_t old = format::load_u32(index.data() + at);
      const std::uint32_t v = rng() % 2 ? old + rng() % 5 - 2 : static_cast<std::uint32_t>(rng());
      index.replace(at, 4, u32(v));
    }
    auto damaged = open_bytes(dir, table + index, "damaged.bin");
    ASSERT_TRUE(damaged.ok()) << damaged.error();
    for (const auto& p : probes) {
      ASSERT_EQ(answers(damaged.value(), keys, p), answers(plain.value(), keys, p))
          << "trial " << trial;
    }
  }
}

}  // namespace
}  // namespace quillet
