// Tests of the prefix table after the index: every answer it gives on a
// writer's file is the one a scan of the keys gives, segmentation cuts the
// same tokens with it as without it, and a damaged table, assembled by hand,
// never makes a lookup name a wrong entry on a sorted table, whatever it
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
#include "dict/segment.h"
#include "dict_writer.h"
#include "test_util.h"
#include "unicode.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::u16;
using testing::u32;

// Code points of one to four bytes, two sharing a lead, and bytes that are
// no UTF-8: a stray continuation byte and a sequence cut short.
const std::vector<std::string>& pieces() {
  static const std::vector<std::string> p = {"a",
                                             "b",
                                             "\xC3\xA9",
                                             "\xE4\xB8\x80",
                                             "\xE4\xB8\x81",
                                             "\xE4\xBA\x8C",
                                             "\xF0\xA0\x80\x80",
                                             "\x80",
                                             "\xE4\xB8"};
  return p;
}

struct Table {
  std::vector<std::string> keys;  // sorted
  std::vector<DictEntry> entries;
};

// Keys of min_len to max_len pieces.
Table random_table(std::mt19937& rng, std::size_t max_keys, std::size_t max_len,
                   std::size_t min_len = 1) {
  Table t;
  for (std::size_t i = 0, n = rng() % (max_keys + 1); i < n; ++i) {
    std::string k;
    for (std::size_t j = 0, len = min_len + rng() % (max_len - min_len + 1); j < len; ++j) {
      k += pieces()[rng() % pieces().size()];
    }
    if (std::find(t.keys.begin(), t.keys.end(), k) != t.keys.end()) continue;
    t.keys.push_back(k);
    t.entries.push_back({k, testing::numbered("v", i)});
  }
  std::sort(t.keys.begin(), t.keys.end(),
            [](const std::string& a, const std::string& b) { return compare_keys(a, b) < 0; });
  return t;
}

std::string text_of(std::mt19937& rng, std::size_t max_pieces) {
  std::string s;
  for (std::size_t i = 0, n = 1 + rng() % max_pieces; i < n; ++i) {
    s += pieces()[rng() % pieces().size()];
  }
  return s;
}

Result<DictFile> open_bytes(const TempDir& dir, std::string_view bytes, std::string_view name) {
  const std::string path = dir.file(name);
  ::unlink(path.c_str());
  testing::write_bytes(path, bytes);
  return DictFile::open(path);
}

// What a scan of the sorted keys says of `prefix`, as a node would.
DictFile::Node scanned(const std::vector<std::string>& keys, std::string_view prefix) {
  DictFile::Node n;
  n.known = true;
  for (std::size_t i = keys.size(); i-- > 0;) {
    if (std::string_view(keys[i]).substr(0, prefix.size()) != prefix) continue;
    n.present = true;
    n.entry = i;
    if (keys[i].size() == prefix.size())
      n.exact = true;
    else
      n.longer = true;
  }
  return n;
}

std::string shown(const DictFile::Node& n) {
  if (!n.known) return "unknown";
  if (!n.present) return "absent";
  return testing::numbered("entry ", n.entry) + (n.exact ? " exact" : "") +
         (n.longer ? " longer" : "");
}

// The prefixes a walk over `text` asks for: each ends after a whole code
// point as utf8_length counts it.
std::vector<std::string_view> whole_prefixes(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::size_t end = 0;;) {
    end += utf8_length(static_cast<unsigned char>(text[end]));
    if (end > text.size()) break;
    out.push_back(text.substr(0, end));
    if (end == text.size()) break;
  }
  return out;
}

TEST(DictPrefixTable, EveryAnswerIsTheScans) {
  std::mt19937 rng(11);
  TempDir dir;
  std::size_t asked = 0, known = 0;
  for (int trial = 0; trial < 150; ++trial) {
    const Table t = random_table(rng, trial % 10 == 0 ? 2000 : 60, 5);
    auto bytes = encode_dict(t.entries, PrefixTable::Write);
    ASSERT_TRUE(bytes.ok());
    auto f = open_bytes(dir, bytes.value(), "t.bin");
    ASSERT_TRUE(f.ok()) << f.error();
    const DictFile& d = f.value();
    ASSERT_EQ(d.has_prefix_table(), !t.keys.empty()) << "trial " << trial;
    std::vector<std::string> texts = t.keys;
    for (int i = 0; i < 40; ++i) texts.push_back(text_of(rng, 7));
    for (const auto& text : texts) {
      for (std::string_view prefix : whole_prefixes(text)) {
        const DictFile::Node got = d.prefix_node(prefix);
        ++asked;
        if (!got.known) continue;  // a probe that ran long: the search answers
        ++known;
        DictFile::Node want = scanned(t.keys, prefix);
        if (!want.present) want = {true, false, false, false, 0};
        ASSERT_EQ(shown(got), shown(want))
            << "trial " << trial << ", prefix of " << prefix.size() << " bytes";
      }
    }
  }
  EXPECT_GT(asked, 20000u);
  EXPECT_GT(known, asked - asked / 100);
}

TEST(DictPrefixTable, OnlyFilesWrittenWithItHaveIt) {
  TempDir dir;
  const std::vector<DictEntry> entries = {{"a", "1"}, {"ab", "2"}};
  auto plain = encode_dict(entries);
  auto with = encode_dict(entries, PrefixTable::Write);
  auto empty = encode_dict({}, PrefixTable::Write);
  ASSERT_TRUE(plain.ok() && with.ok() && empty.ok());
  EXPECT_EQ(with.value().substr(0, plain.value().size()), plain.value())
      << "the table follows the index, leaving the rest as it was";
  auto p = open_bytes(dir, plain.value(), "p.bin");
  auto w = open_bytes(dir, with.value(), "w.bin");
  auto e = open_bytes(dir, empty.value(), "e.bin");
  ASSERT_TRUE(p.ok() && w.ok() && e.ok());
  EXPECT_FALSE(p.value().has_prefix_table());
  EXPECT_FALSE(p.value().prefix_node("a").known);
  EXPECT_TRUE(w.value().has_prefix_table());
  EXPECT_FALSE(e.value().has_prefix_table()) << "no keys, no table";
  // The check of the writer's files passes with the table as without it.
  EXPECT_TRUE(decode_dict(with.value()).ok());
}

// Whether a key is one code point as the walk cuts prefixes: its length is
// that of the sequence its first byte leads.
bool one_code_point(std::string_view key) {
  return !key.empty() && utf8_length(static_cast<unsigned char>(key[0])) == key.size();
}

// Segmentation cuts the same tokens, with the same matches, whether a step
// is answered by the table or by the search; texts may end inside a code
// point, a step the table cannot answer. Every third table has no key of
// one piece, so that the walk skips asking for one code point alone.
TEST(DictPrefixTable, SegmentationCutsAsWithoutIt) {
  std::mt19937 rng(12);
  TempDir dir;
  std::size_t tokens = 0, skipping = 0;
  for (int trial = 0; trial < 90; ++trial) {
    const Table t = random_table(rng, trial % 6 == 0 ? 1500 : 80, 4, trial % 3 == 0 ? 2 : 1);
    auto plain = encode_dict(t.entries);
    auto with = encode_dict(t.entries, PrefixTable::Write);
    ASSERT_TRUE(plain.ok() && with.ok());
    auto p = open_bytes(dir, plain.value(), "p.bin");
    auto w = open_bytes(dir, with.value(), "w.bin");
    ASSERT_TRUE(p.ok() && w.ok());
    const bool any_single = std::any_of(t.keys.begin(), t.keys.end(), one_code_point);
    ASSERT_TRUE(p.value().may_have_one_code_point_keys()) << "no table, nothing skipped";
    if (!t.keys.empty()) {
      ASSERT_EQ(w.value().may_have_one_code_point_keys(), any_single) << "trial " << trial;
    }
    skipping += !w.value().may_have_one_code_point_keys();
    // The table's walk with the heads filter the loader makes, against the
    // search's walk with none.
    const KeyFilter w_heads = KeyFilter::of_heads(w.value());
    for (int i = 0; i < 80; ++i) {
      const std::string text = text_of(rng, 14);
      std::vector<std::string_view> want, got;
      std::vector<WordMatch> want_m, got_m;
      segment_run(text, CharClass::Cjk, p.value(), KeyFilter(), {}, 0, want, &want_m);
      segment_run(text, CharClass::Cjk, w.value(), w_heads, {}, 0, got, &got_m);
      ASSERT_EQ(got, want) << "trial " << trial;
      ASSERT_EQ(got_m.size(), want_m.size());
      for (std::size_t j = 0; j < got_m.size(); ++j) {
        ASSERT_EQ(got_m[j].kind, want_m[j].kind) << "trial " << trial << " token " << j;
        ASSERT_EQ(got_m[j].index, want_m[j].index) << "trial " << trial << " token " << j;
        ASSERT_EQ(got_m[j].value, want_m[j].value) << "trial " << trial << " token " << j;
      }
      tokens += got.size();
    }
  }
  EXPECT_GT(tokens, 10000u);
  EXPECT_GT(skipping, 10u);
}

// Which tables open finds free of keys of one code point, judged by length
// and first byte, so a broken entry or a stray byte counts as one (the walk
// then asks as before) and a code point cut short does not (the walk never
// asks for it with a table).
TEST(DictPrefixTable, OneCodePointKeysAreFoundByLengthAndLead) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    bool may_have;
  };
  const Case cases[] = {
      {"words of two ideographs", {"\xE4\xB8\x80\xE4\xBA\x8C", "\xE4\xBA\x8C\xE4\xB8\x80"}, false},
      {"one ideograph among them", {"\xE4\xB8\x80", "\xE4\xB8\x80\xE4\xBA\x8C"}, true},
      {"one ideograph, last", {"\xE4\xB8\x80\xE4\xBA\x8C", "\xE4\xBA\x8C"}, true},
      {"ASCII letter", {"a", "bc"}, true},
      {"two ASCII letters", {"ab", "bc"}, false},
      {"two-byte code point", {"\xC3\xA9", "ab"}, true},
      {"four-byte code point", {"ab", "\xF0\xA0\x80\x80"}, true},
      {"two four-byte code points", {"\xF0\xA0\x80\x80\xF0\xA0\x80\x80"}, false},
      {"stray continuation byte", {"\x80", "ab"}, true},
      {"code point cut short", {"\xE4\xB8", "ab"}, false},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::vector<DictEntry> entries;
    for (const auto& k : c.keys) entries.push_back({k, "v"});
    auto bytes = encode_dict(entries, PrefixTable::Write);
    ASSERT_TRUE(bytes.ok()) << c.name;
    auto f = open_bytes(dir, bytes.value(), "t.bin");
    ASSERT_TRUE(f.ok()) << c.name;
    ASSERT_TRUE(f.value().has_prefix_table()) << c.name;
    EXPECT_EQ(f.value().may_have_one_code_point_keys(), c.may_have) << c.name;
  }
}

// A file whose index hides its key of one code point (every start in the
// slots damaged) or whose short key runs outside the pool: the key is still
// found by the walk, or the walk asks as before, so segmentation matches
// each key and marks the same misses as on the file without a prefix table.
TEST(DictPrefixTable, DamageNeverHidesAKeyOfOneCodePoint) {
  const std::string one = "\xE4\xB8\x80", two = "\xE4\xBA\x8C";
  const std::vector<DictEntry> entries = {{one, "1"}, {one + two, "12"}, {two + two, "22"}};
  auto plain = encode_dict(entries);
  auto written = encode_dict(entries, PrefixTable::Write);
  ASSERT_TRUE(plain.ok() && written.ok());
  const std::string& sound = written.value();
  const std::size_t pool_end =
      format::entry_at(entries.size()) + format::load_u32(sound.data() + format::kPoolSizeAt);
  ASSERT_EQ(sound.substr(pool_end, 4), "CJYI") << "the index follows the pool";
  const std::uint32_t page_count =
      format::load_u32(sound.data() + pool_end + format::kIndexPageCountAt);
  const std::uint32_t slot_count =
      format::load_u32(sound.data() + pool_end + format::kIndexSlotCountAt);
  const std::size_t slots_at = pool_end + format::kIndexHeaderSize + 4 * std::size_t{page_count};

  std::string hidden = sound;  // every start says: the blocks begin at entry 1
  for (std::size_t i = 0; i < slot_count * format::kSlotStarts; ++i) {
    hidden.replace(slots_at + 4 * i, 4, u32(1));
  }
  std::string broken = sound;  // entry 2's key (six bytes) cut to three, past the pool
  broken.replace(format::entry_at(2) + format::kKeyOffsetAt, 4, u32(0xFFFFFF00));
  broken.replace(format::entry_at(2) + format::kKeyLengthAt, 2, u16(3));

  TempDir dir;
  auto p = open_bytes(dir, plain.value(), "p.bin");
  ASSERT_TRUE(p.ok());
  const std::string texts[] = {one, one + two, two, two + two + one, one + one + two + two};
  struct Case {
    const char* name;
    const std::string& bytes;
  };
  for (const Case& c : {Case{"index hides it", hidden}, Case{"key past the pool", broken}}) {
    auto f = open_bytes(dir, c.bytes, "d.bin");
    ASSERT_TRUE(f.ok()) << c.name;
    ASSERT_TRUE(f.value().has_prefix_table()) << c.name;
    EXPECT_TRUE(f.value().may_have_one_code_point_keys()) << c.name;
    auto reference = c.bytes == broken ? open_bytes(dir, c.bytes.substr(0, pool_end), "r.bin")
                                       : open_bytes(dir, plain.value(), "r.bin");
    ASSERT_TRUE(reference.ok());
    for (const auto& text : texts) {
      std::vector<std::string_view> want, got;
      std::vector<WordMatch> want_m, got_m;
      segment_run(text, CharClass::Cjk, reference.value(), KeyFilter(), {}, 0, want, &want_m);
      segment_run(text, CharClass::Cjk, f.value(), KeyFilter::of_heads(f.value()), {}, 0, got,
                  &got_m);
      ASSERT_EQ(got, want) << c.name;
      ASSERT_EQ(got_m.size(), want_m.size()) << c.name;
      for (std::size_t j = 0; j < got_m.size(); ++j) {
        EXPECT_EQ(got_m[j].kind, want_m[j].kind) << c.name << " token " << j;
        EXPECT_EQ(got_m[j].index, want_m[j].index) << c.name << " token " << j;
      }
    }
  }
}

// A damaged table on a sorted table: whatever its slots say, a prefix it
// calls present is answered exactly (the entry, exact and longer are the
// scan's), a header that does not fit leaves the file without a table, and
// segmentation still returns the whole text in tokens.
TEST(DictPrefixTable, DamagedTableNeverNamesAWrongEntry) {
  std::mt19937 rng(13);
  Table t;
  while (t.keys.size() < 100) t = random_table(rng, 300, 4);
  auto plain = encode_dict(t.entries);
  auto written = encode_dict(t.entries, PrefixTable::Write);
  ASSERT_TRUE(plain.ok() && written.ok());
  const std::string head = plain.value();  // everything before the table
  const std::string sound = written.value().substr(head.size());
  ASSERT_EQ(sound.substr(0, 4), "CJYH");
  const std::uint32_t slot_bits = format::load_u32(sound.data() + format::kPrefixSlotBitsAt);
  const std::uint32_t entry_bits = format::load_u32(sound.data() + format::kPrefixEntryBitsAt);
  const std::size_t slots = std::size_t{1} << slot_bits;
  ASSERT_EQ(sound.size(), format::prefix_table_size(slot_bits));

  const auto header = [&](std::uint32_t bits, std::uint32_t ebits) {
    return std::string("CJYH") + u32(bits) + u32(ebits) + u32(0);
  };
  const auto with_slots = [&](auto value_of_slot) {
    std::string s = header(slot_bits, entry_bits);
    for (std::size_t i = 0; i < slots; ++i) {
      s += u32(value_of_slot(i, format::load_u32(sound.data() + 16 + 4 * i)));
    }
    return s;
  };
  const std::uint32_t entry_mask = (std::uint32_t{1} << entry_bits) - 1;
  struct Case {
    const char* name;
    std::string table;
    bool fits;
  };
  const Case cases[] = {
      {"as written", sound, true},
      {"magic cut short", sound.substr(0, 3), false},
      {"header cut short", sound.substr(0, 15), false},
      {"last slot cut", sound.substr(0, sound.size() - 1), false},
      {"no slot bits", header(0, entry_bits) + sound.substr(16), false},
      {"slot bits past the file", header(slot_bits + 1, entry_bits) + sound.substr(16), false},
      {"slot bits past any table", header(40, entry_bits) + sound.substr(16), false},
      {"no entry bits", header(slot_bits, 0) + sound.substr(16), false},
      {"entry bits past 32", header(slot_bits, 33) + sound.substr(16), false},
      {"fewer slot bits", header(slot_bits - 1, entry_bits) + sound.substr(16), true},
      {"fewer entry bits", header(slot_bits, entry_bits - 1) + sound.substr(16), true},
      {"all entry bits", header(slot_bits, 32) + sound.substr(16), true},
      {"all empty", with_slots([](std::size_t, std::uint32_t) { return 0u; }), true},
      {"all full of one value", with_slots([](std::size_t, std::uint32_t) { return 0xFFFFFFFFu; }),
       true},
      {"entries one later",
       with_slots([&](std::size_t, std::uint32_t v) { return v == 0 ? v : v + 1; }), true},
      {"entries one earlier", with_slots([&](std::size_t, std::uint32_t v) {
         return v == 0 || (v & entry_mask) == 1 ? v : v - 1;
       }),
       true},
      {"entries of the next slot", with_slots([&](std::size_t i, std::uint32_t) {
         return format::load_u32(sound.data() + 16 + 4 * ((i + 1) % slots));
       }),
       true},
      {"tags dropped", with_slots([&](std::size_t, std::uint32_t v) { return v & entry_mask; }),
       true},
      {"random",
       with_slots([&](std::size_t, std::uint32_t) { return static_cast<std::uint32_t>(rng()); }),
       true},
      {"random entries, kept tags", with_slots([&](std::size_t, std::uint32_t v) {
         return v == 0
                    ? v
                    : (v & ~entry_mask) | (1 + static_cast<std::uint32_t>(rng() % t.keys.size()));
       }),
       true},
  };
  TempDir dir;
  std::vector<std::string> texts = t.keys;
  for (int i = 0; i < 300; ++i) texts.push_back(text_of(rng, 6));
  for (const auto& c : cases) {
    auto f = open_bytes(dir, head + c.table, "d.bin");
    ASSERT_TRUE(f.ok()) << c.name << ": " << f.error();
    const DictFile& d = f.value();
    ASSERT_EQ(d.has_prefix_table(), c.fits) << c.name;
    std::size_t present = 0;
    for (const auto& text : texts) {
      for (std::string_view prefix : whole_prefixes(text)) {
        const DictFile::Node got = d.prefix_node(prefix);
        if (!got.known || !got.present) continue;  // absent is trusted: a cut, not a read
        ++present;
        ASSERT_EQ(shown(got), shown(scanned(t.keys, prefix)))
            << c.name << ", prefix of " << prefix.size() << " bytes";
      }
      std::vector<std::string_view> tokens;
      segment_run(text, CharClass::Cjk, d, KeyFilter(), {}, 0, tokens);
      std::string joined;
      for (std::string_view tok : tokens) joined += tok;
      ASSERT_EQ(joined, text) << c.name;
    }
    if (std::string(c.name) == "as written") {
      EXPECT_GT(present, 500u);
    }
  }
}

// The hash is part of the file format: a change to it would make every
// table already written answer "absent". Pinned here on a few inputs, each
// length class of the tail included.
TEST(DictPrefixTable, HashIsStable) {
  struct Case {
    std::string_view bytes;
    std::uint64_t hash;
  };
  const Case cases[] = {
      {"", 0x49127491317ECDE6},
      {"a", 0x47582F55202E08AB},
      {"\xE4\xB8\x80", 0xCAD1D84CF7445E80},
      {"\xE4\xB8\x80\xE4\xBA\x8C", 0x9CE78DFCA301F2EE},
      {"\xE4\xB8\x80\xE4\xBA\x8C\xE4\xB8\x80", 0xA91B8B0C4B48A4F2},
      {"0123456789abcdefg", 0x190E03D97F0B67E8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format::prefix_hash(c.bytes), c.hash) << c.bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace quillet
