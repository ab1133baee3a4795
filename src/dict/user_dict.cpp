// The longest UserDict key in code points: how far segmentation must look
// ahead for a user word, counted once when the Pipeline is loaded.
#include "dict/user_dict.h"

#include "unicode.h"

namespace quillet {

std::size_t max_key_chars(const UserDict& dict) {
  std::size_t longest = 0;
  for (const auto& [key, value] : dict) {
    const std::size_t n = count_code_points(key);
    if (n > longest) longest = n;
  }
  return longest;
}

}  // namespace quillet
