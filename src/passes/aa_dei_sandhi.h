// The AA-dei pass: a one-character word said twice and followed by the suffix
// 哋 (A A 哋) reads the second A and the suffix in tone 2.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "passes/reading_changes.h"

namespace quillet {

// True when `text` is the suffix 哋 (U+54CB, E5 93 8B). Asked of every
// token, so inline; tested from the last byte, which turns most ideographs
// away.
inline bool is_dei_suffix(std::string_view text) {
  return text.size() == 3 && text[2] == '\x8B' && text[1] == '\x93' && text[0] == '\xE5';
}

// For every window of three tokens (A, A, 哋), A one code point and the two
// A byte for byte equal, enters to_tone2 of the second A's reading and of the
// suffix's reading, each only when to_tone2 gives one; the first A is never
// entered. Windows overlap and all see the readings as given. Empty when the
// two spans differ in length or hold fewer than three tokens. Pure; safe
// from any number of threads.
ReadingChanges aa_dei_sandhi(std::span<const std::string_view> tokens,
                             std::span<const std::string_view> readings);

}  // namespace quillet
