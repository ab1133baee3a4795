// The number rewriting pass: one walk over the text, trying at each
// position a currency symbol, "HK$", "$", a currency code and a number, in
// that order; after a number, the unit, decimal, fraction, ratio, percent,
// year/measure and general rules decide how it is read. The marks are tables
// the walk reads; the order of their rows is part of the behaviour.
#include "normalize/number_rewrite.h"

#include <array>
#include <optional>

#include "normalize/number_reading.h"
#include "unicode.h"

namespace quillet {
namespace {

// A mark in the text (its code points) and the name it is read as.
struct NamedMark {
  std::u32string_view key;
  std::string_view name;
};

// Currency symbols; the name goes after the amount. The full-width yen names
// the renminbi, the narrow one the Japanese yen.
constexpr std::array<NamedMark, 5> kCurrencySymbols = {{
    {U"\u20AC", "歐元"},
    {U"\u00A3", "英鎊"},
    {U"\u20A9", "韓圓"},
    {U"\uFFE5", "人民幣"},
    {U"\u00A5", "日圓"},
}};

constexpr std::u32string_view kHongKongDollar = U"HK$";
constexpr std::u32string_view kDollar = U"$";
constexpr std::string_view kDollarName = "元";

// Currency codes, tried in this order; the name goes after the amount.
constexpr std::array<NamedMark, 13> kCurrencyCodes = {{
    {U"AUD", "澳元"}, {U"CAD", "加元"},   {U"CNY", "人民幣"}, {U"EUR", "歐元"},
    {U"GBP", "英鎊"}, {U"JPY", "日圓"},   {U"KRW", "韓圓"},   {U"MYR", "令吉"},
    {U"RMB", "人民幣"}, {U"SGD", "坡元"}, {U"THB", "泰銖"},   {U"TWD", "新台幣"},
    {U"USD", "美元"},
}};

// Units behind a number, tried in this order: a longer key stands before
// every shorter key it begins with.
constexpr std::array<NamedMark, 27> kUnits = {{
    {U"km/h", "公里每小時"},
    {U"m/s", "米每秒"},
    {U"mph", "英里每小時"},
    {U"km\u00B2", "平方公里"},
    {U"cm\u00B2", "平方厘米"},
    {U"mm\u00B2", "平方毫米"},
    {U"m\u00B2", "平方米"},
    {U"kWh", "千瓦時"},
    {U"kW", "千瓦"},
    {U"km", "公里"},
    {U"cm", "厘米"},
    {U"mm", "毫米"},
    {U"mg", "毫克"},
    {U"kg", "公斤"},
    {U"mL", "毫升"},
    {U"ml", "毫升"},
    {U"\u00B0C", "攝氏度"},
    {U"\u00B0F", "華氏度"},
    {U"\u2103", "攝氏度"},
    {U"\u2109", "華氏度"},
    {U"\u339E", "公里"},
    {U"\u33A1", "平方米"},
    {U"m", "米"},
    {U"g", "克"},
    {U"W", "瓦特"},
    {U"L", "公升"},
    {U"l", "公升"},
}};

// Characters after which a number is a cardinal whatever its length.
constexpr std::array<char32_t, 23> kMeasureChars = {
    U'仙', U'位', U'元', U'分', U'名', U'圓', U'季', U'室', U'屆', U'層', U'日', U'時',
    U'月', U'期', U'樓', U'毫', U'班', U'秒', U'組', U'號', U'蚊', U'集', U'點',
};

constexpr char32_t kYearChar = U'年';
constexpr std::array<char32_t, 2> kPercentSigns = {U'%', U'\uFF05'};
constexpr std::array<char32_t, 2> kRatioColons = {U':', U'\uFF1A'};
constexpr char32_t kFractionSlash = U'/';

constexpr std::string_view kPercentPrefix = "百分之";
constexpr std::string_view kFractionWord = "分之";
constexpr std::string_view kRatioWord = "比";

// Fractions are read as such only for short numerators and denominators.
constexpr std::size_t kMaxFractionDigits = 3;

// Codes are recognised cheaply by their first letter, so all must be three
// upper-case ASCII letters.
constexpr bool codes_are_upper_case() {
  for (const NamedMark& code : kCurrencyCodes) {
    if (code.key.size() != 3) return false;
    for (char32_t c : code.key) {
      if (c < U'A' || c > U'Z') return false;
    }
  }
  return true;
}
static_assert(codes_are_upper_case(), "currency codes must be three upper-case letters");

template <std::size_t N>
bool is_one_of(const std::array<char32_t, N>& set, char32_t c) {
  for (char32_t x : set) {
    if (x == c) return true;
  }
  return false;
}

// The first UTF-8 byte of c.
constexpr unsigned char lead_byte(char32_t c) {
  if (c < 0x80) return static_cast<unsigned char>(c);
  if (c < 0x800) return static_cast<unsigned char>(0xC0 | (c >> 6));
  if (c < 0x10000) return static_cast<unsigned char>(0xE0 | (c >> 12));
  return static_cast<unsigned char>(0xF0 | (c >> 18));
}

// The bytes at which some step of the walk may start: digits (ASCII, and
// the lead byte of the full-width ones), dollar forms, currency symbols and
// codes. At every other byte the walk only copies, so it copies whole
// stretches of them at once. Derived from the tables themselves.
constexpr std::array<bool, 256> make_starter_bytes() {
  std::array<bool, 256> starter{};
  for (char32_t d = U'0'; d <= U'9'; ++d) starter[d] = true;
  starter[lead_byte(0xFF10)] = true;  // full-width digits
  for (const NamedMark& symbol : kCurrencySymbols) starter[lead_byte(symbol.key[0])] = true;
  starter[lead_byte(kHongKongDollar[0])] = true;
  starter[lead_byte(kDollar[0])] = true;
  for (const NamedMark& code : kCurrencyCodes) starter[lead_byte(code.key[0])] = true;
  return starter;
}
constexpr std::array<bool, 256> kStarterBytes = make_starter_bytes();

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

// The walk works on byte offsets into the UTF-8 text and decodes code points
// only where a rule looks at them; everything else is copied byte for byte.
class NumberRewriter {
 public:
  explicit NumberRewriter(std::string_view text) : text_(text) {}

  std::string run() {
    out_.reserve(text_.size() + text_.size() / 2);
    std::size_t z = 0;
    while (z < text_.size()) {
      std::size_t plain = z;
      while (plain < text_.size() && !kStarterBytes[byte(plain)]) ++plain;
      out_.append(text_.substr(z, plain - z));
      z = plain;
      if (z < text_.size()) z = step(z);
    }
    return std::move(out_);
  }

 private:
  unsigned char byte(std::size_t i) const { return static_cast<unsigned char>(text_[i]); }

  // The code point at byte i and the offset after it; 0 (which none of the
  // marks is) at the end of the text.
  struct CodePoint {
    char32_t c;
    std::size_t next;
  };
  CodePoint code_point_at(std::size_t i) const {
    if (i >= text_.size()) return {0, i};
    std::size_t next = i;
    const char32_t c = next_code_point(text_, next);
    return {c, next};
  }

  // For ASCII c only: an ASCII byte in UTF-8 is always that character.
  bool at(std::size_t i, char c) const { return i < text_.size() && text_[i] == c; }
  bool letter_at(std::size_t i) const { return i < text_.size() && is_ascii_letter(byte(i)); }

  // The offset after `key` when its code points stand at i, else kNoMatch.
  std::size_t key_at(std::size_t i, std::u32string_view key) const {
    for (char32_t k : key) {
      const CodePoint cp = code_point_at(i);
      if (cp.next == i || cp.c != k) return kNoMatch;
      i = cp.next;
    }
    return i;
  }
  // A key at i that is not directly followed by a letter.
  std::size_t whole_key_at(std::size_t i, std::u32string_view key) const {
    const std::size_t end = key_at(i, key);
    return end != kNoMatch && !letter_at(end) ? end : kNoMatch;
  }

  // Rewrites or copies what stands at z; returns the offset after it.
  std::size_t step(std::size_t z) {
    const unsigned char b = byte(z);
    if (b >= 0x80) {
      if (auto next = currency_symbol(z)) return *next;
    } else if (b == 'H' || b == '$') {
      if (auto next = dollar(z)) return *next;
    }
    if (b >= 'A' && b <= 'Z') {
      if (auto next = currency_code(z)) return *next;
    }
    if (auto number = scan_number_utf8(text_, z)) return number_rules(z, *number);
    const std::size_t next = code_point_at(z).next;
    out_.append(text_.substr(z, next - z));
    return next;
  }

  // The amount at u read in full, then `name`; the offset after it, or
  // nullopt (nothing appended) when no number stands at u.
  std::optional<std::size_t> amount_then_name(std::size_t u, std::string_view name) {
    auto number = scan_number_utf8(text_, u);
    if (!number) return std::nullopt;
    append_decimal(out_, number->digits);
    out_.append(name);
    return u + number->consumed;
  }

  // A currency symbol, with one optional space before the amount.
  std::optional<std::size_t> currency_symbol(std::size_t z) {
    for (const NamedMark& symbol : kCurrencySymbols) {
      const std::size_t after = key_at(z, symbol.key);
      if (after == kNoMatch) continue;
      return amount_then_name(at(after, ' ') ? after + 1 : after, symbol.name);
    }
    return std::nullopt;
  }

  // "HK$" or "$" directly followed by the amount; without one the mark is
  // copied and the walk goes on behind it.
  std::optional<std::size_t> dollar(std::size_t z) {
    for (std::u32string_view mark : {kHongKongDollar, kDollar}) {
      const std::size_t after = key_at(z, mark);
      if (after == kNoMatch) continue;
      if (auto next = amount_then_name(after, kDollarName)) return next;
      out_.append(text_.substr(z, after - z));
      return after;
    }
    return std::nullopt;
  }

  // The first code that stands at z as a whole word decides: with an amount
  // after it (one space allowed) it is read; without, no other code is tried.
  std::optional<std::size_t> currency_code(std::size_t z) {
    for (const NamedMark& code : kCurrencyCodes) {
      const std::size_t after = whole_key_at(z, code.key);
      if (after == kNoMatch) continue;
      return amount_then_name(at(after, ' ') ? after + 1 : after, code.name);
    }
    return std::nullopt;
  }

  // The number s at z (ending at w) and what follows it.
  std::size_t number_rules(std::size_t z, const ScannedNumber& number) {
    const std::string& s = number.digits;
    const std::size_t w = z + number.consumed;
    const CodePoint o = code_point_at(w);
    const bool percent = is_one_of(kPercentSigns, o.c);

    // Unit: one space may stand between number and unit, and is consumed
    // only together with a unit.
    const std::size_t p = at(w, ' ') ? w + 1 : w;
    for (const NamedMark& unit : kUnits) {
      const std::size_t after = whole_key_at(p, unit.key);
      if (after == kNoMatch) continue;
      append_decimal(out_, s);
      out_.append(unit.name);
      return after;
    }

    // Decimal: never a fraction, ratio, year or measure.
    if (s.find('.') != std::string::npos) {
      if (percent) out_.append(kPercentPrefix);
      append_decimal(out_, s);
      return percent ? o.next : w;
    }

    const std::optional<std::uint64_t> value = parse_integer(s);

    // Fraction a/b, both short integers, the denominator read first.
    if (o.c == kFractionSlash && s.size() <= kMaxFractionDigits && value) {
      auto second = scan_number_utf8(text_, o.next);
      if (second && second->digits.size() <= kMaxFractionDigits &&
          !letter_at(o.next + second->consumed)) {
        if (auto denominator = parse_integer(second->digits)) {
          append_cardinal(out_, *denominator);
          out_.append(kFractionWord);
          append_cardinal(out_, *value);
          return o.next + second->consumed;
        }
      }
      return general(s, w);
    }

    // Ratio a:b of two integers, no space around the colon.
    if (is_one_of(kRatioColons, o.c)) {
      auto second = scan_number_utf8(text_, o.next);
      const auto right = second ? parse_integer(second->digits) : std::nullopt;
      if (value && right) {
        append_cardinal(out_, *value);
        out_.append(kRatioWord);
        append_cardinal(out_, *right);
        return o.next + second->consumed;
      }
      return general(s, w);
    }

    // Percent. An integer too large for 64 bits keeps its percent reading
    // and is read digit by digit, rather than losing the sign.
    if (percent) {
      out_.append(kPercentPrefix);
      if (value) {
        append_cardinal(out_, *value);
      } else {
        append_digits(out_, s);
      }
      return o.next;
    }

    // Year: digit by digit, whatever the length.
    if (o.c == kYearChar) {
      append_digits(out_, s);
      return w;
    }
    if (value && is_one_of(kMeasureChars, o.c)) {
      append_cardinal(out_, *value);
      return w;
    }
    return general(s, w);
  }

  // Digit by digit for what looks like a year (four digits, 1000..2999) or a
  // phone or code number (seven digits or more); a cardinal otherwise.
  std::size_t general(const std::string& s, std::size_t w) {
    const std::optional<std::uint64_t> value = parse_integer(s);
    const bool year_like = s.size() == 4 && value && *value >= 1000 && *value <= 2999;
    if (year_like || s.size() >= 7 || !value) {
      append_digits(out_, s);
    } else {
      append_cardinal(out_, *value);
    }
    return w;
  }

  std::string_view text_;
  std::string out_;
};

}  // namespace

std::string normalize_numbers(std::string_view text) { return NumberRewriter(text).run(); }

}  // namespace quillet
