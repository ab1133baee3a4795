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
// token. Lives for one list build, which may outlive the records it read
// (batch by batch), so it keeps its own copy of each label.
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
    try {
      entries_.emplace_back(std::string(text), made);
    } catch (...) {
      Py_DECREF(made);
      throw;
    }
    Py_INCREF(made);  // one reference for the caller, one kept here
    return made;
  }

 private:
  std::vector<std::pair<std::string, PyObject*>> entries_;
};

// Owns a reference until released; drops it on every other way out,
// exceptions included.
struct OwnedRef {
  PyObject* object = nullptr;
  OwnedRef() = default;
  OwnedRef(const OwnedRef&) = delete;
  OwnedRef& operator=(const OwnedRef&) = delete;
  ~OwnedRef() { Py_XDECREF(object); }
  PyObject* release() { return std::exchange(object, nullptr); }
};

// Builds one list from the batches `convert_each` delivers: a conversion in
// one batch fills a list sized up front, a longer one appends batch by
// batch, so no batch outlives its turn.
template <class Record, class ConvertEach, class Make>
PyObject* list_from_batches(ConvertEach convert_each, Make make) {
  OwnedRef list;
  bool failed = false;
  convert_each([&](std::vector<Record>& batch, bool last) {
    if (list.object == nullptr && last) {
      list.object = list_of(batch, make);
      failed = list.object == nullptr;
      return !failed;
    }
    if (list.object == nullptr) list.object = PyList_New(0);
    failed = list.object == nullptr;
    for (std::size_t i = 0; i < batch.size() && !failed; ++i) {
      OwnedRef item;
      item.object = make(batch[i]);
      failed = item.object == nullptr || PyList_Append(list.object, item.object) != 0;
    }
    return !failed;
  });
  if (failed) return nullptr;
  return list.object != nullptr ? list.release() : PyList_New(0);
}

PyObject* detailed_tuple(const Token& t, LabelStrings& labels) {
  return tuple_of([&] { return str_of(t.token); }, [&] { return str_of(t.jyutping); },
                  [&] { return labels.get(t.lang); }, [&] { return labels.get(t.confidence); },
                  [&] { return labels.get(t.source); });
}

PyObject* candidates_tuple(const CandidateToken& t, LabelStrings& labels) {
  return tuple_of(
      [&] { return str_of(t.token); },
      [&] { return list_of(t.candidate_readings, [](const std::string& r) { return str_of(r); }); },
      [&] { return labels.get(t.lang); }, [&] { return labels.get(t.confidence); },
      [&] { return labels.get(t.source); });
}

}  // namespace

PyObject* str_of(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* detailed_list_of(const std::vector<Token>& tokens) {
  GcPause pause;
  LabelStrings labels;
  return list_of(tokens, [&](const Token& t) { return detailed_tuple(t, labels); });
}

PyObject* candidates_list_of(const std::vector<CandidateToken>& tokens) {
  GcPause pause;
  LabelStrings labels;
  return list_of(tokens, [&](const CandidateToken& t) { return candidates_tuple(t, labels); });
}

namespace {

// The list of `each`'s records as tuples made by `make_tuple`.
template <class Record, class Each, class MakeTuple>
PyObject* converted_list(Each each, MakeTuple make_tuple) {
  GcPause pause;
  LabelStrings labels;
  return list_from_batches<Record>(each,
                                   [&](const Record& r) { return make_tuple(r, labels); });
}

}  // namespace

PyObject* convert_detailed_list(const Pipeline& pipeline, std::string_view text) {
  return converted_list<Token>(
      [&](const RecordSink<Token>& sink) {
        convert_detailed_each(pipeline, text, kWindowBytes, sink);
      },
      detailed_tuple);
}

PyObject* convert_candidates_list(const Pipeline& pipeline, std::string_view text) {
  return converted_list<CandidateToken>(
      [&](const RecordSink<CandidateToken>& sink) {
        convert_candidates_each(pipeline, text, kWindowBytes, sink);
      },
      candidates_tuple);
}

}  // namespace quillet::python
