// Which of the labels with one str for the whole process a label text is:
// the pipeline's own labels and the common data sources, found by a table
// lookup for every label of every token of a list result. Plain C++, no
// Python, so that batch workers call it off the interpreter lock.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "labels.h"
#include "short_bytes.h"

namespace quillet::python {

// The labels with one str for the whole process, made by make_label_strs:
// those the pipeline sets, then the sources the bundled data files carry
// (written by tools/data_build/merge.py). Any other label, from some other
// data directory, gets a str per call, shared within the call. The three
// Lang labels come first, in Lang's order, so a Lang is its own index.
inline constexpr std::array<std::string_view, 20> kConstantLabels = {
    label::kYue,
    label::kEn,
    label::kPunct,
    label::kCertain,
    label::kTied,
    label::kRanked,
    label::kUnknown,
    label::kUserDict,
    label::kPassthrough,
    label::kCharFallback,
    label::kUnresolved,
    label::kSeparableCompound,
    label::kAddressSandhi,
    label::kAaDeiSandhi,
    label::kClassifierReduplication,
    "rime",
    "tojyutping",
    "tojyutping_tiebreak",
    "oral_hk",
    "unihan",
};
static_assert(kConstantLabels[static_cast<int>(label::Lang::Yue)] == label::kYue &&
              kConstantLabels[static_cast<int>(label::Lang::En)] == label::kEn &&
              kConstantLabels[static_cast<int>(label::Lang::Punct)] == label::kPunct);

// The label_index of a Lang's label.
constexpr int lang_label_index(label::Lang lang) { return static_cast<int>(lang); }

namespace detail {

// Labels are compared as two words, read from either end of the text
// (overlapping when it is shorter than 16 bytes; for less than 4 bytes the
// bytes themselves): two texts of one length are equal exactly when their
// words are. The words of the constants are worked out at compile time,
// byte by byte in little-endian order, which the loads match.
struct LabelWords {
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
};

constexpr std::uint64_t little_endian(std::string_view bytes) {
  std::uint64_t w = 0;
  for (std::size_t k = bytes.size(); k-- > 0;) w = (w << 8) | static_cast<unsigned char>(bytes[k]);
  return w;
}

constexpr LabelWords constant_words(std::string_view s) {
  const std::size_t n = s.size();
  if (n >= 8) return {little_endian(s.substr(0, 8)), little_endian(s.substr(n - 8))};
  if (n >= 4) return {little_endian(s.substr(0, 4)) | (little_endian(s.substr(n - 4)) << 32), 0};
  return {little_endian(s), 0};
}

using quillet::detail::load4;
using quillet::detail::load8;

// The bytes at p as a little-endian number, whatever the machine's order.
inline std::uint64_t little_endian8(const char* p) {
  const std::uint64_t w = load8(p);
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(w);
  return w;
}
inline std::uint64_t little_endian4(const char* p) {
  const std::uint32_t w = load4(p);
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(w);
  return w;
}

// The words of `s` (at most 16 bytes) as constant_words gives them.
inline LabelWords loaded_words(std::string_view s) {
  const char* p = s.data();
  const std::size_t n = s.size();
  if (n >= 8) return {little_endian8(p), little_endian8(p + n - 8)};
  if (n >= 4) return {little_endian4(p) | (little_endian4(p + n - 4) << 32), 0};
  std::uint64_t w = 0;
  for (std::size_t k = n; k-- > 0;) w = (w << 8) | static_cast<unsigned char>(p[k]);
  return {w, 0};
}

// Labels of up to this many bytes are found through a table: every label
// the pipeline sets but three. Longer ones are compared one by one.
inline constexpr std::size_t kMaxWordLabel = 16;

// Where a text's words and length fall in the table of labels, with the
// multiplier `mul`.
inline constexpr unsigned kLabelSlotBits = 7;
constexpr std::size_t label_slot(const LabelWords& w, std::size_t n, std::uint64_t mul) {
  return static_cast<std::size_t>((((w.head ^ n) * 0x9E3779B97F4A7C15ULL + w.tail) * mul) >>
                                  (64 - kLabelSlotBits));
}

inline constexpr unsigned char kNoLabel = 0xFF;

inline constexpr auto kLabelWords = [] {
  std::array<LabelWords, kConstantLabels.size()> words{};
  for (std::size_t i = 0; i < kConstantLabels.size(); ++i) {
    words[i] = constant_words(kConstantLabels[i]);
  }
  return words;
}();

// The table of the labels of up to kMaxWordLabel bytes, each alone in its
// slot: the multiplier is the first of a fixed sequence that spreads them
// so (the build fails if none does).
struct LabelTable {
  std::uint64_t mul = 0;
  std::array<unsigned char, std::size_t{1} << kLabelSlotBits> slots{};
};

inline constexpr LabelTable kLabelTable = [] {
  for (std::uint64_t seed = 1; seed < 10000; ++seed) {
    LabelTable table;
    table.mul = (seed * 0xD6E8FEB86659FD93ULL) | 1;
    table.slots.fill(kNoLabel);
    bool spread = true;
    for (std::size_t i = 0; i < kConstantLabels.size() && spread; ++i) {
      const std::size_t n = kConstantLabels[i].size();
      if (n > kMaxWordLabel) continue;
      unsigned char& slot = table.slots[label_slot(kLabelWords[i], n, table.mul)];
      spread = slot == kNoLabel;
      slot = static_cast<unsigned char>(i);
    }
    if (spread) return table;
  }
  throw "no multiplier spreads the labels";  // not a constant expression: fails the build
}();

// label_index of a label longer than kMaxWordLabel bytes: rare, so kept
// out of label_index's own code.
[[gnu::noinline]] inline int long_label_index(std::string_view label) {
  for (std::size_t i = 0; i < kConstantLabels.size(); ++i) {
    if (kConstantLabels[i].size() > kMaxWordLabel && same_bytes(kConstantLabels[i], label)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace detail

// Where `label` is among kConstantLabels, or -1. Touches no Python object,
// so any thread may call it. It runs for every label of every token, so it
// is inline and reads one slot of a table.
[[gnu::always_inline]] inline int label_index(std::string_view label) {
  const std::size_t n = label.size();
  if (n > detail::kMaxWordLabel) return detail::long_label_index(label);
  const detail::LabelWords words = detail::loaded_words(label);
  const unsigned char i =
      detail::kLabelTable.slots[detail::label_slot(words, n, detail::kLabelTable.mul)];
  if (i == detail::kNoLabel) return -1;
  const detail::LabelWords& known = detail::kLabelWords[i];
  return known.head == words.head && known.tail == words.tail && kConstantLabels[i].size() == n
             ? i
             : -1;
}

// label_index of the labels of one call's tokens, remembered by where their
// bytes lie. Tokens mostly repeat a few labels, each stored once (a
// constant, or one value in a data file's pool), so the same bytes come
// back at the same place and the table is read once per place. Lives for
// one call only: the places are valid while its results are built.
class LabelMemo {
 public:
  [[gnu::always_inline]] int index_of(std::string_view label) {
    for (Place& p : places_) {
      if (p.data == label.data() && p.size == label.size()) return p.index;
    }
    places_[1] = places_[0];
    places_[0] = {label.data(), label.size(), label_index(label)};
    return places_[0].index;
  }

 private:
  struct Place {
    const char* data = nullptr;
    std::size_t size = 0;
    int index = -1;
  };
  // Two places: a call's tokens mostly alternate between two of each kind
  // of label (a word's source and a character's, say).
  std::array<Place, 2> places_{};
};

}  // namespace quillet::python
