// The conversion flows: tokenize, read every token (plain lookup for convert,
// candidate resolution for the two list operations), then the context passes
// in fixed order. Text stays borrowed from the Pipeline until the results are
// written, so each stored reading and label is copied once, into the result.
#include "pipeline.h"

#include <algorithm>
#include <forward_list>
#include <iterator>

#include "passes/aa_dei_sandhi.h"
#include "passes/address_sandhi.h"
#include "passes/classifier_reduplication.h"
#include "passes/context_readings.h"
#include "dict/reading.h"
#include "labels.h"
#include "normalize/normalizer.h"
#include "passes/separable_compound.h"
#include "normalize/token_windows.h"
#include "unicode.h"

namespace quillet {

// Windows carry kPassReach tokens of context on each side; the context
// readings must not look further. (The later passes change a token from its
// own reading only, so the two reaches do not add up.)
static_assert(kContextReadingsReach <= kPassReach);

namespace {

// lookup_reading, but borrowing the reading wherever it is stored whole, and
// taking the word lookup's answer from segmentation when it has one.
// A reading built here is kept in `built` (whose elements never move; empty,
// it costs no allocation).
std::string_view plain_reading(const Pipeline& p, std::string_view token, WordMatch word,
                               std::forward_list<std::string>& built) {
  // Segmentation says Hit or Miss only of tokens cut from Chinese runs.
  if (word.kind == WordMatch::Kind::Unknown && !contains_cjk(token)) return token;
  if (const std::string* user = user_lookup(p.user_dict, token)) return *user;
  if (word.kind == WordMatch::Kind::Hit) return word.value;
  if (word.kind == WordMatch::Kind::Unknown) {
    if (auto found = p.word_dict.get(token)) return *found;
  }
  // A single character that is neither a user nor a word key: the character
  // table or, failing that, itself (what the character walk would give).
  if (is_single_code_point(token)) {
    return p.char_dict.get(token).value_or(token);
  }
  return built.emplace_front(lookup_reading(token, p.word_dict, p.char_dict, p.user_dict));
}

// Replaces each changed token's reading; the new text is kept in `built`.
void apply_to_readings(ReadingChanges&& changes, std::forward_list<std::string>& built,
                       std::vector<std::string_view>& readings) {
  for (auto& change : changes) {
    readings[change.index] = built.emplace_front(std::move(change.reading));
  }
}

// Replaces each changed token's whole resolution by the one new reading with
// "certain" and `source`; `readings` keeps viewing the first candidates.
void apply_to_resolutions(ReadingChanges&& changes, std::string_view source,
                          std::vector<ResolutionView>& views,
                          std::vector<std::string_view>& readings) {
  for (auto& change : changes) {
    ResolutionView& view = views[change.index];
    view.candidates = TextSlot::own(std::move(change.reading));
    view.is_list = false;
    view.confidence = label::kCertain;
    view.source = source;
    readings[change.index] = view.first();
  }
}

// Puts each proposed context reading that is one of its token's candidates
// first, the others after it in their order; the token keeps its source and
// is "ranked". `readings` keeps viewing the first candidates.
void apply_context_readings(ReadingChanges&& proposals, std::vector<ResolutionView>& views,
                            std::vector<std::string_view>& readings) {
  for (auto& proposal : proposals) {
    ResolutionView& view = views[proposal.index];
    auto ranked = pick_candidate(view.candidates.view(), view.is_list, proposal.reading);
    if (!ranked) continue;
    view.candidates = TextSlot::own(std::move(*ranked));
    view.is_list = true;
    view.confidence = label::kRanked;
    readings[proposal.index] = view.first();
  }
}

// The candidate road with all passes applied, before anything is copied out.
// Views point into `p` and `tokens`.
std::vector<ResolutionView> resolve_views(const Pipeline& p, std::span<const std::string> tokens,
                                          std::span<const WordMatch> matches = {}) {
  // Overrides come in index order; each one's text moves into its resolution.
  ReadingChanges overrides = separable_compounds(tokens, p.separable);
  auto next_override = overrides.begin();
  std::vector<ResolutionView> views;
  views.reserve(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string* override_reading = nullptr;
    if (next_override != overrides.end() && next_override->index == i) {
      override_reading = &next_override->reading;
      ++next_override;
    }
    views.push_back(resolve_token_view(p, tokens[i], override_reading,
                                       i < matches.size() ? matches[i] : WordMatch{}));
  }
  std::vector<std::string_view> readings;
  readings.reserve(views.size());
  for (const auto& view : views) readings.push_back(view.first());

  apply_context_readings(context_readings(tokens, p.context_readings, p.context_targets), views,
                         readings);
  apply_to_resolutions(address_sandhi(tokens, readings), label::kAddressSandhi, views, readings);
  // Both remaining passes read the readings as they stand after address
  // sandhi; the classifier changes are applied last, so they win.
  ReadingChanges aa_dei = aa_dei_sandhi(tokens, readings);
  ReadingChanges classifier = classifier_reduplication(tokens, readings, p.classifier_words);
  apply_to_resolutions(std::move(aa_dei), label::kAaDeiSandhi, views, readings);
  apply_to_resolutions(std::move(classifier), label::kClassifierReduplication, views, readings);
  return views;
}

// The readings of every token of `window` (context included) after the
// passes, as views into the Pipeline, the window's tokens and `built`.
void read_window(const Pipeline& p, const TokenWindow& window,
                 std::forward_list<std::string>& built, std::vector<std::string_view>& readings) {
  const std::span<const std::string> tokens = window.tokens;
  const ReadingChanges overrides = separable_compounds(tokens, p.separable);
  readings.resize(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    // Overrides are few, and `overrides` ends with this call: each is copied
    // into `built`, which lives until the window is written out.
    const std::string* override_reading = overrides.find(i);
    readings[i] = override_reading ? built.emplace_front(*override_reading)
                                   : plain_reading(p, tokens[i], window.matches[i], built);
  }
  // A context reading replaces the plain one when it is among the token's
  // candidates, the same test the candidate road makes, so both roads read
  // the token alike. Rules match few tokens; only those are resolved here.
  for (auto& proposal : context_readings(tokens, p.context_readings, p.context_targets)) {
    if (overrides.find(proposal.index)) continue;  // an override is the only candidate
    const ResolutionView view =
        resolve_token_view(p, tokens[proposal.index], nullptr, window.matches[proposal.index]);
    if (!is_candidate(view.candidates.view(), view.is_list, proposal.reading)) continue;
    readings[proposal.index] = built.emplace_front(std::move(proposal.reading));
  }
  // Each pass sees the changes of the passes before it.
  apply_to_readings(address_sandhi(tokens, readings), built, readings);
  apply_to_readings(aa_dei_sandhi(tokens, readings), built, readings);
  apply_to_readings(classifier_reduplication(tokens, readings, p.classifier_words), built,
                    readings);
}

// Appends `readings` to `out`, each preceded by one space unless it is the
// text's first (`started` is false until then; a reading may be empty, so
// `out` itself cannot tell). The bytes are sized first and written in one
// pass: per-reading appends spend more on their checks than on the few
// bytes they copy.
void append_joined(std::span<const std::string_view> readings, bool& started, std::string& out) {
  if (readings.empty()) return;
  std::size_t add = readings.size() - (started ? 0 : 1);
  for (std::string_view r : readings) add += r.size();
  const std::size_t at = out.size();
  // Grow geometrically: a long text appends window after window.
  if (out.capacity() < at + add) out.reserve(std::max(at + add, 2 * out.capacity()));
  out.resize(at + add);
  char* dst = out.data() + at;
  for (std::string_view r : readings) {
    if (started) *dst++ = ' ';
    dst = std::copy(r.begin(), r.end(), dst);
    started = true;
  }
}

// Moves one batch of records onto the end of `out`. The first batch of a
// text in one window becomes `out` as it is; the first of several reserves
// room for the whole text, guessed from its length (a token is mostly a
// Chinese character or word of three bytes or more), which spares a long
// text most of the regrowth, and the page faults, of its list.
template <class Record>
bool collect(std::vector<Record>& batch, bool last, std::string_view text,
             std::vector<Record>& out) {
  if (out.empty()) {
    if (last) {
      out.swap(batch);
      return true;
    }
    out.reserve(batch.size() + text.size() / 3);
  }
  std::move(batch.begin(), batch.end(), std::back_inserter(out));
  return true;
}

}  // namespace

std::string convert(const Pipeline& p, std::string_view text) {
  return convert(p, text, kWindowBytes);
}

std::string convert(const Pipeline& p, std::string_view text, std::size_t window_bytes) {
  std::string out;
  if (text.empty()) return out;
  // Most readings are views into the mappings; the few built during a
  // window live in `built` until the window is written out.
  std::forward_list<std::string> built;
  std::vector<std::string_view> readings;
  bool started = false;
  for_each_window(p, text, window_bytes, [&](const TokenWindow& window) {
    built.clear();
    read_window(p, window, built, readings);
    append_joined(std::span(readings).subspan(window.emit_begin,
                                              window.emit_end - window.emit_begin),
                  started, out);
    return true;
  });
  return out;
}

namespace {

// The records of `text`, window by window, one per delivered token, made
// by `make(token, view)` from the token and its resolution.
template <class Record, class Make>
void records_each(const Pipeline& p, std::string_view text, std::size_t window_bytes,
                  const RecordSink<Record>& sink, Make make) {
  if (text.empty()) return;
  std::vector<Record> batch;
  for_each_window(p, text, window_bytes, [&](const TokenWindow& window) {
    std::vector<ResolutionView> views = resolve_views(p, window.tokens, window.matches);
    batch.clear();
    batch.reserve(window.emit_end - window.emit_begin);
    for (std::size_t i = window.emit_begin; i < window.emit_end; ++i) {
      batch.push_back(make(window.tokens[i], std::move(views[i])));
    }
    return sink(batch, window.last);
  });
}

// All records of `text` in one list, from the batches of `each`.
template <class Record, class Each>
std::vector<Record> all_records(std::string_view text, Each each) {
  std::vector<Record> out;
  each([&](std::vector<Record>& batch, bool last) { return collect(batch, last, text, out); });
  return out;
}

}  // namespace

void convert_detailed_each(const Pipeline& p, std::string_view text, std::size_t window_bytes,
                           const RecordSink<Token>& sink) {
  records_each<Token>(p, text, window_bytes, sink,
                      [](const std::string& token, ResolutionView&& view) {
                        std::string jyutping = view.is_list ? std::string(view.first())
                                                            : std::move(view.candidates).take();
                        return Token{token, std::move(jyutping),
                                     std::string(label::lang_of(token)),
                                     std::string(view.confidence), std::string(view.source)};
                      });
}

void convert_candidates_each(const Pipeline& p, std::string_view text, std::size_t window_bytes,
                             const RecordSink<CandidateToken>& sink) {
  records_each<CandidateToken>(p, text, window_bytes, sink,
                               [](const std::string& token, ResolutionView&& view) {
                                 Resolution resolution = to_resolution(std::move(view));
                                 return CandidateToken{token,
                                                       std::move(resolution.candidate_readings),
                                                       std::string(label::lang_of(token)),
                                                       std::move(resolution.confidence),
                                                       std::move(resolution.source)};
                               });
}

std::vector<Token> convert_detailed(const Pipeline& p, std::string_view text) {
  return convert_detailed(p, text, kWindowBytes);
}

std::vector<Token> convert_detailed(const Pipeline& p, std::string_view text,
                                    std::size_t window_bytes) {
  return all_records<Token>(text, [&](const RecordSink<Token>& sink) {
    convert_detailed_each(p, text, window_bytes, sink);
  });
}

std::vector<CandidateToken> convert_candidates(const Pipeline& p, std::string_view text) {
  return convert_candidates(p, text, kWindowBytes);
}

std::vector<CandidateToken> convert_candidates(const Pipeline& p, std::string_view text,
                                               std::size_t window_bytes) {
  return all_records<CandidateToken>(text, [&](const RecordSink<CandidateToken>& sink) {
    convert_candidates_each(p, text, window_bytes, sink);
  });
}

std::vector<Resolution> resolve(const Pipeline& p, std::span<const std::string> tokens) {
  std::vector<ResolutionView> views = resolve_views(p, tokens);
  std::vector<Resolution> out;
  out.reserve(views.size());
  for (auto& view : views) out.push_back(to_resolution(std::move(view)));
  return out;
}

}  // namespace quillet
