// Tone utilities: the change of a single syllable's tone to tone 2, shared by
// the AA-dei and classifier passes (tones 3 to 6) and the address pass
// (tones 4 and 6 only).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// `reading` with its final tone digit replaced by 2, when the reading is one
// syllable (lower-case ASCII letters a-z followed by one digit) whose digit is
// one of `from_tones`; nullopt otherwise (several syllables, an empty text, a
// missing or other tone digit, a bare digit, any non a-z letter). Pure.
std::optional<std::string> to_tone2_from(std::string_view reading, std::string_view from_tones);

// The general rule: tones 3, 4, 5 and 6 become tone 2. A reading already in
// tone 2 gives nullopt, so the rule changes a syllable at most once.
std::optional<std::string> to_tone2(std::string_view reading);

}  // namespace quillet
