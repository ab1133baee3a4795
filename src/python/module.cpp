// The _quillet extension module and its one class, PyPipeline. What Python
// sees, written as Python:
//
//   __all__ = ["PyPipeline"]
//
//   class PyPipeline:                      # builtins.PyPipeline, final
//       def __new__(cls, punc_norm: bool = True, data_dir: str | None = None,
//                   user_dict: dict[str, str] | None = None) -> PyPipeline:
//           # data_dir None: "data" beside the executable, else "./data"
//           # RuntimeError(loader message) when the directory cannot load
//       def convert(self, text: str) -> str: ...
//       def convert_batch(self, texts: list[str]) -> list[str]: ...
//       def convert_detailed(self, text: str)
//           -> list[tuple[str, str, str, str, str]]: ...
//       def convert_detailed_batch(self, texts: list[str])
//           -> list[list[tuple[str, str, str, str, str]]]: ...
//       def convert_candidates(self, text: str)
//           -> list[tuple[str, list[str], str, str, str]]: ...
//       def convert_candidates_batch(self, texts: list[str])
//           -> list[list[tuple[str, list[str], str, str, str]]]: ...
//       @staticmethod
//       def from_dir(dir: str, punc_norm: bool = True) -> PyPipeline: ...
//
// Binding and type errors are TypeError (with the note "while processing
// '<parameter>'" where a parameter is at fault); no C++ exception crosses
// into Python.
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "python/default_data_dir.h"
#include "dict/data_dir.h"
#include "pipeline.h"
#include "python/arguments.h"
#include "python/batch.h"
#include "python/py_pipeline.h"
#include "python/python_api.h"
#include "python/results.h"
#include "python/strs.h"

namespace quillet::python {
namespace {

// Turns the C++ exception being handled into a Python one; returns nullptr.
PyObject* raise_from_cpp_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unexpected internal error");
  }
  return nullptr;
}

// The loader's message, decoded leniently so that a path that is not UTF-8
// cannot turn a RuntimeError into a UnicodeDecodeError.
void raise_load_error(const std::string& message) {
  PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                                        "surrogateescape");
  if (text == nullptr) return;
  PyErr_SetObject(PyExc_RuntimeError, text);
  Py_DECREF(text);
}

// A new instance of `type` owning `pipeline`, or nullptr.
PyObject* wrap_pipeline(PyTypeObject* type, Pipeline&& pipeline) {
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  auto* object = reinterpret_cast<PyPipelineObject*>(self);
  new (object->storage) Pipeline(std::move(pipeline));
  new (object->kept) KeptObjects();
  return self;
}

// Loads from `dir` and wraps the result; RuntimeError on a load failure.
PyObject* load_and_wrap(PyTypeObject* type, const std::string& dir, UserDict&& user_dict,
                        bool punc_norm) {
  Result<Pipeline> loaded = load_pipeline(dir, std::move(user_dict), punc_norm);
  if (!loaded.ok()) {
    raise_load_error(loaded.error());
    return nullptr;
  }
  return wrap_pipeline(type, std::move(loaded).value());
}

PyTypeObject* g_pipeline_type = nullptr;  // created once per process, never freed

const char* const kNewParams[] = {"punc_norm", "data_dir", "user_dict"};
const Signature kNewSignature{"PyPipeline.__new__()", kNewParams, 3, 0};

PyObject* pipeline_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  try {
    PyObject* bound[3];
    if (!bind_tuple(kNewSignature, args, kwargs, bound)) return nullptr;
    bool punc_norm = true;
    if (bound[0] != nullptr && !bool_of(bound[0], "punc_norm", punc_norm)) return nullptr;
    std::optional<std::string> data_dir;
    if (bound[1] != nullptr && bound[1] != Py_None) {
      if (!utf8_of(bound[1], "data_dir", data_dir.emplace())) return nullptr;
    }
    // The user dictionary is converted before any file is opened.
    UserDict user_dict;
    if (bound[2] != nullptr && bound[2] != Py_None) {
      if (!user_dict_of(bound[2], "user_dict", user_dict)) return nullptr;
    }
    const std::string dir = data_dir ? std::move(*data_dir) : default_data_dir();
    return load_and_wrap(type, dir, std::move(user_dict), punc_norm);
  } catch (...) {
    return raise_from_cpp_exception();
  }
}

void pipeline_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  kept_of(self).~KeptObjects();
  std::launder(reinterpret_cast<Pipeline*>(reinterpret_cast<PyPipelineObject*>(self)->storage))
      ->~Pipeline();
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);  // instances of heap types hold a reference to their type
}

const char* const kFromDirParams[] = {"dir", "punc_norm"};
const Signature kFromDirSignature{"PyPipeline.from_dir()", kFromDirParams, 2, 1};

PyObject* pipeline_from_dir(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  try {
    PyObject* bound[2];
    if (!bind_vector(kFromDirSignature, args, nargs, kwnames, bound)) return nullptr;
    std::string dir;
    if (!utf8_of(bound[0], "dir", dir)) return nullptr;
    bool punc_norm = true;
    if (bound[1] != nullptr && !bool_of(bound[1], "punc_norm", punc_norm)) return nullptr;
    return load_and_wrap(g_pipeline_type, dir, UserDict{}, punc_norm);
  } catch (...) {
    return raise_from_cpp_exception();
  }
}

const char* const kTextParams[] = {"text"};
const char* const kTextsParams[] = {"texts"};

// Defines a METH_FASTCALL method taking one required argument named
// `param`, handing the instance and the argument to `body`.
template <const Signature& sig, class Body>
PyObject* one_argument_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames, Body body) {
  try {
    // The common call, one positional argument, binds as itself.
    if (nargs == 1 && kwnames == nullptr) return body(self, args[0]);
    PyObject* bound[1];
    if (!bind_vector(sig, args, nargs, kwnames, bound)) return nullptr;
    return body(self, bound[0]);
  } catch (...) {
    return raise_from_cpp_exception();
  }
}

// Binds `text` and converts its UTF-8 text with `convert_text`.
template <const Signature& sig, class Convert>
PyObject* text_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      Convert convert_text) {
  return one_argument_method<sig>(self, args, nargs, kwnames,
                                  [&](PyObject* instance, PyObject* arg) -> PyObject* {
                                    // `arg` lives, and the lock is held, for the whole call.
                                    std::string_view text;
                                    if (!utf8_view_of(arg, "text", text)) return nullptr;
                                    return convert_text(instance, text);
                                  });
}

const Signature kConvertSig{"PyPipeline.convert()", kTextParams, 1, 1};
const Signature kDetailedSig{"PyPipeline.convert_detailed()", kTextParams, 1, 1};
const Signature kCandidatesSig{"PyPipeline.convert_candidates()", kTextParams, 1, 1};
const Signature kConvertBatchSig{"PyPipeline.convert_batch()", kTextsParams, 1, 1};
const Signature kDetailedBatchSig{"PyPipeline.convert_detailed_batch()", kTextsParams, 1, 1};
const Signature kCandidatesBatchSig{"PyPipeline.convert_candidates_batch()", kTextsParams, 1, 1};

PyObject* method_convert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
  return text_method<kConvertSig>(
      self, args, nargs, kw, [](PyObject* instance, std::string_view t) {
        StorageLease lease(kept_of(instance).storage);
        ConversionStorage& storage = lease.storage();
        convert_into(pipeline_of(instance), t, storage, storage.converted);
        return str_of(storage.converted);
      });
}

PyObject* method_convert_detailed(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kw) {
  return text_method<kDetailedSig>(
      self, args, nargs, kw, [](PyObject* instance, std::string_view t) {
        return converted_list(pipeline_of(instance), kept_of(instance), t, ListKind::Detailed);
      });
}

PyObject* method_convert_candidates(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kw) {
  return text_method<kCandidatesSig>(
      self, args, nargs, kw, [](PyObject* instance, std::string_view t) {
        return converted_list(pipeline_of(instance), kept_of(instance), t, ListKind::Candidates);
      });
}

PyObject* method_convert_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kw) {
  return one_argument_method<kConvertBatchSig>(
      self, args, nargs, kw,
      [](PyObject* instance, PyObject* texts) { return convert_batch(pipeline_of(instance), texts); });
}

PyObject* method_convert_detailed_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kw) {
  return one_argument_method<kDetailedBatchSig>(
      self, args, nargs, kw, [](PyObject* instance, PyObject* texts) {
        return convert_detailed_batch(pipeline_of(instance), kept_of(instance), texts);
      });
}

PyObject* method_convert_candidates_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kw) {
  return one_argument_method<kCandidatesBatchSig>(
      self, args, nargs, kw, [](PyObject* instance, PyObject* texts) {
        return convert_candidates_batch(pipeline_of(instance), kept_of(instance), texts);
      });
}

using FastMethod = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// PyMethodDef stores every function as a PyCFunction; the flags say how
// CPython calls it back.
PyCFunction as_cfunction(FastMethod f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef g_methods[] = {
    {"convert", as_cfunction(method_convert), kFast,
     "convert($self, text)\n--\n\n"
     "Convert a single string to Jyutping-annotated output."},
    {"convert_batch", as_cfunction(method_convert_batch), kFast,
     "convert_batch($self, texts)\n--\n\n"
     "Convert a list of strings to Jyutping strings in parallel, one result per text."},
    {"convert_detailed", as_cfunction(method_convert_detailed), kFast,
     "convert_detailed($self, text)\n--\n\n"
     "Convert text to a list of (token, jyutping, lang, confidence, source)\n"
     "tuples. lang is \"yue\" (Cantonese CJK), \"en\" (Latin/English), or\n"
     "\"punct\" (punctuation/symbol). jyutping is always the rank-0\n"
     "(most-likely) reading. confidence/source are described on\n"
     "convert_candidates()."},
    {"convert_detailed_batch", as_cfunction(method_convert_detailed_batch), kFast,
     "convert_detailed_batch($self, texts)\n--\n\n"
     "Convert a list of strings in parallel; each text gets the same shape as\n"
     "`convert_detailed()`."},
    {"convert_candidates", as_cfunction(method_convert_candidates), kFast,
     "convert_candidates($self, text)\n--\n\n"
     "Convert text to a list of (token, candidate_readings, lang,\n"
     "confidence, source) tuples. candidate_readings is rank-ordered\n"
     "(most-likely first); it has more than one entry only where the\n"
     "bundled data has 2+ known readings for that token (or, for OOV\n"
     "single chars, that character). confidence is \"certain\" (no\n"
     "ambiguity), \"ranked\" (ToJyutping's own context-aware ranking), or\n"
     "\"tied\" (rime-cantonese arbitrary tie-break \u2014 no real preference\n"
     "signal; also the default when the confidence sidecar has no entry\n"
     "for an ambiguous token). No numeric probability is exposed \u2014 no\n"
     "bundled source computes one honestly. source names the data layer\n"
     "that produced candidate_readings[0]: \"rime\", \"tojyutping\",\n"
     "\"tojyutping_tiebreak\", \"oral_hk\", \"unihan\", \"user_dict\",\n"
     "\"passthrough\", \"char_fallback\", \"unresolved\", or \"unknown\"."},
    {"convert_candidates_batch", as_cfunction(method_convert_candidates_batch), kFast,
     "convert_candidates_batch($self, texts)\n--\n\n"
     "Convert a list of strings in parallel; each text gets the same shape as\n"
     "`convert_candidates()`."},
    {"from_dir", as_cfunction(pipeline_from_dir), kFast | METH_STATIC,
     "from_dir(dir, punc_norm=True)\n--\n\n"
     "Create a Pipeline loading dict files from an explicit directory path."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot g_slots[] = {
    {Py_tp_doc, const_cast<char*>("PyPipeline(punc_norm=True, data_dir=None, user_dict=None)\n--\n\n"
                                  "The Cantonese grapheme-to-phoneme pipeline exposed to Python.")},
    {Py_tp_new, reinterpret_cast<void*>(pipeline_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(pipeline_dealloc)},
    {Py_tp_methods, g_methods},
    {0, nullptr},
};

// No Py_TPFLAGS_BASETYPE: the class cannot be subclassed. No GC flag: an
// instance references only its kept strs and tuples of strs, which are never
// in a cycle. Immutable, because the one class object is shared by every
// import of the module in the process.
PyType_Spec g_spec = {
    "builtins.PyPipeline",
    static_cast<int>(sizeof(PyPipelineObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    g_slots,
};

int module_exec(PyObject* module) {
  if (g_pipeline_type == nullptr) {
    g_pipeline_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&g_spec));
    if (g_pipeline_type == nullptr) return -1;
  }
  if (!make_label_strs()) return -1;
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (all == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = PyList_New(0);
    if (all == nullptr) return -1;
    if (PyObject_SetAttrString(module, "__all__", all) < 0) {
      Py_DECREF(all);
      return -1;
    }
  }
  PyObject* name = PyUnicode_FromString("PyPipeline");
  const int appended = name == nullptr ? -1 : PyList_Append(all, name);
  Py_XDECREF(name);
  Py_DECREF(all);
  if (appended < 0) return -1;
  return PyModule_AddObjectRef(module, "PyPipeline", reinterpret_cast<PyObject*>(g_pipeline_type));
}

PyModuleDef_Slot g_module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef g_module = {
    PyModuleDef_HEAD_INIT, "_quillet", "", 0, nullptr, g_module_slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace quillet::python

PyMODINIT_FUNC PyInit__quillet() { return PyModuleDef_Init(&quillet::python::g_module); }
