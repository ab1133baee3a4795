// Binding of Python call arguments to named parameters and their conversion
// into engine values, with the exact TypeError texts Python callers see.
// Every function needs the interpreter lock; each returns false (or nullptr)
// with a Python exception set on failure, true with none set on success.
#pragma once

#include <string>
#include <string_view>

#include "python/python_api.h"
#include "dict/user_dict.h"

namespace quillet::python {

// A method's parameters, in order; the first `required` are required.
// `name` is how messages call the method, e.g. "PyPipeline.convert()".
struct Signature {
  const char* name;
  const char* const* params;
  Py_ssize_t count;
  Py_ssize_t required;
};

// Binds a vectorcall-style call (positional args[0..nargs), then the values
// of the keywords named in `kwnames`, which may be null) to `out[0..count)`:
// borrowed references, nullptr for a parameter that was not passed.
bool bind_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                 PyObject* kwnames, PyObject** out);

// The same for a tuple of positional arguments and a keyword dict (or null),
// as a type's __new__ receives them.
bool bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

// Sets TypeError "'{type}' object is not an instance of '{expected}'" (or
// "'None' is not an instance of '{expected}'") for `obj`.
void set_type_error(PyObject* obj, const char* expected);

// Adds the note "while processing '{parameter}'" to the exception being
// raised, where the exception supports notes; leaves it raised either way.
void add_parameter_note(const char* parameter);

// Copies the UTF-8 text of `obj`, which must be a str (or subclass); a lone
// surrogate raises UnicodeEncodeError. A non-null `parameter` gets its note
// added to any failure.
bool utf8_of(PyObject* obj, const char* parameter, std::string& out);

// As utf8_of, but a view of the UTF-8 text the str keeps cached: valid while
// `obj` lives, so for use within one call that holds the interpreter lock
// and a reference to `obj` throughout (a long text is then never copied).
bool utf8_view_of(PyObject* obj, const char* parameter, std::string_view& out);

// Reads `obj` as a boolean: exactly bool, or a NumPy boolean scalar read
// through its type's __bool__. Failures carry the note for `parameter`.
bool bool_of(PyObject* obj, const char* parameter, bool& out);

// Converts a dict (or subclass) of str to str into `out`, keys and values in
// the dict's order, stopping at the first entry that is not a str. Failures
// carry the note for `parameter`.
bool user_dict_of(PyObject* obj, const char* parameter, UserDict& out);

}  // namespace quillet::python
