// Tests of the word-wise equality, hashing and ASCII test of short byte
// strings used by the Python result builds: every length around the word
// sizes, unaligned copies, a difference at every position.
#include "short_bytes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace quillet {
namespace {

// Bytes of every length 0..40 (beyond the longest loop of 8-byte words),
// copied to odd offsets so that no load is aligned.
TEST(ShortBytes, EqualityAtEveryLengthAndPosition) {
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string a(n + 3, '\0');
    std::string b(n + 5, '\0');
    for (std::size_t k = 0; k < n; ++k) a[1 + k] = b[3 + k] = static_cast<char>('a' + (k * 7) % 26);
    const std::string_view x(a.data() + 1, n);
    std::string_view y(b.data() + 3, n);
    ASSERT_TRUE(same_bytes(x, y)) << n;
    ASSERT_EQ(hash_bytes(x), hash_bytes(y)) << n;
    for (std::size_t k = 0; k < n; ++k) {
      b[3 + k] ^= 0x40;
      EXPECT_FALSE(same_bytes(x, y)) << n << " at " << k;
      b[3 + k] ^= 0x40;
    }
    // A byte just past either end is never read.
    a[1 + n] = 'X';
    b[3 + n] = 'Y';
    EXPECT_TRUE(same_bytes(x, y)) << n;
    EXPECT_EQ(hash_bytes(x), hash_bytes(y)) << n;
  }
}

// One byte above 0x7F at any position, in texts of every length.
TEST(ShortBytes, AsciiTestSeesEveryByte) {
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string text(n + 2, '\xE4');  // non-ASCII just outside the view
    for (std::size_t k = 0; k < n; ++k) text[1 + k] = 'a';
    const std::string_view view(text.data() + 1, n);
    ASSERT_TRUE(is_ascii(view)) << n;
    for (std::size_t k = 0; k < n; ++k) {
      text[1 + k] = '\x80';
      EXPECT_FALSE(is_ascii(view)) << n << " at " << k;
      text[1 + k] = 'a';
    }
  }
}

TEST(ShortBytes, DifferentLengthsDiffer) {
  EXPECT_FALSE(same_bytes("ab", "abc"));
  EXPECT_FALSE(same_bytes("", "a"));
  EXPECT_TRUE(same_bytes("", ""));
  // Zero bytes count: a text is not its prefix padded with NULs.
  EXPECT_NE(hash_bytes(std::string_view("a", 1)), hash_bytes(std::string_view("a\0", 2)));
}

// The build's open table takes the low bits of the hash: readings that
// differ in one letter or tone must spread over them.
TEST(ShortBytes, HashSpreadsSimilarTextsOverLowBits) {
  const char* const initials[] = {"b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "ng", "h",
                                  "gw", "kw", "w", "z", "c", "s", "j", ""};
  const char* const finals[] = {"aa", "aai", "aau", "aam", "aan", "aang", "ai", "au", "am", "an",
                                "ang", "e", "ei", "eng", "i", "iu", "im", "in", "ing", "o"};
  std::set<std::size_t> buckets;
  std::size_t texts = 0;
  for (const char* i : initials) {
    for (const char* f : finals) {
      for (char tone = '1'; tone <= '6'; ++tone) {
        const std::string text = std::string(i) + f + tone;
        buckets.insert(hash_bytes(text) & 4095);
        ++texts;
      }
    }
  }
  // 2,400 texts in 4,096 buckets: a uniform hash fills about 1,830.
  EXPECT_GT(buckets.size(), texts * 2 / 3);
}

}  // namespace
}  // namespace quillet
