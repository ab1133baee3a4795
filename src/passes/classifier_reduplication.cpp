// C C: one scan for a single character repeated, kept only when
// classifier_words.bin lists it; the second C takes tone 2.
#include "passes/classifier_reduplication.h"

#include "passes/tone_util.h"
#include "unicode.h"

namespace quillet {

ReadingChanges classifier_reduplication(std::span<const std::string_view> tokens,
                                        std::span<const std::string_view> readings,
                                        const std::optional<DictFile>& classifier_words) {
  ReadingChanges changes;
  if (!classifier_words || tokens.size() != readings.size() || tokens.size() < 2) return changes;
  for (std::size_t pos = 0; pos + 1 < tokens.size(); ++pos) {
    if (!is_same_code_point(tokens[pos], tokens[pos + 1])) continue;
    if (!classifier_words->get(tokens[pos])) continue;
    if (auto changed = to_tone2(readings[pos + 1])) changes.set(pos + 1, std::move(*changed));
  }
  return changes;
}

}  // namespace quillet
