// What a PyPipeline keeps from one call to the next for the results it
// builds: strs of token texts and readings, whole detailed tuples, and the
// resolutions of tokens read before (each tied to its detailed tuple), and
// the storage its single calls convert in.
// Touched only with the interpreter lock held, never by a batch worker.
#pragma once

#include <cstddef>

#include "python/kept_storage.h"
#include "python/str_cache.h"
#include "python/tuple_table.h"
#include "resolution_memo.h"

namespace quillet::python {

// Tuples kept: as many as the strs, which they are mostly made of (under
// 1 MB of slots and about 1.3 MB of tuples when full).
inline constexpr std::size_t kKeptTuples = kKeptStrs;

struct KeptObjects {
  StrTable strs{kKeptStrs, kKeptStrBytes};
  TupleTable tuples{kKeptTuples};
  // Holds no view into a call, so a call made while another is building
  // its objects may use it too.
  ResolutionMemo resolutions{kMemoTokens};
  KeptStorage storage;
};

}  // namespace quillet::python
