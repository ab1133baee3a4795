// Greedy longest-match segmentation. The dictionary match walks the prefixes
// from short to long and stops as soon as no longer key can start with the
// current prefix; this cuts exactly where trying each prefix from the longest
// down would, at a fraction of the lookups. Each step is one probe of the
// file's prefix table, or without one a binary search for the prefix's lower
// bound inside the range the shorter prefix left (keys sharing a prefix are
// adjacent).
#include "dict/segment.h"

#include <array>

namespace quillet {
namespace {

// The end of the code point that starts at byte `at` of `rest`.
std::size_t char_end(std::string_view rest, std::size_t at) {
  const std::size_t end = at + utf8_length(static_cast<unsigned char>(rest[at]));
  return end < rest.size() ? end : rest.size();
}

// The walk by binary searches: byte length of the longest prefix of `rest`,
// of at most kMaxWordChars code points, that is a key, and the index of its
// entry in `best_entry`. Prefix ends are found as the walk needs them: most
// walks stop after two steps.
std::size_t longest_by_search(const DictFile& dict, std::string_view rest,
                              std::size_t& best_entry) {
  std::size_t best = 0, end = 0;
  DictFile::Range range = dict.all();
  for (std::size_t k = 0; k < kMaxWordChars && end < rest.size(); ++k) {
    end = char_end(rest, end);
    bool exact = false;
    range = dict.seek_prefix(range, rest.substr(0, end), exact);
    if (exact) {
      best = end;
      best_entry = range.lo;  // an exact hit is the first entry of its range
    }
    if (range.empty()) break;
  }
  return best;
}

// The same walk by the prefix table, into `best` and `best_entry`; false
// when a step is one the table cannot answer (a probe ran long, or a code
// point is cut short by the end of the text), which the search then walks.
// It starts at two code points: most tokens are words of two, which one
// probe then settles, and a key that long proves the first code point
// starts keys too. The first alone is asked only when nothing longer is a
// key, and the file may hold keys that short.
bool longest_by_table(const DictFile& dict, const KeyFilter& heads, std::string_view rest,
                      std::size_t& best, std::size_t& best_entry) {
  best = 0;
  const std::size_t first = utf8_length(static_cast<unsigned char>(rest[0]));
  if (first > rest.size()) return false;
  std::size_t end = first;
  for (std::size_t chars = 1; chars < kMaxWordChars && end < rest.size(); ++chars) {
    const std::size_t next = end + utf8_length(static_cast<unsigned char>(rest[end]));
    if (next > rest.size()) return false;
    // No key starts with a head the filter rules out: the probe would find
    // no node, and waits on memory to say so.
    if (chars == 1 && !heads.might_hold(rest.substr(0, next))) break;
    const DictFile::Node node = dict.prefix_node(rest.substr(0, next));
    if (!node.known) return false;
    if (!node.present) break;
    end = next;
    if (node.exact) {
      best = end;
      best_entry = node.entry;
    }
    if (!node.longer) break;
  }
  // A file without keys of one code point (word.bin) spares that probe, a
  // miss, for about two in five tokens of a text.
  if (best != 0 || !dict.may_have_one_code_point_keys()) return true;
  const DictFile::Node node = dict.prefix_node(rest.substr(0, first));
  if (!node.known) return false;
  if (node.exact) {
    best = first;
    best_entry = node.entry;
  }
  return true;
}

std::size_t longest_dict_match(const DictFile& dict, const KeyFilter& heads, std::string_view rest,
                               std::size_t& best_entry) {
  std::size_t best = 0;
  if (dict.has_prefix_table() && longest_by_table(dict, heads, rest, best, best_entry)) {
    return best;
  }
  return longest_by_search(dict, rest, best_entry);
}

// Byte length of the longest prefix of `rest`, of at most `max_chars` code
// points, that is a user key and longer than `longer_than` bytes, else 0. A
// prefix no longer than the dictionary match could not win, so it is not
// looked up.
std::size_t longest_user_match(const UserDict& dict, std::string_view rest,
                               std::size_t max_chars, std::size_t longer_than) {
  std::array<std::size_t, kMaxWordChars> ends{};
  std::size_t n = 0;
  for (std::size_t end = 0; n < max_chars && end < rest.size(); ++n) {
    ends[n] = end = char_end(rest, end);
  }
  for (std::size_t k = n; k-- > 0 && ends[k] > longer_than;) {
    if (dict.find(rest.substr(0, ends[k])) != dict.end()) return ends[k];
  }
  return 0;
}

}  // namespace

void segment_run(std::string_view run, CharClass cls, const DictFile& word_dict,
                 const KeyFilter& word_heads, const UserDict& user_dict,
                 std::size_t user_dict_max_chars, std::vector<std::string_view>& out,
                 std::vector<WordMatch>* matches) {
  if (run.empty() || cls == CharClass::Other) return;
  if (cls == CharClass::Alnum) {
    out.push_back(run);
    if (matches) matches->push_back(WordMatch{});
    return;
  }
  const bool use_dict = word_dict.entry_count() > 0;
  const std::size_t user_chars =
      user_dict.empty() ? 0 : (user_dict_max_chars < kMaxWordChars ? user_dict_max_chars
                                                                   : kMaxWordChars);
  std::string_view rest = run;
  while (!rest.empty()) {
    std::size_t dict_entry = 0;
    const std::size_t dict_len =
        use_dict ? longest_dict_match(word_dict, word_heads, rest, dict_entry) : 0;
    const std::size_t user_len =
        user_chars ? longest_user_match(user_dict, rest, user_chars, dict_len) : 0;
    const std::size_t first_char = char_end(rest, 0);
    std::size_t len = dict_len > user_len ? dict_len : user_len;
    if (len == 0) len = first_char;
    if (matches) {
      // The token is the dictionary match, a user word (not known here), or
      // a character that no key equals (not even one of one character).
      WordMatch match;
      if (dict_len != 0 && len == dict_len) {
        if (auto value = word_dict.value_of(dict_entry)) {
          match = {WordMatch::Kind::Hit, *value, dict_entry};
        }
      } else if (len == first_char && dict_len == 0 && user_len == 0) {
        match.kind = WordMatch::Kind::Miss;
      }
      matches->push_back(match);
    }
    out.push_back(rest.substr(0, len));
    rest.remove_prefix(len);
  }
}

void segment_run(std::string_view run, CharClass cls, const DictFile& word_dict,
                 const KeyFilter& word_heads, const UserDict& user_dict,
                 std::size_t user_dict_max_chars, std::vector<std::string>& out,
                 std::vector<WordMatch>* matches) {
  std::vector<std::string_view> views;
  segment_run(run, cls, word_dict, word_heads, user_dict, user_dict_max_chars, views, matches);
  out.insert(out.end(), views.begin(), views.end());
}

}  // namespace quillet
