// The reading precedence, written once: the plain lookup (lookup_reading,
// and convert's per-token road) and the candidate road of the two list
// conversions both walk find_reading, which names the layer that answered;
// the candidate road adds its candidate files and its labels to that.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "dict/key_filter.h"
#include "dict/lookup.h"
#include "dict/segment.h"
#include "dict/user_dict.h"
#include "unicode.h"

namespace quillet {

// The tables a token is read from. The candidate files are null for the
// plain lookup (and when not loaded).
struct ReadingTables {
  const DictFile& word;
  const DictFile& chr;
  const UserDict& user;
  const DictFile* word_candidates = nullptr;
  const DictFile* char_candidates = nullptr;
  // The keys of word_candidates, when known: a token it rules out is not
  // searched for there. Null: every token is.
  const KeyFilter* word_candidates_keys = nullptr;
};

// The layers in the order they are asked.
enum class ReadingLayer : unsigned char {
  Passthrough,     // no CJK ideograph: the token is its own reading
  User,            // the whole token in the user dictionary
  WordCandidates,  // the whole token in word_candidates ('|'-joined list)
  Word,            // the whole token in word
  CharCandidates,  // a one-code-point token in char_candidates
  Char,            // a one-code-point token in chr
  Itself,          // a one-code-point token no table knows: itself
  CharByChar,      // several code points, no whole-token entry: read each
};

struct ReadingFound {
  ReadingLayer layer;
  // The reading (or candidate list): a view into the tables or `token`;
  // empty for CharByChar, whose reading char_by_char_reading builds.
  std::string_view value;
  // The answering entry's index in its file, for side files that share its
  // keys (WordCandidates, Word, CharCandidates, Char).
  std::size_t index = 0;
};

namespace reading_detail {

// The layers in order for `token`; `key()` gives the token's DictKey, asked
// only once a file is searched (a token segmentation found, or one with no
// ideograph, needs none). Always inlined into its callers, the per-token
// loops of both roads: as a call, its frame costs more than most tokens'
// layers.
template <class KeyOf>
[[gnu::always_inline]] inline ReadingFound find_reading(const ReadingTables& t,
                                                        std::string_view token, KeyOf&& key,
                                                        const WordMatch& word) {
  // Segmentation says Hit or Miss only of tokens cut from Chinese runs.
  if (word.kind == WordMatch::Kind::Unknown && !contains_cjk(token)) {
    return {ReadingLayer::Passthrough, token};
  }
  if (const std::string* user = user_lookup(t.user, token)) return {ReadingLayer::User, *user};
  if (t.word_candidates &&
      (t.word_candidates_keys == nullptr || t.word_candidates_keys->might_hold(token))) {
    if (const auto found = t.word_candidates->find(key())) {
      return {ReadingLayer::WordCandidates, found->value, found->index};
    }
  }
  if (word.kind == WordMatch::Kind::Hit) return {ReadingLayer::Word, word.value, word.index};
  if (word.kind == WordMatch::Kind::Unknown) {
    if (const auto found = t.word.find(key())) {
      return {ReadingLayer::Word, found->value, found->index};
    }
  }
  if (!is_single_code_point(token)) return {ReadingLayer::CharByChar, {}};
  if (t.char_candidates) {
    if (const auto found = t.char_candidates->find_char(token)) {
      return {ReadingLayer::CharCandidates, found->value, found->index};
    }
  }
  if (const auto found = t.chr.find_char(token)) {
    return {ReadingLayer::Char, found->value, found->index};
  }
  return {ReadingLayer::Itself, token};
}

}  // namespace reading_detail

// The first layer that knows `key` (the token). `word` is what segmentation
// knows of the token's entry in `tables.word` (a Hit or Miss must be true of
// it; a token it has seen is Chinese). The answer is the same whatever it
// says. Called for every token of every conversion, so defined here to be
// inlined.
inline ReadingFound find_reading(const ReadingTables& t, const DictKey& key,
                                 const WordMatch& word = {}) {
  return reading_detail::find_reading(
      t, key.bytes, [&]() -> const DictKey& { return key; }, word);
}
[[gnu::always_inline]] inline ReadingFound find_reading(const ReadingTables& t,
                                                        std::string_view token,
                                                        const WordMatch& word = {}) {
  // Made afresh for each whole-token search: few tokens need one (a token
  // segmentation did not see, holding an ideograph), and hardly any two.
  return reading_detail::find_reading(
      t, token, [token] { return DictKey(token); }, word);
}

// Each code point's piece (user, word, chr, else the character itself),
// joined by one space wherever the result so far is non-empty.
std::string char_by_char_reading(const ReadingTables& tables, std::string_view token);

// The plain reading of one token: find_reading without candidate files,
// then the character walk. Never fails. Safe from any number of threads.
std::string lookup_reading(std::string_view token, const DictFile& word_dict,
                           const DictFile& char_dict, const UserDict& user_dict);

}  // namespace quillet
