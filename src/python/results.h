// Conversion of engine results into new Python objects. Each function needs
// the interpreter lock and returns a new reference, or nullptr with a Python
// exception set (only when memory runs out).
#pragma once

#include <string_view>
#include <vector>

#include "pipeline.h"
#include "python/python_api.h"

namespace quillet::python {

// A str from UTF-8 text. Bytes that are not UTF-8 (only a malformed data
// file could put them in a result) become U+FFFD rather than an exception.
PyObject* str_of(std::string_view text);

// The list of (token, jyutping, lang, confidence, source) tuples.
PyObject* detailed_list_of(const std::vector<Token>& tokens);

// The list of (token, candidate_readings, lang, confidence, source) tuples,
// candidate_readings a list of str in rank order.
PyObject* candidates_list_of(const std::vector<CandidateToken>& tokens);

}  // namespace quillet::python
