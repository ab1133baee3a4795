// The Pipeline: everything a conversion reads, loaded once from the data
// directory (dict/data_dir.h) and never modified afterwards, so any number of
// threads may convert with it at once without locks. Its file members are
// those of python/quillet/data_files.tsv, the table the loader follows.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "dict/key_filter.h"
#include "dict/lookup.h"
#include "dict/user_dict.h"
#include "passes/context_readings.h"

namespace quillet {

struct Pipeline {
  DictFile word_dict;                                                 // word.bin
  DictFile char_dict;                                                 // char.bin
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
  ContextTargets context_targets = {};  // the "=" list of context_readings.bin, read at load
  // The keys of context_readings, made at load like word_candidates_keys:
  // most rule keys the pass tries are not in the file.
  KeyFilter context_readings_keys = {};
  // The keys of word_candidates, made from it when it is loaded
  // (load_pipeline), so that a token it cannot hold is not searched for
  // there; the default, which holds every key, when it is not loaded.
  KeyFilter word_candidates_keys = {};
  // The two-code-point heads of word_dict's keys (KeyFilter::of_heads),
  // made at load: segmentation's first probe at a position that starts no
  // word is answered by one bit.
  KeyFilter word_heads = {};
  UserDict user_dict = {};
  std::size_t user_dict_max_chars = 0;
  bool punc_norm = true;
};

// Looks `key` up in an optional file; an absent file misses every key.
inline std::optional<std::string_view> get_optional(const std::optional<DictFile>& file,
                                                    std::string_view key) {
  if (!file) return std::nullopt;
  return file->get(key);
}

}  // namespace quillet
