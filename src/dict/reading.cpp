// The plain reading lookup.
#include "dict/reading.h"

#include "unicode.h"

namespace quillet {

std::string lookup_reading(std::string_view token, const DictFile& word_dict,
                           const DictFile& char_dict, const UserDict& user_dict) {
  if (!contains_cjk(token)) return std::string(token);
  if (const std::string* user = user_lookup(user_dict, token)) return *user;
  if (auto word = word_dict.get(token)) return std::string(*word);
  // A one-character token has just missed the user and word lookups the
  // loop below would repeat; only the character table is left to ask.
  if (is_single_code_point(token)) {
    const auto chr = char_dict.get(token);
    return std::string(chr ? *chr : token);
  }

  std::string result;
  result.reserve(token.size() * 2);
  for (std::size_t pos = 0; pos < token.size();) {
    const std::size_t start = pos;
    pos += utf8_length(static_cast<unsigned char>(token[pos]));
    if (pos > token.size()) pos = token.size();
    const std::string_view ch = token.substr(start, pos - start);
    std::string_view piece = ch;
    if (const std::string* user = user_lookup(user_dict, ch)) {
      piece = *user;
    } else if (auto word = word_dict.get(ch)) {
      piece = *word;
    } else if (auto chr = char_dict.get(ch)) {
      piece = *chr;
    }
    if (!result.empty()) result += ' ';
    result += piece;
  }
  return result;
}

}  // namespace quillet
