// Tests of segment_run: greedy longest match against word.bin and the
// UserDict, and a randomized comparison of the prefix-narrowing search with
// a plain reference that tries every prefix from the longest down.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "dict/segment.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

// Capital letters stand for distinct CJK characters of 3 and 4 bytes;
// lower-case letters and digits stay as they are.
std::string cjk(std::string_view letters) {
  static const char* const kChars[] = {
      "\xE4\xB8\x80", "\xE4\xBA\x8C", "\xE4\xB8\x89", "\xE5\x9B\x9B", "\xE4\xBA\x94",
      "\xE5\x85\xAD", "\xE4\xB8\x83", "\xE5\x85\xAB", "\xE4\xB9\x9D", "\xE5\x8D\x81",
      "\xE3\x90\x80", "\xEF\xA4\x80", "\xF0\xA0\x80\x80", "\xF0\xAA\x9B\x9F",
  };
  std::string out;
  for (char c : letters) {
    if (c >= 'A' && c < 'A' + static_cast<int>(std::size(kChars))) {
      out += kChars[c - 'A'];
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> cjk_all(const std::vector<std::string>& words) {
  std::vector<std::string> out;
  for (const auto& w : words) out.push_back(cjk(w));
  return out;
}

std::string show(const std::vector<std::string>& tokens) {
  std::string s = "[";
  for (const auto& t : tokens) s += (s.size() > 1 ? "|" : "") + t;
  return s + "]";
}

DictFile open_dict(const TempDir& dir, const std::vector<std::string>& words) {
  std::vector<DictEntry> entries;
  // Distinct values, so a reading taken from the wrong entry shows.
  for (const auto& w : words) entries.push_back({w, testing::numbered("r", entries.size())});
  // An empty list still writes a valid file with no entries.
  auto bytes = encode_dict(entries);
  testing::write_bytes(dir.file("word.bin"), bytes.ok() ? bytes.value() : "");
  auto f = DictFile::open(dir.file("word.bin"));
  if (!f.ok()) ADD_FAILURE() << f.error();
  return std::move(f).value();
}

TEST(Segment, GreedyLongestMatchCases) {
  struct Case {
    const char* name;
    std::vector<std::string> dict;
    std::vector<std::string> user;
    std::string run;
    CharClass cls;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"longest dictionary word", {"AB", "ABCD"}, {}, "ABCDE", CharClass::Cjk, {"ABCD", "E"}},
      {"no backtracking", {"ABC", "CD"}, {}, "ABCD", CharClass::Cjk, {"ABC", "D"}},
      {"empty dictionaries", {}, {}, "ABC", CharClass::Cjk, {"A", "B", "C"}},
      {"longer user word wins", {"AB"}, {"ABC"}, "ABCD", CharClass::Cjk, {"ABC", "D"}},
      {"longer dictionary word wins", {"ABC"}, {"AB"}, "ABCD", CharClass::Cjk, {"ABC", "D"}},
      {"same word in both", {"AB"}, {"AB"}, "AB", CharClass::Cjk, {"AB"}},
      {"user word with no dictionary word", {"CD"}, {"AB"}, "ABCD", CharClass::Cjk, {"AB", "CD"}},
      {"11-char dictionary word is cut", {"ABCDEFGHIJK", "ABCDEFGHIJ"}, {}, "ABCDEFGHIJK",
       CharClass::Cjk, {"ABCDEFGHIJ", "K"}},
      {"11-char dictionary word alone", {"ABCDEFGHIJK"}, {}, "ABCDEFGHIJK", CharClass::Cjk,
       {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K"}},
      {"10-char word is whole", {"ABCDEFGHIJ"}, {}, "ABCDEFGHIJK", CharClass::Cjk,
       {"ABCDEFGHIJ", "K"}},
      {"11-char user word never matches", {}, {"ABCDEFGHIJK"}, "ABCDEFGHIJK", CharClass::Cjk,
       {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K"}},
      {"user max above 10 acts as 10", {}, {"ABCDEFGHIJK", "ABCDEFGHIJ"}, "ABCDEFGHIJK",
       CharClass::Cjk, {"ABCDEFGHIJ", "K"}},
      {"one character", {"AB"}, {}, "A", CharClass::Cjk, {"A"}},
      {"one-character entry", {"B"}, {}, "AB", CharClass::Cjk, {"A", "B"}},
      {"4-byte characters", {"MN", "LM"}, {}, "LMNM", CharClass::Cjk, {"LM", "N", "M"}},
      {"dictionary word past the run end", {"ABC"}, {}, "AB", CharClass::Cjk, {"A", "B"}},
      {"user word after a dictionary word", {"AB"}, {"CDE"}, "ABCDEF", CharClass::Cjk,
       {"AB", "CDE", "F"}},
      {"alnum run is one token", {"ab"}, {"a"}, "abc123", CharClass::Alnum, {"abc123"}},
      {"empty cjk run", {"A"}, {"A"}, "", CharClass::Cjk, {}},
      {"empty alnum run", {}, {}, "", CharClass::Alnum, {}},
      {"other class appends nothing", {}, {}, "", CharClass::Other, {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const DictFile dict = open_dict(dir, cjk_all(c.dict));
    UserDict user;
    for (const auto& w : c.user) user.emplace(cjk(w), "u");
    std::vector<std::string> tokens = {"before"};
    segment_run(cjk(c.run), c.cls, dict, KeyFilter::of_heads(dict), user, max_key_chars(user),
                tokens);
    std::vector<std::string> expected = {"before"};
    for (const auto& t : cjk_all(c.expected)) expected.push_back(t);
    EXPECT_EQ(tokens, expected) << c.name << ": got " << show(tokens);
  }
}

// user_dict_max_chars limits the user stage (the loader computes it; here it
// is given directly to show it is honoured).
TEST(Segment, UserMaxCharsBoundsTheUserStage) {
  TempDir dir;
  const DictFile dict = open_dict(dir, {});
  UserDict user = {{cjk("ABC"), "u"}, {cjk("AB"), "u"}};
  struct Row {
    std::size_t max_chars;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {0, {"A", "B", "C"}}, {1, {"A", "B", "C"}}, {2, {"AB", "C"}}, {3, {"ABC"}}, {99, {"ABC"}},
  };
  for (const auto& r : rows) {
    std::vector<std::string> tokens;
    segment_run(cjk("ABC"), CharClass::Cjk, dict, KeyFilter(), user, r.max_chars, tokens);
    EXPECT_EQ(tokens, cjk_all(r.expected)) << "max " << r.max_chars << ": got " << show(tokens);
  }
}

// The plain greedy rule, written as directly as possible: at each position
// try k = n..1 code points with DictFile::get, then the user words, and take
// the longer match.
std::vector<std::string> reference_segment(std::string_view run, const DictFile& dict,
                                           const UserDict& user, std::size_t user_max) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < run.size()) {
    std::vector<std::size_t> ends;  // byte ends of the first 1..10 code points
    for (std::size_t end = pos; ends.size() < 10 && end < run.size();) {
      ++end;
      while (end < run.size() && (static_cast<unsigned char>(run[end]) & 0xC0) == 0x80) ++end;
      ends.push_back(end - pos);
    }
    std::size_t dict_len = 0, user_len = 0;
    if (dict.entry_count() > 0) {
      for (std::size_t k = ends.size(); k > 0 && dict_len == 0; --k) {
        if (dict.get(run.substr(pos, ends[k - 1]))) dict_len = ends[k - 1];
      }
    }
    const std::size_t m = std::min<std::size_t>({user_max, 10, ends.size()});
    if (!user.empty()) {
      for (std::size_t k = m; k > 0 && user_len == 0; --k) {
        if (user.count(std::string(run.substr(pos, ends[k - 1])))) user_len = ends[k - 1];
      }
    }
    std::size_t len = std::max(dict_len, user_len);
    if (len == 0) len = ends[0];
    out.emplace_back(run.substr(pos, len));
    pos += len;
  }
  return out;
}

TEST(Segment, NarrowingSearchMatchesReferenceOnRandomDictionaries) {
  std::mt19937 rng(2024);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  std::size_t runs_checked = 0, multi_char_tokens = 0, user_tokens = 0;
  std::size_t hits_reported = 0, misses_reported = 0;
  for (int trial = 0; trial < 300; ++trial) {
    // A small alphabet makes shared prefixes, and so narrowing, common.
    const std::size_t alphabet = 2 + pick(5);
    auto random_word = [&](std::size_t max_len) {
      std::string w;
      const std::size_t len = 1 + pick(max_len);
      for (std::size_t i = 0; i < len; ++i) w += static_cast<char>('A' + pick(alphabet) * 3 % 14);
      return w;
    };
    std::set<std::string> words;
    const std::size_t word_count = pick(4) == 0 ? 0 : 1 + pick(60);
    while (words.size() < word_count) {
      if (!words.empty() && pick(3) == 0) {
        // Extend an existing word so that keys are prefixes of others.
        auto it = words.begin();
        std::advance(it, static_cast<long>(pick(words.size())));
        words.insert(*it + random_word(pick(2) ? 2 : 8));
      } else {
        words.insert(random_word(pick(4) == 0 ? 13 : 4));
      }
    }
    UserDict user;
    const std::size_t user_count = pick(3) == 0 ? 0 : pick(8);
    for (std::size_t i = 0; i < user_count; ++i) {
      user.emplace(cjk(random_word(pick(3) == 0 ? 12 : 5)), "u");
    }
    // Sometimes also a user word that is a dictionary key or a latin key.
    if (!words.empty() && pick(2)) user.emplace(cjk(*words.begin()), "u");
    if (pick(4) == 0) user.emplace("ab", "u");

    TempDir dir;
    const DictFile dict = open_dict(dir, cjk_all({words.begin(), words.end()}));
    const std::size_t user_max = pick(5) == 0 ? pick(14) : max_key_chars(user);
    const KeyFilter heads = KeyFilter::of_heads(dict);
    for (int r = 0; r < 40; ++r) {
      const std::string run = cjk(random_word(pick(5) == 0 ? 60 : 20));
      std::vector<std::string> got;
      std::vector<WordMatch> matches;
      segment_run(run, CharClass::Cjk, dict, heads, user, user_max, got, &matches);
      const auto want = reference_segment(run, dict, user, user_max);
      ASSERT_EQ(got, want) << "trial " << trial << " run " << run << " dict of " << words.size()
                           << " words, user max " << user_max;
      // What segmentation reports of each token's entry is what get() says.
      ASSERT_EQ(matches.size(), got.size());
      for (std::size_t i = 0; i < got.size(); ++i) {
        const auto found = dict.get(got[i]);
        switch (matches[i].kind) {
          case WordMatch::Kind::Hit:
            ASSERT_TRUE(found && *found == matches[i].value) << "token " << got[i];
            ++hits_reported;
            break;
          case WordMatch::Kind::Miss:
            ASSERT_FALSE(found) << "token " << got[i];
            ++misses_reported;
            break;
          case WordMatch::Kind::Unknown:
            ASSERT_TRUE(user.count(got[i])) << "only user words are left unknown: " << got[i];
            break;
        }
      }
      ++runs_checked;
      for (const auto& t : got) {
        multi_char_tokens += count_code_points(t) > 1;
        user_tokens += user.count(t) > 0;
      }
    }
  }
  // The comparison is only worth something if multi-character and user
  // matches actually happened.
  EXPECT_EQ(runs_checked, 300u * 40u);
  EXPECT_GT(hits_reported, 1000u);
  EXPECT_GT(misses_reported, 1000u);
  EXPECT_GT(multi_char_tokens, 1000u);
  EXPECT_GT(user_tokens, 100u);
}

}  // namespace
}  // namespace quillet
