// The classifier-reduplication pass: a classifier said twice (C C) reads the
// second C in tone 2. The classifiers are the keys of classifier_words.bin.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dict/lookup.h"
#include "passes/reading_changes.h"

namespace quillet {

// For every pair (tokens[pos], tokens[pos + 1]) of equal one-code-point
// tokens whose text is a key of `classifier_words` (values are never read),
// enters to_tone2 of readings[pos + 1] when it gives one. All pairs see the
// readings as given, so C C C changes the second and third C. Empty when
// `classifier_words` is absent, the spans differ in length or hold fewer than
// two tokens. Pure; safe from any number of threads.
ReadingChanges classifier_reduplication(std::span<const std::string_view> tokens,
                                        std::span<const std::string_view> readings,
                                        const std::optional<DictFile>& classifier_words);

}  // namespace quillet
