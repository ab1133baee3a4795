// Cardinal, digit-by-digit and decimal readings of numbers, and the scanner
// that finds a number among code points.
#include "normalize/number_reading.h"

#include <array>

namespace quillet {
namespace {

// 零 一 二 三 四 五 六 七 八 九, UTF-8; every one is three bytes.
constexpr std::array<std::string_view, 10> kDigitChars = {
    "\xE9\x9B\xB6", "\xE4\xB8\x80", "\xE4\xBA\x8C", "\xE4\xB8\x89", "\xE5\x9B\x9B",
    "\xE4\xBA\x94", "\xE5\x85\xAD", "\xE4\xB8\x83", "\xE5\x85\xAB", "\xE4\xB9\x9D",
};
constexpr std::string_view kTen = "\xE5\x8D\x81";                // 十
constexpr std::string_view kHundred = "\xE7\x99\xBE";            // 百
constexpr std::string_view kThousand = "\xE5\x8D\x83";           // 千
constexpr std::string_view kTenThousand = "\xE8\x90\xAC";        // 萬
constexpr std::string_view kHundredMillion = "\xE5\x84\x84";     // 億
constexpr std::string_view kPoint = "\xE9\xBB\x9E";              // 點

constexpr std::uint64_t kHundredMillionValue = 100'000'000;

// The ASCII digit value of an ASCII or full-width digit, or -1.
int digit_value(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<int>(c - 0xFF10);
  return -1;
}

// Code points as the scanner sees them: the value of the digit at a
// position (-1 for anything else or past the end), the position after it,
// and whether an ASCII full stop stands there.
struct CodePointSource {
  std::span<const char32_t> v;
  int digit(std::size_t i) const { return i < v.size() ? digit_value(v[i]) : -1; }
  std::size_t after_digit(std::size_t i) const { return i + 1; }
  bool full_stop(std::size_t i) const { return i < v.size() && v[i] == U'.'; }
  bool comma(std::size_t) const { return false; }
};

// The same over UTF-8 bytes; full-width digits U+FF10..U+FF19 are EF BC 90..99.
struct Utf8Source {
  std::string_view s;
  int digit(std::size_t i) const {
    if (i >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= '0' && b <= '9') return b - '0';
    if (b != 0xEF || s.size() - i < 3 || static_cast<unsigned char>(s[i + 1]) != 0xBC) return -1;
    const auto b2 = static_cast<unsigned char>(s[i + 2]);
    return b2 >= 0x90 && b2 <= 0x99 ? b2 - 0x90 : -1;
  }
  std::size_t after_digit(std::size_t i) const {
    return static_cast<unsigned char>(s[i]) < 0x80 ? i + 1 : i + 3;
  }
  bool full_stop(std::size_t i) const { return i < s.size() && s[i] == '.'; }
  bool comma(std::size_t i) const { return i < s.size() && s[i] == ','; }
};

constexpr std::size_t kGroupDigits = 3;

// The position after a group of exactly three digits at i (not followed by
// a fourth), with the digits appended; i itself when there is none.
template <class Source>
std::size_t take_group(const Source& src, std::size_t i, std::string& out) {
  std::array<char, kGroupDigits> group{};
  std::size_t count = 0;
  std::size_t end = i;
  for (int d; (d = src.digit(end)) >= 0; end = src.after_digit(end)) {
    if (count == kGroupDigits) return i;
    group[count++] = static_cast<char>('0' + d);
  }
  if (count != kGroupDigits) return i;
  out.append(group.data(), kGroupDigits);
  return end;
}

// Appends the digits from i on; returns the position after them.
template <class Source>
std::size_t take_digits(const Source& src, std::size_t i, std::string& out) {
  for (int d; (d = src.digit(i)) >= 0; i = src.after_digit(i)) {
    out.push_back(static_cast<char>('0' + d));
  }
  return i;
}

// Digits, then an ASCII full stop and more digits if a digit follows it.
template <class Source>
std::optional<ScannedNumber> scan(const Source& src, std::size_t i, Thousands thousands) {
  if (src.digit(i) < 0) return std::nullopt;
  ScannedNumber number;
  std::size_t end = take_digits(src, i, number.digits);
  if (thousands == Thousands::kContinue && number.digits.size() <= kGroupDigits) {
    while (src.comma(end)) {
      const std::size_t after = take_group(src, end + 1, number.digits);
      if (after == end + 1) break;
      number.grouped = true;
      end = after;
    }
  }
  if (src.full_stop(end) && src.digit(end + 1) >= 0) {
    number.digits.push_back('.');
    end = take_digits(src, end + 1, number.digits);
  }
  number.consumed = end - i;
  return number;
}

// A place with a unit character: the leading part (the head of the number
// when `outermost`), the unit, then, if the rest is not zero, 零 when the
// rest skips the next place, and the rest.
void append_place(std::string& out, std::uint64_t n, std::uint64_t place,
                  std::string_view unit, bool leading_is_digit, bool outermost) {
  const std::uint64_t lead = n / place;
  const std::uint64_t rest = n % place;
  if (leading_is_digit) {
    out.append(kDigitChars[lead]);
  } else {
    append_cardinal(out, lead, outermost);
  }
  out.append(unit);
  if (rest == 0) return;
  if (rest < place / 10) out.append(kDigitChars[0]);
  append_cardinal(out, rest, false);
}

}  // namespace

std::optional<ScannedNumber> scan_number(std::span<const char32_t> v, std::size_t i) {
  return scan(CodePointSource{v}, i, Thousands::kEnd);
}

std::optional<ScannedNumber> scan_number_utf8(std::string_view text, std::size_t pos,
                                              Thousands thousands) {
  return scan(Utf8Source{text}, pos, thousands);
}

bool contains_digit_utf8(std::string_view text) {
  // Other bytes are stepped over with one table look-up each.
  const Utf8Source src{text};
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kDigitLeadBytes[bytes[i]] && src.digit(i) >= 0) return true;
  }
  return false;
}

std::optional<std::uint64_t> parse_integer(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return std::nullopt;
    const auto d = static_cast<std::uint64_t>(ch - '0');
    if (value > (UINT64_MAX - d) / 10) return std::nullopt;
    value = value * 10 + d;
  }
  return value;
}

void append_cardinal(std::string& out, std::uint64_t n, bool outermost) {
  if (n >= kHundredMillionValue) {
    append_place(out, n, kHundredMillionValue, kHundredMillion, false, outermost);
  } else if (n >= 10'000) {
    append_place(out, n, 10'000, kTenThousand, false, outermost);
  } else if (n >= 1'000) {
    append_place(out, n, 1'000, kThousand, true, false);
  } else if (n >= 100) {
    append_place(out, n, 100, kHundred, true, false);
  } else if (n >= 10) {
    if (!(outermost && n < 20)) out.append(kDigitChars[n / 10]);
    out.append(kTen);
    if (n % 10 != 0) out.append(kDigitChars[n % 10]);
  } else {
    out.append(kDigitChars[n]);
  }
}

void append_digits(std::string& out, std::string_view s) {
  for (char ch : s) {
    if (ch >= '0' && ch <= '9') {
      out.append(kDigitChars[static_cast<std::size_t>(ch - '0')]);
    } else {
      out.push_back(ch);
    }
  }
}

void append_decimal(std::string& out, std::string_view s) {
  const std::size_t point = s.find('.');
  const std::string_view integer_part = s.substr(0, point);
  if (const auto value = parse_integer(integer_part)) {
    append_cardinal(out, *value, true);
  } else if (point != 0) {
    // Too large for 64 bits: digit by digit, so no digit of the amount is
    // lost (an empty integer part, never made by scan_number, reads 零).
    append_digits(out, integer_part);
  } else {
    out.append(kDigitChars[0]);
  }
  if (point == std::string_view::npos) return;
  out.append(kPoint);
  append_digits(out, s.substr(point + 1));
}

std::string read_cardinal(std::uint64_t n, bool outermost) {
  std::string out;
  append_cardinal(out, n, outermost);
  return out;
}

std::string read_digits(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  append_digits(out, s);
  return out;
}

std::string read_decimal(std::string_view s) {
  std::string out;
  append_decimal(out, s);
  return out;
}

}  // namespace quillet
