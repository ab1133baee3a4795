// Verb + particle + object: the two single characters around an aspect
// particle are looked up together in separable.bin, and a stored value of
// exactly two syllables gives each its reading.
#include "passes/separable_compound.h"

#include "unicode.h"

namespace quillet {

ReadingChanges separable_compounds(std::span<const std::string_view> tokens,
                                   const std::optional<DictFile>& separable) {
  ReadingChanges changes;
  if (!separable || tokens.size() < 3) return changes;
  std::string key;
  for (std::size_t w = 0; w + 2 < tokens.size(); ++w) {
    if (!is_aspect_particle(tokens[w + 1])) continue;
    if (!is_single_code_point(tokens[w]) || !is_single_code_point(tokens[w + 2])) continue;
    key.assign(tokens[w]);
    key.append(tokens[w + 2]);
    const auto value = separable->get(key);
    if (!value) continue;
    // Only a value of exactly two pieces, split at its one space, counts.
    const std::size_t space = value->find(' ');
    if (space == std::string_view::npos) continue;
    if (value->find(' ', space + 1) != std::string_view::npos) continue;
    changes.set(w, std::string(value->substr(0, space)));
    changes.set(w + 2, std::string(value->substr(space + 1)));
  }
  return changes;
}

}  // namespace quillet
