// tokenize: the front end of every conversion. Four passes over the text in
// fixed order: romanized slang (when romanized_slang.bin is loaded),
// punctuation folding (when punc_norm is on), number rewriting (always) and
// run splitting (always), which hands CJK runs to segmentation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"

namespace quillet {

// The ordered token texts of `text`; every token is non-empty and none is
// whitespace. Never fails on valid UTF-8. Safe from any number of threads.
std::vector<std::string> tokenize(const Pipeline& pipeline, std::string_view text);

}  // namespace quillet
