// Reading a text part by part must give exactly the tokens of reading it
// whole: parts end at run boundaries, and a CJK run too long for one part is
// cut where the tokens before the cut cannot depend on the text after it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "normalize/normalizer.h"
#include "normalize/token_windows.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::write_dict;

const std::vector<std::string> kChars = {"一", "二", "三", "四", "五", "六"};

std::string random_word(std::mt19937& rng, std::size_t max_chars) {
  std::string w;
  for (std::size_t n = 1 + rng() % max_chars; n > 0; --n) w += kChars[rng() % kChars.size()];
  return w;
}

// Long CJK runs (words of up to 12 characters, so some are longer than any
// match), broken now and then by Latin runs, digits, spaces and punctuation.
std::string random_text(std::mt19937& rng) {
  static const char* const kOther[] = {" ", "  ", "abc", "Z9", "\xEF\xBC\x8C", "!", "\xC3\xA9"};
  std::string text;
  for (unsigned n = rng() % 400; n > 0; --n) {
    if (rng() % 40 == 0) {
      text += kOther[rng() % 7];
    } else {
      text += kChars[rng() % kChars.size()];
    }
  }
  return text;
}

TEST(TokenWindows, PartsGiveTheTokensOfTheWholeText) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed);
    TempDir dir;
    std::vector<DictEntry> words;
    std::vector<std::string> seen;
    for (int i = 0; i < 60; ++i) {
      std::string w = random_word(rng, 12);
      if (std::find(seen.begin(), seen.end(), w) != seen.end()) continue;
      seen.push_back(w);
      words.push_back({w, "x1"});
    }
    write_dict(dir, "word.bin", words);
    write_dict(dir, "char.bin", {});
    UserDict user;
    if (seed % 2 == 0) {
      for (int i = 0; i < 10; ++i) user.emplace(random_word(rng, 12), "u1");
    }
    const Pipeline p = testing::load(dir, std::move(user));

    for (int t = 0; t < 40; ++t) {
      const std::string text = random_text(rng);
      std::vector<std::string> whole;
      std::vector<WordMatch> whole_matches;
      split_runs(p, text, whole, &whole_matches);
      for (std::size_t budget : {1, 2, 3, 5, 8, 13, 31, 33, 64, 100, 1000}) {
        std::vector<std::string> parts;
        std::vector<WordMatch> part_matches;
        std::size_t pos = 0;
        for (int guard = 0; pos < text.size() && guard <= static_cast<int>(text.size()); ++guard) {
          const std::size_t next = split_runs_part(p, text, pos, budget, parts, &part_matches);
          ASSERT_GT(next, pos) << "no progress, budget " << budget;
          pos = next;
        }
        const std::string where = "seed " + std::to_string(seed) + " budget " +
                                  std::to_string(budget) + " text '" + text + "'";
        ASSERT_EQ(pos, text.size()) << where;
        ASSERT_EQ(parts, whole) << where;
        ASSERT_EQ(part_matches.size(), whole_matches.size()) << where;
        for (std::size_t i = 0; i < whole_matches.size(); ++i) {
          EXPECT_EQ(part_matches[i].kind, whole_matches[i].kind) << where << " token " << i;
          EXPECT_EQ(part_matches[i].value, whole_matches[i].value) << where << " token " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillet
