// The three conversions a loaded Pipeline offers, the Token records they
// return, and resolve, the candidate road shared by the two list operations.
// All are read-only over the Pipeline and safe to call from any number of
// threads at once; none can fail on any valid UTF-8 text, and every result
// owns its strings.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "normalize/token_windows.h"
#include "pipeline_data.h"
#include "resolution.h"

namespace quillet {

// One token of convert_detailed: its text after normalization, its most
// likely reading, and its labels ("yue"/"en"/"punct", a confidence and a
// source). Every field is owned.
struct Token {
  Token() = default;
  // Copies each text once, straight into the record: conversions build their
  // lists in place from views rather than moving records built aside.
  Token(std::string_view token_text, std::string_view reading, std::string_view lang_label,
        std::string_view confidence_label, std::string_view source_label)
      : token(owned_copy(token_text)),
        jyutping(owned_copy(reading)),
        lang(owned_copy(lang_label)),
        confidence(owned_copy(confidence_label)),
        source(owned_copy(source_label)) {}

  std::string token;
  std::string jyutping;
  std::string lang;
  std::string confidence;
  std::string source;
};

// One token of convert_candidates: as Token, with every candidate reading in
// rank order (never empty) in place of the single reading.
struct CandidateToken {
  CandidateToken() = default;
  // As Token's: each text copied once, the readings moved in.
  CandidateToken(std::string_view token_text, std::vector<std::string>&& readings,
                 std::string_view lang_label, std::string_view confidence_label,
                 std::string_view source_label)
      : token(owned_copy(token_text)),
        candidate_readings(std::move(readings)),
        lang(owned_copy(lang_label)),
        confidence(owned_copy(confidence_label)),
        source(owned_copy(source_label)) {}

  std::string token;
  std::vector<std::string> candidate_readings;
  std::string lang;
  std::string confidence;
  std::string source;
};

// The readings of all tokens joined by single spaces; "" for an empty text or
// one without tokens. Each token is read with lookup_reading (never the
// candidate, confidence or source files), after the separable-compound
// overrides; then the context readings (where a rule's reading is among the
// token's candidates), address sandhi, AA-dei sandhi and classifier
// reduplication run in that order, each seeing the changes of the ones before.
std::string convert(const Pipeline& pipeline, std::string_view text);

// One Token per token: the first candidate of resolve, the Lang label of the
// text, and resolve's labels. Empty for an empty text.
std::vector<Token> convert_detailed(const Pipeline& pipeline, std::string_view text);

// As convert_detailed, with every candidate of resolve.
std::vector<CandidateToken> convert_candidates(const Pipeline& pipeline, std::string_view text);

// Bytes of normalized text per window when a long text is read window by
// window: a few thousand tokens, whose records fit in a core's cache.
inline constexpr std::size_t kWindowBytes = std::size_t{1} << 14;

// The three conversions with the size of the windows a long text is read in
// (bytes of normalized text). The result is the same
// for every window_bytes >= 1; only speed and memory use depend on it.
std::string convert(const Pipeline& pipeline, std::string_view text, std::size_t window_bytes);
std::vector<Token> convert_detailed(const Pipeline& pipeline, std::string_view text,
                                    std::size_t window_bytes);
std::vector<CandidateToken> convert_candidates(const Pipeline& pipeline, std::string_view text,
                                               std::size_t window_bytes);

// What a conversion works in: the windows' normalized text and tokens, and
// the tokens' resolutions and first readings. A caller converting many texts
// in turn may keep one and hand it to each conversion, which clears it and
// reuses its capacity instead of allocating it anew; the results are those
// of a conversion without it. One conversion uses it at a time: it is plain
// mutable data, never shared between threads while in use.
struct ConversionStorage {
  ConversionStorage() = default;
  // The resolutions and readings come from `records`.
  explicit ConversionStorage(std::pmr::memory_resource* records)
      : views(records), readings(records) {}
  ConversionStorage(const ConversionStorage&) = delete;
  ConversionStorage& operator=(const ConversionStorage&) = delete;

  TokenWindowsStorage windows;
  std::pmr::vector<ResolutionView> views;
  std::pmr::vector<std::string_view> readings;  // first candidates
  // convert's readings of a window too long for the stack: from the heap
  // directly, as a plain call's are, which costs less than a resource.
  std::vector<std::string_view> long_readings;
  // Room for convert's result, for a caller that copies each result out (a
  // PyPipeline into its str) and so need not allocate a string per text.
  std::string converted;
};

// Bytes of room `storage` holds for texts and records (not counting the few
// readings its resolutions own, which a window's tokens bound).
std::size_t held_bytes(const ConversionStorage& storage);

// Frees all `storage` holds when that is more than `limit` bytes, so that a
// kept storage which served one huge text does not keep its room for ever.
void release_beyond(ConversionStorage& storage, std::size_t limit);

// convert working in `storage`, its result in `out` (whatever it held is
// replaced; its room is reused). `text` must not lie in `out`.
void convert_into(const Pipeline& pipeline, std::string_view text, ConversionStorage& storage,
                  std::string& out, std::size_t window_bytes = kWindowBytes);

// The tokens of one text and their resolutions (all passes applied), window
// by window, as views: what convert_detailed and convert_candidates are made
// of, for callers that turn them into something else as they come, so that a
// long text never holds all its records at once. The views live until the
// next call of next(); `pipeline` and `text` (and `storage`, when given)
// must outlive the cursor. Without a storage the cursor works in its own.
//
//   ResolvedWindows windows(pipeline, text);
//   while (windows.next()) {
//     for (std::size_t i = 0; i < windows.size(); ++i) use(windows.token(i),
//     windows.resolution(i));
//   }
class ResolvedWindows {
 public:
  // With a `memo` (which must outlive the cursor), tokens are resolved
  // through it: the resolutions are the same.
  ResolvedWindows(const Pipeline& pipeline, std::string_view text,
                  std::size_t window_bytes = kWindowBytes, ResolutionMemo* memo = nullptr);
  ResolvedWindows(const Pipeline& pipeline, std::string_view text, ConversionStorage& storage,
                  std::size_t window_bytes = kWindowBytes, ResolutionMemo* memo = nullptr);
  // The records may live in the cursor itself.
  ResolvedWindows(const ResolvedWindows&) = delete;
  ResolvedWindows& operator=(const ResolvedWindows&) = delete;

  // Moves to the next window; false when every token has been delivered.
  bool next();
  // The tokens this window delivers, in text order.
  std::size_t size() const { return emit_end_ - emit_begin_; }
  std::string_view token(std::size_t i) const { return tokens_[emit_begin_ + i]; }
  const ResolutionView& resolution(std::size_t i) const { return views_[emit_begin_ + i]; }
  // resolution(i).first(), found once for the passes already.
  std::string_view first(std::size_t i) const { return readings_[emit_begin_ + i]; }
  // True once the window holding the text's last token has been reached.
  bool last() const { return windows_.window().last; }

 private:
  // The storage of a cursor given none, with room in the cursor itself for
  // the records of a window of a few dozen tokens, so that a call on a short
  // text (nearly every call) takes none of them from the heap; a larger
  // window's records come from the heap as usual.
  struct OwnStorage {
    // User-provided, so that the scratch bytes are not zeroed first.
    OwnStorage() {}
    static constexpr std::size_t kScratchBytes = 4096;
    alignas(std::max_align_t) std::byte scratch[kScratchBytes];
    std::pmr::monotonic_buffer_resource resource{scratch, sizeof scratch};
    ConversionStorage storage{&resource};
  };

  const Pipeline& pipeline_;
  ResolutionMemo* memo_;
  // Used when the caller gave no storage; else left empty, which costs a
  // few stores (less than an optional's out-of-line destruction did).
  OwnStorage own_;
  ConversionStorage& storage_;
  TokenWindows windows_;
  // The window's records, read straight rather than through the storage.
  std::span<const std::string_view> tokens_;
  const ResolutionView* views_ = nullptr;
  const std::string_view* readings_ = nullptr;
  std::size_t emit_begin_ = 0;
  std::size_t emit_end_ = 0;
};

// One Resolution per token text, in order: each token resolved (after the
// separable-compound overrides), then the context readings (a proposed
// reading among a token's candidates moves to the front; the token keeps its
// source and is "ranked"), then address sandhi, then AA-dei sandhi on
// readings that include the address changes, then classifier reduplication
// on those same readings (before the AA-dei changes). A changed token gets
// the single new reading, "certain" and the pass's source label; a token
// both later passes change ends labelled "classifier_reduplication".
std::vector<Resolution> resolve(const Pipeline& pipeline, std::span<const std::string> tokens);

}  // namespace quillet
