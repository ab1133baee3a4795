// A A 哋: one scan for a single character repeated before 哋; the second A
// and the suffix change only when their readings can take tone 2.
#include "passes/aa_dei_sandhi.h"

#include "passes/tone_util.h"
#include "unicode.h"

namespace quillet {

ReadingChanges aa_dei_sandhi(std::span<const std::string_view> tokens,
                             std::span<const std::string_view> readings) {
  ReadingChanges changes;
  if (tokens.size() != readings.size() || tokens.size() < 3) return changes;
  for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
    if (!is_dei_suffix(tokens[i + 2]) || !is_same_code_point(tokens[i], tokens[i + 1])) continue;
    if (auto second = to_tone2(readings[i + 1])) changes.set(i + 1, std::move(*second));
    if (auto suffix = to_tone2(readings[i + 2])) changes.set(i + 2, std::move(*suffix));
  }
  return changes;
}

}  // namespace quillet
