// The tuples of convert_detailed a PyPipeline keeps from one call to the
// next. Such a tuple is five strs, so it can never change: a token read the
// same way with the same labels can be handed out as the tuple made for it
// before, for one reference, instead of a new tuple and two str lookups.
// A few thousand tokens make up nearly every text, so nearly every token of
// a call finds its tuple here. Needs the interpreter lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "python/python_api.h"
#include "python/str_cache.h"
#include "short_bytes.h"

namespace quillet::python {

// What a tuple holds, as the table compares it: the token text, the reading
// (unless it is the token text itself) and the three labels' label_index,
// each of which must be a constant label (>= 0).
struct TupleKey {
  std::string_view token;
  std::string_view reading;
  bool reading_is_token = false;
  int lang = 0;
  int confidence = 0;
  int source = 0;
};

// Open-addressed and bounded like StrTable: at most `max_entries` tuples, of
// token texts and readings no longer than the kept strs', and a key whose
// probe run grows past a few slots is not taken, so a lookup costs a few
// probes whatever the input.
class TupleTable {
 public:
  static constexpr std::size_t kMaxKeyBytes = kKeptStrBytes;
  static_assert(kMaxKeyBytes <= 255, "a slot holds each size in a byte");

  explicit TupleTable(std::size_t max_entries) : max_entries_(max_entries) {}
  TupleTable(const TupleTable&) = delete;
  TupleTable& operator=(const TupleTable&) = delete;
  ~TupleTable();

  // True when `key` can be held at all: texts short enough, labels constant.
  static bool takes(const TupleKey& key) {
    return key.token.size() <= kMaxKeyBytes && key.reading.size() <= kMaxKeyBytes &&
           key.lang >= 0 && key.confidence >= 0 && key.source >= 0;
  }

  // The hash find and add are given, for a key `takes` accepts: the token
  // text's alone, so the tuples of one token read in several ways share a
  // probe run and are told apart by their readings and labels.
  static std::size_t hash(const TupleKey& key) { return hash_bytes(key.token); }

  // A borrowed reference to the tuple held for `key`, or nullptr.
  [[gnu::always_inline]] PyObject* find(const TupleKey& key, std::size_t hash) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask, probes = 0; slots_[i].tuple != nullptr; i = (i + 1) & mask) {
      if (slots_[i].hash == hash && matches(slots_[i], key)) return slots_[i].tuple;
      if (++probes > kMaxProbes) return nullptr;
    }
    return nullptr;
  }

  // Holds `tuple` (a reference is taken) as the tuple of `key`, which find
  // did not know, when there is room; true when it does. Throws
  // std::bad_alloc only.
  bool add(const TupleKey& key, std::size_t hash, PyObject* tuple);

 private:
  // At most half the slots are used, so a run this long means keys that
  // collide on purpose.
  static constexpr std::size_t kMaxProbes = 16;

  struct Slot {
    std::size_t hash = 0;
    PyObject* tuple = nullptr;    // nullptr: free slot
    const char* bytes = nullptr;  // the token text, then the reading, in keys_
    std::uint8_t token_size = 0;
    std::uint8_t reading_size = 0;
    bool reading_is_token = false;
    std::uint32_t labels = 0;
  };

  static std::uint32_t packed_labels(const TupleKey& key) {
    return static_cast<std::uint32_t>(key.lang) | static_cast<std::uint32_t>(key.confidence) << 8 |
           static_cast<std::uint32_t>(key.source) << 16;
  }
  static bool matches(const Slot& slot, const TupleKey& key) {
    if (slot.labels != packed_labels(key) || slot.reading_is_token != key.reading_is_token ||
        !same_bytes({slot.bytes, slot.token_size}, key.token)) {
      return false;
    }
    return key.reading_is_token ||
           same_bytes({slot.bytes + slot.token_size, slot.reading_size}, key.reading);
  }
  void grow();

  std::size_t max_entries_;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  TextArena keys_;
};

}  // namespace quillet::python
