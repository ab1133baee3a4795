// The resolution memo's insertions.
#include "resolution_memo.h"

#include <cstring>
#include <functional>
#include <limits>

#include "open_table.h"

namespace quillet {
namespace {

// True when `piece` lies inside `text`.
bool lies_in(std::string_view piece, std::string_view text) {
  const std::less<const char*> before;
  return !before(piece.data(), text.data()) &&
         !before(text.data() + text.size(), piece.data() + piece.size());
}

template <class Size>
bool fits(std::size_t n) {
  return n <= std::numeric_limits<Size>::max();
}

}  // namespace

void ResolutionMemo::add(const Pipeline& pipeline, std::string_view token, std::size_t hash,
                         const ResolutionView& view) {
  if (&pipeline != pipeline_) {
    // Views into another Pipeline mean nothing for this one.
    slots_.clear();
    used_ = 0;
    pipeline_ = &pipeline;
  }
  const std::string_view candidates = view.candidates.view();
  if (used_ >= max_entries_ || view.candidates.is_owned() || token.size() > kMaxKeyBytes ||
      !fits<std::uint32_t>(candidates.size()) || !fits<std::uint16_t>(view.confidence.size()) ||
      !fits<std::uint16_t>(view.source.size())) {
    return;
  }
  // Small to start with: most callers convert a few short texts.
  if (slots_.empty()) slots_.resize(64);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (std::size_t probes = 0; slots_[i].flags & kUsed; i = (i + 1) & mask) {
    if (++probes > kMaxProbes) return;
  }
  Slot slot;
  slot.hash = hash;
  // A reading borrowed from the token text itself views this call's text:
  // it is kept as its place in the token, which find applies to the next
  // call's copy of the same text. Every other borrowed text is the Pipeline's.
  if (lies_in(candidates, token)) {
    slot.flags |= kInToken;
    slot.candidates = static_cast<std::uintptr_t>(candidates.data() - token.data());
  } else {
    slot.candidates = reinterpret_cast<std::uintptr_t>(candidates.data());
  }
  slot.candidates_size = static_cast<std::uint32_t>(candidates.size());
  slot.confidence = view.confidence.data();
  slot.confidence_size = static_cast<std::uint16_t>(view.confidence.size());
  slot.source = view.source.data();
  slot.source_size = static_cast<std::uint16_t>(view.source.size());
  slot.key_size = static_cast<std::uint8_t>(token.size());
  slot.flags |= kUsed | (view.is_list ? kIsList : 0);
  slot.lang = static_cast<std::uint8_t>(view.lang);
  if (!token.empty()) std::memcpy(slot.key, token.data(), token.size());
  slots_[i] = slot;
  // At most half full, so probes stay short and a free slot always exists.
  if (2 * ++used_ > slots_.size()) grow();
}

void ResolutionMemo::grow() {
  grow_open_table(slots_, [](const Slot& slot) { return (slot.flags & kUsed) != 0; });
}

}  // namespace quillet
