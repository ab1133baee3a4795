// The context-readings pass: a polyphone whose reading depends on the token
// before or after it (到 after a verb, 呢 before a classifier or at the end of
// a clause) takes the reading a rule of context_readings.bin names for that
// neighbourhood. Keys of the file, where T is the changed token's text:
//   "=" T          -> ""          T is named by at least one rule
//   "@" X          -> "c1 c2 ..." the classes of the token X, space-separated
//   T " <" X       -> reading     T right after the token X
//   T " >" X       -> reading     T right before the token X
//   T " <@" c      -> reading     T right after a token of class c
//   T " >@" c      -> reading     T right before a token of class c
// Besides the stored classes every neighbour place has the class "end" when
// the text ends there or the token there is punctuation (neither a Chinese
// character nor an ASCII letter or digit in it), so rules can name the start
// and the end of a clause. The first rule found wins, tried in the order:
// left token, right token, left classes, right classes (each side's stored
// classes in their stored order, "end" after them).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dict/lookup.h"
#include "passes/reading_changes.h"

namespace quillet {

// How many tokens away the rules look: only the immediate neighbours.
inline constexpr std::size_t kContextReadingsReach = 1;

// The reading the rules give each token with Chinese text, as proposals:
// the caller keeps only those that are among the token's known candidate
// readings (see pick_candidate). Looks only at token texts. Empty when
// `rules` is absent. Pure; safe from any number of threads.
ReadingChanges context_readings(std::span<const std::string> tokens,
                                const std::optional<DictFile>& rules);

// True when `reading` is one of `candidates` (one reading, or a '|'-joined
// list when `is_list`).
bool is_candidate(std::string_view candidates, bool is_list, std::string_view reading);

// `candidates` (as above) with `reading` moved to the front, '|'-joined;
// nothing when `reading` is not one of them or is already the first.
std::optional<std::string> pick_candidate(std::string_view candidates, bool is_list,
                                          std::string_view reading);

}  // namespace quillet
