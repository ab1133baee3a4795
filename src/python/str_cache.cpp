// Text arenas and the per-build str cache.
#include "python/str_cache.h"

#include <algorithm>
#include <cstring>

#include "open_table.h"
#include "python/strs.h"
#include "short_bytes.h"

namespace quillet::python {

std::string_view TextArena::keep(std::string_view text) {
  if (text.size() > free_bytes_) {
    const std::size_t size = std::max(text.size(), next_chunk_);
    chunks_.push_back(std::make_unique<char[]>(size));
    free_at_ = chunks_.back().get();
    free_bytes_ = size;
    next_chunk_ = 2 * size;
  }
  if (!text.empty()) std::memcpy(free_at_, text.data(), text.size());
  const std::string_view kept(free_at_, text.size());
  free_at_ += text.size();
  free_bytes_ -= text.size();
  return kept;
}

StrTable::~StrTable() {
  for (Slot& slot : slots_) Py_XDECREF(slot.str);
}

PyObject* StrTable::add(std::string_view text, bool& failed) {
  if (text.size() > max_key_bytes_) return nullptr;
  // Small to start with: most builds convert one short text.
  if (slots_.empty()) slots_.resize(16);
  return find_or_add(text, failed);
}

PyObject* StrTable::add_at(std::size_t i, std::size_t hash, std::string_view text, bool& failed) {
  if (used_ >= max_entries_) return nullptr;
  PyObject* made = str_of(text);
  if (made == nullptr) {
    failed = true;
    return nullptr;
  }
  Slot& slot = slots_[i];
  try {
    slot.key = keys_.keep(text);
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

void StrTable::grow() {
  grow_open_table(slots_, [](const Slot& slot) { return slot.str != nullptr; });
}

StrCache::~StrCache() {
  for (PyObject* str : spilled_) Py_DECREF(str);
}

PyObject* StrCache::unkept_text(std::string_view text) {
  if (share_texts_) {
    bool failed = false;
    if (PyObject* str = build_.find_or_add(text, failed)) return Py_NewRef(str);
    if (failed) return nullptr;
  }
  return str_of(text);
}

PyObject* StrCache::unknown_label(std::string_view text) {
  bool failed = false;
  if (PyObject* str = build_.find_or_add(text, failed)) return str;
  if (failed) return nullptr;
  PyObject* made = str_of(text);
  if (made == nullptr) return nullptr;
  try {
    spilled_.push_back(made);
  } catch (...) {
    Py_DECREF(made);
    throw;
  }
  return made;
}

}  // namespace quillet::python
