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

#include "normalize/number_reading.h"
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

// The bytes that start the code points of the table, which are all the
// punctuation pass acts on. Every byte that is not a continuation byte
// starts a code point in a walk that decodes from the start (an ill-formed
// sequence is one U+FFFD of one byte), so the pass may step over any other
// byte without decoding. Derived from the table.
constexpr std::array<bool, 256> make_punct_lead_bytes() {
  std::array<bool, 256> lead{};
  for (const PunctRow& row : kPunctTable) lead[utf8_lead_byte(row.code_point)] = true;
  return lead;
}
constexpr std::array<bool, 256> kPunctLeadBytes = make_punct_lead_bytes();

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

// Which passes may change a text, by the bytes it holds: one table look-up
// per byte tells them all, and a pass none of whose bytes occur is skipped.
enum PassBit : unsigned char { kSlangBit = 1, kPunctBit = 2, kNumberBit = 4 };
constexpr std::array<unsigned char, 256> kPassBytes = [] {
  std::array<unsigned char, 256> bits{};
  for (std::size_t b = 0; b < bits.size(); ++b) {
    bits[b] = static_cast<unsigned char>((kAsciiAlnumBytes[b] ? kSlangBit : 0) |
                                         (kPunctLeadBytes[b] ? kPunctBit : 0) |
                                         (kDigitLeadBytes[b] ? kNumberBit : 0));
  }
  return bits;
}();

// The passes that may change a text and, for the slang and punctuation
// passes, the first byte they act on: a pass's walk steps over every byte
// before it without effect, so it can start there. Most texts hold few
// such bytes, so a new bit is rare and the walk over the rest is one
// look-up and one test per byte.
struct PassScan {
  unsigned bits = 0;
  std::size_t slang_from = 0;
  std::size_t punct_from = 0;
};

PassScan passes_that_may_change(std::string_view text) {
  PassScan scan;
  unsigned bits = 0;  // a local, so the walk keeps it in a register
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto note = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const unsigned added = kPassBytes[bytes[i]] & ~bits;
      if (!added) continue;
      if (added & kSlangBit) scan.slang_from = i;
      if (added & kPunctBit) scan.punct_from = i;
      bits |= added;
    }
  };
  // Four bytes at a time, one test for the four; a block that adds a bit
  // is walked again byte by byte for where.
  constexpr std::size_t kBlock = 4;
  std::size_t i = 0;
  for (; text.size() - i >= kBlock; i += kBlock) {
    const unsigned m = kPassBytes[bytes[i]] | kPassBytes[bytes[i + 1]] | kPassBytes[bytes[i + 2]] |
                       kPassBytes[bytes[i + 3]];
    if (m & ~bits) note(i, i + kBlock);
  }
  note(i, text.size());
  scan.bits = bits;
  return scan;
}

// expand_romanized_slang_into, starting at byte `from`, before which `text`
// holds no ASCII letter or digit.
bool expand_romanized_slang_from(const DictFile& table, std::string_view text, std::size_t from,
                                 std::string& out) {
  // `out` is started at the first run that changes: text[copied, ...) is
  // still to be copied after it.
  bool changed = false;
  std::size_t copied = 0;
  std::string key;  // reused for every run: no allocation per word
  const auto alnum_at = [&](std::size_t i) {
    return kAsciiAlnumBytes[static_cast<unsigned char>(text[i])];
  };
  std::size_t i = from;
  while (i < text.size()) {
    // Bytes of multi-byte sequences are never ASCII letters or digits, so a
    // byte walk finds exactly the runs a code-point walk would.
    if (!alnum_at(i)) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && alnum_at(j)) ++j;
    const std::string_view run = text.substr(i, j - i);
    key.assign(run);
    for (char& ch : key) {
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    const std::optional<std::string_view> value = table.get(key);
    if (value && *value != run && is_valid_utf8(*value)) {
      if (!changed) out.clear();
      changed = true;
      out.append(text.substr(copied, i - copied));
      out.append(*value);
      copied = j;
    }
    i = j;
  }
  if (changed) out.append(text.substr(copied));
  return changed;
}

}  // namespace

bool expand_romanized_slang_into(const DictFile& table, std::string_view text, std::string& out) {
  return expand_romanized_slang_from(table, text, 0, out);
}

std::string expand_romanized_slang(const DictFile& table, std::string_view text) {
  std::string out;
  if (!expand_romanized_slang_into(table, text, out)) out.assign(text);
  return out;
}

namespace {

// normalize_punctuation_into, starting at byte `from`, before which `text`
// holds no byte that starts a code point of kPunctTable.
bool normalize_punctuation_from(std::string_view text, std::size_t from, std::string& out) {
  // `out` is started at the first code point whose folding differs from its
  // bytes; text[copied, ...) is still to be copied after it.
  bool changed = false;
  std::size_t copied = 0;
  const auto replace = [&](std::size_t start, std::size_t end, std::string_view by) {
    if (!changed) out.clear();
    changed = true;
    out.append(text.substr(copied, start - copied));
    out.append(by);
    copied = end;
  };
  // A separator follows another when the last code point the walk acted on
  // was one and ended where it starts: every code point it stepped over is
  // kept, and a kept one ends a run of separators.
  std::size_t separator_end = std::string_view::npos;
  std::size_t pos = from;
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto lead = [&](std::size_t i) -> unsigned { return kPunctLeadBytes[bytes[i]]; };
  while (pos < text.size()) {
    // Bytes the pass does not act on are stepped over four at a time where
    // none of the four starts a code point of the table.
    while (text.size() - pos >= 4 && !(lead(pos) | lead(pos + 1) | lead(pos + 2) | lead(pos + 3))) {
      pos += 4;
    }
    if (pos >= text.size()) break;
    if (!lead(pos)) {
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    const char32_t c = next_code_point_inline(text, pos);
    const PunctKind kind = punct_kind(c);
    const bool after_space = separator_end == start;
    switch (kind) {
      case PunctKind::Keep:
        break;
      case PunctKind::Separator:
        // A lone ASCII space is its own folding.
        if (after_space) {
          replace(start, pos, {});
        } else if (c != ' ') {
          replace(start, pos, " ");
        }
        break;
      case PunctKind::Comma:
        replace(start, pos, kFullWidthComma);
        break;
      case PunctKind::EmDash:
        if (starts_with_at(text, pos, kEmDash)) pos += kEmDash.size();
        replace(start, pos, kFullWidthComma);
        break;
      case PunctKind::Hyphen:
        if (pos < text.size() && text[pos] == '-') replace(start, ++pos, kFullWidthComma);
        break;
      case PunctKind::FullStop: {
        std::size_t end = pos;
        while (end < text.size() && text[end] == '.') ++end;
        if (end - start >= 3) {
          pos = end;
          replace(start, pos, kFullWidthFullStop);
        }
        break;
      }
      case PunctKind::Ellipsis:
        while (starts_with_at(text, pos, kEllipsis)) pos += kEllipsis.size();
        replace(start, pos, kFullWidthFullStop);
        break;
      case PunctKind::Deleted:
        replace(start, pos, {});
        break;
    }
    separator_end = kind == PunctKind::Separator ? pos : std::string_view::npos;
  }
  if (changed) out.append(text.substr(copied));
  return changed;
}

}  // namespace

bool normalize_punctuation_into(std::string_view text, std::string& out) {
  return normalize_punctuation_from(text, 0, out);
}

std::string normalize_punctuation(std::string_view text) {
  std::string out;
  if (!normalize_punctuation_into(text, out)) out.assign(text);
  return out;
}

namespace {

// The end of the CJK run that goes on at `pos` in `text`: the first byte
// from `pos` on that does not start an ideograph. Most ideographs are three
// bytes led by E5 to E9 (U+5000 to U+9FFF, all in the basic block), told by
// their bytes alone; any other code point is decoded.
std::size_t cjk_run_end(std::string_view text, std::size_t pos) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (;;) {
    // b ^ 0x80 has its top two bits clear exactly for a continuation byte.
    while (size - pos >= 3 && bytes[pos] - 0xE5u <= 0xE9u - 0xE5u &&
           !(((bytes[pos + 1] ^ 0x80u) | (bytes[pos + 2] ^ 0x80u)) & 0xC0u)) {
      pos += 3;
    }
    if (pos >= size) return pos;
    std::size_t next = pos;
    if (!is_cjk(next_code_point_inline(text, next))) return pos;
    pos = next;
  }
}

// The end of the ASCII letters and digits that go on at `pos`: the bytes of
// a multi-byte sequence are never ASCII, so the walk is by byte.
std::size_t alnum_run_end(std::string_view text, std::size_t pos) {
  while (pos < text.size() && kAsciiAlnumBytes[static_cast<unsigned char>(text[pos])]) ++pos;
  return pos;
}

}  // namespace

void split_runs(const Pipeline& pipeline, std::string_view text,
                std::vector<std::string_view>& out, std::vector<WordMatch>* matches) {
  // A run is found whole from its first code point, as a byte range of
  // `text`, and handed to segmentation: runs are contiguous, so no buffer is
  // needed.
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t c = next_code_point_inline(text, pos);
    const CharClass k = char_class(c);
    if (k == CharClass::Other) {
      if (!is_white_space(c)) {
        out.push_back(text.substr(start, pos - start));
        if (matches) matches->push_back(WordMatch{});
      }
      continue;
    }
    pos = k == CharClass::Cjk ? cjk_run_end(text, pos) : alnum_run_end(text, pos);
    segment_run(text.substr(start, pos - start), k, pipeline.word_dict, pipeline.word_heads,
                pipeline.user_dict, pipeline.user_dict_max_chars, out, matches);
  }
}

void split_runs(const Pipeline& pipeline, std::string_view text,
                std::vector<std::string>& out, std::vector<WordMatch>* matches) {
  std::vector<std::string_view> views;
  split_runs(pipeline, text, views, matches);
  out.insert(out.end(), views.begin(), views.end());
}

std::string_view normalize_text(const Pipeline& pipeline, std::string_view text,
                                std::string& storage) {
  // A pass that changes the text writes it into the buffer the current text
  // is not in; most texts pass through every pass unchanged and are never
  // copied. While the text is still the input, a pass none of whose bytes
  // it holds is not run at all, and the others start at their first byte.
  enum class Where { Input, Storage, Spare };
  const PassScan scan = passes_that_may_change(text);
  std::string spare;
  Where where = Where::Input;
  std::string_view current = text;
  // pass(text, from, out), where `from` is where the pass may start in the
  // input; in a text a pass before it changed, it starts at 0.
  const auto step = [&](unsigned bit, std::size_t from, auto&& pass) {
    if (where == Where::Input && !(scan.bits & bit)) return;
    const Where to = where == Where::Storage ? Where::Spare : Where::Storage;
    std::string& out = to == Where::Storage ? storage : spare;
    if (!pass(current, where == Where::Input ? from : 0, out)) return;
    where = to;
    current = out;
  };
  if (pipeline.romanized_slang) {
    step(kSlangBit, scan.slang_from, [&](std::string_view in, std::size_t from, std::string& out) {
      return expand_romanized_slang_from(*pipeline.romanized_slang, in, from, out);
    });
  }
  if (pipeline.punc_norm) step(kPunctBit, scan.punct_from, normalize_punctuation_from);
  step(kNumberBit, 0, [](std::string_view in, std::size_t, std::string& out) {
    return normalize_numbers_into(in, out);
  });
  if (where == Where::Spare) {
    storage.swap(spare);
    current = storage;
  }
  return current;
}

std::string normalize_text(const Pipeline& pipeline, std::string_view text) {
  std::string storage;
  const std::string_view normalized = normalize_text(pipeline, text, storage);
  if (normalized.data() != storage.data()) storage.assign(normalized);
  return storage;
}

namespace {

std::vector<std::string> tokenize_into(const Pipeline& pipeline, std::string_view text,
                                       std::vector<WordMatch>* matches) {
  std::string storage;
  const std::string_view normalized = normalize_text(pipeline, text, storage);
  // A token is at least one code point, mostly a Chinese character or word
  // of three bytes or more, so this bound saves a long text the repeated
  // regrowth (and re-faulting) of its token lists.
  std::vector<std::string_view> views;
  views.reserve(normalized.size() / 3 + 1);
  if (matches) matches->reserve(normalized.size() / 3 + 1);
  split_runs(pipeline, normalized, views, matches);
  return std::vector<std::string>(views.begin(), views.end());
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
