// The three batch methods: texts read in place from a Python list, converted on
// the process-wide worker pool into slots in input order, then turned into
// one Python list on the calling thread. The calling thread keeps the
// interpreter lock throughout; the workers never touch a Python object.
#pragma once

#include "pipeline_data.h"
#include "python/kept_objects.h"
#include "python/python_api.h"

namespace quillet::python {

// Each takes the bound `texts` argument and returns a new list, or nullptr
// with TypeError / UnicodeEncodeError / MemoryError set (see arguments.h).
// The list forms take their tuples and strs from `kept` first.
PyObject* convert_batch(const Pipeline& pipeline, PyObject* texts);
PyObject* convert_detailed_batch(const Pipeline& pipeline, KeptObjects& kept, PyObject* texts);
PyObject* convert_candidates_batch(const Pipeline& pipeline, KeptObjects& kept, PyObject* texts);

}  // namespace quillet::python
