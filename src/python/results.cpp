// Engine results to Python objects: lists sized up front and filled by
// position, strings created in field order.
#include "python/results.h"

#include <string>
#include <utility>
#include <vector>

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

// The lang, confidence and source labels take a handful of values, so one
// result list shares one str per distinct label instead of making one per
// token. Lives for one list build; `text` views must outlive it.
class LabelStrings {
 public:
  LabelStrings() = default;
  LabelStrings(const LabelStrings&) = delete;
  LabelStrings& operator=(const LabelStrings&) = delete;
  ~LabelStrings() {
    for (auto& entry : entries_) Py_DECREF(entry.second);
  }
  // A new reference to the str of `text`, or nullptr with a Python error set.
  PyObject* get(std::string_view text) {
    for (auto& entry : entries_) {
      if (entry.first == text) {
        Py_INCREF(entry.second);
        return entry.second;
      }
    }
    PyObject* made = str_of(text);
    if (made == nullptr) return nullptr;
    Py_INCREF(made);  // one reference for the caller, one kept here
    entries_.emplace_back(text, made);
    return made;
  }

 private:
  std::vector<std::pair<std::string_view, PyObject*>> entries_;
};

}  // namespace

PyObject* str_of(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* detailed_list_of(const std::vector<Token>& tokens) {
  LabelStrings labels;
  return list_of(tokens, [&](const Token& t) {
    return tuple_of([&] { return str_of(t.token); }, [&] { return str_of(t.jyutping); },
                    [&] { return labels.get(t.lang); }, [&] { return labels.get(t.confidence); },
                    [&] { return labels.get(t.source); });
  });
}

PyObject* candidates_list_of(const std::vector<CandidateToken>& tokens) {
  LabelStrings labels;
  return list_of(tokens, [&](const CandidateToken& t) {
    return tuple_of(
        [&] { return str_of(t.token); },
        [&] { return list_of(t.candidate_readings, [](const std::string& r) { return str_of(r); }); },
        [&] { return labels.get(t.lang); }, [&] { return labels.get(t.confidence); },
        [&] { return labels.get(t.source); });
  });
}

}  // namespace quillet::python
