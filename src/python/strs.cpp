// str creation. CPython's UTF-8 decoder assumes ASCII, so a text with one
// CJK ideograph (most tokens) costs it a second buffer, a conversion and a
// final shrink. Decoding the short texts of a result here into code points
// and handing them over whole makes each str in one allocation.
#include "python/strs.h"

#include <array>
#include <cstddef>

#include "labels.h"
#include "python/short_bytes.h"
#include "unicode.h"

namespace quillet::python {

namespace {

// Bytes decoded on the stack; a longer text goes to CPython's decoder.
constexpr std::size_t kMaxDecoded = 64;

// Decodes `text` into `out` (room for text.size() units); the count, or -1
// when some bytes are ill-formed, which is left to CPython's decoder: it
// replaces each maximal ill-formed part with one U+FFFD, not each byte. A
// code point that wchar_t cannot hold in one unit also gives -1.
Py_ssize_t decode_utf8(std::string_view text, wchar_t* out) {
  Py_ssize_t n = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t at = pos;
    const char32_t c = next_code_point_inline(text, pos);
    if (c == 0xFFFD && pos - at == 1) return -1;  // ill-formed (a real U+FFFD has 3 bytes)
    if constexpr (sizeof(wchar_t) < 4) {
      if (c > 0xFFFF) return -1;
    }
    out[n++] = static_cast<wchar_t>(c);
  }
  return n;
}

// The labels with one str for the whole process, made by make_label_strs:
// those the pipeline sets, then the sources the bundled data files carry
// (written by tools/data_build/merge.py). Any other label, from some other
// data directory, gets a str per call, shared within the call.
constexpr std::array<std::string_view, 20> kConstantLabels = {
    label::kYue,          label::kEn,           label::kPunct,
    label::kCertain,      label::kTied,         label::kRanked,
    label::kUnknown,      label::kUserDict,     label::kPassthrough,
    label::kCharFallback, label::kUnresolved,   label::kSeparableCompound,
    label::kAddressSandhi, label::kAaDeiSandhi, label::kClassifierReduplication,
    "rime",               "tojyutping",         "tojyutping_tiebreak",
    "oral_hk",            "unihan",
};

// Never freed: labels are needed as long as the module can be called.
std::array<PyObject*, kConstantLabels.size()> g_label_strs{};

// The constants by length, so that a lookup compares one or two of them:
// kBySize[n] lists the indices of those of n bytes, then kNone.
constexpr std::size_t kMaxLabelSize = 31;
constexpr std::size_t kPerSize = 4;
constexpr unsigned char kNone = 0xFF;
constexpr auto kBySize = [] {
  std::array<std::array<unsigned char, kPerSize + 1>, kMaxLabelSize + 1> table{};
  for (auto& row : table) row.fill(kNone);
  for (std::size_t i = 0; i < kConstantLabels.size(); ++i) {
    auto& row = table[kConstantLabels[i].size()];  // out of range: not a constant
    std::size_t k = 0;
    while (row[k] != kNone) ++k;
    row.at(k) = static_cast<unsigned char>(i);  // past kPerSize: not a constant
  }
  return table;
}();

}  // namespace

PyObject* str_of(std::string_view text) {
  // ASCII (readings, English, digits) is CPython's own fast case.
  if (text.size() <= kMaxDecoded && !is_ascii(text)) {
    wchar_t decoded[kMaxDecoded];
    const Py_ssize_t n = decode_utf8(text, decoded);
    if (n >= 0) return PyUnicode_FromWideChar(decoded, n);
  }
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

bool make_label_strs() {
  for (std::size_t i = 0; i < kConstantLabels.size(); ++i) {
    if (g_label_strs[i] != nullptr) continue;
    g_label_strs[i] = str_of(kConstantLabels[i]);
    if (g_label_strs[i] == nullptr) return false;
  }
  return true;
}

int label_index(std::string_view label) {
  if (label.size() > kMaxLabelSize) return -1;
  for (const unsigned char i : kBySize[label.size()]) {
    if (i == kNone) break;
    // The pipeline's own labels are mostly these very constants.
    const std::string_view known = kConstantLabels[i];
    if (known.data() == label.data() || same_bytes(known, label)) return i;
  }
  return -1;
}

PyObject* label_str(int index) { return g_label_strs[static_cast<std::size_t>(index)]; }

}  // namespace quillet::python
