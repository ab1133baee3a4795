// The data directory and the Pipeline loaded from it: twelve dictionary files
// (two required), the caller's UserDict and the punctuation switch. Once
// loaded, a Pipeline is never modified, so any number of threads may convert
// with it at once without locks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "dict/lookup.h"
#include "result.h"
#include "dict/user_dict.h"

namespace quillet {

struct Pipeline {
  DictFile word_dict;                                  // word.bin
  DictFile char_dict;                                  // char.bin
  std::optional<DictFile> word_candidates = std::nullopt;             // word_candidates.bin
  std::optional<DictFile> char_candidates = std::nullopt;             // char_candidates.bin
  std::optional<DictFile> word_candidates_confidence = std::nullopt;  // word_candidates_confidence.bin
  std::optional<DictFile> char_candidates_confidence = std::nullopt;  // char_candidates_confidence.bin
  std::optional<DictFile> word_source = std::nullopt;                 // word_source.bin
  std::optional<DictFile> char_source = std::nullopt;                 // char_source.bin
  std::optional<DictFile> separable = std::nullopt;                   // separable.bin
  std::optional<DictFile> romanized_slang = std::nullopt;             // romanized_slang.bin
  std::optional<DictFile> classifier_words = std::nullopt;            // classifier_words.bin
  std::optional<DictFile> context_readings = std::nullopt;            // context_readings.bin
  UserDict user_dict = {};
  std::size_t user_dict_max_chars = 0;
  bool punc_norm = true;
};

// `dir` joined with `name`: the bare name for an empty dir, no extra "/"
// when dir already ends in one.
std::string join_path(std::string_view dir, std::string_view name);

// Loads the Pipeline from `dir`. A failure of word.bin or char.bin returns
// exactly that file's open error (opened in that order); a missing or broken
// optional file is silently left absent.
Result<Pipeline> load_pipeline(std::string_view dir, UserDict user_dict, bool punc_norm);

// Looks `key` up in an optional file; an absent file misses every key.
inline std::optional<std::string_view> get_optional(const std::optional<DictFile>& file,
                                                    std::string_view key) {
  if (!file) return std::nullopt;
  return file->get(key);
}

}  // namespace quillet
