// Tests of the number rewriting pass, one table per rule. Rows are chosen to
// catch off-by-one consumption (the space only a unit may take, the sign or
// slash a rule must or must not take), wrong rule order and full-width forms.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

#include "normalize/number_rewrite.h"

namespace quillet {
namespace {

struct Row {
  const char* input;
  const char* want;
};

void check_rows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(normalize_numbers(row.input), row.want) << "input=«" << row.input << "»";
  }
}

TEST(NumberRewrite, YearsAndGeneralRule) {
  static const Row kRows[] = {
      {"1998", "一九九八"},
      {"1998年", "一九九八年"},
      {"2024年3月15日", "二零二四年三月十五日"},
      {"10年", "十年"},
      {"２０２４年", "二零二四年"},
      {"3000", "三千"},
      {"2000", "二零零零"},
      {"2999", "二九九九"},
      {"0999", "九百九十九"},
      {"999", "九百九十九"},
      {"12345", "一萬二千三百四十五"},
      {"123456", "十二萬三千四百五十六"},
      {"1234567", "一二三四五六七"},
      {"91234567", "九一二三四五六七"},
      {"0800", "八百"},
      {"007", "七"},
      {"9123 4567", "九一二三四五六七"},
      {"-5", "負五"},
      {"3-5", "三至五"},
      {"2024-03-15", "二零二四年三月十五日"},
      {"abc", "abc"},
      {"第15", "第十五"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, MeasureCharacters) {
  static const Row kRows[] = {
      {"2000元", "二千元"},
      {"1000000元", "一百萬元"},
      {"3點", "三點"},
      {"10點30分", "十點三十分"},
      {"15日", "十五日"},
      {"2000人", "二千人"},
      {"1998號", "一千九百九十八號"},
      {"12345678樓", "一千二百三十四萬五千六百七十八樓"},
      // Too large for 64 bits: the general rule.
      {"18446744073709551616元", "一八四四六七四四零七三七零九五五一六一六元"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Decimals) {
  static const Row kRows[] = {
      {"3.14", "三點一四"},
      {"7.5折", "七點五折"},
      {"1.5L", "一點五公升"},
      {"1.2.3", "一點二.三"},
      {"2024.5年", "二千零二十四點五年"},
      {"1234567.5", "一百二十三萬四千五百六十七點五"},
      {"3.", "三."},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Percent) {
  static const Row kRows[] = {
      {"50%", "百分之五十"},
      {"50％", "百分之五十"},
      {"３.５％", "百分之三點五"},
      {"0.5%", "百分之零點五"},
      {"50 %", "五十 %"},
      {"50%off", "百分之五十off"},
      {"2000%", "百分之二千"},
      {"1234567%", "百分之一百二十三萬四千五百六十七"},
      {"50%%", "百分之五十%"},
      // Past 64 bits the percent reading stays, digit by digit.
      {"18446744073709551616%", "百分之一八四四六七四四零七三七零九五五一六一六"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Fractions) {
  static const Row kRows[] = {
      {"3/4", "四分之三"},
      {"1/2", "二分之一"},
      {"10/20", "二十分之十"},
      {"100/200", "二百分之一百"},
      {"1/1000", "一/一零零零"},
      {"1000/1", "一零零零/一"},
      {"3/4km", "三/四公里"},
      {"3/4元", "四分之三元"},
      {"1/2/3", "二分之一/三"},
      {"1.5/2", "一點五/二"},
      {"1/2.5", "一/二點五"},
      {"1/", "一/"},
      {"1/x", "一/x"},
      {"2024/03/15", "二零二四年三月十五日"},
      {"1/3/2024", "二零二四年三月一日"},
      {"１/２", "二分之一"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Ratios) {
  static const Row kRows[] = {
      {"3:2", "三比二"},
      {"10：30", "十點三十分"},
      {"12:00pm", "下午十二點"},
      {"3:2:1", "三比二:一"},
      {"3:2.5", "三:二點五"},
      {"3.5:2", "三點五:二"},
      {"3: 2", "三: 二"},
      {"3:", "三:"},
      {"10:30:45", "十點三十分四十五秒"},
      {"1998:2024", "一千九百九十八比二千零二十四"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Units) {
  static const Row kRows[] = {
      {"5 km", "五公里"},
      {"5km", "五公里"},
      {"5km/h", "五公里每小時"},
      {"5 kmh", "五 kmh"},
      {"5 min", "五 min"},
      {"5 m", "五米"},
      {"5m.", "五米."},
      {"5  m", "五  m"},
      {"5m/s", "五米每秒"},
      {"5mph", "五英里每小時"},
      {"2cm²", "兩平方厘米"},
      {"3m²", "三平方米"},
      {"8㎡", "八平方米"},
      {"3㎞", "三公里"},
      {"30°C", "三十攝氏度"},
      {"30°F", "三十華氏度"},
      {"30 ℃", "三十攝氏度"},
      {"30℉", "三十華氏度"},
      {"12 kWh", "十二千瓦時"},
      {"12kW", "十二千瓦"},
      {"5W", "五瓦特"},
      {"5mL", "五毫升"},
      {"5ml", "五毫升"},
      {"5mg", "五毫克"},
      {"5kg", "五公斤"},
      {"5g", "五克"},
      {"5L", "五公升"},
      {"5l", "五公升"},
      {"5mm", "五毫米"},
      {"5KM", "五KM"},
      {"12345678km", "一千二百三十四萬五千六百七十八公里"},
      {"2024m", "二千零二十四米"},
      {"5m中", "五米中"},
      {"5 ", "五 "},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, CurrencySymbols) {
  static const Row kRows[] = {
      {"€5", "五歐元"},
      {"€ 5", "五歐元"},
      {"€  5", "€  五"},
      {"£5", "五英鎊"},
      {"₩1000", "一千韓圓"},
      {"¥100", "一百日圓"},
      {"￥100", "一百人民幣"},
      {"5€", "五€"},
      {"€", "€"},
      {"€ ", "€ "},
      {"€2024", "二千零二十四歐元"},
      {"€1.50", "一點五零歐元"},
      {"€５", "五歐元"},
      {"€5km", "五歐元km"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Dollars) {
  static const Row kRows[] = {
      {"HK$100", "一百元"},
      {"$100", "一百元"},
      {"$ 5", "$ 五"},
      {"HK$", "HK$"},
      {"HK$ 5", "HK$ 五"},
      {"HK$1,000", "一千元"},
      {"HK5", "HK五"},
      {"H$5", "H五元"},
      {"$$5", "$五元"},
      {"$2024", "二千零二十四元"},
      {"HK$1234567", "一百二十三萬四千五百六十七元"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, CurrencyCodes) {
  static const Row kRows[] = {
      {"USD 100", "一百美元"},
      {"USD100", "一百美元"},
      {"USD 2024", "二千零二十四美元"},
      {"CNY 3.5", "三點五人民幣"},
      {"EUR5", "五歐元"},
      {"AUD5", "五澳元"},
      {"RMB 5", "五人民幣"},
      {"TWD 5", "五新台幣"},
      {"100 USD", "一百 USD"},
      {"EURO 5", "EURO 五"},
      {"usd 5", "usd 五"},
      {"HKD 100", "HKD 一百"},
      {"FUSD 5", "F五美元"},
      {"USD  5", "USD  五"},
      {"USD", "USD"},
      {"USD x 5", "USD x 五"},
      {"USDUSD 5", "USD五美元"},  // the text before a code is not examined
  };
  check_rows(kRows);
}

// A mix of everything, where one rule's leftovers meet the next rule.
TEST(NumberRewrite, Sentences) {
  static const Row kRows[] = {
      {"我2024年用USD 100買咗3.5kg蘋果，打7.5折",
       "我二零二四年用一百美元買咗三點五公斤蘋果，打七點五折"},
      {"電話91234567，30%人", "電話九一二三四五六七，百分之三十人"},
      {"a3/4b", "a三/四b"},
  };
  check_rows(kRows);
}

// Big hostile inputs: each must come back exact (a quadratic walk would
// not finish at this size).
TEST(NumberRewrite, HostileInputs) {
  constexpr std::size_t kCount = 25000;
  const auto repeat = [](std::string_view piece, std::size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) s += piece;
    return s;
  };
  const struct {
    const char* name;
    std::string input;
    std::string want;
  } kCases[] = {
      {"digits", std::string(2 * kCount, '7'), repeat("七", 2 * kCount)},
      {"euro signs", repeat("€", 2 * kCount), repeat("€", 2 * kCount)},
      {"euro signs and spaces", repeat("€ ", kCount), repeat("€ ", kCount)},
      {"dollars", std::string(2 * kCount, '$'), std::string(2 * kCount, '$')},
      {"codes", repeat("USD ", kCount), repeat("USD ", kCount)},
      {"fraction chain", repeat("1/", 2 * kCount), repeat("一分之一/", kCount)},
      {"ratio chain", repeat("1:", 2 * kCount), repeat("一比一:", kCount)},
      {"slash then long number", "1/" + std::string(2 * kCount, '2'),
       "一/" + repeat("二", 2 * kCount)},
      {"long decimal", "1." + std::string(2 * kCount, '5') + "%",
       "百分之一點" + repeat("五", 2 * kCount)},
  };
  for (const auto& c : kCases) {
    EXPECT_TRUE(normalize_numbers(c.input) == c.want) << c.name;
  }
}

}  // namespace
}  // namespace quillet
