// Segmentation of one character-class run into tokens: greedy forward
// maximum matching against word.bin and the UserDict for CJK runs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dict/key_filter.h"
#include "dict/lookup.h"
#include "dict/user_dict.h"
#include "unicode.h"

namespace quillet {

// The longest word considered, in code points, for dictionary and user words.
inline constexpr std::size_t kMaxWordChars = 10;

// What segmentation learned about one token's word_dict entry, so the reading
// step need not search for it again. `value` views the mapping (it lives as
// long as the DictFile) and is set only for Hit.
struct WordMatch {
  enum class Kind : unsigned char {
    Unknown,  // not looked at (user word, non-CJK token): search as usual
    Miss,     // word_dict has no key equal to the token
    Hit,      // word_dict maps the token to `value`
  };
  Kind kind = Kind::Unknown;
  std::string_view value;
  std::size_t index = 0;  // the entry's index in word_dict, for Hit
};

// Appends the tokens of `run` (all of class `cls`) to `out`, as views into
// `run`:
//  - Cjk: at each position the longest prefix of at most 10 code points that
//    is a word_dict key or a user_dict key (of at most user_dict_max_chars,
//    capped at 10); the longer of the two wins; else one code point;
//  - Alnum: the whole run as one token;
//  - Other, or an empty run: nothing.
// The appended tokens concatenate to exactly `run`. `run` must be valid UTF-8.
// `word_heads` is KeyFilter::of_heads(word_dict), or the filter that holds
// every key; it only spares probes, the tokens are the same.
// When `matches` is given, one WordMatch is appended to it per token appended
// to `out`.
void segment_run(std::string_view run, CharClass cls, const DictFile& word_dict,
                 const KeyFilter& word_heads, const UserDict& user_dict,
                 std::size_t user_dict_max_chars, std::vector<std::string_view>& out,
                 std::vector<WordMatch>* matches = nullptr);

// The same, appending copies, for callers that keep the tokens past `run`.
void segment_run(std::string_view run, CharClass cls, const DictFile& word_dict,
                 const KeyFilter& word_heads, const UserDict& user_dict,
                 std::size_t user_dict_max_chars, std::vector<std::string>& out,
                 std::vector<WordMatch>* matches = nullptr);

}  // namespace quillet
