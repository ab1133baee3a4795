// KeyFilter: a bit set, made when a file is loaded, that tells most keys a
// small dictionary file does not hold without a search of the file. Most
// tokens are looked up in word_candidates.bin and missed, and so are most
// rule keys tried in context_readings.bin; a bit test costs a few
// instructions where the search costs a hundred or more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "dict/lookup.h"

namespace quillet {

// A hash of a key's bytes: its first four and last four bytes (which may
// overlap or, for a shorter key, be bytes 0, n / 2 and n - 1) and its length,
// multiplied so that the high bits, which the filter reads, depend on them all.
inline std::uint64_t key_filter_hash(std::string_view key) {
  const std::size_t n = key.size();
  const char* p = key.data();
  std::uint64_t x = 0;
  if (n >= 4) {
    std::uint32_t first, last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    x = std::uint64_t{first} << 32 | last;
  } else if (n > 0) {
    x = std::uint64_t{static_cast<unsigned char>(p[0])} |
        std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
        std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16;
  }
  return ((x ^ n) + 0x2545F4914F6CDD1Dull) * 0x9E3779B97F4A7C15ull;
}

class KeyFilter {
 public:
  // Holds every key: might_hold is always true, so a search always follows.
  KeyFilter() = default;

  // The filter of every readable key of `file` (an entry whose key runs
  // outside the pool is one no lookup returns). A file of more entries than
  // kMaxKeys gets the filter that holds every key, to bound the memory.
  static KeyFilter of(const DictFile& file);

  static constexpr std::size_t kMaxKeys = std::size_t{1} << 20;

  // False only when `file` (the one the filter was made of) holds no key
  // equal to `key`, so that its lookup of `key` would miss; true keys and
  // a few others (about one in 32 when the table is in use) give true.
  bool might_hold(std::string_view key) const {
    if (words_.empty()) return true;
    const std::uint64_t bit = key_filter_hash(key) >> shift_;
    return (words_[bit >> 6] >> (bit & 63)) & 1;
  }

  // Bits in the table; 0 for the filter that holds every key.
  std::size_t bit_count() const { return words_.size() * 64; }

 private:
  std::vector<std::uint64_t> words_;
  unsigned shift_ = 64;  // 64 - log2(bit_count()): the hash's high bits index the bits
};

}  // namespace quillet
