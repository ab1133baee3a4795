// The separable-compound pass: a one-character verb, one of the aspect
// particles 緊 咗 過 開, and a one-character object, delivered as three tokens,
// take the verb's and the object's readings from the reading stored for the
// unsplit compound in separable.bin.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "dict/lookup.h"
#include "passes/reading_changes.h"

namespace quillet {

// Scans every window of three tokens left to right (windows overlap). For a
// window (verb, particle, object) whose compound verb+object is stored in
// `separable` with exactly one space in its value, enters the piece before
// the space for the verb and the piece after it for the object (either may be
// empty); the particle is never entered. A later window's write replaces an
// earlier one. Looks only at token texts, so it runs before any lookup.
// Empty when `separable` is absent or there are fewer than three tokens.
// Pure; safe from any number of threads.
ReadingChanges separable_compounds(std::span<const std::string_view> tokens,
                                   const std::optional<DictFile>& separable);

// True when `text` is exactly one of the four particles. Asked of every
// token, so inline.
inline bool is_aspect_particle(std::string_view text) {
  return text.size() == 3 && (text == "\xE7\xB7\x8A"      // 緊 U+7DCA
                              || text == "\xE5\x92\x97"   // 咗 U+5497
                              || text == "\xE9\x81\x8E"   // 過 U+904E
                              || text == "\xE9\x96\x8B");  // 開 U+958B
}

}  // namespace quillet
