// Tests of strict UTF-8 validation and decoding of ill-formed bytes.
#include <gtest/gtest.h>

#include <string>

#include "unicode.h"

namespace quillet {
namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

const Utf8Case kUtf8Cases[] = {
    {"empty", "", true},
    {"ascii", "abc 123", true},
    {"cjk", "\xE4\xB8\x80\xE4\xBA\x8C", true},
    {"four bytes", "\xF0\xA0\x80\x80", true},
    {"real replacement character", "\xEF\xBF\xBD", true},
    {"highest code point", "\xF4\x8F\xBF\xBF", true},
    {"overlong slash", "\xC0\xAF", false},
    {"overlong three bytes", "\xE0\x80\xAF", false},
    {"surrogate", "\xED\xA0\x80", false},
    {"above U+10FFFF", "\xF4\x90\x80\x80", false},
    {"lead byte F5", "\xF5\x80\x80\x80", false},
    {"stray continuation", "a\x80z", false},
    {"cut short at the end", "\xE4\xB8", false},
    {"continuation missing inside", "\xE4\x41\x80", false},
};

TEST(Unicode, IsValidUtf8) {
  for (const auto& c : kUtf8Cases) {
    EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << c.name;
  }
}

TEST(Unicode, IllFormedBytesDecodeToReplacementOneByteAtATime) {
  for (const auto& c : kUtf8Cases) {
    if (c.valid) continue;
    std::size_t pos = 0;
    std::size_t steps = 0;
    while (pos < c.bytes.size()) {
      next_code_point(c.bytes, pos);
      ++steps;
    }
    EXPECT_EQ(pos, c.bytes.size()) << c.name;  // never reads past the end
    EXPECT_GE(steps, 1u) << c.name;
  }
}

// contains_cjk has a shortcut for a leading ideograph of the basic block;
// it must agree with the plain definition at the block's edges and when the
// ideograph comes later or is cut short.
TEST(Unicode, ContainsCjk) {
  const struct {
    const char* text;
    bool cjk;
  } rows[] = {
      {"", false},
      {"abc", false},
      {"\xE4\xB8\x80", true},              // U+4E00, first of the block
      {"\xE9\xBF\xBF", true},              // U+9FFF, last of the block
      {"\xE4\xB7\xBF", false},             // U+4DFF, a hexagram just below it
      {"\xE4\xB7\xBF\xE4\xB8\x80", true},  // ... followed by an ideograph
      {"\xEA\xB0\x80", false},             // U+AC00, Hangul just past it
      {"a\xE4\xB8\x80", true},
      {"\xE4\xB8", false},                  // cut short
      {"\xE4\x41\x80", false},             // broken sequence
      {"\xE3\x90\x80", true},              // U+3400, extension A
      {"\xF0\xA0\x80\x80", true},         // U+20000, extension B
      {"\xEF\xA4\x80", true},              // U+F900, compatibility ideograph
      {"\xEF\xBC\x8C", false},             // full-width comma
  };
  for (const auto& row : rows) {
    EXPECT_EQ(contains_cjk(row.text), row.cjk) << "text '" << row.text << "'";
  }
}

}  // namespace
}  // namespace quillet
