// The dictionary file layout, written down once for the reader (DictFile),
// the writer (tools/dict_writer) and the tests.
//
// A file is a sorted key/value table with a string pool; every integer is
// unsigned little-endian and nothing is padded or aligned:
//   header   16 bytes   magic "CJYP", version, entry_count, pool_size (u32 each)
//   entries  12 bytes   key_offset u32, key_length u16,
//            each       value_offset u32, value_length u16
//   pool     pool_size bytes of key and value text, offsets counted from its
//            first byte; entries may share bytes; bytes after it are ignored.
// Entries are sorted strictly ascending by key bytes compared unsigned, a
// shorter prefix first (compare_keys in dict/lookup.h).
//
// An optional index may follow the pool, at entry_at(entry_count) + pool_size,
// so that a lookup starts from the block of keys that begin with the query's
// first code point instead of searching the whole table:
//   header   16 bytes   magic "CJYI", first_page, page_count, slot_count (u32 each)
//   pages    page_count u32: the slot of page first_page + i, or kNoSlot when no
//            key starts with a code point of that page
//   slots    slot_count slots of kSlotStarts u32
// Page p covers code points p*64 .. p*64+63. In its slot, start[j] (j = 0..64)
// is the number of keys that sort before the UTF-8 bytes of code point
// p*64 + j (start[64] is that of (p+1)*64; surrogates and U+110000 are encoded
// with the same bit pattern), so the keys that start with code point
// c = p*64 + j are entries [start[j], start[j+1]). Only a key that starts with
// a well-formed UTF-8 sequence (first_code_point below) starts in a page, and
// a page has a slot exactly when some key starts in it. Readers that do not
// know the index ignore it with the other bytes after the pool; readers that
// do check every answer it gives against the table before using it.
//
// An optional prefix table may follow the index, at its end, so that each
// step of a segmentation walk (dict/segment.cpp) is a hash probe rather than
// a binary search:
//   header   16 bytes   magic "CJYH", slot_bits, entry_bits, 0 (u32 each)
//   slots    2^slot_bits u32, open addressing, probed forward from slot
//            prefix_hash(p) >> (64 - slot_bits), wrapping at the end
// Its nodes are the prefixes of the keys that end where a code point ends
// (prefix_ends below), each key whole included. A node's slot holds
// (tag << entry_bits) | (entry + 1), where entry is the first entry whose key
// starts with the node, tag the low 32 - entry_bits bits of prefix_hash, and
// entry_bits = bit_width(entry_count); 0 is an empty slot. The writer keeps
// at most three nodes in four slots. A reader checks every entry the table
// names against the key before using it, and searches the table as usual
// when a probe runs long.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "unicode.h"

namespace quillet::format {

inline constexpr char kMagic[4] = {'C', 'J', 'Y', 'P'};
inline constexpr std::uint32_t kVersion = 1;

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kVersionAt = 4;
inline constexpr std::size_t kEntryCountAt = 8;
inline constexpr std::size_t kPoolSizeAt = 12;

inline constexpr std::size_t kEntrySize = 12;
inline constexpr std::size_t kKeyOffsetAt = 0;
inline constexpr std::size_t kKeyLengthAt = 4;
inline constexpr std::size_t kValueOffsetAt = 6;
inline constexpr std::size_t kValueLengthAt = 10;

// Lengths are 16-bit, so no key or value exceeds this.
inline constexpr std::size_t kMaxFieldLength = 65535;

// Where entry i starts, counted from the start of the file.
constexpr std::uint64_t entry_at(std::uint64_t i) { return kHeaderSize + kEntrySize * i; }

inline constexpr char kIndexMagic[4] = {'C', 'J', 'Y', 'I'};
inline constexpr std::size_t kIndexHeaderSize = 16;
inline constexpr std::size_t kIndexFirstPageAt = 4;
inline constexpr std::size_t kIndexPageCountAt = 8;
inline constexpr std::size_t kIndexSlotCountAt = 12;
inline constexpr unsigned kPageBits = 6;  // 64 code points a page
inline constexpr std::uint32_t kPageSize = 1u << kPageBits;
inline constexpr std::size_t kSlotStarts = kPageSize + 1;
inline constexpr std::size_t kSlotSize = 4 * kSlotStarts;
inline constexpr std::uint32_t kNoSlot = 0xFFFFFFFF;

// Bytes of an index with these counts: header, page table and slots.
constexpr std::uint64_t index_size(std::uint64_t page_count, std::uint64_t slot_count) {
  return kIndexHeaderSize + 4 * page_count + kSlotSize * slot_count;
}

// The code point that `key` starts with, and the byte length of its UTF-8
// sequence; length 0 when the key is empty or does not start with a
// well-formed sequence (no overlong form, surrogate or code point past
// U+10FFFF). Such keys start in no page of the index.
struct FirstCodePoint {
  char32_t code_point = 0;
  std::size_t length = 0;
};
// The leads other than ASCII and the common three-byte ones, apart so that
// first_code_point stays small enough to be inlined into every lookup.
constexpr FirstCodePoint first_code_point_other(std::string_view key) {
  const auto b0 = static_cast<unsigned char>(key[0]);
  if (b0 < 0xC2 || b0 > 0xF4) return {};  // a continuation byte, an overlong lead, past U+10FFFF
  const std::size_t length = b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
  if (key.size() < length) return {};
  char32_t c = b0 & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(key[i]);
    if ((b & 0xC0) != 0x80) return {};
    c = c << 6 | (b & 0x3F);
  }
  const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (c < least || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return {};
  return {c, length};
}
constexpr FirstCodePoint first_code_point(std::string_view key) {
  if (key.empty()) return {};
  const auto b0 = static_cast<unsigned char>(key[0]);
  if (b0 < 0x80) return {b0, 1};
  // Leads E1 to EF but ED: three bytes that no overlong or surrogate form
  // shares (most ideographs), so only the continuation bytes need a check.
  if (b0 >= 0xE1 && b0 != 0xED && b0 <= 0xEF && key.size() >= 3) {
    const auto b1 = static_cast<unsigned char>(key[1] ^ 0x80);
    const auto b2 = static_cast<unsigned char>(key[2] ^ 0x80);
    if ((b1 | b2) >= 0x40) return {};
    return {(char32_t{b0} & 0x0F) << 12 | char32_t{b1} << 6 | b2, 3};
  }
  return first_code_point_other(key);
}

inline constexpr char kPrefixMagic[4] = {'C', 'J', 'Y', 'H'};
inline constexpr std::size_t kPrefixHeaderSize = 16;
inline constexpr std::size_t kPrefixSlotBitsAt = 4;
inline constexpr std::size_t kPrefixEntryBitsAt = 8;
inline constexpr std::uint32_t kMaxPrefixSlotBits = 30;

// Bytes of a prefix table of 2^slot_bits slots.
constexpr std::uint64_t prefix_table_size(std::uint32_t slot_bits) {
  return kPrefixHeaderSize + (std::uint64_t{4} << slot_bits);
}

// A slot value of the prefix table: a node's tag (the low 32 - entry_bits
// bits of its hash) above its entry + 1, for a table whose entries take
// entry_bits (1 to 32) bits; and the masks that take the two apart.
constexpr std::uint32_t prefix_entry_mask(std::uint32_t entry_bits) {
  return static_cast<std::uint32_t>((std::uint64_t{1} << entry_bits) - 1);
}
constexpr std::uint32_t prefix_tag_mask(std::uint32_t entry_bits) {
  return entry_bits >= 32 ? 0
                          : static_cast<std::uint32_t>((std::uint64_t{1} << (32 - entry_bits)) - 1);
}
constexpr std::uint32_t prefix_slot_value(std::uint64_t hash, std::uint64_t entry,
                                          std::uint32_t entry_bits) {
  return static_cast<std::uint32_t>((hash & prefix_tag_mask(entry_bits)) << entry_bits |
                                    (entry + 1));
}
// The slot a probe for a node of this hash starts at: the hash's high bits.
constexpr std::uint64_t prefix_first_slot(std::uint64_t hash, std::uint32_t slot_bits) {
  return hash >> (64 - slot_bits);
}

// The ends of the nodes a key gives: after each code point, a lead byte
// counting the bytes of its sequence (utf8_length in unicode.h, which the
// segmentation walk steps by) and the last one cut at the key's end. Calls
// `take(end)` for each end, shortest first.
template <class Take>
void prefix_ends(std::string_view key, Take take) {
  for (std::size_t end = 0; end < key.size();) {
    end += utf8_length(static_cast<unsigned char>(key[end]));
    if (end > key.size()) end = key.size();
    take(end);
  }
}

// The bytes at p as one big-endian number, so that numbers order as the
// bytes do.
inline std::uint64_t load_be8(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}
inline std::uint32_t load_be4(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

// Whether the n bytes at a and at b are the same. Keys are a few bytes
// long, so words that may overlap are compared inline, where a call to
// memcmp would cost more than the comparison.
inline bool equal_bytes(const char* a, const char* b, std::size_t n) {
  const auto word8 = [](const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  const auto word4 = [](const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  if (n >= 8) {
    for (; n > 8; a += 8, b += 8, n -= 8) {
      if (word8(a) != word8(b)) return false;
    }
    return word8(a + n - 8) == word8(b + n - 8);  // the last eight, some seen already
  }
  if (n >= 4) return word4(a) == word4(b) && word4(a + n - 4) == word4(b + n - 4);
  // 0 to 3 bytes: the first, the middle and the last are all of them.
  return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
}

// The first n bytes at p, n <= 8, as one big-endian number with zeros past
// them, reading no byte past p + n - 1.
inline std::uint64_t head_word(const char* p, std::size_t n) {
  if (n >= 8) return load_be8(p);
  if (n >= 4) {  // two words that overlap
    return std::uint64_t{load_be4(p)} << 32 | std::uint64_t{load_be4(p + n - 4)} << (8 * (8 - n));
  }
  if (n == 0) return 0;
  // Bytes 0, n / 2 and n - 1 in their places (some of them twice).
  const auto byte = [p](std::size_t i) {
    return std::uint64_t{static_cast<unsigned char>(p[i])} << (56 - 8 * i);
  };
  return byte(0) | byte(n / 2) | byte(n - 1);
}

// The hash of a prefix table's node: its bytes eight at a time as head_word
// reads them (`head` is the first of those words, which a reader has made
// already to compare keys), and its length.
inline std::uint64_t prefix_hash(std::uint64_t head, std::string_view bytes) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = (kMul ^ bytes.size() ^ head) * kMul;
  for (std::size_t at = 8; at < bytes.size(); at += 8) {
    h ^= h >> 32;
    const std::size_t n = bytes.size() - at;
    h = (h ^ head_word(bytes.data() + at, n < 8 ? n : 8)) * kMul;
  }
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}
inline std::uint64_t prefix_hash(std::string_view bytes) {
  return prefix_hash(head_word(bytes.data(), bytes.size() < 8 ? bytes.size() : 8), bytes);
}

// Fields sit at unaligned positions, so they are read byte by byte (the
// compilers turn this into one load).
inline std::uint32_t load_u32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
inline std::uint16_t load_u16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t load_u32(const char* p) {
  return load_u32(reinterpret_cast<const unsigned char*>(p));
}
inline std::uint16_t load_u16(const char* p) {
  return load_u16(reinterpret_cast<const unsigned char*>(p));
}

inline void append_u32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void append_u16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

}  // namespace quillet::format
