// The reading precedence: whole token before characters; within each level
// the user dictionary, then the candidate list, then the word table; for one
// character the word table before the character files; the raw character
// last.
#include "dict/reading.h"

#include "unicode.h"

namespace quillet {

ReadingFound find_reading(const ReadingTables& t, std::string_view token, WordMatch word) {
  // Segmentation says Hit or Miss only of tokens cut from Chinese runs.
  if (word.kind == WordMatch::Kind::Unknown && !contains_cjk(token)) {
    return {ReadingLayer::Passthrough, token};
  }
  if (const std::string* user = user_lookup(t.user, token)) return {ReadingLayer::User, *user};
  if (t.word_candidates) {
    if (const auto found = t.word_candidates->find(token)) {
      return {ReadingLayer::WordCandidates, found->value, found->index};
    }
  }
  if (word.kind == WordMatch::Kind::Hit) return {ReadingLayer::Word, word.value, word.index};
  if (word.kind == WordMatch::Kind::Unknown) {
    if (const auto found = t.word.find(token)) {
      return {ReadingLayer::Word, found->value, found->index};
    }
  }
  if (!is_single_code_point(token)) return {ReadingLayer::CharByChar, {}};
  if (t.char_candidates) {
    if (const auto found = t.char_candidates->find(token)) {
      return {ReadingLayer::CharCandidates, found->value, found->index};
    }
  }
  if (const auto found = t.chr.find(token)) return {ReadingLayer::Char, found->value, found->index};
  return {ReadingLayer::Itself, token};
}

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
