// Per-token reading resolution for the detailed and candidate conversions:
// which data layer gives a token its candidate readings, confidence and
// source, tried in a fixed order (separable override, passthrough, user
// dictionary, word candidates, word reading, character candidates, character
// reading, character-by-character fallback).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/segment.h"
#include "labels.h"
#include "passes/reading_changes.h"
#include "pipeline_data.h"
#include "text_slot.h"

namespace quillet {

// One token's readings in rank order (never empty) and its labels, owned.
struct Resolution {
  std::vector<std::string> candidate_readings;
  std::string confidence;
  std::string source;
};

// Cuts a stored candidate value at every '|', keeping every piece in order,
// empty ones included and nothing trimmed: "" gives {""}, "a|" gives
// {"a", ""}. Never empty.
std::vector<std::string> split_candidates(std::string_view value);

// The first piece split_candidates would give, as a view into `value`.
inline std::string_view first_candidate(std::string_view value) {
  return value.substr(0, value.find('|'));
}

// A Resolution before it is copied into a result: the stored value and the
// labels stay views into the Pipeline (or constants, or the token text) for
// the length of one call, so each is copied at most once, into the result.
struct ResolutionView {
  TextSlot candidates;   // one reading, or a '|'-joined list when is_list
  bool is_list = false;
  // label::lang_code of the token, which the lookup has all but worked out.
  label::Lang lang = label::Lang::Yue;
  std::string_view confidence;
  std::string_view source;

  std::string_view first() const {
    return is_list ? first_candidate(candidates.view()) : candidates.view();
  }
};

// The resolution of one token with text `token`. `override_reading` is the
// separable-compound reading for this token, or nullptr; it is moved into the
// result. Views in the result point into `pipeline` and `token`, which must
// outlive it. `word` is what segmentation knows of the token's word_dict
// entry (a Miss or Hit only of a token of a Chinese run, and true of
// `pipeline.word_dict`); the result is the same whatever it says. Never
// fails. Reads only; safe from any number of threads.
ResolutionView resolve_token_view(const Pipeline& pipeline, std::string_view token,
                                  std::string* override_reading, WordMatch word = {});

// The candidate readings of `view`, owned (a candidate list split).
std::vector<std::string> candidates_of(const ResolutionView& view);

// The owned Resolution of `view` (splitting a candidate list).
Resolution to_resolution(ResolutionView&& view);

// The owned resolution of token `index` with text `token`, given the
// separable-compound overrides of the whole token list.
Resolution resolve_token(const Pipeline& pipeline, std::size_t index, std::string_view token,
                         const ReadingChanges& overrides);

}  // namespace quillet
