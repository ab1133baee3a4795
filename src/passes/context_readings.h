// The context-readings pass: a polyphone whose reading depends on the token
// before or after it (到 after a verb, 呢 before a classifier or at the end of
// a clause) takes the reading a rule of context_readings.bin names for that
// neighbourhood. Keys of the file, where T is the changed token's text:
//   "="            -> "T1 T2 ... " every target, each followed by a space
//                                 (optional, a speed-up: a token not in the
//                                 list is not looked up; ignored when longer
//                                 than kMaxTargetList bytes)
//   "=" T          -> "lrLR"      T is named by at least one rule; the letters
//                                 say which kinds of rule it has (l: on the
//                                 token before, r: on the token after, L and
//                                 R: on their classes); empty: any kind
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

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dict/key_filter.h"
#include "dict/lookup.h"
#include "passes/reading_changes.h"

namespace quillet {

// How many tokens away the rules look: only the immediate neighbours.
inline constexpr std::size_t kContextReadingsReach = 1;

// The longest "=" list that is scanned for every token; a longer one would
// cost more than looking each token up, so it is ignored.
inline constexpr std::size_t kMaxTargetList = 1024;

// The "=" list of a rules file, read once when the file is loaded: the
// targets that have a "=" T entry, with its value (the kinds of rule T has),
// as views into the mapping (valid while the DictFile lives), grouped by a
// one-byte signature of their text, so a token is compared only with the
// targets of its own signature (mostly none). `listed` is false when the
// file has no usable list; then every token with Chinese text is looked up.
// `ends_target[b]` is true when some target ends in byte b.
struct ContextTarget {
  std::string_view text;
  std::string_view kinds;
};
struct ContextTargets {
  bool listed = false;
  std::vector<ContextTarget> targets;  // ordered by signature
  // targets[by_signature[s], by_signature[s + 1]) have signature s.
  std::array<std::uint16_t, 257> by_signature = {};
  std::array<bool, 256> ends_target = {};
};
ContextTargets list_context_targets(const std::optional<DictFile>& rules);

// The reading the rules give each token with Chinese text, as proposals:
// the caller keeps only those that are among the token's known candidate
// readings (see pick_candidate). Looks only at token texts. Empty when
// `rules` is absent. `targets` is list_context_targets(rules) and `keys` a
// KeyFilter of `rules` (or the one that holds every key), which only spares
// searches; the second form computes both. Pure; safe from any number of
// threads.
ReadingChanges context_readings(std::span<const std::string_view> tokens,
                                const std::optional<DictFile>& rules, const ContextTargets& targets,
                                const KeyFilter& keys);
ReadingChanges context_readings(std::span<const std::string_view> tokens,
                                const std::optional<DictFile>& rules);

// True when `reading` is one of `candidates` (one reading, or a '|'-joined
// list when `is_list`).
bool is_candidate(std::string_view candidates, bool is_list, std::string_view reading);

// `candidates` (as above) with `reading` moved to the front, '|'-joined;
// nothing when `reading` is not one of them or is already the first.
std::optional<std::string> pick_candidate(std::string_view candidates, bool is_list,
                                          std::string_view reading);

}  // namespace quillet
