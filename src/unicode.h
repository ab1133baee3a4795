// Code-point helpers shared by the tokenizer, segmentation, reading lookup and
// the label rules: UTF-8 decoding over bounded views, and the character classes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// True for the four CJK ideograph ranges the engine reads: U+4E00..9FFF,
// U+3400..4DBF, U+20000..2A6DF, U+F900..FAFF. Nothing else, not even 〇.
constexpr bool is_cjk(char32_t c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x20000 && c <= 0x2A6DF) || (c >= 0xF900 && c <= 0xFAFF);
}

constexpr bool is_ascii_letter(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool is_ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_alnum(char32_t c) {
  return is_ascii_letter(c) || is_ascii_digit(c);
}

// is_ascii_alnum of each byte value, for loops that test every byte.
inline constexpr auto kAsciiAlnumBytes = [] {
  std::array<bool, 256> alnum{};
  for (unsigned b = 0; b < 256; ++b) alnum[b] = is_ascii_alnum(b);
  return alnum;
}();

enum class CharClass { Cjk, Alnum, Other };

constexpr CharClass char_class(char32_t c) {
  if (is_cjk(c)) return CharClass::Cjk;
  if (is_ascii_alnum(c)) return CharClass::Alnum;
  return CharClass::Other;
}

// The Unicode White_Space property.
constexpr bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Length in bytes of the UTF-8 sequence that starts with byte b, judged from
// the lead byte alone (1 for ASCII and for stray continuation bytes). Asked
// at every step of segmentation, so read from a table.
inline constexpr auto kUtf8Lengths = [] {
  std::array<unsigned char, 256> lengths{};
  for (unsigned b = 0; b < 256; ++b) lengths[b] = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  return lengths;
}();
constexpr std::size_t utf8_length(unsigned char b) { return kUtf8Lengths[b]; }

// The first byte of the UTF-8 form of c (which must be at most U+10FFFF).
constexpr unsigned char utf8_lead_byte(char32_t c) {
  if (c < 0x80) return static_cast<unsigned char>(c);
  if (c < 0x800) return static_cast<unsigned char>(0xC0 | (c >> 6));
  if (c < 0x10000) return static_cast<unsigned char>(0xE0 | (c >> 12));
  return static_cast<unsigned char>(0xF0 | (c >> 18));
}

// Decodes the code point at s[pos] and advances pos past it. Never reads past
// s.size(): a sequence cut short by the end of s, or an ill-formed one, yields
// U+FFFD and advances by one byte. Input from Python is always valid UTF-8;
// the guard is for data read from files.
char32_t next_code_point(std::string_view s, std::size_t& pos);

// next_code_point, with the two cases that make up most text decoded inline:
// ASCII, and well-formed three-byte sequences led by E4 to E9 (U+4000 to
// U+9FFF, the basic block of ideographs; no overlong or surrogate form
// starts with those bytes). For loops that walk every code point.
inline char32_t next_code_point_inline(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  if (b0 >= 0xE4 && b0 <= 0xE9 && s.size() - pos >= 3) {
    const auto b1 = static_cast<unsigned char>(s[pos + 1]);
    const auto b2 = static_cast<unsigned char>(s[pos + 2]);
    if ((b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80) {
      pos += 3;
      return (char32_t{b0} & 0x0F) << 12 | (char32_t{b1} & 0x3F) << 6 | (b2 & 0x3F);
    }
  }
  return next_code_point(s, pos);
}

// Appends the UTF-8 encoding of c to out.
void append_utf8(std::string& out, char32_t c);

// All code points of s.
std::vector<char32_t> decode_utf8(std::string_view s);

// Number of code points: the bytes that are not continuation bytes.
std::size_t count_code_points(std::string_view s);

// True when s is exactly one code point (judged by its lead byte's length).
// Asked of tokens by every pass, so inline.
inline bool is_single_code_point(std::string_view s) {
  return !s.empty() && utf8_length(static_cast<unsigned char>(s[0])) == s.size();
}

// True when a is exactly one code point and b is the same one. Asked of
// neighbouring tokens by the passes, so inline, and compared byte by byte
// from the last (where ideographs differ most), without a call to memcmp.
inline bool is_same_code_point(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty() || a.back() != b.back()) return false;
  if (!is_single_code_point(a)) return false;
  for (std::size_t k = a.size() - 1; k-- > 0;) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

// True when some code point of s is a CJK ideograph.
bool contains_cjk_scan(std::string_view s);
inline bool contains_cjk(std::string_view s) {
  // Asked once or twice of every token, and most tokens start with an
  // ideograph of the basic block.
  if (!s.empty()) {
    std::size_t pos = 0;
    if (is_cjk(next_code_point_inline(s, pos))) return true;
  }
  return contains_cjk_scan(s);
}

// Strict UTF-8 validation (no overlongs, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view s);

}  // namespace quillet
