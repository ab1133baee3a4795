// The str objects of one result build: labels, token texts and readings,
// each made once where it repeats. Needs the interpreter lock.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "python/python_api.h"
#include "python/strs.h"
#include "short_bytes.h"

namespace quillet::python {

class TupleTable;

// A label of a token: its text and its label_index, found by whoever
// gathers the fields (a batch worker, off the interpreter lock).
struct LabelText {
  std::string_view text;
  int index = -1;
};

// Copies of texts in chunks that never move, so views of them stay valid
// as long as the arena, however many texts follow.
class TextArena {
 public:
  explicit TextArena(std::size_t first_chunk = 256) : next_chunk_(first_chunk) {}
  std::string_view keep(std::string_view text);

 private:
  std::vector<std::unique_ptr<char[]>> chunks_;
  char* free_at_ = nullptr;
  std::size_t free_bytes_ = 0;
  std::size_t next_chunk_;
};

// Strs by their UTF-8 text, one reference held to each, in an open table.
// Bounded: at most `max_entries` strs of at most `max_key_bytes` bytes, and
// a text whose probe run grows past a few slots (texts made to collide) is
// not taken, so a lookup costs a few probes whatever the input.
class StrTable {
 public:
  StrTable(std::size_t max_entries, std::size_t max_key_bytes)
      : max_entries_(max_entries), max_key_bytes_(max_key_bytes) {}
  StrTable(const StrTable&) = delete;
  StrTable& operator=(const StrTable&) = delete;
  ~StrTable();

  // A borrowed reference to the table's str of `text`, made and added now
  // when there is room. nullptr when the table does not take `text` (too
  // long, full, or too many collisions; `failed` stays false) or when memory
  // ran out (`failed` set; a Python error is set). A text already held is
  // found inline: every token of a result asks for one or two.
  [[gnu::always_inline]] PyObject* find_or_add(std::string_view text, bool& failed) {
    failed = false;
    if (text.size() > max_key_bytes_ || slots_.empty()) return add(text, failed);
    const std::size_t hash = hash_bytes(text);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (std::size_t probes = 0; slots_[i].str != nullptr; i = (i + 1) & mask) {
      if (slots_[i].hash == hash && same_bytes(slots_[i].key, text)) return slots_[i].str;
      if (++probes > kMaxProbes) return nullptr;
    }
    return add_at(i, hash, text, failed);
  }

 private:
  // Probes past the home slot before a text is given up on. At most half the
  // slots are used, so a run this long means texts that collide on purpose.
  static constexpr std::size_t kMaxProbes = 16;

  struct Slot {
    std::size_t hash = 0;
    std::string_view key;     // into keys_
    PyObject* str = nullptr;  // nullptr: free slot
  };
  // find_or_add of a text too long for the table, or of the first text.
  PyObject* add(std::string_view text, bool& failed);
  // Adds `text` (hashing to `hash`) in free slot `i`, when there is room.
  PyObject* add_at(std::size_t i, std::size_t hash, std::string_view text, bool& failed);
  void grow();
  std::size_t max_entries_;
  std::size_t max_key_bytes_;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  TextArena keys_;
};

// The strs a PyPipeline keeps from one call to the next: the token texts and
// readings its results are made of. A few thousand of them make up nearly
// every result, so a result the caller keeps holds a tuple per token and
// shares its strs, instead of making two new ones per token, which on a
// large result cost more in fresh memory than the conversion itself. Sized
// for those few thousand plus room: under 4 MB when full (3.4 MiB measured
// with 16,384 ASCII words of 32 letters).
inline constexpr std::size_t kKeptStrs = 16384;
inline constexpr std::size_t kKeptStrBytes = 32;

// The str objects of one build. Labels take a handful of values: those
// label_index knows have one str for the process, any other gets one for
// the build, shared. Token texts and readings come from `kept` (the
// PyPipeline's strs, or null) when it takes them; otherwise, with
// `share_texts` (a long text or a batch, where they repeat), they are shared
// within the build, and else each gets its own str. `kept_tuples` (or null)
// are the PyPipeline's detailed tuples, which the build uses and adds to.
class StrCache {
 public:
  StrCache(StrTable* kept, TupleTable* kept_tuples, bool share_texts)
      : kept_(kept), kept_tuples_(kept_tuples), share_texts_(share_texts) {}
  StrCache(const StrCache&) = delete;
  StrCache& operator=(const StrCache&) = delete;
  ~StrCache();

  // A borrowed reference to the shared str of `label`, alive while this
  // cache is; nullptr with a Python error set when memory runs out.
  PyObject* label(const LabelText& label) {
    return label.index >= 0 ? label_str(label.index) : unknown_label(label.text);
  }
  // A new reference to a str of `text`; nullptr as above.
  [[gnu::always_inline]] PyObject* text(std::string_view text) {
    if (kept_ != nullptr) {
      bool failed = false;
      if (PyObject* str = kept_->find_or_add(text, failed)) return Py_NewRef(str);
      if (failed) return nullptr;
    }
    return unkept_text(text);
  }
  TupleTable* kept_tuples() const { return kept_tuples_; }

 private:
  PyObject* unknown_label(std::string_view text);
  PyObject* unkept_text(std::string_view text);

  StrTable* kept_;
  TupleTable* kept_tuples_;
  bool share_texts_;
  StrTable build_{static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)};
  // Labels build_ did not take, owned until the build ends.
  std::vector<PyObject*> spilled_;
};

}  // namespace quillet::python
