// Per-token reading resolution: the seven steps and their labels.
#include "resolution.h"

#include <algorithm>

#include "dict/reading.h"
#include "labels.h"
#include "unicode.h"

namespace quillet {
namespace {

ResolutionView make(TextSlot candidates, bool is_list, std::string_view confidence,
                    std::string_view source) {
  ResolutionView view;
  view.candidates = std::move(candidates);
  view.is_list = is_list;
  view.confidence = confidence;
  view.source = source;
  return view;
}

// A side file's value for `key`, trying first the index where the file it
// shares its keys with holds `key`.
std::optional<std::string_view> get_near_optional(const std::optional<DictFile>& file,
                                                  std::string_view key, std::size_t hint) {
  if (!file) return std::nullopt;
  return file->get_near(key, hint);
}

}  // namespace

std::vector<std::string> split_candidates(std::string_view value) {
  std::vector<std::string> pieces;
  // One allocation for the list: most values hold two or three readings,
  // which growing one by one would allocate for two or three times.
  pieces.reserve(1 + static_cast<std::size_t>(std::count(value.begin(), value.end(), '|')));
  for (;;) {
    const std::size_t bar = value.find('|');
    if (bar == std::string_view::npos) {
      pieces.emplace_back(value);
      return pieces;
    }
    pieces.emplace_back(value.substr(0, bar));
    value.remove_prefix(bar + 1);
  }
}

ResolutionView resolve_token_view(const Pipeline& p, std::string_view token,
                                  std::string* override_reading, WordMatch word) {
  // 1. A separable-compound override.
  if (override_reading) {
    return make(TextSlot::own(std::move(*override_reading)), false, label::kCertain,
                label::kSeparableCompound);
  }
  // 2. Not Chinese: the text is its own reading.
  if (!contains_cjk(token)) {
    return make(TextSlot::borrow(token), false, label::kCertain, label::kPassthrough);
  }
  // 3. The caller's own reading for the whole token.
  if (const std::string* user = user_lookup(p.user_dict, token)) {
    return make(TextSlot::borrow(*user), false, label::kCertain, label::kUserDict);
  }
  // 4. Ranked word candidates; a stored empty label is still a hit.
  // The side files share their keys, and so their entry order, with
  // word_candidates.bin, word.bin, char_candidates.bin and char.bin.
  const auto word_source = [&](std::optional<std::size_t> word_index) {
    return (word_index ? get_near_optional(p.word_source, token, *word_index)
                       : get_optional(p.word_source, token))
        .value_or(label::kUnknown);
  };
  const std::optional<std::size_t> known_word_index =
      word.kind == WordMatch::Kind::Hit ? std::optional<std::size_t>(word.index) : std::nullopt;
  if (const auto candidates = p.word_candidates ? p.word_candidates->find(token) : std::nullopt) {
    return make(TextSlot::borrow(candidates->value), true,
                get_near_optional(p.word_candidates_confidence, token, candidates->index)
                    .value_or(label::kTied),
                word_source(known_word_index));
  }
  // 5. The word reading, for tokens of any length, single characters included
  // (segmentation has usually settled this already).
  std::optional<DictFile::Found> word_entry;
  if (word.kind == WordMatch::Kind::Hit) {
    word_entry = DictFile::Found{word.value, word.index};
  } else if (word.kind == WordMatch::Kind::Unknown) {
    word_entry = p.word_dict.find(token);
  }
  if (word_entry) {
    return make(TextSlot::borrow(word_entry->value), false, label::kCertain,
                word_source(word_entry->index));
  }
  // 6. The character files, for a token of one code point.
  if (is_single_code_point(token)) {
    if (const auto candidates =
            p.char_candidates ? p.char_candidates->find(token) : std::nullopt) {
      return make(TextSlot::borrow(candidates->value), true,
                  get_near_optional(p.char_candidates_confidence, token, candidates->index)
                      .value_or(label::kTied),
                  get_optional(p.char_source, token).value_or(label::kUnknown));
    }
    if (const auto chr = p.char_dict.find(token)) {
      return make(TextSlot::borrow(chr->value), false, label::kCertain,
                  get_near_optional(p.char_source, token, chr->index).value_or(label::kUnknown));
    }
  }
  // 7. Character by character; the token itself back means nothing was known.
  std::string reading = lookup_reading(token, p.word_dict, p.char_dict, p.user_dict);
  const std::string_view source = reading == token ? label::kUnresolved : label::kCharFallback;
  return make(TextSlot::own(std::move(reading)), false, label::kCertain, source);
}

Resolution to_resolution(ResolutionView&& view) {
  Resolution out;
  if (view.is_list) {
    out.candidate_readings = split_candidates(view.candidates.view());
  } else {
    out.candidate_readings.push_back(std::move(view.candidates).take());
  }
  out.confidence = std::string(view.confidence);
  out.source = std::string(view.source);
  return out;
}

Resolution resolve_token(const Pipeline& pipeline, std::size_t index, std::string_view token,
                         const ReadingChanges& overrides) {
  const std::string* found = overrides.find(index);
  std::string override_reading = found ? *found : std::string();
  return to_resolution(resolve_token_view(pipeline, token, found ? &override_reading : nullptr));
}

}  // namespace quillet
