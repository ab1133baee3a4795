// The str objects of one result build: labels, token texts and readings,
// each made once where it repeats. Needs the interpreter lock.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "python/python_api.h"

namespace quillet::python {

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

// The str objects of one build. Labels take a handful of values: those
// label_index knows have one str for the process, any other gets one for
// the build, shared. Token texts and readings repeat too, across a long text
// or a batch of texts; with `share_texts` they are shared the same way,
// otherwise (a short text, where repeats are rare and the hashing would cost
// more than it saves) each gets its own str.
class StrCache {
 public:
  explicit StrCache(bool share_texts) : share_texts_(share_texts) {}
  StrCache(const StrCache&) = delete;
  StrCache& operator=(const StrCache&) = delete;
  ~StrCache();

  // A borrowed reference to the shared str of `label`, alive while this
  // cache is; nullptr with a Python error set when memory runs out.
  PyObject* label(const LabelText& label);
  // A new reference to a str of `text`; nullptr as above.
  PyObject* text(std::string_view text);

 private:
  struct Slot {
    std::size_t hash = 0;
    std::string_view key;     // into keys_
    PyObject* str = nullptr;  // nullptr: free slot
  };
  // The str of `text`, made once: a borrowed reference.
  PyObject* shared(std::string_view text);
  void grow();
  bool share_texts_;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  TextArena keys_;
};

}  // namespace quillet::python
