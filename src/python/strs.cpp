// str creation. CPython's UTF-8 decoder assumes ASCII, so a text with one
// CJK ideograph (most tokens) costs it a second buffer, a conversion and a
// final shrink. Decoding the short texts of a result here into code points
// and handing them over whole makes each str in one allocation.
#include "python/strs.h"

#include <array>
#include <cstddef>

#include "labels.h"
#include "short_bytes.h"
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

}  // namespace

namespace detail {

std::array<PyObject*, kConstantLabels.size()> g_label_strs{};

}  // namespace detail

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
    if (detail::g_label_strs[i] != nullptr) continue;
    detail::g_label_strs[i] = str_of(kConstantLabels[i]);
    if (detail::g_label_strs[i] == nullptr) return false;
  }
  return true;
}

}  // namespace quillet::python
