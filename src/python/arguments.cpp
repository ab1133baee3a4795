// Argument binding and conversion for the _quillet methods.
#include "python/arguments.h"

#include <string_view>

namespace quillet::python {

namespace {

// The index of the parameter called `name`, or -1.
Py_ssize_t find_param(const Signature& sig, PyObject* name) {
  for (Py_ssize_t i = 0; i < sig.count; ++i) {
    if (PyUnicode_CompareWithASCIIString(name, sig.params[i]) == 0) return i;
  }
  return -1;
}

bool bind_positional(const Signature& sig, Py_ssize_t nargs, PyObject** out) {
  for (Py_ssize_t i = 0; i < sig.count; ++i) out[i] = nullptr;
  if (nargs <= sig.count) return true;
  if (sig.required == sig.count) {
    PyErr_Format(PyExc_TypeError, "%s takes %zd positional arguments but %zd were given", sig.name,
                 sig.count, nargs);
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zd to %zd positional arguments but %zd were given",
                 sig.name, sig.required, sig.count, nargs);
  }
  return false;
}

bool bind_keyword(const Signature& sig, PyObject* name, PyObject* value, PyObject** out) {
  const Py_ssize_t i = find_param(sig, name);
  if (i < 0) {
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", sig.name, name);
    return false;
  }
  if (out[i] != nullptr) {
    PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", sig.name,
                 sig.params[i]);
    return false;
  }
  out[i] = value;
  return true;
}

bool check_required(const Signature& sig, PyObject** out) {
  for (Py_ssize_t i = 0; i < sig.required; ++i) {
    if (out[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'", sig.name,
                   sig.params[i]);
      return false;
    }
  }
  return true;
}

// True when `obj` is a NumPy boolean scalar: its type's module is "numpy"
// and its type name "bool_" (NumPy 1.x) or "bool" (NumPy 2.x).
bool is_numpy_bool(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  PyObject* name = PyType_GetName(type);
  if (name == nullptr) {
    PyErr_Clear();
    return false;
  }
  const bool name_fits = PyUnicode_CompareWithASCIIString(name, "bool_") == 0 ||
                         PyUnicode_CompareWithASCIIString(name, "bool") == 0;
  Py_DECREF(name);
  if (!name_fits) return false;
  PyObject* module = PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__");
  if (module == nullptr) {
    PyErr_Clear();
    return false;
  }
  const bool is_numpy =
      PyUnicode_Check(module) && PyUnicode_CompareWithASCIIString(module, "numpy") == 0;
  Py_DECREF(module);
  return is_numpy;
}

// Calls type(obj).__bool__(obj) and takes its result, which must be a bool.
bool numpy_bool_value(PyObject* obj, bool& out) {
  PyObject* method = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__bool__");
  if (method == nullptr) return false;
  PyObject* result = PyObject_CallFunctionObjArgs(method, obj, nullptr);
  Py_DECREF(method);
  if (result == nullptr) return false;
  const bool is_bool = PyBool_Check(result);
  if (is_bool) {
    out = result == Py_True;
  } else {
    set_type_error(result, "bool");
  }
  Py_DECREF(result);
  return is_bool;
}

}  // namespace

bool bind_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                 PyObject* kwnames, PyObject** out) {
  if (!bind_positional(sig, nargs, out)) return false;
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
  if (kwnames != nullptr) {
    const Py_ssize_t nkw = PyTuple_Size(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      if (!bind_keyword(sig, PyTuple_GetItem(kwnames, k), args[nargs + k], out)) return false;
    }
  }
  return check_required(sig, out);
}

bool bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
  const Py_ssize_t nargs = PyTuple_Size(args);
  if (nargs < 0 || !bind_positional(sig, nargs, out)) return false;
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GetItem(args, i);
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &pos, &name, &value)) {
      if (!bind_keyword(sig, name, value, out)) return false;
    }
  }
  return check_required(sig, out);
}

void set_type_error(PyObject* obj, const char* expected) {
  if (obj == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
    return;
  }
  PyObject* type_name = PyType_GetQualName(Py_TYPE(obj));
  if (type_name == nullptr) return;
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", type_name, expected);
  Py_DECREF(type_name);
}

void add_parameter_note(const char* parameter) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr) {
    if (traceback != nullptr) PyException_SetTraceback(value, traceback);
    PyObject* result = PyObject_CallMethod(value, "add_note", "s",
                                           ("while processing '" + std::string(parameter) + "'").c_str());
    if (result == nullptr) {
      PyErr_Clear();  // no add_note: raise the exception unchanged
    } else {
      Py_DECREF(result);
    }
  }
  PyErr_Restore(type, value, traceback);
}

bool utf8_view_of(PyObject* obj, const char* parameter, std::string_view& out) {
  if (!PyUnicode_Check(obj)) {
    set_type_error(obj, "str");
  } else {
    Py_ssize_t size = 0;
    if (const char* data = PyUnicode_AsUTF8AndSize(obj, &size)) {
      out = std::string_view(data, static_cast<std::size_t>(size));
      return true;
    }
  }
  if (parameter != nullptr) add_parameter_note(parameter);
  return false;
}

bool utf8_of(PyObject* obj, const char* parameter, std::string& out) {
  std::string_view view;
  if (!utf8_view_of(obj, parameter, view)) return false;
  out.assign(view);
  return true;
}

bool bool_of(PyObject* obj, const char* parameter, bool& out) {
  if (PyBool_Check(obj)) {
    out = obj == Py_True;
    return true;
  }
  if (is_numpy_bool(obj)) {
    if (numpy_bool_value(obj, out)) return true;
  } else {
    set_type_error(obj, "bool");
  }
  add_parameter_note(parameter);
  return false;
}

bool user_dict_of(PyObject* obj, const char* parameter, UserDict& out) {
  if (!PyDict_Check(obj)) {
    set_type_error(obj, "dict");
    add_parameter_note(parameter);
    return false;
  }
  out.clear();
  out.reserve(static_cast<std::size_t>(PyDict_Size(obj)));
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  std::string k, v;
  // No Python code runs inside this loop, so the dict cannot change under it.
  while (PyDict_Next(obj, &pos, &key, &value)) {
    if (!utf8_of(key, parameter, k) || !utf8_of(value, parameter, v)) return false;
    out.insert_or_assign(std::move(k), std::move(v));
    k.clear();
    v.clear();
  }
  return true;
}

}  // namespace quillet::python
