// lookup_reading: the plain reading of one token, from the UserDict, word.bin
// and char.bin, falling back character by character.
#pragma once

#include <string>
#include <string_view>

#include "dict/lookup.h"
#include "dict/user_dict.h"

namespace quillet {

// First rule that applies: a token without a CJK ideograph is its own
// reading; the whole token in user_dict, then in word_dict; otherwise each
// code point's piece (user_dict, word_dict, char_dict, else the character
// itself), joined by a space whenever the result so far is non-empty.
// Never fails. Safe from any number of threads.
std::string lookup_reading(std::string_view token, const DictFile& word_dict,
                           const DictFile& char_dict, const UserDict& user_dict);

}  // namespace quillet
