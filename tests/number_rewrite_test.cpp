// Tests of the number rewriting pass, one table per rule. Rows are chosen to
// catch off-by-one consumption (the space only a unit may take, the sign or
// slash a rule must or must not take), wrong rule order and full-width forms.
#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "normalize/number_rewrite.h"
#include "normalize/number_tables.h"
#include "unicode.h"

namespace quillet {
namespace {

struct Row {
  const char* input;
  const char* want;
};

void check_rows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(normalize_numbers(row.input), row.want) << "input=«" << row.input << "»";
    // The chained form: false only where the text stays as written.
    std::string out = "untouched";
    if (normalize_numbers_into(row.input, out)) {
      EXPECT_EQ(out, row.want) << "input=«" << row.input << "»";
    } else {
      EXPECT_EQ(std::string_view(row.input), row.want) << "input=«" << row.input << "»";
      EXPECT_EQ(out, "untouched");
    }
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

TEST(NumberRewrite, ThousandsSeparators) {
  static const Row kRows[] = {
      {"1,000", "一千"},
      {"6,800,000", "六百八十萬"},
      {"12,345.67", "一萬二千三百四十五點六七"},
      {"HK$1,000", "一千元"},
      {"¥3,000", "三千日圓"},
      {"USD 1,500", "一千五百美元"},
      {"1,2,3", "一,二,三"},
      {"1,0000", "一,零"},         // four digits after the comma: not a group
      {"1234,567", "一二三四,五百六十七"},  // a group follows at most three digits
      {"1,000,00", "一千,零"},
      {"1，000", "一，零"},        // the full-width comma is punctuation
      {"1,000年", "一千年"},       // written as a quantity, never a year
      {"2,000人", "二千人"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, MoneyWithMultipliers) {
  static const Row kRows[] = {
      {"US$450", "四百五十美元"},
      {"NT$100", "一百新台幣"},
      {"US$", "US$"},
      {"US$ 5", "US$ 五"},
      {"$1.5億", "一點五億元"},
      {"HK$3,000萬", "三千萬元"},
      {"$3千萬", "三千萬元"},
      {"€2億", "二億歐元"},
      {"$2", "兩元"},
      {"$2萬", "二萬元"},
      {"$2.5", "二點五元"},
      {"$22", "二十二元"},
      {"1200萬", "一千二百萬"},
      {"10億", "十億"},
      {"2萬", "二萬"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, TimesOfDay) {
  static const Row kRows[] = {
      {"3:30", "三點三十分"},
      {"10:05", "十點零五分"},
      {"7:00", "七點"},
      {"2:15", "兩點十五分"},
      {"23:59", "二十三點五十九分"},
      {"24:00", "二十四點"},
      {"1:23:45", "一點二十三分四十五秒"},
      {"1:00:05", "一點零分零五秒"},
      {"3:30pm", "下午三點三十分"},
      {"9:15 am", "上午九點十五分"},
      {"8a.m.", "上午八點"},
      {"3pm", "下午三點"},
      {"13pm", "十三pm"},
      {"9:00-18:00", "九點至十八點"},
      {"10：30", "十點三十分"},
      // A one-digit or out-of-range second part is a ratio or a score.
      {"3:1", "三比一"},
      {"16:9", "十六比九"},
      {"25:30", "二十五比三十"},
      {"3:60", "三比六十"},
      {"3:300", "三比三百"},
      {"123:45", "一百二十三比四十五"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, Dates) {
  static const Row kRows[] = {
      {"2024-03-15", "二零二四年三月十五日"},
      {"2024/6/30", "二零二四年六月三十日"},
      {"15/3/2024", "二零二四年三月十五日"},
      {"1-2-2025", "二零二五年二月一日"},
      {"2024-13-01", "二零二四至十三至一"},  // no month 13: ranges
      {"2024/02/32", "二零二四/三十二分之二"},  // no day 32
      {"2024-03/15", "二零二四至十五分之三"},  // separators must agree
      {"32/1/2024", "一分之三十二/二零二四"},   // no day 32
      {"3/4", "四分之三"},
      {"2月2日", "二月二日"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, YearsAndDurations) {
  static const Row kRows[] = {
      {"1997年", "一九九七年"},
      {"08年", "零八年"},
      {"喺97年回歸", "喺九七年回歸"},
      {"由98年開始", "由九八年開始"},
      {"97年7月", "九七年七月"},
      {"喺10年前", "喺十年前"},
      {"於20年內", "於二十年內"},
      {"做咗10年", "做咗十年"},
      {"50年", "五十年"},
      {"100年", "一百年"},
      {"2年", "兩年"},
      {"喺3年", "喺三年"},
      {"80年代", "八十年代"},
      {"1980年代", "一九八零年代"},
      {"2年級", "二年級"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, PhoneNumbersAndHotlines) {
  static const Row kRows[] = {
      {"2345 6789", "二三四五六七八九"},
      {"9123-4567", "九一二三四五六七"},
      {"+852 9876 5432", "八五二九八七六五四三二"},
      {"+852 98765432", "八五二九八七六五四三二"},
      {"+852 987", "+八百五十二 九百八十七"},
      {"1234 5678", "一二三四 五千六百七十八"},  // no Hong Kong number starts with 1
      {"2001-2003", "二零零一至二零零三"},       // two years are a range
      {"2345 67890", "二三四五 六萬七千八百九十"},
      {"打999", "打九九九"},
      {"熱線：1823", "熱線：一八二三"},
      {"致電 18888", "致電 一八八八八"},
      {"電話係2929", "電話係二九二九"},
      {"打99", "打九十九"},                       // too short for a hotline
      {"打100次", "打一百次"},                     // a counter decides first
      {"999", "九百九十九"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, TwoCounted) {
  static const Row kRows[] = {
      {"2個", "兩個"},       {"2本", "兩本"},       {"2點", "兩點"},     {"2歲", "兩歲"},
      {"2小時", "兩小時"},   {"2人", "兩人"},       {"2次", "兩次"},     {"2日", "兩日"},
      {"2km", "兩公里"},     {"2 kg", "兩公斤"},    {"2樓", "二樓"},     {"2月", "二月"},
      {"2號", "二號"},       {"第2", "第二"},       {"第2個", "第二個"}, {"3月2日", "三月二日"},
      {"2.5", "二點五"},     {"2", "二"},           {"22個", "二十二個"}, {"12個", "十二個"},
      {"2:1", "二比一"},     {"2-3個", "兩至三個"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, CountedAndLargeNumbers) {
  static const Row kRows[] = {
      {"1234567人", "一百二十三萬四千五百六十七人"},
      {"2000人", "二千人"},
      {"100000", "十萬"},
      {"100000蚊", "十萬蚊"},
      {"150,000個", "十五萬個"},
      {"1000000000元", "十億元"},
      {"18446744073709551616人", "一八四四六七四四零七三七零九五五一六一六人"},
  };
  check_rows(kRows);
}

TEST(NumberRewrite, SignsRangesDegreesArithmetic) {
  static const Row kRows[] = {
      {"-5", "負五"},
      {"-5°C", "負五攝氏度"},
      {"跌到-3.5%", "跌到負百分之三點五"},
      {"COVID-19", "COVID-十九"},   // after a letter a hyphen is no sign
      {"3 -5", "三 -五"},           // nor after a spaced number
      {"3--5", "三--五"},
      {"a -5", "a 負五"},
      {"3-5", "三至五"},
      {"3-5日", "三至五日"},
      {"10~20人", "十至二十人"},
      {"10～20", "十至二十"},
      {"10-20%", "百分之十至百分之二十"},
      {"1998-2002年", "一九九八至二零零二年"},
      {"30°", "三十度"},
      {"30°N", "三十°N"},
      {"1+1=2", "一加一等於二"},
      {"10-3=7", "十減三等於七"},
      {"3×4", "三乘四"},
      {"1+", "一+"},
      {"5=", "五="},
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

// The chained form skips texts without a digit, which is right only if
// every mark the pass reads (currencies, units, signs, separators, words)
// stays as written without a number beside it.
TEST(NumberRewrite, TextsWithoutDigitsStayAsWritten) {
  std::vector<std::string> pieces = {" ", "。", "好", "a", "A", ".", ",", "O", "〇"};
  const auto add = [&](std::u32string_view marks) {
    std::string utf8;
    for (char32_t c : marks) append_utf8(utf8, c);
    pieces.push_back(utf8);
  };
  using namespace number_tables;
  for (const auto& mark : kCurrencies) add(mark.key);
  for (const auto& mark : kUnits) add(mark.key);
  for (const auto& marks : {std::u32string(kMultipliers.begin(), kMultipliers.end()),
                            std::u32string(kRangeMarks.begin(), kRangeMarks.end()),
                            std::u32string(kPercentSigns.begin(), kPercentSigns.end()),
                            std::u32string(kRatioColons.begin(), kRatioColons.end()),
                            std::u32string(kDateSeparators.begin(), kDateSeparators.end()),
                            std::u32string(kPhoneSeparators.begin(), kPhoneSeparators.end()),
                            std::u32string(kDialSeparators.begin(), kDialSeparators.end())}) {
    for (char32_t c : marks) add(std::u32string(1, c));
  }
  for (char32_t c : {kMinus, kPlus, kFractionSlash, kMonth, kYear, kDecade, kGrade}) {
    add(std::u32string(1, c));
  }
  std::mt19937 rng(16);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int k = static_cast<int>(rng() % 8); k >= 0; --k) text += pieces[rng() % pieces.size()];
    ASSERT_EQ(normalize_numbers(text), text) << "text=«" << text << "»";
    std::string out = "untouched";
    EXPECT_FALSE(normalize_numbers_into(text, out)) << "text=«" << text << "»";
    EXPECT_EQ(out, "untouched");
  }
  std::string out;
  EXPECT_TRUE(normalize_numbers_into("\xEF\xBC\x95", out));  // a full-width digit
  EXPECT_EQ(out, "五");
}

}  // namespace
}  // namespace quillet
