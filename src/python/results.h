// Conversion of engine results into new Python objects, shared by the single
// and the batch calls. Each function that makes objects needs the
// interpreter lock and returns a new reference, or nullptr with a Python
// exception set (only when memory runs out).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline.h"
#include "python/kept_objects.h"
#include "python/python_api.h"
#include "python/strs.h"

namespace quillet::python {

// Holds off the interpreter's automatic cycle collection while a result is
// built, and turns it back on afterwards if it was on. A result is lists
// and tuples of str, which hold no cycles; collecting mid-build would only
// scan the growing result again and again (it made a 10 MB text's candidate
// list 2.4 times slower than building it with collection held off). Lists
// and the tuples that hold one stay tracked, so collection works on them as
// usual afterwards; tuples of strs alone are untracked (see results.cpp).
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

// Which of the two list conversions a list is built for.
enum class ListKind { Detailed, Candidates };

// One token of a list result as views: the token text, its reading (or, when
// is_list, its '|'-joined candidate list), the first of those and its three
// labels.
struct TokenFields {
  std::string_view token;
  std::string_view readings;
  std::string_view first;  // a prefix of readings
  bool is_list = false;
  LabelText lang;
  LabelText confidence;
  LabelText source;
};

// The list of convert_detailed or convert_candidates on `text`, built from
// the engine's views window by window, so a long text never holds all its
// engine records and all its Python objects at once.
// Token texts and readings come from `kept` first (see StrCache); the
// conversion works in its storage when no other call is using it.
PyObject* converted_list(const Pipeline& pipeline, KeptObjects& kept, std::string_view text,
                         ListKind kind);

// A text's list result made ready by a batch worker, without Python: the
// fields view the Pipeline's data, the text converted, or `bytes` (text the
// conversion built, copied here so that it outlives the conversion).
struct PreparedList {
  std::vector<TokenFields> fields;
  TextArena bytes;
};

// Fills `out` from the conversion of `text`, made in `storage`. No Python
// object is touched, so any thread may call it; the views live as long as
// `out`, `pipeline` and `text` (not `storage`). A `memo` answers the tokens
// it holds and keeps the others.
void prepare_list(const Pipeline& pipeline, std::string_view text, ConversionStorage& storage,
                  PreparedList& out, ResolutionMemo* memo = nullptr);

// The list of tuples for `fields`, its strings taken from `cache`.
PyObject* list_of(const std::vector<TokenFields>& fields, ListKind kind, StrCache& cache);

}  // namespace quillet::python
