// Surname + sir: one scan for a single character before the title, matched
// without regard to case; only tones 4 and 6 rise to tone 2.
#include "passes/address_sandhi.h"

#include "passes/tone_util.h"
#include "unicode.h"

namespace quillet {

ReadingChanges address_sandhi(std::span<const std::string_view> tokens,
                              std::span<const std::string_view> readings) {
  ReadingChanges changes;
  if (tokens.size() != readings.size() || tokens.size() < 2) return changes;
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!is_sir_title(tokens[i + 1]) || !is_single_code_point(tokens[i])) continue;
    if (auto changed = to_tone2_from(readings[i], "46")) changes.set(i, std::move(*changed));
  }
  return changes;
}

}  // namespace quillet
