// Reading numbers as Cantonese numerals: recognising a number among code
// points, and spelling integers as cardinals (一千二百三十四), digit strings
// digit by digit (二零二四) and decimals (三點一四).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillet {

// A number found in the text: its digit string (ASCII digits, full-width
// digits already folded to ASCII, and at most one ASCII full stop) and how
// many code points of the text it covers.
struct ScannedNumber {
  std::string digits;
  std::size_t consumed = 0;
  bool grouped = false;  // written with thousands separators (1,000)
};

// Whether a comma directly followed by exactly three digits continues the
// number as a thousands separator (1,000; 6,800,000; 12,345.67). Only after
// a first group of one to three digits; «1,2,3» stays three numbers.
enum class Thousands { kEnd, kContinue };

// The number starting at v[i]: a run of ASCII or full-width digits, then, if
// an ASCII full stop stands there directly followed by a digit, the full stop
// and the digits after it. nullopt when i is past the end or v[i] is not a
// digit. Never reads outside v.
std::optional<ScannedNumber> scan_number(std::span<const char32_t> v, std::size_t i);

// The same scan over UTF-8 text from byte offset `pos`; `consumed` then
// counts bytes, and the separators are left out of `digits`. Never reads
// outside `text`.
std::optional<ScannedNumber> scan_number_utf8(std::string_view text, std::size_t pos,
                                              Thousands thousands = Thousands::kEnd);

// True when some code point of UTF-8 `text` is a digit the scans read (an
// ASCII or a full-width one).
bool contains_digit_utf8(std::string_view text);

// The bytes that can start such a digit: the ASCII digits and the lead byte
// of the full-width ones (EF BC 90..99).
inline constexpr auto kDigitLeadBytes = [] {
  std::array<bool, 256> lead{};
  for (unsigned char b = '0'; b <= '9'; ++b) lead[b] = true;
  lead[0xEF] = true;
  return lead;
}();

// The value of a non-empty string of ASCII digits, or nullopt when it is
// empty, holds anything else, or exceeds 18446744073709551615.
std::optional<std::uint64_t> parse_integer(std::string_view digits);

// n as a cardinal numeral with 十 百 千 萬 億 and 零 for skipped places. With
// `outermost` the leading 一 of 10..19 at the head of the number is dropped
// (十五, 十萬, 十五億); everywhere else it stays (一百一十五, 一萬零一十).
// Callers pass true.
std::string read_cardinal(std::uint64_t n, bool outermost = true);

// Every ASCII digit of s replaced by its numeral character; every other code
// point copied. The result has as many code points as s.
std::string read_digits(std::string_view s);

// A digit string as scan_number makes it. An integer is read as a cardinal;
// with a full stop, the integer part is a cardinal, then 點, then the fraction
// digits one by one. An integer part too large for 64 bits is read digit by
// digit rather than lost.
std::string read_decimal(std::string_view s);

// The same readings appended to `out`, for callers that build one long text.
void append_cardinal(std::string& out, std::uint64_t n, bool outermost = true);
void append_digits(std::string& out, std::string_view s);
void append_decimal(std::string& out, std::string_view s);

}  // namespace quillet
