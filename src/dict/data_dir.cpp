// Loading the data directory into a Pipeline.
#include "dict/data_dir.h"

#include <utility>

namespace quillet {

std::string join_path(std::string_view dir, std::string_view name) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

namespace {

std::optional<DictFile> open_optional(std::string_view dir, std::string_view name) {
  auto file = DictFile::open(join_path(dir, name));
  if (!file.ok()) return std::nullopt;
  return std::move(file).value();
}

}  // namespace

Result<Pipeline> load_pipeline(std::string_view dir, UserDict user_dict, bool punc_norm) {
  auto word = DictFile::open(join_path(dir, "word.bin"));
  if (!word.ok()) return Error{word.error()};
  auto chr = DictFile::open(join_path(dir, "char.bin"));
  if (!chr.ok()) return Error{chr.error()};

  Pipeline p{.word_dict = std::move(word).value(), .char_dict = std::move(chr).value()};
  p.word_candidates = open_optional(dir, "word_candidates.bin");
  p.char_candidates = open_optional(dir, "char_candidates.bin");
  p.word_candidates_confidence = open_optional(dir, "word_candidates_confidence.bin");
  p.char_candidates_confidence = open_optional(dir, "char_candidates_confidence.bin");
  p.word_source = open_optional(dir, "word_source.bin");
  p.char_source = open_optional(dir, "char_source.bin");
  p.separable = open_optional(dir, "separable.bin");
  p.romanized_slang = open_optional(dir, "romanized_slang.bin");
  p.classifier_words = open_optional(dir, "classifier_words.bin");
  p.context_readings = open_optional(dir, "context_readings.bin");
  p.user_dict_max_chars = max_key_chars(user_dict);
  p.user_dict = std::move(user_dict);
  p.punc_norm = punc_norm;
  return p;
}

}  // namespace quillet
