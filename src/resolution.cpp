// Per-token reading resolution: the layer find_reading names, and the
// labels that layer gives.
#include "resolution.h"

#include <algorithm>

#include "dict/reading.h"
#include "labels.h"
#include "resolution_memo.h"
#include "unicode.h"

namespace quillet {
namespace {

// Sets the fields of `view` that every layer gives.
void set(ResolutionView& view, TextSlot candidates, bool is_list, std::string_view confidence,
         std::string_view source) {
  view.candidates = std::move(candidates);
  view.is_list = is_list;
  view.confidence = confidence;
  view.source = source;
}

// A side file's value for `key`, trying first the entry `hint`, where the
// file it shares its keys with holds `key`.
std::optional<std::string_view> get_near_optional(const std::optional<DictFile>& file,
                                                  std::string_view key, std::size_t hint) {
  if (!file) return std::nullopt;
  return file->get_near(key, hint);
}

// A side file's value for a token of one code point, which it shares with
// no file whose entry index is known.
std::optional<std::string_view> get_char_optional(const std::optional<DictFile>& file,
                                                  std::string_view key) {
  if (!file) return std::nullopt;
  const auto found = file->find_char(key);
  if (!found) return std::nullopt;
  return found->value;
}

// A hint past any table: get_near searches.
constexpr std::size_t kNoHint = static_cast<std::size_t>(-1);

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

namespace {

// The resolution of a token that find_reading answered with `found`, before
// its language is set, written into `view`.
void resolve_found(const Pipeline& p, const ReadingTables& tables, std::string_view token,
                   const ReadingFound& found, WordMatch word, ResolutionView& view) {
  // The side files share their keys, and so their entry order, with
  // word_candidates.bin, word.bin, char_candidates.bin and char.bin; a
  // stored empty label is still a hit. A hint past the table (no word entry
  // known) makes get_near search.
  switch (found.layer) {
    case ReadingLayer::Passthrough:
      return set(view, TextSlot::borrow(found.value), false, label::kCertain, label::kPassthrough);
    case ReadingLayer::User:
      return set(view, TextSlot::borrow(found.value), false, label::kCertain, label::kUserDict);
    case ReadingLayer::WordCandidates: {
      const std::size_t word_entry = word.kind == WordMatch::Kind::Hit ? word.index : kNoHint;
      return set(view, TextSlot::borrow(found.value), true,
                 get_near_optional(p.word_candidates_confidence, token, found.index)
                     .value_or(label::kTied),
                 get_near_optional(p.word_source, token, word_entry).value_or(label::kUnknown));
    }
    case ReadingLayer::Word:
      return set(view, TextSlot::borrow(found.value), false, label::kCertain,
                 get_near_optional(p.word_source, token, found.index).value_or(label::kUnknown));
    case ReadingLayer::CharCandidates:
      return set(view, TextSlot::borrow(found.value), true,
                 get_near_optional(p.char_candidates_confidence, token, found.index)
                     .value_or(label::kTied),
                 get_char_optional(p.char_source, token).value_or(label::kUnknown));
    case ReadingLayer::Char:
      return set(view, TextSlot::borrow(found.value), false, label::kCertain,
                 get_near_optional(p.char_source, token, found.index).value_or(label::kUnknown));
    case ReadingLayer::Itself:
      return set(view, TextSlot::borrow(found.value), false, label::kCertain, label::kUnresolved);
    case ReadingLayer::CharByChar:
      break;
  }
  // Character by character; the token itself back means nothing was known.
  std::string reading = char_by_char_reading(tables, token);
  const std::string_view source = reading == token ? label::kUnresolved : label::kCharFallback;
  return set(view, TextSlot::own(std::move(reading)), false, label::kCertain, source);
}

// The tables the candidate road reads.
ReadingTables candidate_tables(const Pipeline& p) {
  return {p.word_dict,
          p.char_dict,
          p.user_dict,
          p.word_candidates ? &*p.word_candidates : nullptr,
          p.char_candidates ? &*p.char_candidates : nullptr,
          &p.word_candidates_keys};
}

// resolve_token_view into `view` (default-made), inlined into the loop of
// resolve_tokens.
inline void resolve_one(const Pipeline& p, const ReadingTables& tables, std::string_view token,
                        std::string* override_reading, const WordMatch& word,
                        ResolutionView& view) {
  if (override_reading) {
    set(view, TextSlot::own(std::move(*override_reading)), false, label::kCertain,
        label::kSeparableCompound);
    view.lang = label::lang_code(token);
    return;
  }
  // The token is read as a DictKey only for a search; the side files are
  // mostly answered at the hinted entry, by one comparison.
  const ReadingFound found = find_reading(tables, token, word);
  resolve_found(p, tables, token, found, word, view);
  // find_reading answers Passthrough exactly for a token that segmentation
  // did not cut from a Chinese run and that holds no CJK ideograph; every
  // other token holds one (a token of a Chinese run is all ideographs), so
  // its language needs no second look at its text.
  view.lang = found.layer == ReadingLayer::Passthrough ? label::lang_code_without_cjk(token)
                                                       : label::Lang::Yue;
}

}  // namespace

void resolve_tokens(const Pipeline& p, std::span<const std::string_view> tokens,
                    std::span<const WordMatch> matches, ReadingChanges& overrides,
                    std::pmr::vector<ResolutionView>& views, ResolutionMemo* memo) {
  const ReadingTables tables = candidate_tables(p);
  auto next_override = overrides.begin();
  const WordMatch unknown;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string* override_reading = nullptr;
    if (next_override != overrides.end() && next_override->index == i) {
      override_reading = &next_override->reading;
      ++next_override;
    }
    // Resolved where it is kept, sparing a move of each view.
    ResolutionView& view = views.emplace_back();
    const WordMatch& word = i < matches.size() ? matches[i] : unknown;
    // An override depends on the tokens around, so it is never kept.
    if (memo == nullptr || override_reading != nullptr) {
      resolve_one(p, tables, tokens[i], override_reading, word, view);
      continue;
    }
    const std::size_t hash = ResolutionMemo::hash(tokens[i]);
    if (memo->find(p, tokens[i], hash, view)) continue;
    resolve_one(p, tables, tokens[i], nullptr, word, view);
    view.memo_entry = memo->add(p, tokens[i], hash, view);
  }
}

ResolutionView resolve_token_view(const Pipeline& p, std::string_view token,
                                  std::string* override_reading, WordMatch word) {
  ResolutionView view;
  resolve_one(p, candidate_tables(p), token, override_reading, word, view);
  return view;
}

std::vector<std::string> candidates_of(const ResolutionView& view) {
  if (view.is_list) return split_candidates(view.candidates.view());
  // Built in place: a braced list would copy the reading a second time.
  std::vector<std::string> one;
  one.reserve(1);
  one.emplace_back(view.candidates.view());
  return one;
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
