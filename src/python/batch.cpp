// Batch conversion on the shared work-stealing pool.
#include "python/batch.h"

#include <atomic>
#include <string>
#include <vector>

#include "pool/batch_pool.h"
#include "pipeline.h"
#include "python/arguments.h"
#include "python/results.h"

namespace quillet::python {

namespace {

// Copies every element of the list `texts` as UTF-8, in list order. A
// non-list gets the note for "texts"; a bad element gets none.
bool collect_texts(PyObject* texts, std::vector<std::string>& out) {
  if (!PyList_Check(texts)) {
    set_type_error(texts, "list");
    add_parameter_note("texts");
    return false;
  }
  const Py_ssize_t n = PyList_Size(texts);
  out.resize(static_cast<std::size_t>(n));
  // Only C code runs in this loop, so the list cannot change under it.
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (!utf8_of(PyList_GetItem(texts, i), nullptr, out[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

// Converts every text with `convert_one` into its slot on the pool, then
// builds the Python list with `to_python`.
template <class Slot, class ConvertOne, class ToPython>
PyObject* run_batch(const Pipeline& pipeline, PyObject* texts_obj, ConvertOne convert_one,
                    ToPython to_python) {
  std::vector<std::string> texts;
  if (!collect_texts(texts_obj, texts)) return nullptr;
  const std::size_t n = texts.size();
  std::vector<Slot> slots(n);

  std::atomic<std::size_t> filled{0};
  std::atomic<bool> out_of_memory{false};
  parallel_ranges(shared_batch_pool(), n, [&](std::size_t lo, std::size_t hi) {
    // An exception must not leave a worker thread; the only one a
    // conversion can throw is bad_alloc, reported after the phase.
    try {
      for (std::size_t i = lo; i < hi; ++i) slots[i] = convert_one(pipeline, texts[i]);
      filled.fetch_add(hi - lo, std::memory_order_relaxed);
    } catch (...) {
      out_of_memory.store(true, std::memory_order_relaxed);
    }
  });
  if (out_of_memory.load()) return PyErr_NoMemory();
  if (filled.load() != n) {
    PyErr_Format(PyExc_SystemError, "batch conversion filled %zu of %zu results", filled.load(), n);
    return nullptr;
  }
  texts = {};

  const GcPause pause;
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = to_python(slots[i]);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list;
}

}  // namespace

PyObject* convert_batch(const Pipeline& pipeline, PyObject* texts) {
  return run_batch<std::string>(
      pipeline, texts, [](const Pipeline& p, const std::string& t) { return convert(p, t); },
      [](const std::string& r) { return str_of(r); });
}

PyObject* convert_detailed_batch(const Pipeline& pipeline, PyObject* texts) {
  return run_batch<std::vector<Token>>(
      pipeline, texts,
      [](const Pipeline& p, const std::string& t) { return convert_detailed(p, t); },
      [](const std::vector<Token>& r) { return detailed_list_of(r); });
}

PyObject* convert_candidates_batch(const Pipeline& pipeline, PyObject* texts) {
  return run_batch<std::vector<CandidateToken>>(
      pipeline, texts,
      [](const Pipeline& p, const std::string& t) { return convert_candidates(p, t); },
      [](const std::vector<CandidateToken>& r) { return candidates_list_of(r); });
}

}  // namespace quillet::python
