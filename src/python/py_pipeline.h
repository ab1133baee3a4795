// The PyPipeline instance layout: a Python object header followed by the
// Pipeline it owns, constructed in place and destroyed with the object.
#pragma once

#include <new>

#include "pipeline_data.h"
#include "python/python_api.h"

namespace quillet::python {

struct PyPipelineObject {
  PyObject_HEAD
  alignas(Pipeline) unsigned char storage[sizeof(Pipeline)];
};

// The Pipeline of a live PyPipeline instance; valid while `self` lives.
inline const Pipeline& pipeline_of(PyObject* self) {
  return *std::launder(reinterpret_cast<const Pipeline*>(
      reinterpret_cast<PyPipelineObject*>(self)->storage));
}

}  // namespace quillet::python
