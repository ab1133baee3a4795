// Cutting a normalized text into token windows.
#include "normalize/token_windows.h"

#include <algorithm>

#include "normalize/normalizer.h"

namespace quillet {
namespace {

constexpr bool is_continuation_byte(char b) {
  return (static_cast<unsigned char>(b) & 0xC0) == 0x80;
}

// Cuts the CJK run text[from, end) (which goes on past `end`) and appends
// the tokens that start more than kMaxWordChars code points before `end`:
// every prefix those tokens were matched against lies inside the piece, so
// they are exactly the tokens of the whole run. Returns where the first
// dropped token starts. The piece must hold more than kMaxWordChars code
// points, so at least one token is kept.
std::size_t split_cjk_piece(const Pipeline& pipeline, std::string_view text, std::size_t from,
                            std::size_t end, std::vector<std::string_view>& out,
                            std::vector<WordMatch>* matches) {
  const std::size_t first_new = out.size();
  split_runs(pipeline, text.substr(from, end - from), out, matches);
  // The piece is whole CJK code points, so stepping back over continuation
  // bytes finds code point starts.
  std::size_t limit = end;
  for (std::size_t k = 0; k < kMaxWordChars && limit > from; ++k) {
    do --limit;
    while (limit > from && is_continuation_byte(text[limit]));
  }
  std::size_t next = end;
  while (out.size() > first_new + 1 && next - out.back().size() >= limit) {
    next -= out.back().size();
    out.pop_back();
    if (matches) matches->pop_back();
  }
  return next;
}

}  // namespace

std::size_t split_runs_part(const Pipeline& pipeline, std::string_view text, std::size_t from,
                            std::size_t budget, std::vector<std::string_view>& out,
                            std::vector<WordMatch>* matches) {
  if (from >= text.size()) return text.size();
  if (text.size() - from <= budget) {
    split_runs(pipeline, text.substr(from), out, matches);
    return text.size();
  }
  // Walk (decoding as split_runs does) to the first code point at or past
  // the budget, noting where the run reaching it began and its length.
  const std::size_t target = from + (budget == 0 ? 1 : budget);
  std::size_t pos = from;
  std::size_t run_start = from;
  std::size_t run_chars = 0;
  CharClass run_class = CharClass::Other;
  while (pos < target) {
    const std::size_t start = pos;
    const CharClass k = char_class(next_code_point_inline(text, pos));
    if (k != run_class || k == CharClass::Other) {
      run_start = start;
      run_class = k;
      run_chars = 0;
    }
    ++run_chars;
  }
  std::size_t cut = pos;
  auto class_at = [&](std::size_t at, std::size_t& after) {
    after = at;
    return at < text.size() ? char_class(next_code_point(text, after)) : CharClass::Other;
  };
  std::size_t after = pos;
  const CharClass next_class = class_at(pos, after);
  if (next_class == run_class && next_class != CharClass::Other) {
    if (run_start > from) {
      cut = run_start;  // the run that crosses the budget goes whole to the next part
    } else if (run_class == CharClass::Alnum) {
      while (class_at(cut, after) == CharClass::Alnum) cut = after;  // one token: never cut
    } else {
      // One CJK run fills the part. Take at least one more code point than
      // a word can span, so the piece keeps at least one token.
      while (run_chars <= kMaxWordChars && class_at(cut, after) == CharClass::Cjk) {
        cut = after;
        ++run_chars;
      }
      if (class_at(cut, after) == CharClass::Cjk) {
        return split_cjk_piece(pipeline, text, from, cut, out, matches);
      }
    }
  }
  split_runs(pipeline, text.substr(from, cut - from), out, matches);
  return cut;
}

std::size_t split_runs_part(const Pipeline& pipeline, std::string_view text, std::size_t from,
                            std::size_t budget, std::vector<std::string>& out,
                            std::vector<WordMatch>* matches) {
  std::vector<std::string_view> views;
  const std::size_t next = split_runs_part(pipeline, text, from, budget, views, matches);
  out.insert(out.end(), views.begin(), views.end());
  return next;
}

TokenWindows::TokenWindows(const Pipeline& pipeline, std::string_view text,
                           std::size_t window_bytes, std::size_t context,
                           TokenWindowsStorage& storage)
    : pipeline_(pipeline), storage_(storage), window_bytes_(window_bytes), context_(context) {
  if (!text.empty()) normalized_ = normalize_text(pipeline, text, storage_.normalized);
  // Room for a window's tokens (mostly three bytes or more each) at once;
  // storage used before mostly has it already.
  const std::size_t room = std::min(normalized_.size(), window_bytes) / 3 + 8;
  storage_.tokens.clear();
  storage_.matches.clear();
  storage_.tokens.reserve(room);
  storage_.matches.reserve(room);
}

bool TokenWindows::next() {
  std::vector<std::string_view>& tokens = storage_.tokens;
  std::vector<WordMatch>& matches = storage_.matches;
  if (started_) {
    if (window_.last) return false;
    // Keep the held tokens and their left-hand context for the next window.
    const std::size_t emit_end = window_.emit_end;
    const std::size_t keep_from = emit_end > context_ ? emit_end - context_ : 0;
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(keep_from));
    matches.erase(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(keep_from));
    window_.emit_begin = emit_end - keep_from;
  } else if (normalized_.empty()) {
    return false;
  }
  started_ = true;
  pos_ = split_runs_part(pipeline_, normalized_, pos_, window_bytes_, tokens, &matches);
  const bool last = pos_ >= normalized_.size();
  // The last `context` tokens wait for the next window, which has their
  // right-hand neighbours.
  const std::size_t held = std::min(tokens.size(), context_);
  window_.tokens = tokens;
  window_.matches = matches;
  window_.emit_end = last ? tokens.size() : std::max(window_.emit_begin, tokens.size() - held);
  window_.last = last;
  return true;
}

}  // namespace quillet
