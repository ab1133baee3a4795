// A single syllable (lower-case letters and a tone digit) whose tone is one
// of the given ones is respelled with tone 2; anything else is left alone.
#include "passes/tone_util.h"

namespace quillet {

std::optional<std::string> to_tone2_from(std::string_view reading, std::string_view from_tones) {
  // A multi-syllable reading is never changed.
  if (reading.find(' ') != std::string_view::npos) return std::nullopt;
  if (reading.empty()) return std::nullopt;
  const char tone = reading.back();
  if (from_tones.find(tone) == std::string_view::npos) return std::nullopt;
  const std::string_view stem = reading.substr(0, reading.size() - 1);
  if (stem.empty()) return std::nullopt;
  for (char c : stem) {
    if (c < 'a' || c > 'z') return std::nullopt;
  }
  std::string out;
  out.reserve(reading.size());
  out.append(stem);
  out += '2';
  return out;
}

std::optional<std::string> to_tone2(std::string_view reading) {
  return to_tone2_from(reading, "3456");
}

}  // namespace quillet
