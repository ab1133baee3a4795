// The PyPipeline instance layout: a Python object header followed by the
// Pipeline it owns and the strs its results share from call to call, both
// constructed in place and destroyed with the object.
#pragma once

#include <new>

#include "pipeline_data.h"
#include "python/python_api.h"
#include "python/str_cache.h"

namespace quillet::python {

struct PyPipelineObject {
  PyObject_HEAD
  alignas(Pipeline) unsigned char storage[sizeof(Pipeline)];
  alignas(StrTable) unsigned char kept_strs[sizeof(StrTable)];
};

// The Pipeline of a live PyPipeline instance; valid while `self` lives.
inline const Pipeline& pipeline_of(PyObject* self) {
  return *std::launder(reinterpret_cast<const Pipeline*>(
      reinterpret_cast<PyPipelineObject*>(self)->storage));
}

// The kept strs of a live PyPipeline instance. Touched only with the
// interpreter lock held, never by a batch worker.
inline StrTable& kept_strs_of(PyObject* self) {
  return *std::launder(
      reinterpret_cast<StrTable*>(reinterpret_cast<PyPipelineObject*>(self)->kept_strs));
}

}  // namespace quillet::python
