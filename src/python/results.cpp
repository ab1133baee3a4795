// Engine results to Python objects: lists sized up front and filled by
// position, each tuple made in one call, one str per distinct text.
#include "python/results.h"

#include <algorithm>
#include <array>
#include <utility>

#include "labels.h"
#include "python/tuple_table.h"

namespace quillet::python {

namespace {

// Bytes of text from which a single call shares the str of repeated token
// texts and readings: a few hundred tokens.
constexpr std::size_t kShareTextsFrom = 1024;

// Owns one reference, dropped on every way out.
struct Ref {
  PyObject* object;
  explicit Ref(PyObject* o) : object(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(object); }
};

// The list of the strs of `pieces`, or nullptr.
template <class Pieces>
PyObject* list_of_pieces(std::size_t n, Pieces next_piece, StrCache& cache) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = cache.text(next_piece(i));
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list;
}

// The candidate list of `readings` (split at '|' like split_candidates).
PyObject* candidate_list(std::string_view readings, bool is_list, StrCache& cache) {
  // A list of a few readings (nearly every one) is cut in the same scan
  // that counts them.
  constexpr std::size_t kFew = 16;
  std::array<std::string_view, kFew> few;
  std::size_t n = 0;
  for (std::string_view rest = readings; n < kFew;) {
    const std::size_t bar = is_list ? rest.find('|') : std::string_view::npos;
    few[n++] = rest.substr(0, bar);
    if (bar == std::string_view::npos) {
      return list_of_pieces(
          n, [&](std::size_t i) { return few[i]; }, cache);
    }
    rest.remove_prefix(bar + 1);
  }
  n = 1 + static_cast<std::size_t>(std::count(readings.begin(), readings.end(), '|'));
  return list_of_pieces(
      n,
      [&](std::size_t) {
        const std::size_t bar = readings.find('|');
        const std::string_view piece = readings.substr(0, bar);
        if (bar != std::string_view::npos) readings.remove_prefix(bar + 1);
        return piece;
      },
      cache);
}

// `tuple` (or nullptr) out of the cycle collector's sight. A tuple of strs
// can never be part of a cycle, and CPython itself untracks one at the first
// collection that sees it; untracked from the start, a long result is not
// scanned even once. A tuple holding a list (a candidate tuple) stays tracked.
PyObject* untracked(PyObject* tuple) {
  if (tuple != nullptr) PyObject_GC_UnTrack(tuple);
  return tuple;
}

// The tuple of `f`, made now.
[[gnu::always_inline]] inline PyObject* new_tuple_of(const TokenFields& f, ListKind kind,
                                                     StrCache& cache) {
  PyObject* lang = cache.label(f.lang);
  PyObject* confidence = lang ? cache.label(f.confidence) : nullptr;
  PyObject* source = confidence ? cache.label(f.source) : nullptr;
  if (source == nullptr) return nullptr;
  const Ref token(cache.text(f.token));
  if (token.object == nullptr) return nullptr;
  if (kind == ListKind::Candidates) {
    const Ref candidates(candidate_list(f.readings, f.is_list, cache));
    if (candidates.object == nullptr) return nullptr;
    return PyTuple_Pack(5, token.object, candidates.object, lang, confidence, source);
  }
  // A token that is its own reading (no CJK ideograph) needs one str.
  if (f.first.data() == f.token.data() && f.first.size() == f.token.size()) {
    return untracked(PyTuple_Pack(5, token.object, token.object, lang, confidence, source));
  }
  const Ref jyutping(cache.text(f.first));
  if (jyutping.object == nullptr) return nullptr;
  return untracked(PyTuple_Pack(5, token.object, jyutping.object, lang, confidence, source));
}

// The labels of one call's tokens: which constant each is.
struct CallLabels {
  LabelMemo confidence;
  LabelMemo source;
};

// The fields of a token whose resolution is `view`, with `first` its first
// candidate.
[[gnu::always_inline]] inline TokenFields fields_of(std::string_view token,
                                                    const ResolutionView& view,
                                                    std::string_view first, CallLabels& labels) {
  const label::Lang lang = view.lang;
  return TokenFields{token,
                     view.candidates.view(),
                     first,
                     view.is_list,
                     {label::lang_label(lang), lang_label_index(lang)},
                     {view.confidence, labels.confidence.index_of(view.confidence)},
                     {view.source, labels.source.index_of(view.source)}};
}

// Inline, with fields_of, so that the fields of a token of a single call
// stay in registers rather than being written out and read back. A detailed
// tuple comes from the kept tuples when they hold it, and is kept when made;
// `held`, when given, is set to whether the kept tuples hold the one returned.
[[gnu::always_inline]] inline PyObject* tuple_of(const TokenFields& f, ListKind kind,
                                                 StrCache& cache, bool* held = nullptr) {
  TupleTable* kept = cache.kept_tuples();
  if (kind == ListKind::Candidates || kept == nullptr) return new_tuple_of(f, kind, cache);
  const bool reading_is_token =
      f.first.data() == f.token.data() && f.first.size() == f.token.size();
  const TupleKey key{f.token,       f.first, reading_is_token, f.lang.index, f.confidence.index,
                     f.source.index};
  if (!TupleTable::takes(key)) return new_tuple_of(f, kind, cache);
  const std::size_t hash = TupleTable::hash(key);
  if (PyObject* tuple = kept->find(key, hash)) {
    if (held) *held = true;
    return Py_NewRef(tuple);
  }
  PyObject* tuple = new_tuple_of(f, kind, cache);
  if (tuple != nullptr) {
    try {
      const bool added = kept->add(key, hash, tuple);
      if (held) *held = added;
    } catch (...) {
      Py_DECREF(tuple);
      throw;
    }
  }
  return tuple;
}

// The detailed tuple of a token of a single call whose resolution is `view`.
// A view the memo holds unchanged names the memo's entry, to which the kept
// tuple made from it is tied (the kept tuples hold it as long as the memo
// lives), so the next such token needs neither its labels nor a tuple lookup.
[[gnu::always_inline]] inline PyObject* detailed_tuple(std::string_view token,
                                                       const ResolutionView& view,
                                                       std::string_view first, CallLabels& labels,
                                                       ResolutionMemo& memo, StrCache& cache) {
  const std::uint32_t entry = view.memo_entry;
  if (entry != kNotInMemo) {
    if (const void* tag = memo.tag(entry)) {
      return Py_NewRef(static_cast<PyObject*>(const_cast<void*>(tag)));
    }
  }
  bool held = false;
  PyObject* tuple = tuple_of(fields_of(token, view, first, labels), ListKind::Detailed, cache,
                             entry != kNotInMemo ? &held : nullptr);
  if (held) memo.set_tag(entry, tuple);
  return tuple;
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

PyObject* converted_list(const Pipeline& pipeline, KeptObjects& kept, std::string_view text,
                         ListKind kind) {
  const GcPause pause;
  StrCache cache(&kept.strs, &kept.tuples, text.size() > kShareTextsFrom);
  PyObject* list = nullptr;  // made at the first window
  CallLabels labels;
  StorageLease lease(kept.storage);
  ResolvedWindows windows(pipeline, text, lease.storage(), kWindowBytes, &kept.resolutions);
  while (windows.next()) {
    // A text in one window (nearly every one) fills a list sized up front;
    // a longer one appends.
    const bool sized = list == nullptr && windows.last();
    if (sized) {
      list = PyList_New(static_cast<Py_ssize_t>(windows.size()));
    } else if (list == nullptr) {
      list = PyList_New(0);
    }
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < windows.size(); ++i) {
      PyObject* tuple = kind == ListKind::Detailed
                            ? detailed_tuple(windows.token(i), windows.resolution(i),
                                             windows.first(i), labels, kept.resolutions, cache)
                            : tuple_of(fields_of(windows.token(i), windows.resolution(i),
                                                 windows.first(i), labels),
                                       kind, cache);
      if (tuple != nullptr && sized) {
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), tuple);  // steals tuple
        continue;
      }
      const bool ok = tuple != nullptr && PyList_Append(list, tuple) == 0;
      Py_XDECREF(tuple);
      if (!ok) {
        Py_DECREF(list);
        return nullptr;
      }
    }
  }
  return list != nullptr ? list : PyList_New(0);
}

void prepare_list(const Pipeline& pipeline, std::string_view text, ConversionStorage& storage,
                  PreparedList& out, ResolutionMemo* memo) {
  out.fields.clear();
  out.bytes = TextArena(text.size() + 64);
  // A token the normalization left as it was views `text` itself, which
  // outlives `out`; other token texts, and the readings the conversion
  // built, live only as long as their window, so they are copied into the
  // list's arena (allocated only when some are).
  CallLabels labels;
  ResolvedWindows windows(pipeline, text, storage, kWindowBytes, memo);
  while (windows.next()) {
    // Sized for the window of a short text; a long one guesses a token per
    // three bytes, as the engine's own records do.
    if (out.fields.empty()) {
      out.fields.reserve(windows.size() + (windows.last() ? 0 : text.size() / 3));
    }
    for (std::size_t i = 0; i < windows.size(); ++i) {
      const std::string_view token = windows.token(i);
      const ResolutionView& view = windows.resolution(i);
      TokenFields f = fields_of(token, view, windows.first(i), labels);
      if (!lies_in(token, text)) f.token = out.bytes.keep(token);
      // Every other borrowed reading views the Pipeline, which outlives `out`.
      if (f.readings.data() == token.data() && f.readings.size() == token.size()) {
        f.readings = f.token;
      } else if (view.candidates.is_owned()) {
        f.readings = out.bytes.keep(f.readings);
      }
      f.first = f.readings.substr(0, f.first.size());
      out.fields.push_back(f);
    }
  }
}

}  // namespace quillet::python
