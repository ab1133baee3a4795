// The three conversions a loaded Pipeline offers, and the Token records they
// return. All are read-only over the Pipeline and safe to call from any
// number of threads at once; none can fail on any valid UTF-8 text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"

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

// The readings of all tokens joined by single spaces; "" for an empty text.
std::string convert(const Pipeline& pipeline, std::string_view text);

std::vector<Token> convert_detailed(const Pipeline& pipeline, std::string_view text);

std::vector<CandidateToken> convert_candidates(const Pipeline& pipeline, std::string_view text);

}  // namespace quillet
