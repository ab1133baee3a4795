// The three conversions a loaded Pipeline offers, the Token records they
// return, and resolve, the candidate road shared by the two list operations.
// All are read-only over the Pipeline and safe to call from any number of
// threads at once; none can fail on any valid UTF-8 text, and every result
// owns its strings.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "resolution.h"

namespace quillet {

// One token of convert_detailed: its text after normalization, its most
// likely reading, and its labels ("yue"/"en"/"punct", a confidence and a
// source). Every field is owned.
struct Token {
  std::string token;
  std::string jyutping;
  std::string lang;
  std::string confidence;
  std::string source;
};

// One token of convert_candidates: as Token, with every candidate reading in
// rank order (never empty) in place of the single reading.
struct CandidateToken {
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

// Receives the records of one conversion a batch at a time: the batches,
// joined in order, are the list the conversion returns. `last` is true for
// the final batch. The sink may take the records (move them out or swap the
// vector); it returns false to stop the conversion, which then delivers
// nothing more.
template <class Record>
using RecordSink = std::function<bool(std::vector<Record>& batch, bool last)>;

// convert_detailed and convert_candidates delivered in batches (one per
// window of a long text), for callers that turn records into something else
// as they come, so that a long text never holds all its records at once.
void convert_detailed_each(const Pipeline& pipeline, std::string_view text,
                           std::size_t window_bytes, const RecordSink<Token>& sink);
void convert_candidates_each(const Pipeline& pipeline, std::string_view text,
                             std::size_t window_bytes, const RecordSink<CandidateToken>& sink);

// The three conversions with the size of the windows a long text is read in
// (bytes of normalized text; see token_windows.h). The result is the same
// for every window_bytes >= 1; only speed and memory use depend on it.
std::string convert(const Pipeline& pipeline, std::string_view text, std::size_t window_bytes);
std::vector<Token> convert_detailed(const Pipeline& pipeline, std::string_view text,
                                    std::size_t window_bytes);
std::vector<CandidateToken> convert_candidates(const Pipeline& pipeline, std::string_view text,
                                               std::size_t window_bytes);

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
