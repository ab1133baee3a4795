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
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
