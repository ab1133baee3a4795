// The marks the number rewriting pass reads around numbers, one table per
// fact. Keys are code points so that no key is decoded during the walk; the
// order of the rows is part of the behaviour (first match wins). The
// readings are those of Hong Kong Cantonese news speech.
#pragma once

#include <array>
#include <string_view>

namespace quillet::number_tables {

// A mark in the text (its code points) and the name it is read as.
struct NamedMark {
  std::u32string_view key;
  std::string_view name;
};

// How a currency mark meets its amount: a symbol or code may have one space
// before it, a dollar form none; a code must stand as a whole word; a dollar
// form without an amount is copied whole.
enum class CurrencyKind { kSymbol, kDollar, kCode };

struct CurrencyMark {
  std::u32string_view key;
  std::string_view name;  // goes after the amount
  CurrencyKind kind;
};

// The full-width yen names the renminbi, the narrow one the Japanese yen.
// Dollar forms with a country before "$" stand before the bare "$".
inline constexpr auto kCurrencies = std::to_array<CurrencyMark>({
    {U"\u20AC", "歐元", CurrencyKind::kSymbol},
    {U"\u00A3", "英鎊", CurrencyKind::kSymbol},
    {U"\u20A9", "韓圓", CurrencyKind::kSymbol},
    {U"\uFFE5", "人民幣", CurrencyKind::kSymbol},
    {U"\u00A5", "日圓", CurrencyKind::kSymbol},
    {U"HK$", "元", CurrencyKind::kDollar},
    {U"US$", "美元", CurrencyKind::kDollar},
    {U"NT$", "新台幣", CurrencyKind::kDollar},
    {U"$", "元", CurrencyKind::kDollar},
    {U"AUD", "澳元", CurrencyKind::kCode},
    {U"CAD", "加元", CurrencyKind::kCode},
    {U"CNY", "人民幣", CurrencyKind::kCode},
    {U"EUR", "歐元", CurrencyKind::kCode},
    {U"GBP", "英鎊", CurrencyKind::kCode},
    {U"JPY", "日圓", CurrencyKind::kCode},
    {U"KRW", "韓圓", CurrencyKind::kCode},
    {U"MYR", "令吉", CurrencyKind::kCode},
    {U"RMB", "人民幣", CurrencyKind::kCode},
    {U"SGD", "坡元", CurrencyKind::kCode},
    {U"THB", "泰銖", CurrencyKind::kCode},
    {U"TWD", "新台幣", CurrencyKind::kCode},
    {U"USD", "美元", CurrencyKind::kCode},
});

// Units behind a number, tried in this order: a longer key stands before
// every shorter key it begins with.
inline constexpr auto kUnits = std::to_array<NamedMark>({
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
    {U"\u00B0", "度"},
    {U"\u339E", "公里"},
    {U"\u33A1", "平方米"},
    {U"m", "米"},
    {U"g", "克"},
    {U"W", "瓦特"},
    {U"L", "公升"},
    {U"l", "公升"},
});

// Multipliers: after digits they multiply (1200萬, 1.5億), so the digits are a
// cardinal; after an amount they stand before the currency name (一點五億元).
inline constexpr auto kMultipliers = std::to_array<char32_t>({U'萬', U'億', U'千', U'百'});

// Words that count what the number before them measures: the number is a
// cardinal whatever its length (1234567人), and 2 is read 兩 where the word
// counts (兩個, 兩點, 兩歲) but 二 where it names a place in a sequence
// (二樓, 二月, 二號). A longer key stands before a shorter one that begins it.
struct Counter {
  std::u32string_view key;
  bool two_is_loeng;
};
inline constexpr auto kCounters = std::to_array<Counter>({
    // Sequence words: ordinals, dates, floors, editions.
    {U"月", false}, {U"號", false}, {U"樓", false}, {U"室", false}, {U"屆", false},
    {U"期", false}, {U"季", false}, {U"集", false}, {U"班", false}, {U"組", false},
    {U"座", false}, {U"區", false}, {U"台", false}, {U"線", false}, {U"章", false},
    {U"節", false}, {U"課", false}, {U"版", false}, {U"代", false},
    // Time.
    {U"小時", true}, {U"分鐘", true}, {U"星期", true}, {U"禮拜", true}, {U"鐘頭", true},
    {U"點", true}, {U"時", true}, {U"分", true}, {U"秒", true}, {U"鐘", true},
    {U"日", true}, {U"天", true}, {U"晚", true}, {U"夜", true}, {U"周", true},
    {U"週", true}, {U"歲", true},
    // Measures.
    {U"公里", true}, {U"公斤", true}, {U"公升", true}, {U"公分", true}, {U"公尺", true},
    {U"平方", true}, {U"厘米", true}, {U"毫米", true}, {U"毫升", true}, {U"米", true},
    {U"克", true}, {U"斤", true}, {U"磅", true}, {U"呎", true}, {U"吋", true},
    {U"尺", true}, {U"寸", true}, {U"度", true}, {U"倍", true}, {U"成", true},
    {U"厘", true},
    // Money.
    {U"元", true}, {U"蚊", true}, {U"毫", true}, {U"仙", true}, {U"圓", true},
    // People and things.
    {U"人", true}, {U"位", true}, {U"名", true}, {U"個", true}, {U"隻", true},
    {U"條", true}, {U"張", true}, {U"本", true}, {U"架", true}, {U"部", true},
    {U"件", true}, {U"間", true}, {U"棵", true}, {U"枝", true}, {U"支", true},
    {U"首", true}, {U"份", true}, {U"套", true}, {U"款", true}, {U"種", true},
    {U"場", true}, {U"次", true}, {U"粒", true}, {U"對", true}, {U"杯", true},
    {U"碗", true}, {U"樽", true}, {U"瓶", true}, {U"包", true}, {U"盒", true},
    {U"袋", true}, {U"箱", true}, {U"頁", true}, {U"篇", true}, {U"封", true},
    {U"家", true}, {U"國", true}, {U"隊", true}, {U"輛", true}, {U"艘", true},
    {U"餐", true},
});

// Before a counter, 2 stays 二 after these: 第 makes an ordinal (第二個), a
// month makes the count a day of it (三月二日).
inline constexpr char32_t kMonth = U'月';
inline constexpr auto kOrdinalBefore = std::to_array<char32_t>({U'第', kMonth});

// The year character, and what after it makes the number something else:
// 年代 a decade (八十年代, a cardinal), 年級 a school grade (二年級).
inline constexpr char32_t kYear = U'年';
inline constexpr char32_t kDecade = U'代';
inline constexpr char32_t kGrade = U'級';

// A two-digit year is a calendar year (九七年) after these words of place in
// time, unless what follows 年 makes it a span (喺10年前, 於5年內).
inline constexpr auto kCalendarBefore = std::to_array<char32_t>({U'喺', U'於', U'在', U'由',
                                                            U'自', U'從', U'至', U'到'});
inline constexpr auto kSpanAfterYear = std::to_array<char32_t>({U'前', U'內', U'間', U'來',
                                                           U'半', U'多'});

// Words after which a number of three to five digits is a hotline or a
// short number, read digit by digit (打999, 熱線1823). One separator (a
// space, a colon, 係) may stand between the word and the number.
inline constexpr auto kDialWords = std::to_array<std::string_view>({
    "致電", "電話", "熱線", "撥打", "打", "撥", "傳真", "短訊",
});
inline constexpr auto kDialSeparators = std::to_array<char32_t>({U' ', U':', U'\uFF1A', U'係',
                                                            U'為'});
inline constexpr std::size_t kDialMinDigits = 3;
inline constexpr std::size_t kDialMaxDigits = 5;

// Times of day after a time or an hour: "am", "pm".
inline constexpr auto kDayHalves = std::to_array<NamedMark>({
    {U"a.m.", "上午"},
    {U"p.m.", "下午"},
    {U"am", "上午"},
    {U"pm", "下午"},
    {U"AM", "上午"},
    {U"PM", "下午"},
});

// Between two numbers: a range, and arithmetic.
inline constexpr auto kRangeMarks = std::to_array<char32_t>({U'-', U'~', U'\uFF5E'});
inline constexpr std::string_view kRangeWord = "至";
// A hyphen is a minus between numbers when the second one is followed by "=".
inline constexpr std::u32string_view kEquals = U"=";
inline constexpr std::string_view kSubtractWord = "減";
inline constexpr auto kOperators = std::to_array<NamedMark>({
    {U"+", "加"},
    {kEquals, "等於"},
    {U"\u00D7", "乘"},
    {U"\u00F7", "除以"},
});

// A minus sign before a number (not after a letter or digit) reads 負.
inline constexpr char32_t kMinus = U'-';
inline constexpr std::string_view kMinusWord = "負";
// "+852" before a phone number: the plus is not read.
inline constexpr char32_t kPlus = U'+';

inline constexpr auto kPercentSigns = std::to_array<char32_t>({U'%', U'\uFF05'});
inline constexpr auto kRatioColons = std::to_array<char32_t>({U':', U'\uFF1A'});
inline constexpr auto kDateSeparators = std::to_array<char32_t>({U'-', U'/'});
inline constexpr char32_t kFractionSlash = U'/';
inline constexpr auto kPhoneSeparators = std::to_array<char32_t>({U' ', U'-'});

inline constexpr std::string_view kPercentPrefix = "百分之";
inline constexpr std::string_view kFractionWord = "分之";
inline constexpr std::string_view kRatioWord = "比";
inline constexpr std::string_view kTwoCounted = "兩";
inline constexpr std::string_view kYearWord = "年";
inline constexpr std::string_view kMonthWord = "月";
inline constexpr std::string_view kDayWord = "日";
inline constexpr std::string_view kHourWord = "點";
inline constexpr std::string_view kMinuteWord = "分";
inline constexpr std::string_view kSecondWord = "秒";
inline constexpr std::string_view kZero = "零";

}  // namespace quillet::number_tables
