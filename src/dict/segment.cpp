// Greedy longest-match segmentation. The dictionary match walks the prefixes
// from short to long, each step one probe of the file's prefix table or else
// one binary search for the prefix's lower bound inside the range the shorter
// prefix left (keys sharing a prefix are adjacent), and stops as soon as no
// longer key can start with the current prefix; this cuts exactly where
// trying each prefix from the longest down would, at a fraction of the
// lookups.
#include "dict/segment.h"

#include <array>

namespace quillet {
namespace {

// The end of the code point that starts at byte `at` of `rest`.
std::size_t char_end(std::string_view rest, std::size_t at) {
  const std::size_t end = at + utf8_length(static_cast<unsigned char>(rest[at]));
  return end < rest.size() ? end : rest.size();
}

// Byte length of the longest prefix of `rest`, of at most kMaxWordChars code
// points, that is a key, and the index of its entry in `best_entry`. Prefix
// ends are found as the walk needs them: most walks stop after two steps.
// A file with a prefix table answers each step with a hash probe, and tells
// when no longer key is left to find; a step it cannot answer is searched
// inside the range the steps before it left.
std::size_t longest_dict_match(const DictFile& dict, std::string_view rest,
                               std::size_t& best_entry) {
  std::size_t best = 0, end = 0;
  DictFile::Range range = dict.all();
  const bool by_table = dict.has_prefix_table();
  for (std::size_t k = 0; k < kMaxWordChars && end < rest.size(); ++k) {
    const std::size_t whole_end = end + utf8_length(static_cast<unsigned char>(rest[end]));
    end = whole_end < rest.size() ? whole_end : rest.size();
    const std::string_view prefix = rest.substr(0, end);
    // The table holds whole code points only, so a sequence cut short by
    // the end of the text is searched.
    DictFile::Node node;
    if (by_table && whole_end <= rest.size()) node = dict.prefix_node(prefix);
    if (!node.known) {
      range = dict.seek_prefix(range, prefix, node.exact);
      node.present = node.longer = !range.empty();
      node.entry = range.lo;  // an exact hit is the first entry of its range
    } else if (node.present) {
      // The block starts at the node's entry, inside the range of the
      // shorter prefix: a later step's search may start from there.
      range.lo = node.entry;
    }
    if (node.exact) {
      best = end;
      best_entry = node.entry;
    }
    if (!node.present || !node.longer) break;
  }
  return best;
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
                 const UserDict& user_dict, std::size_t user_dict_max_chars,
                 std::vector<std::string_view>& out, std::vector<WordMatch>* matches) {
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
    const std::size_t dict_len = use_dict ? longest_dict_match(word_dict, rest, dict_entry) : 0;
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
                 const UserDict& user_dict, std::size_t user_dict_max_chars,
                 std::vector<std::string>& out, std::vector<WordMatch>* matches) {
  std::vector<std::string_view> views;
  segment_run(run, cls, word_dict, user_dict, user_dict_max_chars, views, matches);
  out.insert(out.end(), views.begin(), views.end());
}

}  // namespace quillet
