// Making a KeyFilter: one bit set for each readable key of the file, or for each key's head.
#include "dict/key_filter.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace quillet {

KeyFilter KeyFilter::holding(const DictFile& file, std::size_t bits_per_key, TextOf text_of) {
  KeyFilter filter;
  const std::size_t n = file.entry_count();
  if (n > kMaxKeys) return filter;
  const std::size_t bits = std::bit_ceil(std::max<std::size_t>(64, bits_per_key * n));
  filter.words_.assign(bits / 64, 0);
  filter.shift_ = 64 - static_cast<unsigned>(std::countr_zero(bits));
  for (std::size_t i = 0; i < n; ++i) {
    const auto key = file.key_of(i);
    if (!key) continue;
    const std::optional<std::string_view> text = text_of(*key);
    if (!text) continue;
    const std::uint64_t bit = key_filter_hash(*text) >> filter.shift_;
    filter.words_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  }
  return filter;
}

KeyFilter KeyFilter::of(const DictFile& file) {
  // 32 bits a key: about one key in 32 that the file does not hold finds
  // its bit set.
  return holding(file, 32,
                 [](std::string_view key) -> std::optional<std::string_view> { return key; });
}

KeyFilter KeyFilter::of_heads(const DictFile& file) {
  // Eight bits a key, and fewer heads than keys: 128 KB for word.bin.
  return holding(file, 8, [](std::string_view key) -> std::optional<std::string_view> {
    const std::size_t head = two_code_point_head(key);
    if (head == 0) return std::nullopt;
    return key.substr(0, head);
  });
}

}  // namespace quillet
