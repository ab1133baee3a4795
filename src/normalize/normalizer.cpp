// The tokenizer driver and its text passes: romanized slang, punctuation
// folding and run splitting. The number pass lives in number_rewrite.
//
// Passes 1, 2 and 4 walk the UTF-8 bytes directly: every character they
// look ahead for (hyphen, full stop, em dash, ellipsis) is recognised from
// the bytes at hand, so no code-point vector is needed.
#include "normalize/normalizer.h"

#include <algorithm>
#include <array>
#include <utility>

#include "normalize/number_rewrite.h"
#include "dict/segment.h"
#include "unicode.h"

namespace quillet {
namespace {

// What the punctuation pass does with one code point.
enum class PunctKind {
  Keep,       // copied as it is
  Separator,  // folded, with its neighbours, into one ASCII space
  Comma,      // becomes one full-width comma
  EmDash,     // one full-width comma for a lone dash or a pair
  Hyphen,     // a pair of hyphens becomes one full-width comma
  FullStop,   // three or more in a row become one full-width full stop
  Ellipsis,   // a run of them becomes one full-width full stop
  Deleted,    // dropped
};

struct PunctRow {
  char32_t code_point;
  PunctKind kind;
};

// Sorted by code point for the binary search below. ASCII rows are handled
// before the search and are listed here only for completeness of the table.
constexpr std::array<PunctRow, 44> kPunctTable = {{
    {0x0009, PunctKind::Separator}, {0x0020, PunctKind::Separator},
    {0x002D, PunctKind::Hyphen},    {0x002E, PunctKind::FullStop},
    {0x00B7, PunctKind::Separator}, {0x2013, PunctKind::Comma},
    {0x2014, PunctKind::EmDash},    {0x2018, PunctKind::Deleted},
    {0x2019, PunctKind::Deleted},   {0x201C, PunctKind::Deleted},
    {0x201D, PunctKind::Deleted},   {0x2022, PunctKind::Separator},
    {0x2026, PunctKind::Ellipsis},  {0x2027, PunctKind::Separator},
    {0x203B, PunctKind::Deleted},   {0x25A0, PunctKind::Deleted},
    {0x25A1, PunctKind::Deleted},   {0x25B2, PunctKind::Deleted},
    {0x25B3, PunctKind::Deleted},   {0x25BC, PunctKind::Deleted},
    {0x25BD, PunctKind::Deleted},   {0x25C6, PunctKind::Deleted},
    {0x25C7, PunctKind::Deleted},   {0x25CB, PunctKind::Deleted},
    {0x25CE, PunctKind::Deleted},   {0x25CF, PunctKind::Deleted},
    {0x2605, PunctKind::Deleted},   {0x2606, PunctKind::Deleted},
    {0x3001, PunctKind::Comma},     {0x3008, PunctKind::Deleted},
    {0x3009, PunctKind::Deleted},   {0x300A, PunctKind::Deleted},
    {0x300B, PunctKind::Deleted},   {0x300C, PunctKind::Deleted},
    {0x300D, PunctKind::Deleted},   {0x300E, PunctKind::Deleted},
    {0x300F, PunctKind::Deleted},   {0x3010, PunctKind::Deleted},
    {0x3011, PunctKind::Deleted},   {0x3014, PunctKind::Deleted},
    {0x3015, PunctKind::Deleted},   {0x301C, PunctKind::Separator},
    {0x30FB, PunctKind::Separator}, {0xFF5E, PunctKind::Separator},
}};

constexpr bool punct_table_sorted() {
  for (std::size_t i = 1; i < kPunctTable.size(); ++i) {
    if (kPunctTable[i - 1].code_point >= kPunctTable[i].code_point) return false;
  }
  return true;
}
static_assert(punct_table_sorted(), "the punctuation table must be sorted");

constexpr bool punct_table_skips_the_gap() {
  for (const PunctRow& row : kPunctTable) {
    if (row.code_point > 0x30FB && row.code_point < 0xFF5E) return false;
  }
  return true;
}
static_assert(punct_table_skips_the_gap(), "punct_kind skips U+30FC..U+FF5D without a search");

PunctKind punct_kind(char32_t c) {
  if (c < 0x80) {
    switch (c) {
      case 0x09:
      case 0x20:
        return PunctKind::Separator;
      case '-':
        return PunctKind::Hyphen;
      case '.':
        return PunctKind::FullStop;
      default:
        return PunctKind::Keep;
    }
  }
  // Ideographs and most other text lie outside the table's two clusters.
  if (c < 0xB7 || c > 0xFF5E || (c > 0x30FB && c < 0xFF5E)) return PunctKind::Keep;
  const auto it = std::lower_bound(
      kPunctTable.begin(), kPunctTable.end(), c,
      [](const PunctRow& row, char32_t key) { return row.code_point < key; });
  return (it != kPunctTable.end() && it->code_point == c) ? it->kind : PunctKind::Keep;
}

constexpr std::string_view kFullWidthComma = "\xEF\xBC\x8C";     // U+FF0C
constexpr std::string_view kFullWidthFullStop = "\xE3\x80\x82";  // U+3002
constexpr std::string_view kEmDash = "\xE2\x80\x94";             // U+2014
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";           // U+2026

bool starts_with_at(std::string_view text, std::size_t pos, std::string_view what) {
  return text.size() - pos >= what.size() && text.compare(pos, what.size(), what) == 0;
}

}  // namespace

std::string expand_romanized_slang(const DictFile& table, std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::string key;  // reused for every run: no allocation per word
  const auto alnum_at = [&](std::size_t i) {
    return is_ascii_alnum(static_cast<unsigned char>(text[i]));
  };
  std::size_t i = 0;
  while (i < text.size()) {
    // Bytes of multi-byte sequences are never ASCII letters or digits, so a
    // byte walk finds exactly the runs a code-point walk would.
    std::size_t j = i;
    if (!alnum_at(i)) {
      while (j < text.size() && !alnum_at(j)) ++j;
      out.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    while (j < text.size() && alnum_at(j)) ++j;
    const std::string_view run = text.substr(i, j - i);
    key.assign(run);
    for (char& ch : key) {
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    const std::optional<std::string_view> value = table.get(key);
    out.append(value && is_valid_utf8(*value) ? *value : run);
    i = j;
  }
  return out;
}

std::string normalize_punctuation(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool after_space = false;
  // Code points that are kept are copied in runs, not one by one.
  std::size_t kept_from = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t c = next_code_point_inline(text, pos);
    const PunctKind kind = punct_kind(c);
    if (kind == PunctKind::Keep) {
      after_space = false;
      continue;
    }
    out.append(text.substr(kept_from, start - kept_from));
    switch (kind) {
      case PunctKind::Separator:
        if (!after_space) out.push_back(' ');
        break;
      case PunctKind::Comma:
        out.append(kFullWidthComma);
        break;
      case PunctKind::EmDash:
        if (starts_with_at(text, pos, kEmDash)) pos += kEmDash.size();
        out.append(kFullWidthComma);
        break;
      case PunctKind::Hyphen:
        if (pos < text.size() && text[pos] == '-') {
          ++pos;
          out.append(kFullWidthComma);
        } else {
          out.push_back('-');
        }
        break;
      case PunctKind::FullStop: {
        std::size_t end = pos;
        while (end < text.size() && text[end] == '.') ++end;
        if (end - start >= 3) {
          pos = end;
          out.append(kFullWidthFullStop);
        } else {
          out.push_back('.');
        }
        break;
      }
      case PunctKind::Ellipsis:
        while (starts_with_at(text, pos, kEllipsis)) pos += kEllipsis.size();
        out.append(kFullWidthFullStop);
        break;
      case PunctKind::Deleted:
      case PunctKind::Keep:
        break;
    }
    after_space = kind == PunctKind::Separator;
    kept_from = pos;
  }
  out.append(text.substr(kept_from));
  return out;
}

void split_runs(const Pipeline& pipeline, std::string_view text,
                std::vector<std::string>& out, std::vector<WordMatch>* matches) {
  // The current run is a byte range of `text`: runs are contiguous, so no
  // buffer is needed.
  std::size_t run_begin = 0;
  std::size_t run_end = 0;
  CharClass run_class = CharClass::Other;
  const auto flush = [&] {
    if (run_end > run_begin) {
      segment_run(text.substr(run_begin, run_end - run_begin), run_class, pipeline.word_dict,
                  pipeline.user_dict, pipeline.user_dict_max_chars, out, matches);
    }
    run_begin = run_end;
    run_class = CharClass::Other;
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t c = next_code_point_inline(text, pos);
    const CharClass k = char_class(c);
    if (k == run_class && k != CharClass::Other) {
      run_end = pos;
      continue;
    }
    flush();
    if (k != CharClass::Other) {
      run_begin = start;
      run_end = pos;
      run_class = k;
    } else {
      run_begin = run_end = pos;
      if (!is_white_space(c)) {
        out.emplace_back(text.substr(start, pos - start));
        if (matches) matches->push_back(WordMatch{});
      }
    }
  }
  flush();
}

std::string normalize_text(const Pipeline& pipeline, std::string_view text) {
  // One buffer carries the text from pass to pass; each assignment frees the
  // previous text once the next one is complete, so at most two are alive.
  std::string rewritten;
  std::string_view current = text;
  if (pipeline.romanized_slang) {
    rewritten = expand_romanized_slang(*pipeline.romanized_slang, current);
    current = rewritten;
  }
  if (pipeline.punc_norm) {
    rewritten = normalize_punctuation(current);
    current = rewritten;
  }
  return normalize_numbers(current);
}

namespace {

std::vector<std::string> tokenize_into(const Pipeline& pipeline, std::string_view text,
                                       std::vector<WordMatch>* matches) {
  const std::string normalized = normalize_text(pipeline, text);
  // A token is at least one code point, mostly a Chinese character or word
  // of three bytes or more, so this bound saves a long text the repeated
  // regrowth (and re-faulting) of its token list.
  std::vector<std::string> tokens;
  tokens.reserve(normalized.size() / 3 + 1);
  if (matches) matches->reserve(normalized.size() / 3 + 1);
  split_runs(pipeline, normalized, tokens, matches);
  return tokens;
}

}  // namespace

std::vector<std::string> tokenize(const Pipeline& pipeline, std::string_view text) {
  return tokenize_into(pipeline, text, nullptr);
}

std::vector<std::string> tokenize(const Pipeline& pipeline, std::string_view text,
                                  std::vector<WordMatch>& matches) {
  matches.clear();
  return tokenize_into(pipeline, text, &matches);
}

}  // namespace quillet
