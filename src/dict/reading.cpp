// The reading precedence: whole token before characters; within each level
// the user dictionary, then the candidate list, then the word table; for one
// character the word table before the character files; the raw character
// last.
#include "dict/reading.h"

#include "unicode.h"

namespace quillet {

std::string char_by_char_reading(const ReadingTables& t, std::string_view token) {
  std::string result;
  result.reserve(token.size() * 2);
  for (std::size_t pos = 0; pos < token.size();) {
    const std::size_t start = pos;
    pos += utf8_length(static_cast<unsigned char>(token[pos]));
    if (pos > token.size()) pos = token.size();
    const std::string_view ch = token.substr(start, pos - start);
    std::string_view piece = ch;
    if (const std::string* user = user_lookup(t.user, ch)) {
      piece = *user;
    } else if (auto word = t.word.get(ch)) {
      piece = *word;
    } else if (auto chr = t.chr.get(ch)) {
      piece = *chr;
    }
    if (!result.empty()) result += ' ';
    result += piece;
  }
  return result;
}

std::string lookup_reading(std::string_view token, const DictFile& word_dict,
                           const DictFile& char_dict, const UserDict& user_dict) {
  const ReadingTables tables{word_dict, char_dict, user_dict};
  const ReadingFound found = find_reading(tables, token);
  if (found.layer == ReadingLayer::CharByChar) return char_by_char_reading(tables, token);
  return std::string(found.value);
}

}  // namespace quillet
