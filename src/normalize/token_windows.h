// Long texts are converted window by window: tokens are made and read one
// part of the text at a time, so a text of any length holds only a window's
// worth of token records (which stay in cache and whose memory is reused)
// instead of records for all its tokens at once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "normalize/normalizer.h"
#include "dict/segment.h"

namespace quillet {

// How far the context passes look: a token's reading depends on the tokens
// up to two places before and after it (the three-token windows of the
// separable-compound and AA-dei passes), and on nothing further away.
inline constexpr std::size_t kPassReach = 2;

// Consecutive tokens of one text. tokens[emit_begin, emit_end) are the ones
// this window delivers; up to kPassReach tokens on either side of them are
// context only (delivered by the window before or after).
struct TokenWindow {
  std::span<const std::string> tokens;
  std::span<const WordMatch> matches;  // one per token, as tokenize() gives
  std::size_t emit_begin = 0;
  std::size_t emit_end = 0;
  bool last = false;  // no window follows
};

// Calls `deliver(window)` for windows that together deliver every token of
// tokenize(pipeline, text) once, in order, each with all its neighbours
// within kPassReach that the text has, until `deliver` returns false. A
// window's spans live until `deliver` returns. The windows are the same for any window_bytes >= 1;
// only their number changes. A text that normalizes to at most
// `window_bytes` bytes is one window delivering all its tokens.
template <class Deliver>
void for_each_window(const Pipeline& pipeline, std::string_view text, std::size_t window_bytes,
                     Deliver&& deliver) {
  const std::string normalized = normalize_text(pipeline, text);
  std::vector<std::string> tokens;
  std::vector<WordMatch> matches;
  // Room for a window's tokens (mostly three bytes or more each) at once.
  const std::size_t room = std::min(normalized.size(), window_bytes) / 3 + 8;
  tokens.reserve(room);
  matches.reserve(room);
  std::size_t emit_begin = 0;
  std::size_t pos = 0;
  for (;;) {
    pos = split_runs_part(pipeline, normalized, pos, window_bytes, tokens, &matches);
    const bool last = pos >= normalized.size();
    // The last kPassReach tokens wait for the next window, which has their
    // right-hand neighbours.
    const std::size_t held = std::min(tokens.size(), kPassReach);
    const std::size_t emit_end = last ? tokens.size() : std::max(emit_begin, tokens.size() - held);
    if (!deliver(TokenWindow{tokens, matches, emit_begin, emit_end, last}) || last) return;
    // Keep the held tokens and their left-hand context for the next window.
    const std::size_t keep_from = emit_end > kPassReach ? emit_end - kPassReach : 0;
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(keep_from));
    matches.erase(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(keep_from));
    emit_begin = emit_end - keep_from;
  }
}

}  // namespace quillet
