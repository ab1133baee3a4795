// Conversion of engine results into new Python objects. Each function needs
// the interpreter lock and returns a new reference, or nullptr with a Python
// exception set (only when memory runs out).
#pragma once

#include <string_view>
#include <vector>

#include "pipeline.h"
#include "python/python_api.h"

namespace quillet::python {

// Holds off the interpreter's automatic cycle collection while a result is
// built, and turns it back on afterwards if it was on. A result is lists
// and tuples of str, which hold no cycles; collecting mid-build would only
// scan the growing result again and again (it made a 10 MB text's candidate
// list 2.4 times slower than building it with collection held off). The
// objects stay tracked, so collection works on them as usual afterwards.
// No Python code runs during a build, so nothing else sees the pause.
class GcPause {
 public:
  GcPause() : was_enabled_(PyGC_Disable()) {}
  ~GcPause() {
    if (was_enabled_) PyGC_Enable();
  }
  GcPause(const GcPause&) = delete;
  GcPause& operator=(const GcPause&) = delete;

 private:
  int was_enabled_;
};

// A str from UTF-8 text. Bytes that are not UTF-8 (only a malformed data
// file could put them in a result) become U+FFFD rather than an exception.
PyObject* str_of(std::string_view text);

// The list of (token, jyutping, lang, confidence, source) tuples.
PyObject* detailed_list_of(const std::vector<Token>& tokens);

// The list of (token, candidate_readings, lang, confidence, source) tuples,
// candidate_readings a list of str in rank order.
PyObject* candidates_list_of(const std::vector<CandidateToken>& tokens);

// The lists of convert_detailed and convert_candidates on `text`, built
// while the engine delivers its records window by window, so a long text
// never holds all its engine records and all its Python objects at once.
PyObject* convert_detailed_list(const Pipeline& pipeline, std::string_view text);
PyObject* convert_candidates_list(const Pipeline& pipeline, std::string_view text);

}  // namespace quillet::python
