// The label texts the pipeline sets itself (language, confidence, source),
// and the language rule. Labels read from the data files are passed on as
// stored and never compared with these.
#pragma once

#include <string_view>

#include "unicode.h"

namespace quillet::label {

// Lang.
inline constexpr std::string_view kYue = "yue";
inline constexpr std::string_view kEn = "en";
inline constexpr std::string_view kPunct = "punct";

// Confidence.
inline constexpr std::string_view kCertain = "certain";
inline constexpr std::string_view kTied = "tied";
inline constexpr std::string_view kRanked = "ranked";

// Source.
inline constexpr std::string_view kUnknown = "unknown";
inline constexpr std::string_view kUserDict = "user_dict";
inline constexpr std::string_view kPassthrough = "passthrough";
inline constexpr std::string_view kCharFallback = "char_fallback";
inline constexpr std::string_view kUnresolved = "unresolved";
inline constexpr std::string_view kSeparableCompound = "separable_compound";
inline constexpr std::string_view kAddressSandhi = "address_sandhi";
inline constexpr std::string_view kAaDeiSandhi = "aa_dei_sandhi";
inline constexpr std::string_view kClassifierReduplication = "classifier_reduplication";

// The language of a token text, first match wins: Yue when any code point
// is a CJK ideograph; En when every byte is an ASCII letter or digit (the
// empty text included); Punct otherwise.
enum class Lang : unsigned char { Yue, En, Punct };

// lang_code of a token already known to hold no CJK ideograph.
inline Lang lang_code_without_cjk(std::string_view token) {
  for (char c : token) {
    if (!is_ascii_alnum(static_cast<unsigned char>(c))) return Lang::Punct;
  }
  return Lang::En;
}

inline Lang lang_code(std::string_view token) {
  return contains_cjk(token) ? Lang::Yue : lang_code_without_cjk(token);
}

// The label of each Lang, in its order.
inline constexpr std::string_view kLangs[] = {kYue, kEn, kPunct};

// The label of `lang`; the view is a constant.
inline std::string_view lang_label(Lang lang) { return kLangs[static_cast<unsigned char>(lang)]; }

// The label of lang_code(token).
inline std::string_view lang_of(std::string_view token) { return lang_label(lang_code(token)); }

}  // namespace quillet::label
