// Text arenas and the per-build str cache.
#include "python/str_cache.h"

#include <algorithm>
#include <cstring>

#include "python/short_bytes.h"
#include "python/strs.h"

namespace quillet::python {

StrCache::~StrCache() {
  for (Slot& slot : slots_) Py_XDECREF(slot.str);
}

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

PyObject* StrCache::text(std::string_view text) {
  if (!share_texts_) return str_of(text);
  PyObject* str = shared(text);
  Py_XINCREF(str);
  return str;
}

PyObject* StrCache::label(const LabelText& label) {
  return label.index >= 0 ? label_str(label.index) : shared(label.text);
}

PyObject* StrCache::shared(std::string_view text) {
  // Small to start with: most calls convert one short text.
  if (slots_.empty()) slots_.resize(16);
  const std::size_t hash = hash_bytes(text);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (; slots_[i].str != nullptr; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && same_bytes(slots_[i].key, text)) return slots_[i].str;
  }
  PyObject* made = str_of(text);
  if (made == nullptr) return nullptr;
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

void StrCache::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (Slot& slot : old) {
    if (slot.str == nullptr) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].str != nullptr) i = (i + 1) & mask;
    slots_[i] = slot;
    slot.str = nullptr;
  }
}

}  // namespace quillet::python
