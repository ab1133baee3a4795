// Equality, hashing and the ASCII test of short byte strings (labels,
// tokens, readings: a few to a few dozen bytes), inline and in words, for
// the tables keyed by token texts, where a memcmp or std::hash call would
// cost more than the bytes they read. No read passes the end of a view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillet {

// The word reads the functions below are made of; callers give the bounds.
namespace detail {

inline std::uint32_t load4(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline std::uint64_t load8(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Equality of the n bytes at a and b; the last word overlaps the one before.
inline bool same_bytes_n(const char* a, const char* b, std::size_t n) {
  if (n >= 8) {
    for (std::size_t k = 0; k + 8 < n; k += 8) {
      if (load8(a + k) != load8(b + k)) return false;
    }
    return load8(a + n - 8) == load8(b + n - 8);
  }
  if (n >= 4) return load4(a) == load4(b) && load4(a + n - 4) == load4(b + n - 4);
  // The first, middle and last byte are every byte of 1 to 3.
  return n == 0 || (a[0] == b[0] && a[n >> 1] == b[n >> 1] && a[n - 1] == b[n - 1]);
}

}  // namespace detail

inline bool same_bytes(std::string_view a, std::string_view b) {
  return a.size() == b.size() && detail::same_bytes_n(a.data(), b.data(), a.size());
}

// True when no byte of `text` is above 0x7F.
inline bool is_ascii(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  const char* p = text.data();
  const std::size_t n = text.size();
  if (n >= 8) {
    for (std::size_t k = 0; k + 8 < n; k += 8) {
      if (detail::load8(p + k) & kHighBits) return false;
    }
    return (detail::load8(p + n - 8) & kHighBits) == 0;
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (static_cast<unsigned char>(p[k]) >= 0x80) return false;
  }
  return true;
}

// A hash of the bytes of `text` whose low bits are well mixed (an open
// table masks them). Not for untrusted keys where flooding matters: a
// build's table only slows down, never fails, on colliding texts.
inline std::size_t hash_bytes(std::string_view text) {
  using detail::load4;
  using detail::load8;
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
  const char* p = text.data();
  const std::size_t n = text.size();
  std::uint64_t h = (n + 1) * kMul;
  auto mix = [&](std::uint64_t w) {
    h = (h ^ w) * kMul;
    h ^= h >> 29;
  };
  if (n >= 8) {
    for (std::size_t k = 0; k + 8 < n; k += 8) mix(load8(p + k));
    mix(load8(p + n - 8));
  } else if (n >= 4) {
    mix((std::uint64_t{load4(p)} << 32) | load4(p + n - 4));
  } else if (n > 0) {
    // The first, middle and last byte are every byte of 1 to 3 (the length
    // is in h already), read without a loop: most token texts are one
    // three-byte character.
    const auto byte = [&](std::size_t k) {
      return std::uint64_t{static_cast<unsigned char>(p[k])};
    };
    mix(byte(0) | (byte(n >> 1) << 8) | (byte(n - 1) << 16));
  } else {
    mix(0);
  }
  return static_cast<std::size_t>(h ^ (h >> 32));
}

}  // namespace quillet
