// Engine results to Python objects: lists sized up front and filled by
// position, each tuple made in one call, one str per distinct text.
#include "python/results.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "labels.h"

namespace quillet::python {

PyObject* str_of(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

StrCache::~StrCache() {
  for (Slot& slot : slots_) Py_XDECREF(slot.str);
}

PyObject* StrCache::get(std::string_view text) {
  if (slots_.empty()) slots_.resize(64);
  const std::size_t hash = std::hash<std::string_view>{}(text);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (; slots_[i].str != nullptr; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && slots_[i].key == text) return slots_[i].str;
  }
  PyObject* made = str_of(text);
  if (made == nullptr) return nullptr;
  Slot& slot = slots_[i];
  try {
    slot.key.assign(text);
  } catch (...) {
    Py_DECREF(made);
    throw;
  }
  slot.hash = hash;
  slot.str = made;
  // At most half full, so probes stay short and a free slot always exists.
  if (2 * ++used_ > slots_.size()) grow();
  return made;
}

void StrCache::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (Slot& slot : old) {
    if (slot.str == nullptr) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].str != nullptr) i = (i + 1) & mask;
    slots_[i] = std::move(slot);
    slot.str = nullptr;
  }
}

namespace {

// The candidate list of `readings` (split at '|' like split_candidates), its
// items from `cache`.
PyObject* candidate_list(std::string_view readings, bool is_list, StrCache& cache) {
  Py_ssize_t n = 1;
  if (is_list) {
    for (char c : readings) n += c == '|';
  }
  PyObject* list = PyList_New(n);
  if (list == nullptr) return nullptr;
  for (Py_ssize_t i = 0; i < n; ++i) {
    const std::size_t bar = is_list ? readings.find('|') : std::string_view::npos;
    PyObject* item = cache.get(readings.substr(0, bar));
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    Py_INCREF(item);
    PyList_SetItem(list, i, item);  // steals the reference just taken
    if (bar != std::string_view::npos) readings.remove_prefix(bar + 1);
  }
  return list;
}

PyObject* tuple_of(const TokenFields& f, ListKind kind, StrCache& cache) {
  PyObject* token = cache.get(f.token);
  PyObject* lang = token ? cache.get(f.lang) : nullptr;
  PyObject* confidence = lang ? cache.get(f.confidence) : nullptr;
  PyObject* source = confidence ? cache.get(f.source) : nullptr;
  if (source == nullptr) return nullptr;
  if (kind == ListKind::Detailed) {
    PyObject* reading =
        cache.get(f.is_list ? first_candidate(f.readings) : f.readings);
    if (reading == nullptr) return nullptr;
    return PyTuple_Pack(5, token, reading, lang, confidence, source);  // takes new references
  }
  PyObject* candidates = candidate_list(f.readings, f.is_list, cache);
  if (candidates == nullptr) return nullptr;
  PyObject* tuple = PyTuple_Pack(5, token, candidates, lang, confidence, source);
  Py_DECREF(candidates);
  return tuple;
}

// Appends the tuples of `fields` to `list`; false with a Python error set.
bool append_tuples(PyObject* list, const std::vector<TokenFields>& fields, ListKind kind,
                   StrCache& cache) {
  for (const TokenFields& f : fields) {
    PyObject* tuple = tuple_of(f, kind, cache);
    const bool ok = tuple != nullptr && PyList_Append(list, tuple) == 0;
    Py_XDECREF(tuple);
    if (!ok) return false;
  }
  return true;
}

TokenFields fields_of(std::string_view token, const ResolutionView& view) {
  return TokenFields{token, view.candidates.view(), view.is_list, label::lang_of(token),
                     view.confidence, view.source};
}

}  // namespace

PyObject* list_of(const std::vector<TokenFields>& fields, ListKind kind, StrCache& cache) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(fields.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    PyObject* tuple = tuple_of(fields[i], kind, cache);
    if (tuple == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), tuple);  // steals tuple
  }
  return list;
}

PyObject* converted_list(const Pipeline& pipeline, std::string_view text, ListKind kind) {
  const GcPause pause;
  StrCache cache;
  std::vector<TokenFields> fields;
  PyObject* list = nullptr;  // made at the first window
  ResolvedWindows windows(pipeline, text);
  while (windows.next()) {
    fields.clear();
    for (std::size_t i = 0; i < windows.size(); ++i) {
      fields.push_back(fields_of(windows.token(i), windows.resolution(i)));
    }
    // A text in one window fills a list sized up front; a longer one appends.
    if (list == nullptr && windows.last()) return list_of(fields, kind, cache);
    if (list == nullptr && (list = PyList_New(0)) == nullptr) return nullptr;
    if (!append_tuples(list, fields, kind, cache)) {
      Py_DECREF(list);
      return nullptr;
    }
  }
  return list != nullptr ? list : PyList_New(0);
}

void prepare_list(const Pipeline& pipeline, std::string_view text, PreparedList& out) {
  out.fields.clear();
  out.bytes.clear();
  // Token texts, and the readings the conversion built, live only as long as
  // their window, so they are copied into chunks that never move.
  char* free_at = nullptr;
  std::size_t free_bytes = 0;
  std::size_t next_chunk = text.size() + 64;
  const auto keep = [&](std::string_view s) {
    if (s.size() > free_bytes) {
      const std::size_t size = std::max(s.size(), next_chunk);
      out.bytes.push_back(std::make_unique<char[]>(size));
      free_at = out.bytes.back().get();
      free_bytes = size;
      next_chunk = 2 * size;
    }
    if (!s.empty()) std::memcpy(free_at, s.data(), s.size());
    const std::string_view kept(free_at, s.size());
    free_at += s.size();
    free_bytes -= s.size();
    return kept;
  };
  ResolvedWindows windows(pipeline, text);
  while (windows.next()) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
      const std::string_view token = windows.token(i);
      const ResolutionView& view = windows.resolution(i);
      TokenFields f = fields_of(token, view);
      f.token = keep(token);
      // Every other borrowed reading views the Pipeline, which outlives `out`.
      if (f.readings.data() == token.data() && f.readings.size() == token.size()) {
        f.readings = f.token;
      } else if (view.candidates.is_owned()) {
        f.readings = keep(f.readings);
      }
      out.fields.push_back(f);
    }
  }
}

}  // namespace quillet::python
