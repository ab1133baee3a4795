// KeyFilter: a bit set, made when a file is loaded, that tells most keys a
// small dictionary file does not hold without a search of the file. Most
// tokens are looked up in word_candidates.bin and missed, and so are most
// rule keys tried in context_readings.bin; a bit test costs a few
// instructions where the search costs a hundred or more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "dict/lookup.h"
#include "unicode.h"

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

// The first two code points of `text` as segmentation steps them (a lead
// byte counts the bytes of its sequence): their byte length, or 0 when
// `text` ends before the second one does. A key starts with a text's head
// exactly when the key's own head equals it.
inline std::size_t two_code_point_head(std::string_view text) {
  if (text.empty()) return 0;
  const std::size_t first = utf8_length(static_cast<unsigned char>(text[0]));
  if (first >= text.size()) return 0;
  const std::size_t second = first + utf8_length(static_cast<unsigned char>(text[first]));
  return second <= text.size() ? second : 0;
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

  // The filter of the two-code-point heads of `file`'s readable keys (each
  // key's two_code_point_head, for keys that have one). Segmentation asks it
  // before its first probe of word.bin: about half the positions of a text
  // start no word, and the bit, in a set small enough to stay in cache,
  // answers them where the probe waits on memory for a slot of a table of a
  // megabyte or more. Eight bits a key; the same bound as of().
  static KeyFilter of_heads(const DictFile& file);

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
  using TextOf = std::optional<std::string_view> (*)(std::string_view key);
  // The filter of `bits_per_key` bits a key (at least one word) holding
  // text_of(key) for every readable key it gives one for.
  static KeyFilter holding(const DictFile& file, std::size_t bits_per_key, TextOf text_of);

  std::vector<std::uint64_t> words_;
  unsigned shift_ = 64;  // 64 - log2(bit_count()): the hash's high bits index the bits
};

}  // namespace quillet
