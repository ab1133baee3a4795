// UTF-8 decoding and encoding over bounded views.
#include "unicode.h"

namespace quillet {

char32_t next_code_point(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  // Lead bytes C2..F4 only: C0/C1 can only start overlongs, F5..FF nothing.
  std::size_t len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, min = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (len > s.size() - pos) {
    ++pos;
    return 0xFFFD;
  }
  char32_t c = b0 & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += len;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::vector<char32_t> decode_utf8(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) out.push_back(next_code_point(s, pos));
  return out;
}

std::size_t count_code_points(std::string_view s) {
  std::size_t n = 0;
  for (char ch : s) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}

bool contains_cjk_scan(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    // Every CJK ideograph takes 3 or 4 bytes; skip ASCII quickly.
    if (static_cast<unsigned char>(s[pos]) < 0xE0) {
      pos += utf8_length(static_cast<unsigned char>(s[pos]));
      continue;
    }
    if (is_cjk(next_code_point(s, pos))) return true;
  }
  return false;
}

bool is_valid_utf8(std::string_view s) {
  // next_code_point() turns every ill-formed sequence into U+FFFD and steps a
  // single byte; a real U+FFFD in the text is three bytes long.
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t start = pos;
    if (next_code_point(s, pos) == 0xFFFD && pos - start != 3) return false;
  }
  return true;
}

}  // namespace quillet
