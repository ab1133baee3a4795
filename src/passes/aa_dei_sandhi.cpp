// A A 哋: one scan for a single character repeated before 哋; the second A
// and the suffix change only when their readings can take tone 2.
#include "passes/aa_dei_sandhi.h"

#include "passes/tone_util.h"
#include "unicode.h"

namespace quillet {

namespace {
constexpr std::string_view kDei = "\xE5\x93\x8B";  // 哋 U+54CB
}  // namespace

ReadingChanges aa_dei_sandhi(std::span<const std::string_view> tokens,
                             std::span<const std::string_view> readings) {
  ReadingChanges changes;
  if (tokens.size() != readings.size() || tokens.size() < 3) return changes;
  for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
    if (tokens[i + 2] != kDei || tokens[i + 1] != tokens[i] || !is_single_code_point(tokens[i])) {
      continue;
    }
    if (auto second = to_tone2(readings[i + 1])) changes.set(i + 1, std::move(*second));
    if (auto suffix = to_tone2(readings[i + 2])) changes.set(i + 2, std::move(*suffix));
  }
  return changes;
}

}  // namespace quillet
