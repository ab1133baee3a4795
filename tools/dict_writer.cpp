// Dictionary file compiler and checker.
#include "dict_writer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "dict/format.h"
#include "dict/lookup.h"
#include "unicode.h"

namespace quillet {
namespace {

using format::append_u16;
using format::append_u32;
using format::load_u16;
using format::load_u32;

constexpr std::size_t kMaxField = format::kMaxFieldLength;

// The index of dict/format.h as numbers: its first page, the slot of each
// page from there on, and every slot's starts one after another.
struct IndexTables {
  std::uint32_t first_page = 0;
  std::vector<std::uint32_t> pages;
  std::vector<std::uint32_t> starts;
};

// The index of a table whose keys, in table order, are `keys`.
IndexTables index_of(const std::vector<std::string_view>& keys) {
  std::vector<std::uint32_t> used;  // pages some key starts in, ascending
  for (std::string_view key : keys) {
    const format::FirstCodePoint first = format::first_code_point(key);
    if (first.length == 0) continue;
    const std::uint32_t page = first.code_point >> format::kPageBits;
    if (used.empty() || used.back() != page) used.push_back(page);
  }
  // Keys are sorted and UTF-8 keeps code point order, so pages come sorted
  // too, except that keys which start badly may sit between them.
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  IndexTables t;
  if (used.empty()) return t;
  t.first_page = used.front();
  t.pages.assign(used.back() - used.front() + 1, format::kNoSlot);
  const auto before = [](std::string_view key, const std::string& bound) {
    return compare_keys(key, bound) < 0;
  };
  for (std::size_t s = 0; s < used.size(); ++s) {
    t.pages[used[s] - t.first_page] = static_cast<std::uint32_t>(s);
    for (std::uint32_t j = 0; j < format::kSlotStarts; ++j) {
      std::string bound;
      append_utf8(bound, static_cast<char32_t>((used[s] << format::kPageBits) + j));
      const auto at = std::lower_bound(keys.begin(), keys.end(), bound, before);
      t.starts.push_back(static_cast<std::uint32_t>(at - keys.begin()));
    }
  }
  return t;
}

void append_index(std::string& out, const IndexTables& t) {
  out.append(format::kIndexMagic, sizeof format::kIndexMagic);
  append_u32(out, t.first_page);
  append_u32(out, static_cast<std::uint32_t>(t.pages.size()));
  append_u32(out, static_cast<std::uint32_t>(t.starts.size() / format::kSlotStarts));
  for (std::uint32_t slot : t.pages) append_u32(out, slot);
  for (std::uint32_t start : t.starts) append_u32(out, start);
}

// The prefix table of dict/format.h as numbers.
struct PrefixTables {
  std::uint32_t slot_bits = 0;
  std::uint32_t entry_bits = 0;
  std::vector<std::uint32_t> slots;
};

// Nodes per slot at most: 3/4 keeps most probes within one cache line.
constexpr std::uint64_t kNodesPerFourSlots = 3;

// The prefix table of a table whose keys, in table order, are `keys`; no
// slots when there are no keys or too many nodes for the largest table.
PrefixTables prefix_table_of(const std::vector<std::string_view>& keys) {
  PrefixTables t;
  // Keys sharing a prefix are adjacent, so the first key met with a prefix
  // is the first entry of its block.
  std::vector<std::pair<std::string_view, std::uint32_t>> nodes;
  std::unordered_map<std::string_view, std::uint32_t> seen;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    format::prefix_ends(keys[i], [&](std::size_t end) {
      const std::string_view node = keys[i].substr(0, end);
      if (seen.emplace(node, static_cast<std::uint32_t>(i)).second) {
        nodes.emplace_back(node, static_cast<std::uint32_t>(i));
      }
    });
  }
  if (nodes.empty()) return t;
  std::uint32_t bits = 1;
  while (bits <= format::kMaxPrefixSlotBits &&
         4 * nodes.size() > kNodesPerFourSlots * (std::uint64_t{1} << bits)) {
    ++bits;
  }
  if (bits > format::kMaxPrefixSlotBits) return t;
  t.slot_bits = bits;
  t.entry_bits = static_cast<std::uint32_t>(std::bit_width(keys.size()));
  t.slots.assign(std::size_t{1} << bits, 0);
  const std::size_t slot_mask = t.slots.size() - 1;
  for (const auto& [node, entry] : nodes) {
    const std::uint64_t hash = format::prefix_hash(node);
    std::size_t slot = static_cast<std::size_t>(format::prefix_first_slot(hash, bits));
    while (t.slots[slot] != 0) slot = (slot + 1) & slot_mask;
    t.slots[slot] = format::prefix_slot_value(hash, entry, t.entry_bits);
  }
  return t;
}

void append_prefix_table(std::string& out, const PrefixTables& t) {
  out.append(format::kPrefixMagic, sizeof format::kPrefixMagic);
  append_u32(out, t.slot_bits);
  append_u32(out, t.entry_bits);
  append_u32(out, 0);
  for (std::uint32_t slot : t.slots) append_u32(out, slot);
}

std::string hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

bool starts_with_magic(std::string_view rest, const char (&magic)[4]) {
  return rest.size() >= sizeof magic && rest.substr(0, sizeof magic) == std::string_view(magic, 4);
}

// Checks the index that may follow the pool (`rest`: the bytes after it)
// against the one the keys give, and gives its size. No index at all passes
// (size 0): it is optional.
Result<std::uint64_t> check_index(std::string_view rest,
                                  const std::vector<std::string_view>& keys) {
  if (!starts_with_magic(rest, format::kIndexMagic)) return std::uint64_t{0};
  if (rest.size() < format::kIndexHeaderSize) return Error{"index: header cut short"};
  const std::uint32_t first_page = load_u32(rest.data() + format::kIndexFirstPageAt);
  const std::uint32_t page_count = load_u32(rest.data() + format::kIndexPageCountAt);
  const std::uint32_t slot_count = load_u32(rest.data() + format::kIndexSlotCountAt);
  if (format::index_size(page_count, slot_count) > rest.size()) {
    return Error{"index: " + std::to_string(page_count) + " pages and " +
                 std::to_string(slot_count) + " slots exceed the file"};
  }
  const IndexTables want = index_of(keys);
  const std::uint64_t want_slots = want.starts.size() / format::kSlotStarts;
  const auto differs = [](const std::string& what, std::uint64_t got, std::uint64_t expected) {
    return Error{"index: " + what + " is " + std::to_string(got) + ", the keys give " +
                 std::to_string(expected)};
  };
  if (page_count != want.pages.size()) return differs("page count", page_count, want.pages.size());
  if (slot_count != want_slots) return differs("slot count", slot_count, want_slots);
  if (page_count != 0 && first_page != want.first_page) {
    return differs("first page", first_page, want.first_page);
  }
  const char* pages = rest.data() + format::kIndexHeaderSize;
  for (std::size_t i = 0; i < want.pages.size(); ++i) {
    const std::uint32_t got = load_u32(pages + 4 * i);
    if (got != want.pages[i]) {
      return differs("slot of page " + hex(static_cast<std::uint32_t>(first_page + i)), got,
                     want.pages[i]);
    }
  }
  const char* starts = pages + 4 * want.pages.size();
  for (std::size_t i = 0; i < want.starts.size(); ++i) {
    const std::uint32_t got = load_u32(starts + 4 * i);
    if (got != want.starts[i]) {
      return differs("start " + std::to_string(i % format::kSlotStarts) + " of slot " +
                         std::to_string(i / format::kSlotStarts),
                     got, want.starts[i]);
    }
  }
  return format::index_size(page_count, slot_count);
}

// Checks the prefix table that may follow the index (`rest`: the bytes after
// it) against the one the keys give. No table passes: it is optional.
Status check_prefix_table(std::string_view rest, const std::vector<std::string_view>& keys) {
  if (!starts_with_magic(rest, format::kPrefixMagic)) return std::monostate{};
  if (rest.size() < format::kPrefixHeaderSize) return Error{"prefix table: header cut short"};
  const std::uint32_t slot_bits = load_u32(rest.data() + format::kPrefixSlotBitsAt);
  const std::uint32_t entry_bits = load_u32(rest.data() + format::kPrefixEntryBitsAt);
  const PrefixTables want = prefix_table_of(keys);
  const auto differs = [](const std::string& what, std::uint64_t got, std::uint64_t expected) {
    return Error{"prefix table: " + what + " is " + std::to_string(got) + ", the keys give " +
                 std::to_string(expected)};
  };
  if (slot_bits != want.slot_bits) return differs("slot bits", slot_bits, want.slot_bits);
  if (entry_bits != want.entry_bits) return differs("entry bits", entry_bits, want.entry_bits);
  if (format::prefix_table_size(slot_bits) > rest.size()) {
    return Error{"prefix table: " + std::to_string(want.slots.size()) + " slots exceed the file"};
  }
  const char* slots = rest.data() + format::kPrefixHeaderSize;
  for (std::size_t i = 0; i < want.slots.size(); ++i) {
    const std::uint32_t got = load_u32(slots + 4 * i);
    if (got != want.slots[i]) return differs("slot " + std::to_string(i), got, want.slots[i]);
  }
  return std::monostate{};
}

}  // namespace

Result<std::vector<DictEntry>> parse_entries(std::string_view text) {
  std::vector<DictEntry> entries;
  std::unordered_map<std::string_view, std::size_t> first_line;
  std::size_t line_no = 0;
  while (!text.empty()) {
    ++line_no;
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    // A CRLF line end: the CR is no part of the value (it would reach the
    // readings that convert returns).
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string where = "line " + std::to_string(line_no) + ": ";
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return Error{where + "no tab between key and value"};
    if (!is_valid_utf8(line)) return Error{where + "invalid UTF-8"};
    const std::string_view key = line.substr(0, tab);
    const std::string_view value = line.substr(tab + 1);
    if (key.size() > kMaxField) return Error{where + "key longer than 65535 bytes"};
    if (value.size() > kMaxField) return Error{where + "value longer than 65535 bytes"};
    auto [it, fresh] = first_line.emplace(key, line_no);
    if (!fresh) {
      return Error{where + "duplicate key (first given on line " + std::to_string(it->second) +
                   ")"};
    }
    entries.push_back({std::string(key), std::string(value)});
  }
  return entries;
}

Result<std::string> encode_dict(std::vector<DictEntry> entries, PrefixTable prefixes) {
  std::sort(entries.begin(), entries.end(), [](const DictEntry& a, const DictEntry& b) {
    return compare_keys(a.key, b.key) < 0;
  });
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].key.size() > kMaxField) return Error{"key longer than 65535 bytes"};
    if (entries[i].value.size() > kMaxField) return Error{"value longer than 65535 bytes"};
    if (i > 0 && entries[i].key == entries[i - 1].key) {
      return Error{"duplicate key: " + entries[i].key};
    }
  }
  if (entries.size() > UINT32_MAX) return Error{"too many entries"};

  std::string pool;
  std::string table;
  table.reserve(entries.size() * format::kEntrySize);
  std::unordered_map<std::string_view, std::uint32_t> value_at;
  // Keys first, then values, so that shared values can point into the pool.
  std::vector<std::uint64_t> key_offsets(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    key_offsets[i] = pool.size();
    pool += entries[i].key;
  }
  std::vector<std::uint64_t> value_offsets(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto [it, fresh] = value_at.emplace(entries[i].value, 0);
    if (fresh) {
      if (pool.size() > UINT32_MAX) return Error{"string pool larger than 4 GiB"};
      it->second = static_cast<std::uint32_t>(pool.size());
      pool += entries[i].value;
    }
    value_offsets[i] = it->second;
  }
  if (pool.size() > UINT32_MAX) return Error{"string pool larger than 4 GiB"};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // In field order: key_offset, key_length, value_offset, value_length.
    append_u32(table, static_cast<std::uint32_t>(key_offsets[i]));
    append_u16(table, static_cast<std::uint16_t>(entries[i].key.size()));
    append_u32(table, static_cast<std::uint32_t>(value_offsets[i]));
    append_u16(table, static_cast<std::uint16_t>(entries[i].value.size()));
  }
  std::string out(format::kMagic, sizeof format::kMagic);
  append_u32(out, format::kVersion);
  append_u32(out, static_cast<std::uint32_t>(entries.size()));
  append_u32(out, static_cast<std::uint32_t>(pool.size()));
  out += table;
  out += pool;
  std::vector<std::string_view> keys;
  keys.reserve(entries.size());
  for (const auto& e : entries) keys.push_back(e.key);
  append_index(out, index_of(keys));
  if (prefixes == PrefixTable::Write) {
    const PrefixTables table = prefix_table_of(keys);
    if (!table.slots.empty()) append_prefix_table(out, table);
  }
  return out;
}

Status write_dict_file(const std::string& path, std::vector<DictEntry> entries,
                       PrefixTable prefixes) {
  auto bytes = encode_dict(std::move(entries), prefixes);
  if (!bytes.ok()) return Error{bytes.error()};
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return Error{"cannot write " + tmp};
    out.write(bytes.value().data(), static_cast<std::streamsize>(bytes.value().size()));
    out.close();
    if (!out) {
      std::remove(tmp.c_str());
      return Error{"cannot write " + tmp};
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return Error{"cannot rename " + tmp + " to " + path};
  }
  return std::monostate{};
}

Result<std::vector<DictEntry>> decode_dict(std::string_view b) {
  if (b.size() < format::kHeaderSize) {
    return Error{"file too short: " + std::to_string(b.size()) + " bytes"};
  }
  if (b.substr(0, 4) != std::string_view(format::kMagic, 4)) return Error{"bad magic"};
  const std::uint32_t version = load_u32(b.data() + format::kVersionAt);
  if (version != format::kVersion) return Error{"unsupported version " + std::to_string(version)};
  const std::uint64_t count = load_u32(b.data() + format::kEntryCountAt);
  const std::uint64_t pool_size = load_u32(b.data() + format::kPoolSizeAt);
  const std::uint64_t pool_at = format::entry_at(count);
  if (b.size() < pool_at + pool_size) return Error{"entry table and pool exceed the file"};
  std::vector<DictEntry> entries;
  entries.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    const char* e = b.data() + format::entry_at(i);
    const std::uint64_t ko = load_u32(e + format::kKeyOffsetAt);
    const std::uint64_t kl = load_u16(e + format::kKeyLengthAt);
    const std::uint64_t vo = load_u32(e + format::kValueOffsetAt);
    const std::uint64_t vl = load_u16(e + format::kValueLengthAt);
    if (ko + kl > pool_size) return Error{"entry " + std::to_string(i) + ": key outside the pool"};
    if (vo + vl > pool_size) {
      return Error{"entry " + std::to_string(i) + ": value outside the pool"};
    }
    DictEntry entry{std::string(b.substr(pool_at + ko, kl)), std::string(b.substr(pool_at + vo, vl))};
    if (!entries.empty() && compare_keys(entries.back().key, entry.key) >= 0) {
      return Error{"entry " + std::to_string(i) + ": keys not strictly ascending"};
    }
    entries.push_back(std::move(entry));
  }
  std::vector<std::string_view> keys;
  keys.reserve(entries.size());
  for (const auto& e : entries) keys.push_back(e.key);
  const std::string_view rest = b.substr(pool_at + pool_size);
  auto index = check_index(rest, keys);
  if (!index.ok()) return Error{index.error()};
  if (index.value() != 0) {
    auto prefixes = check_prefix_table(rest.substr(index.value()), keys);
    if (!prefixes.ok()) return Error{prefixes.error()};
  }
  return entries;
}

Result<std::vector<DictEntry>> read_dict_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot read " + path};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return decode_dict(bytes);
}

}  // namespace quillet
