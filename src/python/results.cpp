// Engine results to Python objects: lists sized up front and filled by
// position, strings created in field order.
#include "python/results.h"

#include <string>

namespace quillet::python {

namespace {

// A tuple whose item i is made by makers[i](), called in order; stops at
// the first failure and releases what was made.
template <class... Makers>
PyObject* tuple_of(Makers... makers) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(sizeof...(makers)));
  if (tuple == nullptr) return nullptr;
  Py_ssize_t i = 0;
  bool ok = true;
  auto put = [&](PyObject* item) {
    if (item == nullptr) return false;
    PyTuple_SetItem(tuple, i++, item);  // steals item
    return true;
  };
  ((ok = ok && put(makers())), ...);
  if (!ok) {
    Py_DECREF(tuple);
    return nullptr;
  }
  return tuple;
}

template <class Item, class Make>
PyObject* list_of(const std::vector<Item>& items, Make make) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = make(items[i]);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list;
}

}  // namespace

PyObject* str_of(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* detailed_list_of(const std::vector<Token>& tokens) {
  return list_of(tokens, [](const Token& t) {
    return tuple_of([&] { return str_of(t.token); }, [&] { return str_of(t.jyutping); },
                    [&] { return str_of(t.lang); }, [&] { return str_of(t.confidence); },
                    [&] { return str_of(t.source); });
  });
}

PyObject* candidates_list_of(const std::vector<CandidateToken>& tokens) {
  return list_of(tokens, [](const CandidateToken& t) {
    return tuple_of(
        [&] { return str_of(t.token); },
        [&] { return list_of(t.candidate_readings, [](const std::string& r) { return str_of(r); }); },
        [&] { return str_of(t.lang); }, [&] { return str_of(t.confidence); },
        [&] { return str_of(t.source); });
  });
}

}  // namespace quillet::python
