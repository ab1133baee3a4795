// Growth of the open-addressed tables kept from call to call (StrTable,
// TupleTable): slots with a `hash`, probed linearly from hash & mask.
#pragma once

#include <cstddef>
#include <vector>

namespace quillet {

// Doubles `slots` (a power of two in size), placing each slot that `held`
// says is in use again by its hash. Throws std::bad_alloc only, leaving
// `slots` as it was.
template <class Slot, class Held>
void grow_open_table(std::vector<Slot>& slots, Held held) {
  std::vector<Slot> old(slots.size() * 2);
  old.swap(slots);
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : old) {
    if (!held(slot)) continue;
    std::size_t i = slot.hash & mask;
    while (held(slots[i])) i = (i + 1) & mask;
    slots[i] = slot;
  }
}

}  // namespace quillet
