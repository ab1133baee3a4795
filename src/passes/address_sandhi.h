// The address-sandhi pass: a one-character surname before the English title
// sir takes tone 2 when it is read in tone 4 or tone 6 (can4 sir -> can2 sir).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "passes/reading_changes.h"

namespace quillet {

// True when `text` is exactly the three letters s, i, r in any ASCII case.
// Asked of every token, so inline.
inline bool is_sir_title(std::string_view text) {
  // Setting bit 5 lower-cases an ASCII letter and maps no other byte to one.
  return text.size() == 3 && (text[0] | 0x20) == 's' && (text[1] | 0x20) == 'i' &&
         (text[2] | 0x20) == 'r';
}

// For every pair (tokens[i], tokens[i + 1]) where tokens[i] is one code point
// (no check that it is a surname) and tokens[i + 1] is the title sir, enters
// readings[i] changed from tone 4 or 6 to tone 2 (to_tone2_from with "46");
// the title is never entered. Empty when the two spans differ in length or
// hold fewer than two tokens. Pure; safe from any number of threads.
ReadingChanges address_sandhi(std::span<const std::string_view> tokens,
                              std::span<const std::string_view> readings);

}  // namespace quillet
