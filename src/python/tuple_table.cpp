// The kept tuples of convert_detailed.
#include "python/tuple_table.h"

#include <string>

#include "open_table.h"

namespace quillet::python {

TupleTable::~TupleTable() {
  for (Slot& slot : slots_) Py_XDECREF(slot.tuple);
}

bool TupleTable::add(const TupleKey& key, std::size_t hash, PyObject* tuple) {
  if (used_ >= max_entries_ || !takes(key)) return false;
  // Small to start with: most PyPipelines convert a few short texts.
  if (slots_.empty()) slots_.resize(64);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (std::size_t probes = 0; slots_[i].tuple != nullptr; i = (i + 1) & mask) {
    if (++probes > kMaxProbes) return false;
  }
  Slot slot;
  slot.hash = hash;
  slot.token_size = static_cast<std::uint8_t>(key.token.size());
  slot.reading_is_token = key.reading_is_token;
  slot.labels = packed_labels(key);
  std::string bytes(key.token);
  if (!key.reading_is_token) {
    slot.reading_size = static_cast<std::uint8_t>(key.reading.size());
    bytes += key.reading;
  }
  slot.bytes = keys_.keep(bytes).data();
  slot.tuple = Py_NewRef(tuple);
  slots_[i] = slot;
  // At most half full, so probes stay short and a free slot always exists.
  if (2 * ++used_ > slots_.size()) grow();
  return true;
}

void TupleTable::grow() {
  grow_open_table(slots_, [](const Slot& slot) { return slot.tuple != nullptr; });
}

}  // namespace quillet::python
