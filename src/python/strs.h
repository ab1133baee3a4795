// New str objects from UTF-8 text, and the one shared str of each label the
// pipeline sets itself. Every function that touches a Python object needs
// the interpreter lock.
#pragma once

#include <array>
#include <string_view>

#include "python/label_index.h"
#include "python/python_api.h"

namespace quillet::python {

// A str from UTF-8 text; a new reference, or nullptr with MemoryError set.
// Bytes that are not UTF-8 (only a malformed data file could put them in a
// result) become U+FFFD rather than an exception.
PyObject* str_of(std::string_view text);

// Makes the label strs, once per process (later calls do nothing); false
// with a Python error set when memory runs out.
bool make_label_strs();

namespace detail {

// The strs of kConstantLabels, set once by make_label_strs and never freed:
// labels are needed as long as the module can be called.
extern std::array<PyObject*, kConstantLabels.size()> g_label_strs;

}  // namespace detail

// A borrowed reference to the str of the label at `index` (a label_index
// result >= 0), alive for the whole process.
inline PyObject* label_str(int index) {
  return detail::g_label_strs[static_cast<std::size_t>(index)];
}

}  // namespace quillet::python
