// The conversion flows: cut the text into token windows, read every token
// (the plain lookup for convert, the candidate resolution for the two list
// operations), then the context passes of passes.h. Text stays borrowed from
// the Pipeline until the results are written, so each stored reading and
// label is copied once, into the result.
#include "pipeline.h"

#include <algorithm>
#include <cstring>
#include <forward_list>
#include <iterator>

#include "dict/reading.h"
#include "labels.h"
#include "passes/passes.h"

namespace quillet {
namespace {

// The plain reading of one token, borrowed wherever it is stored whole; a
// reading built here is kept in `built` (whose elements never move; empty,
// it costs no allocation).
std::string_view plain_reading(const ReadingTables& tables, std::string_view token,
                               WordMatch word, std::forward_list<std::string>& built) {
  const ReadingFound found = find_reading(tables, token, word);
  if (found.layer != ReadingLayer::CharByChar) return found.value;
  return built.emplace_front(char_by_char_reading(tables, token));
}

// The readings of every token of `window` (context included) after the
// passes, as views into the Pipeline, the window's tokens and `built`.
// `readings` holds one place per token.
void read_window(const Pipeline& p, const TokenWindow& window,
                 std::forward_list<std::string>& built, std::span<std::string_view> readings) {
  const std::span<const std::string_view> tokens = window.tokens;
  const ReadingTables tables{p.word_dict, p.char_dict, p.user_dict};
  // Overrides are few, and `overrides` ends with this call: each is moved
  // into `built`, which lives until the window is written out.
  ReadingChanges overrides = kOverridePass.run(p, tokens);
  auto next_override = overrides.begin();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (next_override != overrides.end() && next_override->index == i) {
      readings[i] = built.emplace_front(std::move(next_override->reading));
      ++next_override;
    } else {
      readings[i] = plain_reading(tables, tokens[i], window.matches[i], built);
    }
  }
  // A context reading replaces the plain one when it is among the token's
  // candidates, the test the candidate road makes, so both roads read the
  // token alike. Rules match few tokens; only those are resolved here.
  for (auto& proposal : kChoicePass.run(p, tokens)) {
    if (overrides.find(proposal.index)) continue;  // an override is the only candidate
    const ResolutionView view =
        resolve_token_view(p, tokens[proposal.index], nullptr, window.matches[proposal.index]);
    if (!is_candidate(view.candidates.view(), view.is_list, proposal.reading)) continue;
    readings[proposal.index] = built.emplace_front(std::move(proposal.reading));
  }
  run_context_passes(p, tokens, readings, [&](ReadingChanges&& changes, const ContextPass&) {
    for (auto& change : changes) {
      readings[change.index] = built.emplace_front(std::move(change.reading));
    }
  });
}

// Appends `readings` to `out`, each preceded by one space unless it is the
// text's first (`started` is false until then; a reading may be empty, so
// `out` itself cannot tell). The bytes are sized first and written in one
// pass: per-reading appends spend more on their checks than on the few
// bytes they copy.
// Tokens of a window whose readings convert keeps on the stack.
constexpr std::size_t kLocalReadings = 16;

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
    dst = copy_text(r, dst);
    started = true;
  }
}

// Empties `v` and makes room for `n` elements, at least doubling its room
// when it grows: the records of a long text's windows come from a resource
// that frees nothing until the cursor ends, so growing a little at each
// window would keep every old block.
template <class T>
void clear_for(std::pmr::vector<T>& v, std::size_t n) {
  v.clear();
  if (n > v.capacity()) v.reserve(std::max(n, 2 * v.capacity()));
}

// The candidate road with all passes applied, before anything is copied out.
// Views point into `p` and `tokens`; `readings` is room for the first
// candidates the passes read; `memo`, when there is one, answers the tokens it holds.
void resolve_views(const Pipeline& p, std::span<const std::string_view> tokens,
                   std::span<const WordMatch> matches, std::pmr::vector<ResolutionView>& views,
                   std::pmr::vector<std::string_view>& readings, ResolutionMemo* memo) {
  // Overrides come in index order; each one's text moves into its resolution.
  ReadingChanges overrides = kOverridePass.run(p, tokens);
  clear_for(views, tokens.size());
  resolve_tokens(p, tokens, matches, overrides, views, memo);
  clear_for(readings, views.size());
  for (const auto& view : views) readings.push_back(view.first());
  // A context reading among a token's candidates moves first; the token
  // keeps its source and is "ranked".
  for (auto& proposal : kChoicePass.run(p, tokens)) {
    ResolutionView& view = views[proposal.index];
    auto ranked = pick_candidate(view.candidates.view(), view.is_list, proposal.reading);
    if (!ranked) continue;
    view.candidates = TextSlot::own(std::move(*ranked));
    view.is_list = true;
    view.confidence = label::kRanked;
    view.memo_entry = kNotInMemo;
    readings[proposal.index] = view.first();
  }
  // A changed token's whole resolution becomes the one new reading, with
  // "certain" and the pass's label; `readings` keeps viewing first candidates.
  run_context_passes(p, tokens, readings, [&](ReadingChanges&& changes, const ContextPass& pass) {
    for (auto& change : changes) {
      ResolutionView& view = views[change.index];
      view.candidates = TextSlot::own(std::move(change.reading));
      view.is_list = false;
      view.confidence = label::kCertain;
      view.source = pass.source;
      view.memo_entry = kNotInMemo;
      readings[change.index] = view.first();
    }
  });
}

// convert into `out` (cleared first, its room reused) working in
// `windows_storage`, with the readings of a window too long for the stack in
// `long_readings`, sized once per window. One function for both forms of
// convert, so the window's reading stays inlined in it.
void convert_in(const Pipeline& p, std::string_view text, std::size_t window_bytes,
                TokenWindowsStorage& windows_storage, std::vector<std::string_view>& long_readings,
                std::string& out) {
  out.clear();
  // Most readings are views into the mappings; the few built during a
  // window live in `built` until the window is written out.
  std::forward_list<std::string> built;
  // The readings of a window of a short text (most texts) are kept on the
  // stack, left unset: read_window sets every place it is given.
  union LocalReadings {
    LocalReadings() {}
    std::string_view at[kLocalReadings];
  } local;
  bool started = false;
  TokenWindows windows(p, text, window_bytes, kPassReach, windows_storage);
  while (windows.next()) {
    const TokenWindow& window = windows.window();
    built.clear();
    std::span<std::string_view> readings;
    if (window.tokens.size() <= kLocalReadings) {
      readings = std::span(local.at).first(window.tokens.size());
    } else {
      // read_window sets every place, so the vector only ever grows.
      if (long_readings.size() < window.tokens.size()) long_readings.resize(window.tokens.size());
      readings = std::span(long_readings).first(window.tokens.size());
    }
    read_window(p, window, built, readings);
    append_joined(readings.subspan(window.emit_begin, window.emit_end - window.emit_begin), started,
                  out);
  }
}

// All records of `text`, each appended to the list by `add(list, token,
// view, first)` from a token, its resolution and its first candidate, built
// in place. A text in one window fills a list sized for it; a longer one
// reserves room for the whole text, guessed from its length (a token is
// mostly a Chinese character or word of three bytes or more), which spares
// it most of the regrowth, and the page faults, of its list.
template <class Record, class Add>
std::vector<Record> all_records(const Pipeline& p, std::string_view text,
                                std::size_t window_bytes, Add add) {
  std::vector<Record> out;
  ResolvedWindows windows(p, text, window_bytes);
  while (windows.next()) {
    if (out.empty()) out.reserve(windows.size() + (windows.last() ? 0 : text.size() / 3));
    for (std::size_t i = 0; i < windows.size(); ++i) {
      add(out, windows.token(i), windows.resolution(i), windows.first(i));
    }
  }
  return out;
}

}  // namespace

std::size_t held_bytes(const ConversionStorage& storage) {
  const TokenWindowsStorage& w = storage.windows;
  return w.normalized.capacity() + w.tokens.capacity() * sizeof(std::string_view) +
         w.matches.capacity() * sizeof(WordMatch) +
         storage.views.capacity() * sizeof(ResolutionView) +
         (storage.readings.capacity() + storage.long_readings.capacity()) *
             sizeof(std::string_view) +
         storage.converted.capacity();
}

void release_beyond(ConversionStorage& storage, std::size_t limit) {
  if (held_bytes(storage) <= limit) return;
  TokenWindowsStorage& w = storage.windows;
  std::string().swap(w.normalized);
  std::vector<std::string_view>().swap(w.tokens);
  std::vector<WordMatch>().swap(w.matches);
  // Swapped with empty vectors of the same resource, which swapping needs.
  std::pmr::vector<ResolutionView>(storage.views.get_allocator()).swap(storage.views);
  std::pmr::vector<std::string_view>(storage.readings.get_allocator()).swap(storage.readings);
  std::vector<std::string_view>().swap(storage.long_readings);
  std::string().swap(storage.converted);
}

ResolvedWindows::ResolvedWindows(const Pipeline& pipeline, std::string_view text,
                                 std::size_t window_bytes, ResolutionMemo* memo)
    : pipeline_(pipeline),
      memo_(memo),
      storage_(own_.storage),
      windows_(pipeline, text, window_bytes, kPassReach, storage_.windows) {}

ResolvedWindows::ResolvedWindows(const Pipeline& pipeline, std::string_view text,
                                 ConversionStorage& storage, std::size_t window_bytes,
                                 ResolutionMemo* memo)
    : pipeline_(pipeline),
      memo_(memo),
      storage_(storage),
      windows_(pipeline, text, window_bytes, kPassReach, storage_.windows) {}

bool ResolvedWindows::next() {
  if (!windows_.next()) return false;
  const TokenWindow& window = windows_.window();
  resolve_views(pipeline_, window.tokens, window.matches, storage_.views, storage_.readings, memo_);
  tokens_ = window.tokens;
  views_ = storage_.views.data();
  readings_ = storage_.readings.data();
  emit_begin_ = window.emit_begin;
  emit_end_ = window.emit_end;
  return true;
}

std::string convert(const Pipeline& p, std::string_view text) {
  return convert(p, text, kWindowBytes);
}

std::string convert(const Pipeline& p, std::string_view text, std::size_t window_bytes) {
  TokenWindowsStorage windows;
  std::vector<std::string_view> long_readings;
  std::string out;
  convert_in(p, text, window_bytes, windows, long_readings, out);
  return out;
}

void convert_into(const Pipeline& p, std::string_view text, ConversionStorage& storage,
                  std::string& out, std::size_t window_bytes) {
  convert_in(p, text, window_bytes, storage.windows, storage.long_readings, out);
}

std::vector<Token> convert_detailed(const Pipeline& p, std::string_view text) {
  return convert_detailed(p, text, kWindowBytes);
}

std::vector<Token> convert_detailed(const Pipeline& p, std::string_view text,
                                    std::size_t window_bytes) {
  return all_records<Token>(p, text, window_bytes,
                            [](std::vector<Token>& out, std::string_view token,
                               const ResolutionView& view, std::string_view first) {
                              out.emplace_back(token, first, label::lang_label(view.lang),
                                               view.confidence, view.source);
                            });
}

std::vector<CandidateToken> convert_candidates(const Pipeline& p, std::string_view text) {
  return convert_candidates(p, text, kWindowBytes);
}

std::vector<CandidateToken> convert_candidates(const Pipeline& p, std::string_view text,
                                               std::size_t window_bytes) {
  return all_records<CandidateToken>(p, text, window_bytes,
                                     [](std::vector<CandidateToken>& out, std::string_view token,
                                        const ResolutionView& view, std::string_view) {
                                       out.emplace_back(token, candidates_of(view),
                                                        label::lang_label(view.lang),
                                                        view.confidence, view.source);
                                     });
}

std::vector<Resolution> resolve(const Pipeline& p, std::span<const std::string> tokens) {
  const std::vector<std::string_view> texts(tokens.begin(), tokens.end());
  std::pmr::vector<ResolutionView> views;
  std::pmr::vector<std::string_view> readings;
  resolve_views(p, texts, {}, views, readings, nullptr);
  std::vector<Resolution> out;
  out.reserve(views.size());
  for (auto& view : views) out.push_back(to_resolution(std::move(view)));
  return out;
}

}  // namespace quillet
