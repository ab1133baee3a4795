// Long texts are converted window by window: the text is normalized whole,
// then cut into tokens one part at a time, so a text of any length holds
// only a window's worth of token records (which stay in cache and whose
// memory is reused) instead of records for all its tokens at once. The
// conversions pull the windows from a TokenWindows cursor.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline_data.h"
#include "dict/segment.h"

namespace quillet {

// Appends the tokens of one part of `text` (a normalized text), starting at
// byte `from`, and returns where the next part starts (text.size() after the
// last one). `from` must be 0 or a value this function returned for the same
// text. A part holds about `budget` bytes: it may end early, at the start of
// the run that crosses the budget, or run on to the end of an ASCII run (never
// cut); a CJK run is cut where the tokens before the cut no longer depend on
// the text after it. The tokens of all parts, in order, are exactly those of
// split_runs over the whole text, for any budget of at least 1.
// The tokens are views into `text`; the second form appends copies.
std::size_t split_runs_part(const Pipeline& pipeline, std::string_view text, std::size_t from,
                            std::size_t budget, std::vector<std::string_view>& out,
                            std::vector<WordMatch>* matches = nullptr);
std::size_t split_runs_part(const Pipeline& pipeline, std::string_view text, std::size_t from,
                            std::size_t budget, std::vector<std::string>& out,
                            std::vector<WordMatch>* matches = nullptr);

// Consecutive tokens of one text. tokens[emit_begin, emit_end) are the ones
// this window delivers; up to `context` tokens on either side of them are
// context only (delivered by the window before or after).
struct TokenWindow {
  std::span<const std::string_view> tokens;  // views into the normalized text
  std::span<const WordMatch> matches;  // one per token: what segmentation knows
  std::size_t emit_begin = 0;
  std::size_t emit_end = 0;
  bool last = false;  // no window follows
};

// What a TokenWindows cursor works in: the normalized text (when the passes
// changed it) and the tokens of the current window with what segmentation
// knows of each. A caller converting many texts in turn may keep one and
// hand it to each cursor, which clears it and reuses its capacity rather
// than allocating; it serves one cursor at a time.
struct TokenWindowsStorage {
  std::string normalized;
  std::vector<std::string_view> tokens;
  std::vector<WordMatch> matches;
};

// The windows of one text, in order: together they deliver every token of
// the text once, each with all its neighbours within `context` places that
// the text has. The windows deliver the same tokens for any window_bytes >= 1;
// only their number changes, and a text that normalizes to at most
// window_bytes bytes is one window. Reads `text` and `pipeline` and works in
// `storage` (whatever it held before is dropped), which must all outlive
// the cursor.
//
//   TokenWindowsStorage storage;
//   TokenWindows windows(pipeline, text, window_bytes, context, storage);
//   while (windows.next()) use(windows.window());
class TokenWindows {
 public:
  TokenWindows(const Pipeline& pipeline, std::string_view text, std::size_t window_bytes,
               std::size_t context, TokenWindowsStorage& storage);
  // The windows view the storage, which one cursor uses at a time.
  TokenWindows(const TokenWindows&) = delete;
  TokenWindows& operator=(const TokenWindows&) = delete;

  // Moves to the next window; false when the text has none left (an empty
  // text has none). The previous window's spans end here.
  bool next();
  const TokenWindow& window() const { return window_; }

 private:
  const Pipeline& pipeline_;
  TokenWindowsStorage& storage_;
  std::string_view normalized_;  // `text` itself or storage_.normalized
  std::size_t window_bytes_;
  std::size_t context_;
  std::size_t pos_ = 0;  // where the next part of normalized_ starts
  TokenWindow window_;
  bool started_ = false;
};

}  // namespace quillet
