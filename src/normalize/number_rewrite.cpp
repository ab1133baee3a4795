// The number rewriting pass: one walk over the text, trying at each
// position a currency mark, a minus sign, a country code and a number; after
// a number, what stands around it decides how it is read: a date, a time, a
// phone number, a unit, a decimal, a fraction, a ratio, a percentage, a
// range, a year, a count, or a cardinal or digit string by its length. The
// marks are the tables of number_tables.h; the walk only reads them.
#include "normalize/number_rewrite.h"

#include <optional>

#include "normalize/number_reading.h"
#include "normalize/number_tables.h"
#include "unicode.h"

namespace quillet {
namespace {

using namespace number_tables;

template <class Set>
bool is_one_of(const Set& set, char32_t c) {
  for (char32_t x : set) {
    if (x == c) return true;
  }
  return false;
}

// The bytes at which some step of the walk may start: digits (ASCII, and
// the lead byte of the full-width ones), currency marks, the minus sign and
// the plus of a country code. At every other byte the walk only copies, so
// it copies whole stretches of them at once. Derived from the tables.
constexpr std::array<bool, 256> make_starter_bytes() {
  std::array<bool, 256> starter{};
  for (char32_t d = U'0'; d <= U'9'; ++d) starter[d] = true;
  starter[utf8_lead_byte(0xFF10)] = true;  // full-width digits
  for (const CurrencyMark& mark : kCurrencies) starter[utf8_lead_byte(mark.key[0])] = true;
  starter[utf8_lead_byte(kMinus)] = true;
  starter[utf8_lead_byte(kPlus)] = true;
  return starter;
}
constexpr std::array<bool, 256> kStarterBytes = make_starter_bytes();

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

// How an integer is read: as a cardinal, digit by digit, or as 兩 (the
// number 2 counting something).
enum class Reading { kCardinal, kDigits, kTwoCounted };

// The calendar limits of a date and a time of day.
constexpr std::uint64_t kMaxMonth = 12;
constexpr std::uint64_t kMaxDay = 31;
constexpr std::uint64_t kMaxHour = 24;
constexpr std::uint64_t kMaxMinute = 59;
constexpr std::uint64_t kMaxHalfDayHour = 12;
constexpr std::size_t kYearDigits = 4;
constexpr std::size_t kPhoneGroupDigits = 4;
constexpr std::size_t kPhoneDigits = 8;
constexpr std::size_t kMaxCountryCodeDigits = 3;
// Fractions are read as such only for short numerators and denominators.
constexpr std::size_t kMaxFractionDigits = 3;
// Four-digit numbers in this range are years when nothing else decides.
constexpr std::uint64_t kFirstYear = 1000;
constexpr std::uint64_t kLastYear = 2999;
// From this length on a bare number is a phone or code number.
constexpr std::size_t kDigitStringLength = 7;

// A number of one or two digits, ≤ `max`, with no decimal part: a month,
// a day, an hour, a minute.
struct SmallNumber {
  std::uint64_t value;
  std::size_t end;
};

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
  // The code point ending at byte i (0 at the start of the text) and the
  // offset where it starts.
  CodePoint code_point_before(std::size_t i) const {
    if (i == 0) return {0, 0};
    std::size_t start = i - 1;
    while (start > 0 && i - start < 4 && (byte(start) & 0xC0) == 0x80) --start;
    std::size_t next = start;
    return {next_code_point(text_, next), start};
  }

  // For ASCII c only: an ASCII byte in UTF-8 is always that character.
  bool at(std::size_t i, char c) const { return i < text_.size() && text_[i] == c; }
  bool letter_at(std::size_t i) const { return i < text_.size() && is_ascii_letter(byte(i)); }
  bool digit_at(std::size_t i) const {
    const char32_t c = code_point_at(i).c;
    return is_ascii_digit(c) || (c >= 0xFF10 && c <= 0xFF19);
  }

  // The offset after `key` when its code points stand at i, else kNoMatch.
  // `first` is the code point at i: callers trying a whole table decode it
  // once, and most keys fail on it.
  std::size_t key_at(std::size_t i, std::u32string_view key, CodePoint first) const {
    if (key.empty()) return i;
    if (first.next == i || first.c != key[0]) return kNoMatch;
    i = first.next;
    for (char32_t k : key.substr(1)) {
      const CodePoint cp = code_point_at(i);
      if (cp.next == i || cp.c != k) return kNoMatch;
      i = cp.next;
    }
    return i;
  }
  std::size_t key_at(std::size_t i, std::u32string_view key) const {
    return key_at(i, key, code_point_at(i));
  }
  // A key at i that is not directly followed by a letter.
  std::size_t whole_key_at(std::size_t i, std::u32string_view key, CodePoint first) const {
    const std::size_t end = key_at(i, key, first);
    return end != kNoMatch && !letter_at(end) ? end : kNoMatch;
  }

  std::optional<ScannedNumber> scan(std::size_t i, Thousands thousands = Thousands::kEnd) const {
    return scan_number_utf8(text_, i, thousands);
  }
  // A one- or two-digit integer ≤ max at i.
  std::optional<SmallNumber> small_number_at(std::size_t i, std::uint64_t max) const {
    const auto number = scan(i);
    if (!number || number->digits.size() > 2) return std::nullopt;
    const auto value = parse_integer(number->digits);
    if (!value || *value > max) return std::nullopt;
    return SmallNumber{*value, i + number->consumed};
  }

  // Rewrites or copies what stands at z; returns the offset after it.
  std::size_t step(std::size_t z) {
    const unsigned char b = byte(z);
    if (b >= 0x80 || b == '$' || (b >= 'A' && b <= 'Z')) {
      if (auto next = currency(z)) return *next;
    } else if (b == kMinus) {
      if (auto next = minus_sign(z)) return *next;
    } else if (b == kPlus) {
      if (auto next = country_code(z)) return *next;
    }
    if (auto number = scan(z, Thousands::kContinue)) return number_rules(z, *number);
    const std::size_t next = code_point_at(z).next;
    out_.append(text_.substr(z, next - z));
    return next;
  }

  // The first mark that stands at z decides: with an amount after it, the
  // amount and its name are written; a dollar form without one is copied.
  std::optional<std::size_t> currency(std::size_t z) {
    const CodePoint first = code_point_at(z);
    for (const CurrencyMark& mark : kCurrencies) {
      const std::size_t after = mark.kind == CurrencyKind::kCode ? whole_key_at(z, mark.key, first)
                                                                 : key_at(z, mark.key, first);
      if (after == kNoMatch) continue;
      const bool spaced = mark.kind != CurrencyKind::kDollar && at(after, ' ');
      if (auto next = amount_then_name(spaced ? after + 1 : after, mark.name)) return next;
      if (mark.kind != CurrencyKind::kDollar) return std::nullopt;
      out_.append(text_.substr(z, after - z));
      return after;
    }
    return std::nullopt;
  }

  // The amount at u, any multipliers after it, then `name`: 一點五億元. The
  // offset after them, or nullopt (nothing appended) when no number is at u.
  std::optional<std::size_t> amount_then_name(std::size_t u, std::string_view name) {
    const auto number = scan(u, Thousands::kContinue);
    if (!number) return std::nullopt;
    std::size_t end = u + number->consumed;
    const bool multiplied = is_one_of(kMultipliers, code_point_at(end).c);
    if (number->digits == "2" && !multiplied) {
      out_.append(kTwoCounted);
    } else {
      append_decimal(out_, number->digits);
    }
    for (CodePoint cp = code_point_at(end); is_one_of(kMultipliers, cp.c);
         cp = code_point_at(end)) {
      out_.append(text_.substr(end, cp.next - end));
      end = cp.next;
    }
    out_.append(name);
    return end;
  }

  // A minus sign before a number that no letter, digit, dash or spaced
  // digit precedes (-5°C, 跌到-3.5%); between numbers it is a range instead.
  std::optional<std::size_t> minus_sign(std::size_t z) {
    if (!digit_at(z + 1)) return std::nullopt;
    const CodePoint before = code_point_before(z);
    if (is_ascii_alnum(before.c) || before.c == kMinus) return std::nullopt;
    if (before.c == U' ' && is_ascii_digit(code_point_before(before.next).c)) return std::nullopt;
    out_.append(kMinusWord);
    return z + 1;
  }

  // "+852 9876 5432": the country code and the number, digit by digit.
  std::optional<std::size_t> country_code(std::size_t z) {
    const auto code = scan(z + 1);
    if (!code || code->digits.size() > kMaxCountryCodeDigits || !parse_integer(code->digits)) {
      return std::nullopt;
    }
    const CodePoint sep = code_point_at(z + 1 + code->consumed);
    if (!is_one_of(kPhoneSeparators, sep.c)) return std::nullopt;
    const auto first = scan(sep.next);
    if (!first || !parse_integer(first->digits)) return std::nullopt;
    const std::size_t w = sep.next + first->consumed;
    std::string phone = first->digits;
    std::size_t end = w;
    if (phone.size() == kPhoneGroupDigits) {
      const auto second = phone_group_after(w);
      if (!second) return std::nullopt;
      phone += second->digits;
      end = second->end;
    }
    if (phone.size() != kPhoneDigits) return std::nullopt;
    append_digits(out_, code->digits);
    append_digits(out_, phone);
    return end;
  }

  // The second group of a phone number written 4+4: a separator at w, then
  // exactly four digits with no decimal part.
  struct PhoneGroup {
    std::string digits;
    std::size_t end;
  };
  std::optional<PhoneGroup> phone_group_after(std::size_t w) const {
    const CodePoint sep = code_point_at(w);
    if (!is_one_of(kPhoneSeparators, sep.c)) return std::nullopt;
    auto second = scan(sep.next);
    if (!second || second->digits.size() != kPhoneGroupDigits || !parse_integer(second->digits)) {
      return std::nullopt;
    }
    return PhoneGroup{std::move(second->digits), sep.next + second->consumed};
  }

  // The number s at z (ending at w) and what follows it.
  std::size_t number_rules(std::size_t z, const ScannedNumber& number) {
    const std::string& s = number.digits;
    const std::size_t w = z + number.consumed;
    const CodePoint o = code_point_at(w);
    const bool percent = is_one_of(kPercentSigns, o.c);
    const bool decimal = s.find('.') != std::string::npos;
    const std::optional<std::uint64_t> value = decimal ? std::nullopt : parse_integer(s);
    // Only a number written without separators or decimals can be part of a
    // date, time, phone number, fraction or ratio.
    const bool bare = value && !number.grouped;

    if (bare) {
      if (auto next = date(s, w)) return *next;
      if (auto next = time_of_day(*value, s, w)) return *next;
      if (auto next = phone(s, w)) return *next;
    }

    // Unit: one space may stand between number and unit, and is consumed
    // only together with a unit (or a half of the day).
    const std::size_t p = at(w, ' ') ? w + 1 : w;
    const CodePoint at_p = code_point_at(p);
    for (const NamedMark& unit : kUnits) {
      const std::size_t after = whole_key_at(p, unit.key, at_p);
      if (after == kNoMatch) continue;
      append_amount(s);
      out_.append(unit.name);
      return after;
    }
    if (bare && s.size() <= 2 && *value <= kMaxHalfDayHour) {
      if (auto half = day_half_at(p)) {
        out_.append(half->name);
        append_hour(*value);
        return half->end;
      }
    }

    // Decimal: never a fraction, ratio, year or count.
    if (decimal) {
      if (percent) out_.append(kPercentPrefix);
      append_decimal(out_, s);
      return percent ? o.next : w;
    }

    if (bare && o.c == kFractionSlash && s.size() <= kMaxFractionDigits) {
      if (auto next = fraction(*value, o.next)) return *next;
    } else if (bare && is_one_of(kRatioColons, o.c)) {
      if (auto next = ratio(*value, o.next)) return *next;
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

    // Range: the first number is read as what follows the second decides
    // (三至五日, 百分之十至二十, 一九九八至二零零二年); before "=" a hyphen
    // subtracts.
    if (is_one_of(kRangeMarks, o.c) && digit_at(o.next)) {
      const auto second = scan(o.next, Thousands::kContinue);
      const std::size_t w2 = o.next + second->consumed;
      if (is_one_of(kPercentSigns, code_point_at(w2).c) && value) {
        out_.append(kPercentPrefix);
        append_cardinal(out_, *value);
      } else {
        append_integer(s, value, number.grouped, z, w2);
      }
      const bool subtraction = o.c == kMinus && key_at(w2, kEquals) != kNoMatch;
      out_.append(subtraction ? kSubtractWord : kRangeWord);
      return o.next;
    }

    append_integer(s, value, number.grouped, z, w);
    for (const NamedMark& op : kOperators) {
      const std::size_t after = key_at(w, op.key, o);
      if (after != kNoMatch && digit_at(after)) {
        out_.append(op.name);
        return after;
      }
    }
    return w;
  }

  // An amount before a unit: 兩 for the count 2, else read in full.
  void append_amount(const std::string& s) {
    if (s == "2") {
      out_.append(kTwoCounted);
    } else {
      append_decimal(out_, s);
    }
  }

  void append_integer(const std::string& s, std::optional<std::uint64_t> value, bool grouped,
                      std::size_t z, std::size_t follower) {
    switch (choose_reading(s, value, grouped, z, follower)) {
      case Reading::kDigits:
        append_digits(out_, s);
        break;
      case Reading::kCardinal:
        append_cardinal(out_, *value);
        break;
      case Reading::kTwoCounted:
        out_.append(kTwoCounted);
        break;
    }
  }

  // How the integer s starting at z is read when `follower` is the offset of
  // what follows it (for the first number of a range, what follows the
  // second).
  Reading choose_reading(const std::string& s, std::optional<std::uint64_t> value, bool grouped,
                         std::size_t z, std::size_t follower) const {
    if (!value) return Reading::kDigits;
    if (grouped) return Reading::kCardinal;
    const CodePoint after = code_point_at(follower);
    if (after.c == kYear) return year_reading(s, *value, z, after.next);
    if (const Counter* counter = counter_at(follower, after)) {
      const bool counted = counter->two_is_loeng && *value == 2 &&
                           !is_one_of(kOrdinalBefore, code_point_before(z).c);
      return counted ? Reading::kTwoCounted : Reading::kCardinal;
    }
    if (is_one_of(kMultipliers, after.c)) return Reading::kCardinal;
    if (s.size() >= kDialMinDigits && s.size() <= kDialMaxDigits && dial_word_before(z)) {
      return Reading::kDigits;
    }
    const bool year_like = s.size() == kYearDigits && *value >= kFirstYear && *value <= kLastYear;
    return year_like || s.size() >= kDigitStringLength ? Reading::kDigits : Reading::kCardinal;
  }

  // A number before 年: a year (digit by digit) when it has four digits or
  // a leading zero, or two digits that a word of place in time introduces or
  // a month follows; a decade or a count of years (a cardinal) otherwise.
  Reading year_reading(const std::string& s, std::uint64_t value, std::size_t z,
                       std::size_t after_year) const {
    const CodePoint next = code_point_at(after_year);
    if (next.c == kDecade) return s.size() >= kYearDigits ? Reading::kDigits : Reading::kCardinal;
    if (next.c == kGrade) return Reading::kCardinal;
    if (s.size() >= kYearDigits || (s.size() > 1 && s[0] == '0')) return Reading::kDigits;
    if (s.size() == 2) {
      const bool introduced = is_one_of(kCalendarBefore, code_point_before(z).c) &&
                              !is_one_of(kSpanAfterYear, next.c);
      const auto month = small_number_at(after_year, kMaxMonth);
      const bool month_follows = month && code_point_at(month->end).c == kMonth;
      if (introduced || month_follows) return Reading::kDigits;
    }
    return value == 2 ? Reading::kTwoCounted : Reading::kCardinal;
  }

  // The counter at i, whose first code point is `first`.
  const Counter* counter_at(std::size_t i, CodePoint first) const {
    if (!is_cjk(first.c)) return nullptr;
    for (const Counter& counter : kCounters) {
      if (key_at(i, counter.key, first) != kNoMatch) return &counter;
    }
    return nullptr;
  }

  // A dialling word ends before z, with at most one separator between.
  bool dial_word_before(std::size_t z) const {
    std::size_t end = z;
    const CodePoint before = code_point_before(z);
    if (is_one_of(kDialSeparators, before.c)) end = before.next;
    const std::string_view head = text_.substr(0, end);
    for (std::string_view word : kDialWords) {
      if (head.ends_with(word)) return true;
    }
    return false;
  }

  // Y-M-D and Y/M/D with a four-digit year, or D/M/Y (the Hong Kong order),
  // read 二零二四年三月十五日.
  std::optional<std::size_t> date(const std::string& s, std::size_t w) {
    const CodePoint sep = code_point_at(w);
    if (!is_one_of(kDateSeparators, sep.c)) return std::nullopt;
    const auto middle = small_number_at(sep.next, kMaxMonth);
    const CodePoint second_sep = code_point_at(middle ? middle->end : w);
    if (!middle || second_sep.c != sep.c) return std::nullopt;
    const std::size_t last_start = second_sep.next;
    if (s.size() == kYearDigits) {
      const auto day = small_number_at(last_start, kMaxDay);
      if (!day || day->value == 0 || middle->value == 0 || digit_at(day->end)) return std::nullopt;
      append_date(s, middle->value, day->value);
      return day->end;
    }
    const auto year = scan(last_start);
    const auto day = parse_integer(s);
    if (s.size() > 2 || !day || *day == 0 || *day > kMaxDay || middle->value == 0 || !year ||
        year->digits.size() != kYearDigits || !parse_integer(year->digits)) {
      return std::nullopt;
    }
    append_date(year->digits, middle->value, *day);
    return last_start + year->consumed;
  }

  void append_date(const std::string& year, std::uint64_t month, std::uint64_t day) {
    append_digits(out_, year);
    out_.append(kYearWord);
    append_cardinal(out_, month);
    out_.append(kMonthWord);
    append_cardinal(out_, day);
    out_.append(kDayWord);
  }

  // H:MM and H:MM:SS with two-digit minutes and seconds, an hour ≤ 24 and
  // minutes and seconds ≤ 59, optionally followed by am/pm; a time range
  // (9:00-18:00) reads 至 between. Anything else after a colon is a ratio.
  std::optional<std::size_t> time_of_day(std::uint64_t hour, const std::string& s, std::size_t w) {
    const CodePoint colon = code_point_at(w);
    if (s.size() > 2 || hour > kMaxHour || !is_one_of(kRatioColons, colon.c)) return std::nullopt;
    const auto minute = two_digit_field(colon.next);
    if (!minute) return std::nullopt;
    std::size_t end = minute->end;
    std::optional<SmallNumber> second;
    if (const CodePoint next = code_point_at(end); is_one_of(kRatioColons, next.c)) {
      second = two_digit_field(next.next);
      if (second) end = second->end;
    }
    const std::size_t p = at(end, ' ') ? end + 1 : end;
    if (auto half = day_half_at(p)) {
      out_.append(half->name);
      end = half->end;
    }
    append_hour(hour);
    const bool with_seconds = second && second->value != 0;
    if (minute->value != 0 || with_seconds) append_clock_field(minute->value, kMinuteWord);
    if (with_seconds) append_clock_field(second->value, kSecondWord);
    if (const CodePoint mark = code_point_at(end);
        is_one_of(kRangeMarks, mark.c) && digit_at(mark.next)) {
      out_.append(kRangeWord);
      return mark.next;
    }
    return end;
  }

  // Exactly two digits ≤ 59 at i, not followed by another digit.
  std::optional<SmallNumber> two_digit_field(std::size_t i) const {
    const auto number = scan(i);
    if (!number || number->digits.size() != 2) return std::nullopt;
    const auto value = parse_integer(number->digits);
    if (!value || *value > kMaxMinute) return std::nullopt;
    return SmallNumber{*value, i + number->consumed};
  }

  void append_hour(std::uint64_t hour) {
    if (hour == 2) {
      out_.append(kTwoCounted);
    } else {
      append_cardinal(out_, hour);
    }
    out_.append(kHourWord);
  }

  // 零五分, 三十分; 零分 for a zero minute before seconds.
  void append_clock_field(std::uint64_t value, std::string_view word) {
    if (value < 10 && value != 0) out_.append(kZero);
    append_cardinal(out_, value);
    out_.append(word);
  }

  struct DayHalf {
    std::string_view name;
    std::size_t end;
  };
  std::optional<DayHalf> day_half_at(std::size_t i) const {
    const CodePoint first = code_point_at(i);
    for (const NamedMark& half : kDayHalves) {
      const std::size_t after = whole_key_at(i, half.key, first);
      if (after != kNoMatch) return DayHalf{half.name, after};
    }
    return std::nullopt;
  }

  // 8 digits written 4+4 with a space or hyphen, the first digit 2..9 as in
  // Hong Kong numbers; with a hyphen, two four-digit years are a range.
  std::optional<std::size_t> phone(const std::string& s, std::size_t w) {
    if (s.size() != kPhoneGroupDigits || s[0] < '2') return std::nullopt;
    const auto second = phone_group_after(w);
    if (!second) return std::nullopt;
    if (code_point_at(w).c == U'-') {
      const auto first = parse_integer(s);
      const auto last = parse_integer(second->digits);
      const auto is_year = [](std::uint64_t y) { return y >= kFirstYear && y <= kLastYear; };
      if (is_year(*first) && is_year(*last)) return std::nullopt;
    }
    append_digits(out_, s);
    append_digits(out_, second->digits);
    return second->end;
  }

  // a/b with both parts short integers, the denominator read first.
  std::optional<std::size_t> fraction(std::uint64_t numerator, std::size_t u) {
    const auto second = scan(u);
    if (!second || second->digits.size() > kMaxFractionDigits || letter_at(u + second->consumed)) {
      return std::nullopt;
    }
    const auto denominator = parse_integer(second->digits);
    if (!denominator) return std::nullopt;
    append_cardinal(out_, *denominator);
    out_.append(kFractionWord);
    append_cardinal(out_, numerator);
    return u + second->consumed;
  }

  // a:b of two integers, no space around the colon.
  std::optional<std::size_t> ratio(std::uint64_t left, std::size_t u) {
    const auto second = scan(u);
    const auto right = second ? parse_integer(second->digits) : std::nullopt;
    if (!right) return std::nullopt;
    append_cardinal(out_, left);
    out_.append(kRatioWord);
    append_cardinal(out_, *right);
    return u + second->consumed;
  }

  std::string_view text_;
  std::string out_;
};

}  // namespace

std::string normalize_numbers(std::string_view text) { return NumberRewriter(text).run(); }

bool normalize_numbers_into(std::string_view text, std::string& out) {
  // Every rewrite reads a number, and a currency form without one is copied
  // as written: a text without a digit comes back unchanged.
  if (!contains_digit_utf8(text)) return false;
  out = NumberRewriter(text).run();
  return true;
}

}  // namespace quillet
