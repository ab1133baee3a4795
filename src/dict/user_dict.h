// UserDict: the caller's word-to-reading overrides, matched by exact bytes.
// Built once before the Pipeline is loaded and read-only afterwards.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillet {

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Keys and values are owned UTF-8 strings; neither is normalized or checked.
// Lookups take a string_view without allocating.
using UserDict = std::unordered_map<std::string, std::string, StringHash, std::equal_to<>>;

// The value for exactly `key`, or nullptr. The pointer lives as long as `dict`.
inline const std::string* user_lookup(const UserDict& dict, std::string_view key) {
  if (dict.empty()) return nullptr;
  auto it = dict.find(key);
  return it == dict.end() ? nullptr : &it->second;
}

// The largest number of code points of any key, 0 for an empty dictionary.
std::size_t max_key_chars(const UserDict& dict);

}  // namespace quillet
