// New str objects from UTF-8 text, and the one shared str of each label the
// pipeline sets itself. Every function needs the interpreter lock.
#pragma once

#include <string_view>

#include "python/python_api.h"

namespace quillet::python {

// A str from UTF-8 text; a new reference, or nullptr with MemoryError set.
// Bytes that are not UTF-8 (only a malformed data file could put them in a
// result) become U+FFFD rather than an exception.
PyObject* str_of(std::string_view text);

// Makes the label strs, once per process (later calls do nothing); false
// with a Python error set when memory runs out.
bool make_label_strs();

// Where `label` is among the labels with one str for the process (those
// the pipeline sets itself and the common data sources), or -1. Touches no
// Python object, so any thread may call it.
int label_index(std::string_view label);

// A borrowed reference to the str of the label at `index` (a label_index
// result >= 0), alive for the whole process.
PyObject* label_str(int index);

}  // namespace quillet::python
