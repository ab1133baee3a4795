// Tests of the numeral reader: cardinals with their 零 and 十 rules, digit and
// decimal readings with the 64-bit fallbacks, and the number scanner.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "normalize/number_reading.h"
#include "unicode.h"

namespace quillet {
namespace {

TEST(NumberReading, Cardinals) {
  static const struct {
    std::uint64_t n;
    const char* want;
  } kRows[] = {
      {0, "零"},
      {7, "七"},
      {10, "十"},
      {11, "十一"},
      {19, "十九"},
      {20, "二十"},
      {21, "二十一"},
      {99, "九十九"},
      {100, "一百"},
      {101, "一百零一"},
      {110, "一百一十"},
      {115, "一百一十五"},
      {200, "二百"},
      {1000, "一千"},
      {1001, "一千零一"},
      {1010, "一千零一十"},
      {1050, "一千零五十"},
      {1100, "一千一百"},
      {2020, "二千零二十"},
      {9999, "九千九百九十九"},
      {10000, "一萬"},
      {10001, "一萬零一"},
      {10010, "一萬零一十"},
      {10100, "一萬零一百"},
      {10500, "一萬零五百"},
      {11000, "一萬一千"},
      {20000, "二萬"},
      {100000, "十萬"},
      {150000, "十五萬"},
      {1000000, "一百萬"},
      {10000000, "一千萬"},
      {12345678, "一千二百三十四萬五千六百七十八"},
      {100000000, "一億"},
      {100000001, "一億零一"},
      {100001000, "一億零一千"},
      {110000000, "一億一千萬"},
      {1000000000, "十億"},
      {1000000000000ULL, "一萬億"},
      {10000000000000000ULL, "一億億"},
      // The head of the number drops its 一 at every place, the rest never.
      {110000, "十一萬"},
      {1100000, "一百一十萬"},
      {100100000, "一億零一十萬"},
      {1500000000, "十五億"},
      {100000000000000000ULL, "十億億"},
      {UINT64_MAX,
       "一千八百四十四億六千七百四十四萬零七百三十七億零九百五十五萬一千六百一十五"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(read_cardinal(row.n, true), row.want) << "n=" << row.n;
  }
}

TEST(NumberReading, CardinalBelowTheTopKeepsLeadingOne) {
  static const struct {
    std::uint64_t n;
    const char* want;
  } kRows[] = {
      {10, "一十"},
      {15, "一十五"},
      {9, "九"},
      {20, "二十"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(read_cardinal(row.n, false), row.want) << "n=" << row.n;
  }
}

TEST(NumberReading, DigitsAndDecimals) {
  static const struct {
    const char* input;
    const char* digits;   // read_digits
    const char* decimal;  // read_decimal
  } kRows[] = {
      {"2024", "二零二四", "二千零二十四"},
      {"007", "零零七", "七"},
      {"1.5", "一.五", "一點五"},
      {"3.14", "三.一四", "三點一四"},
      {"0.5", "零.五", "零點五"},
      {"10.05", "一零.零五", "十點零五"},
      {"2.50", "二.五零", "二點五零"},
      {"18446744073709551615", "一八四四六七四四零七三七零九五五一六一五",
       "一千八百四十四億六千七百四十四萬零七百三十七億零九百五十五萬一千六百一十五"},
      // One past 64 bits: digit by digit.
      {"18446744073709551616", "一八四四六七四四零七三七零九五五一六一六",
       "一八四四六七四四零七三七零九五五一六一六"},
      // An integer part past 64 bits is read digit by digit, not dropped.
      {"18446744073709551616.5", "一八四四六七四四零七三七零九五五一六一六.五",
       "一八四四六七四四零七三七零九五五一六一六點五"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(read_digits(row.input), row.digits) << "input=" << row.input;
    EXPECT_EQ(read_decimal(row.input), row.decimal) << "input=" << row.input;
    EXPECT_EQ(count_code_points(read_digits(row.input)), count_code_points(row.input))
        << "input=" << row.input;
  }
}

TEST(NumberReading, ParseIntegerBounds) {
  static const struct {
    const char* input;
    std::optional<std::uint64_t> want;
  } kRows[] = {
      {"0", 0},
      {"00042", 42},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"000000000000000000000018446744073709551615", UINT64_MAX},
      {"", std::nullopt},
      {"1.5", std::nullopt},
      {"12a", std::nullopt},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(parse_integer(row.input), row.want) << "input=" << row.input;
  }
}

TEST(NumberReading, ScanNumber) {
  static const struct {
    const char* text;
    std::size_t start;
    const char* digits;  // nullptr: no number
    std::size_t consumed;
  } kRows[] = {
      {"123abc", 0, "123", 3},
      {"1.2.3", 0, "1.2", 3},
      {"1.", 0, "1", 1},
      {"1,000", 0, "1", 1},
      {"3.x", 0, "3", 1},
      {".5", 0, nullptr, 0},
      {"１２.５", 0, "12.5", 4},
      {"１２．５", 0, "12", 2},
      {"０９", 0, "09", 2},
      {"ab12", 2, "12", 2},
      {"ab12", 4, nullptr, 0},
      {"ab12", 9, nullptr, 0},
      {"x", 0, nullptr, 0},
      {"5.", 0, "5", 1},
      {"2.５0%", 0, "2.50", 4},
  };
  for (const auto& row : kRows) {
    const auto v = decode_utf8(row.text);
    const auto got = scan_number(v, row.start);
    if (row.digits == nullptr) {
      EXPECT_FALSE(got.has_value()) << "text=" << row.text << " start=" << row.start;
      continue;
    }
    ASSERT_TRUE(got.has_value()) << "text=" << row.text << " start=" << row.start;
    EXPECT_EQ(got->digits, row.digits) << "text=" << row.text;
    EXPECT_EQ(got->consumed, row.consumed) << "text=" << row.text;
  }
}

// With thousands separators: a comma and exactly three digits continue the
// number, only after a first group of at most three digits.
TEST(NumberReading, ScanWithThousandsSeparators) {
  static const struct {
    const char* text;
    const char* digits;
    std::size_t consumed;  // bytes
    bool grouped;
  } kRows[] = {
      {"1,000", "1000", 5, true},
      {"6,800,000", "6800000", 9, true},
      {"12,345.67", "12345.67", 9, true},
      {"999,999,999,999,999,999,999", "999999999999999999999", 27, true},
      {"1,00", "1", 1, false},
      {"1,0000", "1", 1, false},
      {"1,000,0000", "1000", 5, true},
      {"1234,567", "1234", 4, false},
      {"1,2,3", "1", 1, false},
      {"1,", "1", 1, false},
      {"1,000,", "1000", 5, true},
      {"1,000.", "1000", 5, true},
      {"１,０００", "1000", 13, true},
      {"1，000", "1", 1, false},
  };
  for (const auto& row : kRows) {
    const auto got = scan_number_utf8(row.text, 0, Thousands::kContinue);
    ASSERT_TRUE(got.has_value()) << "text=" << row.text;
    EXPECT_EQ(got->digits, row.digits) << "text=" << row.text;
    EXPECT_EQ(got->consumed, row.consumed) << "text=" << row.text;
    EXPECT_EQ(got->grouped, row.grouped) << "text=" << row.text;
  }
}

// The byte-walking scanner agrees with the code-point one on every row;
// its count is in bytes.
TEST(NumberReading, ScanNumberUtf8MatchesCodePointScan) {
  static const char* const kTexts[] = {
      "123abc", "1.2.3", "1.", "1,000", "3.x", ".5", "１２.５", "１２．５", "０９", "ab12",
      "2.５0%", "7", "7.", "€５", "５", "\xEF\xBC", "1\xEF\xBC", "９\xEF"};
  for (const char* text : kTexts) {
    const std::string_view s(text);
    const auto v = decode_utf8(s);
    std::size_t byte_pos = 0;
    for (std::size_t i = 0; i <= v.size(); ++i) {
      const auto by_code_point = scan_number(v, i);
      const auto by_byte = scan_number_utf8(s, byte_pos);
      ASSERT_EQ(by_code_point.has_value(), by_byte.has_value()) << "text=" << text << " i=" << i;
      if (by_byte) {
        EXPECT_EQ(by_byte->digits, by_code_point->digits) << "text=" << text << " i=" << i;
        std::string prefix;
        for (std::size_t k = i; k < i + by_code_point->consumed; ++k) append_utf8(prefix, v[k]);
        EXPECT_EQ(by_byte->consumed, prefix.size()) << "text=" << text << " i=" << i;
      }
      if (i < v.size()) next_code_point(s, byte_pos);
    }
  }
}

}  // namespace
}  // namespace quillet
