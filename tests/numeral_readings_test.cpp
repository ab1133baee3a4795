// Numbers over whole ranges, through the real pipeline: every integer
// 0..100,000 and random 64-bit numbers, bare and before 元, must come out as
// numerals that a strict parser written here (not the reader's own rules)
// turns back into the number, and must be read with the standard readings,
// also where the dictionary holds numeral words (十分 "very" keeps fan1, but
// 分 of a fraction reads fan6).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "normalize/number_rewrite.h"
#include "pipeline.h"
#include "test_util.h"
#include "unicode.h"

namespace quillet {
namespace {

// The standard readings of the numerals the pass writes.
struct NumeralReading {
  char32_t c;
  int value;  // digit value, or -1
  const char* reading;
};
constexpr NumeralReading kNumerals[] = {
    {U'零', 0, "ling4"}, {U'一', 1, "jat1"},  {U'二', 2, "ji6"},   {U'三', 3, "saam1"},
    {U'四', 4, "sei3"},  {U'五', 5, "ng5"},   {U'六', 6, "luk6"},  {U'七', 7, "cat1"},
    {U'八', 8, "baat3"}, {U'九', 9, "gau2"},  {U'兩', 2, "loeng5"}, {U'十', -1, "sap6"},
    {U'百', -1, "baak3"}, {U'千', -1, "cin1"}, {U'萬', -1, "maan6"}, {U'億', -1, "jik1"},
    {U'點', -1, "dim2"},
};

const NumeralReading* numeral(char32_t c) {
  for (const NumeralReading& n : kNumerals) {
    if (n.c == c) return &n;
  }
  return nullptr;
}

int digit_of(char32_t c) {
  const NumeralReading* n = numeral(c);
  return n != nullptr && n->c != U'兩' ? n->value : -1;
}

// A strict parser of cardinals as Hong Kong writes them: places in falling
// order, one 零 exactly where places are skipped, 十 without 一 only at the
// head of the number, nothing else. nullopt for anything not canonical.
std::optional<std::uint64_t> parse_section(std::u32string_view s, bool head) {
  constexpr std::uint64_t kPlaces[] = {1000, 100, 10};
  std::uint64_t value = 0;
  std::uint64_t last = 10000;  // the place written last
  bool zero = false;
  std::size_t i = 0;
  if (head && !s.empty() && s[0] == U'十') {
    value = 10;
    last = 10;
    i = 1;
  }
  while (i < s.size()) {
    if (s[i] == U'零') {
      if (zero || value == 0) return std::nullopt;
      zero = true;
      ++i;
      continue;
    }
    const int d = digit_of(s[i]);
    if (d <= 0) return std::nullopt;
    std::uint64_t place = 1;
    if (i + 1 < s.size()) {
      const char32_t unit = s[i + 1];
      place = unit == U'千' ? kPlaces[0] : unit == U'百' ? kPlaces[1] : unit == U'十' ? kPlaces[2] : 0;
      if (place == 0) return std::nullopt;
    }
    if (head && value == 0 && d == 1 && place == 10) return std::nullopt;  // 一十 at the head
    const bool adjacent = place * 10 == last;
    if (value != 0 && (place >= last || adjacent == zero)) return std::nullopt;
    value += static_cast<std::uint64_t>(d) * place;
    last = place;
    zero = false;
    i += place == 1 ? 1 : 2;
  }
  if (zero || value == 0) return std::nullopt;
  return value;
}

// Splits at the last `unit`: the part before it (at least 1) times `scale`,
// plus the rest, which starts with 零 exactly when it is below scale / 10.
std::optional<std::uint64_t> parse_cardinal(std::u32string_view s, bool head = true);

std::optional<std::uint64_t> parse_scaled(std::u32string_view s, std::size_t at,
                                          std::uint64_t scale, bool head, bool nested) {
  const auto high = nested ? parse_cardinal(s.substr(0, at), head)
                           : parse_section(s.substr(0, at), head);
  if (!high || *high == 0 || *high > UINT64_MAX / scale) return std::nullopt;
  std::u32string_view rest = s.substr(at + 1);
  if (rest.empty()) return *high * scale;
  const bool zero = rest[0] == U'零';
  if (zero) rest.remove_prefix(1);
  const auto low = parse_cardinal(rest, false);
  if (!low || *low == 0 || *low >= scale || zero != (*low < scale / 10)) return std::nullopt;
  if (*high * scale > UINT64_MAX - *low) return std::nullopt;
  return *high * scale + *low;
}

std::optional<std::uint64_t> parse_cardinal(std::u32string_view s, bool head) {
  if (s == U"零") return head ? std::optional<std::uint64_t>(0) : std::nullopt;
  if (const std::size_t at = s.rfind(U'億'); at != std::u32string_view::npos) {
    return parse_scaled(s, at, 100'000'000, head, true);
  }
  if (const std::size_t at = s.rfind(U'萬'); at != std::u32string_view::npos) {
    return parse_scaled(s, at, 10'000, head, false);
  }
  return parse_section(s, head);
}

// The digit string of a digit-by-digit reading, or "" if it is not one.
std::string parse_digits(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) {
    const int d = digit_of(c);
    if (d < 0) return "";
    out.push_back(static_cast<char>('0' + d));
  }
  return out;
}

// The readings a text of numerals must get: each numeral's own, 分 before
// 之 fan6, and the given reading for any other character.
std::string standard_readings(std::u32string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!out.empty()) out += ' ';
    if (const NumeralReading* n = numeral(s[i])) {
      out += n->reading;
    } else if (s[i] == U'分') {
      out += i + 1 < s.size() && s[i + 1] == U'之' ? "fan6" : "fan1";
    } else if (s[i] == U'之') {
      out += "zi1";
    } else if (s[i] == U'元') {
      out += "jyun4";
    } else {
      out += "?";
    }
  }
  return out;
}

std::u32string decode(std::string_view s) {
  const auto v = decode_utf8(s);
  return {v.begin(), v.end()};
}

// Characters with their standard readings, and numeral words as the data
// build leaves them: a word whose 分 is not a fraction keeps fan1, and the
// fraction words read fan6.
const Pipeline& numeral_pipeline() {
  static const testing::TempDir dir;
  static const Pipeline pipeline = [] {
    std::vector<DictEntry> chars = {{"分", "fan1"}, {"之", "zi1"}, {"元", "jyun4"}};
    for (const NumeralReading& n : kNumerals) {
      std::string key;
      append_utf8(key, n.c);
      chars.push_back({key, n.reading});
    }
    testing::write_dict(dir, "char.bin", chars);
    testing::write_dict(dir, "word.bin",
                        {{"十分", "sap6 fan1"}, {"萬分", "maan6 fan1"}, {"一點", "jat1 dim2"},
                         {"十九", "sap6 gau2"}, {"分之", "fan6 zi1"}, {"十分之", "sap6 fan6 zi1"},
                         {"萬分之", "maan6 fan6 zi1"}, {"百分之", "baak3 fan6 zi1"}});
    return testing::load(dir);
  }();
  return pipeline;
}

class NumeralReadings : public ::testing::Test {
 protected:
  // n as digits, with `suffix`: the rewritten text must be a canonical
  // cardinal of n (or, bare, n digit by digit; or 兩 for 2 before 元), and
  // it must be read with the standard readings.
  void check(std::uint64_t n, std::string_view suffix) {
    const std::string text = std::to_string(n) + std::string(suffix);
    const std::u32string written = decode(normalize_numbers(text));
    const std::u32string_view number =
        std::u32string_view(written).substr(0, written.size() - decode(suffix).size());
    const auto value = parse_cardinal(number);
    const bool as_digits = suffix.empty() && parse_digits(number) == std::to_string(n);
    const bool counted_two = !suffix.empty() && n == 2 && number == U"兩";
    ASSERT_TRUE((value && *value == n) || as_digits || counted_two) << "input=«" << text << "»";
    ASSERT_EQ(convert(pipeline_, text), standard_readings(written)) << "input=«" << text << "»";
  }

  const Pipeline& pipeline_ = numeral_pipeline();
};

TEST_F(NumeralReadings, EveryIntegerUpToOneHundredThousand) {
  for (std::uint64_t n = 0; n <= 100'000; ++n) {
    check(n, "");
    check(n, "元");
  }
}

TEST_F(NumeralReadings, Random64BitNumbers) {
  std::mt19937_64 rng(14);
  for (int i = 0; i < 20'000; ++i) {
    // Every length from 1 to 20 digits, not only the long ones.
    const std::uint64_t n = rng() >> (rng() % 64);
    check(n, "");
    check(n, "元");
  }
  check(UINT64_MAX, "元");
}

TEST_F(NumeralReadings, FractionsReadFenSixBeforeZi) {
  for (int b = 1; b <= 999; ++b) {
    for (int a : {1, 3, 19, 99}) {
      const std::string text = std::to_string(a) + "/" + std::to_string(b);
      const std::u32string written = decode(normalize_numbers(text));
      ASSERT_NE(written.find(U"分之"), std::u32string::npos) << "input=«" << text << "»";
      ASSERT_EQ(convert(pipeline_, text), standard_readings(written)) << "input=«" << text << "»";
    }
  }
}

// The parser is the oracle above, so it must itself reject what is not a
// canonical cardinal.
TEST(NumeralParser, RejectsWhatIsNotCanonical) {
  static const struct {
    const char32_t* text;
    std::optional<std::uint64_t> want;
  } kRows[] = {
      {U"十五", 15},           {U"一百一十五", 115},  {U"十萬", 100'000},
      {U"一萬零一", 10'001},   {U"一萬零一十", 10'010}, {U"一億零一千", 100'001'000},
      {U"一十五", std::nullopt}, {U"一百十五", std::nullopt}, {U"一萬一", std::nullopt},
      {U"一千零零一", std::nullopt}, {U"一千一", std::nullopt}, {U"一萬零一千", std::nullopt},
      {U"一十萬", std::nullopt}, {U"零一", std::nullopt}, {U"一百零", std::nullopt},
      {U"二千三千", std::nullopt},
  };
  for (const auto& row : kRows) {
    const std::u32string_view text = row.text;
    EXPECT_EQ(parse_cardinal(text), row.want) << "row " << (&row - kRows);
  }
}

}  // namespace
}  // namespace quillet
