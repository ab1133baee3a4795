// The PyPipeline instance layout: a Python object header followed by the
// Pipeline it owns and the strs its results share from call to call, both
// constructed in place and destroyed with the object.
#pragma once

#include <new>

#include "pipeline_data.h"
#include "python/kept_objects.h"
#include "python/python_api.h"

namespace quillet::python {

struct PyPipelineObject {
  PyObject_HEAD
  alignas(Pipeline) unsigned char storage[sizeof(Pipeline)];
  alignas(KeptObjects) unsigned char kept[sizeof(KeptObjects)];
};

// The Pipeline of a live PyPipeline instance; valid while `self` lives.
inline const Pipeline& pipeline_of(PyObject* self) {
  return *std::launder(reinterpret_cast<const Pipeline*>(
      reinterpret_cast<PyPipelineObject*>(self)->storage));
}

// The kept objects of a live PyPipeline instance. Touched only with the
// interpreter lock held, never by a batch worker.
inline KeptObjects& kept_of(PyObject* self) {
  return *std::launder(
      reinterpret_cast<KeptObjects*>(reinterpret_cast<PyPipelineObject*>(self)->kept));
}

}  // namespace quillet::python
