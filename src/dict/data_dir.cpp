// Loading the data directory into a Pipeline, one table row at a time.
#include "dict/data_dir.h"

#include <utility>

namespace quillet {

std::string join_path(std::string_view dir, std::string_view name) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

Result<Pipeline> load_pipeline(std::string_view dir, UserDict user_dict, bool punc_norm) {
  Pipeline p;
  for (const RequiredFile& file : kRequiredFiles) {
    auto opened = DictFile::open(join_path(dir, file.name));
    if (!opened.ok()) return Error{opened.error()};  // p unmaps what it holds
    p.*file.member = std::move(opened).value();
  }
  for (const OptionalFile& file : kOptionalFiles) {
    auto opened = DictFile::open(join_path(dir, file.name));
    if (opened.ok()) p.*file.member = std::move(opened).value();
  }
  // Views into the mapping, which stays where it is when p moves.
  p.context_targets = list_context_targets(p.context_readings);
  if (p.context_readings) p.context_readings_keys = KeyFilter::of(*p.context_readings);
  if (p.word_candidates) p.word_candidates_keys = KeyFilter::of(*p.word_candidates);
  p.word_heads = KeyFilter::of_heads(p.word_dict);
  p.user_dict_max_chars = max_key_chars(user_dict);
  p.user_dict = std::move(user_dict);
  p.punc_norm = punc_norm;
  return p;
}

}  // namespace quillet
