// Per-token reading resolution for the detailed and candidate conversions:
// which data layer gives a token its candidate readings, confidence and
// source, tried in a fixed order (separable override, passthrough, user
// dictionary, word candidates, word reading, character candidates, character
// reading, character-by-character fallback).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/segment.h"
#include "labels.h"
#include "passes/reading_changes.h"
#include "pipeline_data.h"
#include "text_slot.h"

namespace quillet {

class ResolutionMemo;

// Copies `text` to `dst` and returns the end of the copy. Most texts a
// conversion copies out (a syllable or two, a token, a label) hold 2 to 16
// bytes, and a call to memcpy for each would cost more than the copy: such a
// text is copied as two blocks of fixed size that may overlap, each one load
// and one store (a shorter one byte by byte), reading and writing no byte
// outside `text` and its copy.
inline char* copy_text(std::string_view text, char* dst) {
  const std::size_t n = text.size();
  const char* src = text.data();
  if (n > 16) return std::copy(text.begin(), text.end(), dst);
  if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else if (n > 0) {  // 1 to 3 bytes: the first, the middle and the last
    dst[0] = src[0];
    dst[n / 2] = src[n / 2];
    dst[n - 1] = src[n - 1];
  }
  return dst + n;
}

// std::string(text) for a text of N bytes, N fixed: the library's copy is
// then a few loads and stores, where for a size known only at run time it
// calls memcpy, which costs more than the copy for a short text.
template <std::size_t N>
std::string owned_copy_of_size(const char* text) {
  return std::string(text, N);
}
template <std::size_t... N>
constexpr auto owned_copies(std::index_sequence<N...>) {
  return std::array<std::string (*)(const char*), sizeof...(N)>{&owned_copy_of_size<N>...};
}
// One for each size that fits in a string's own buffer (15 bytes in
// libstdc++), which nearly every label, token and reading of a record does.
inline constexpr auto kOwnedCopies = owned_copies(std::make_index_sequence<16>{});

// std::string(text), copied by one of kOwnedCopies when the text is short.
inline std::string owned_copy(std::string_view text) {
  if (text.size() < kOwnedCopies.size()) return kOwnedCopies[text.size()](text.data());
  return std::string(text);
}

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

// The memo_entry of a view no ResolutionMemo holds.
inline constexpr std::uint32_t kNotInMemo = 0xFFFFFFFF;

// A Resolution before it is copied into a result: the stored value and the
// labels stay views into the Pipeline (or constants, or the token text) for
// the length of one call, so each is copied at most once, into the result.
struct ResolutionView {
  TextSlot candidates;   // one reading, or a '|'-joined list when is_list
  bool is_list = false;
  // label::lang_code of the token, which the lookup has all but worked out.
  label::Lang lang = label::Lang::Yue;
  // The ResolutionMemo entry this view equals, while it does (a pass that
  // changes the view sets kNotInMemo); kNotInMemo when none is known. Here,
  // beside the two small fields, it takes no room of its own.
  std::uint32_t memo_entry = kNotInMemo;
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

// resolve_token_view for each of `tokens`, appended to `views` in order
// (each built where it is kept, the tables read once for all of them):
// `matches` holds what segmentation knows of each (none past its end), and
// each of `overrides` (the separable-compound readings, in index order) is
// moved into its token's view. With a `memo`, a token it holds is answered
// from it, and one it lacks is resolved and kept there: the views are the same.
void resolve_tokens(const Pipeline& pipeline, std::span<const std::string_view> tokens,
                    std::span<const WordMatch> matches, ReadingChanges& overrides,
                    std::pmr::vector<ResolutionView>& views, ResolutionMemo* memo = nullptr);

// The candidate readings of `view`, owned (a candidate list split).
std::vector<std::string> candidates_of(const ResolutionView& view);

// The owned Resolution of `view` (splitting a candidate list).
Resolution to_resolution(ResolutionView&& view);

// The owned resolution of token `index` with text `token`, given the
// separable-compound overrides of the whole token list.
Resolution resolve_token(const Pipeline& pipeline, std::size_t index, std::string_view token,
                         const ReadingChanges& overrides);

}  // namespace quillet
