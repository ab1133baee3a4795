// Loading a data directory into a Pipeline. The files and the members they
// fill come from one table, python/quillet/data_files.tsv (the package and
// the data build read it too), which CMake turns into dict/data_files.inc:
// a new file is a line there and a member of Pipeline.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dict/lookup.h"
#include "dict/user_dict.h"
#include "pipeline_data.h"
#include "result.h"

namespace quillet {

// A file whose failure fails the load, and the member it fills.
struct RequiredFile {
  std::string_view name;
  DictFile Pipeline::*member;
};

// A file that is left absent, silently, when it is missing or broken.
struct OptionalFile {
  std::string_view name;
  std::optional<DictFile> Pipeline::*member;
};

// kRequiredFiles and kOptionalFiles, each in loading order.
#include "dict/data_files.inc"

// `dir` joined with `name`: the bare name for an empty dir, no extra "/"
// when dir already ends in one.
std::string join_path(std::string_view dir, std::string_view name);

// Loads the Pipeline from `dir`: the required files first, in order, and the
// first that fails returns exactly its open error (nothing after it is
// opened); then the optional files. Computes user_dict_max_chars and the
// filter of word_candidates' keys.
Result<Pipeline> load_pipeline(std::string_view dir, UserDict user_dict, bool punc_norm);

}  // namespace quillet
