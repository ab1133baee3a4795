// Batch conversion on the shared work-stealing pool.
#include "python/batch.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline.h"
#include "pool/batch_pool.h"
#include "python/arguments.h"
#include "python/results.h"
#include "resolution_memo.h"

namespace quillet::python {

namespace {

// Views of the UTF-8 text of every element of the list `texts`, in list
// order. A non-list gets the note for "texts"; a bad element gets none. The
// calling thread holds the interpreter lock for the whole call and runs no
// Python code, so neither the list nor its strs (which keep their UTF-8)
// can change or go while the workers read the views.
bool collect_texts(PyObject* texts, std::vector<std::string_view>& out) {
  if (!PyList_Check(texts)) {
    set_type_error(texts, "list");
    add_parameter_note("texts");
    return false;
  }
  const Py_ssize_t n = PyList_Size(texts);
  out.resize(static_cast<std::size_t>(n));
  // Only C code runs in this loop, so the list cannot change under it.
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (!utf8_view_of(PyList_GetItem(texts, i), nullptr, out[static_cast<std::size_t>(i)])) {
      return false;
    }
  }
  return true;
}

// Converts every text with `convert_one` into its slot on the pool (the
// texts of one piece of the range in turn, in one storage and one memo of
// resolutions of the piece's own, which no other thread sees), then
// builds the Python list with `to_python`, all of whose calls share one
// StrCache over `kept` (null for the string results).
template <class Slot, class ConvertOne, class ToPython>
PyObject* run_batch(const Pipeline& pipeline, KeptObjects* kept, PyObject* texts_obj,
                    ConvertOne convert_one, ToPython to_python) {
  std::vector<std::string_view> texts;
  if (!collect_texts(texts_obj, texts)) return nullptr;
  const std::size_t n = texts.size();
  std::vector<Slot> slots(n);

  std::atomic<std::size_t> filled{0};
  std::atomic<bool> out_of_memory{false};
  parallel_ranges(shared_batch_pool(), n, [&](std::size_t lo, std::size_t hi) {
    // An exception must not leave a worker thread; the only one a
    // conversion can throw is bad_alloc, reported after the phase.
    try {
      ConversionStorage storage;
      // The texts of a piece share the tokens they repeat.
      ResolutionMemo memo(kMemoTokens);
      for (std::size_t i = lo; i < hi; ++i) {
        convert_one(pipeline, texts[i], storage, memo, slots[i]);
      }
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

  const GcPause pause;
  // Texts repeat across a batch.
  StrCache cache(kept ? &kept->strs : nullptr, kept ? &kept->tuples : nullptr, true);
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = to_python(slots[i], cache);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list;
}

// The list conversions: the workers prepare each text's tuples as plain
// data, so the calling thread only makes the objects.
PyObject* list_batch(const Pipeline& pipeline, KeptObjects& kept, PyObject* texts, ListKind kind) {
  return run_batch<PreparedList>(
      pipeline, &kept, texts,
      [](const Pipeline& p, std::string_view t, ConversionStorage& storage, ResolutionMemo& memo,
         PreparedList& out) { prepare_list(p, t, storage, out, &memo); },
      [kind](const PreparedList& r, StrCache& cache) { return list_of(r.fields, kind, cache); });
}

}  // namespace

PyObject* convert_batch(const Pipeline& pipeline, PyObject* texts) {
  return run_batch<std::string>(
      pipeline, nullptr, texts,
      [](const Pipeline& p, std::string_view t, ConversionStorage& storage, ResolutionMemo&,
         std::string& out) { convert_into(p, t, storage, out); },
      [](const std::string& r, StrCache&) { return str_of(r); });
}

PyObject* convert_detailed_batch(const Pipeline& pipeline, KeptObjects& kept, PyObject* texts) {
  return list_batch(pipeline, kept, texts, ListKind::Detailed);
}

PyObject* convert_candidates_batch(const Pipeline& pipeline, KeptObjects& kept, PyObject* texts) {
  return list_batch(pipeline, kept, texts, ListKind::Candidates);
}

}  // namespace quillet::python
