// Making a KeyFilter: one bit set for each readable key of the file.
#include "dict/key_filter.h"

#include <algorithm>
#include <bit>

namespace quillet {

KeyFilter KeyFilter::of(const DictFile& file) {
  KeyFilter filter;
  const std::size_t n = file.entry_count();
  if (n > kMaxKeys) return filter;
  // 32 bits or more a key (at least one word): about one key in 32 that the
  // file does not hold finds its bit set.
  const std::size_t bits = std::bit_ceil(std::max<std::size_t>(64, 32 * n));
  filter.words_.assign(bits / 64, 0);
  filter.shift_ = 64 - static_cast<unsigned>(std::countr_zero(bits));
  for (std::size_t i = 0; i < n; ++i) {
    const auto key = file.key_of(i);
    if (!key) continue;
    const std::uint64_t bit = key_filter_hash(*key) >> filter.shift_;
    filter.words_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  }
  return filter;
}

}  // namespace quillet
