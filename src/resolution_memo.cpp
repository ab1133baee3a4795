// The resolution memo's insertions.
#include "resolution_memo.h"

#include <cstring>
#include <limits>

#include "open_table.h"

namespace quillet {
namespace {

template <class Size>
bool fits(std::size_t n) {
  return n <= std::numeric_limits<Size>::max();
}

}  // namespace

std::uint32_t ResolutionMemo::add(const Pipeline& pipeline, std::string_view token,
                                  std::size_t hash, const ResolutionView& view) {
  if (&pipeline != pipeline_) {
    // Views into another Pipeline mean nothing for this one.
    slots_.clear();
    entries_.clear();
    pipeline_ = &pipeline;
  }
  const std::string_view candidates = view.candidates.view();
  if (entries_.size() >= max_entries_ || entries_.size() >= kNoEntry ||
      view.candidates.is_owned() || token.size() > kMaxKeyBytes ||
      !fits<std::uint32_t>(candidates.size()) || !fits<std::uint16_t>(view.confidence.size()) ||
      !fits<std::uint16_t>(view.source.size())) {
    return kNoEntry;
  }
  // Small to start with: most callers convert a few short texts.
  if (slots_.empty()) slots_.resize(64);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (std::size_t probes = 0; slots_[i].entry != kFree; i = (i + 1) & mask) {
    if (++probes > kMaxProbes) return kNoEntry;
  }
  Entry entry;
  // A reading borrowed from the token text itself views this call's text:
  // it is kept as its place in the token, which find applies to the next
  // call's copy of the same text. Every other borrowed text is the Pipeline's.
  if (lies_in(candidates, token)) {
    entry.flags |= kInToken;
    entry.candidates = static_cast<std::uintptr_t>(candidates.data() - token.data());
  } else {
    entry.candidates = reinterpret_cast<std::uintptr_t>(candidates.data());
  }
  entry.candidates_size = static_cast<std::uint32_t>(candidates.size());
  entry.confidence = view.confidence.data();
  entry.confidence_size = static_cast<std::uint16_t>(view.confidence.size());
  entry.source = view.source.data();
  entry.source_size = static_cast<std::uint16_t>(view.source.size());
  entry.key_size = static_cast<std::uint8_t>(token.size());
  entry.flags |= view.is_list ? kIsList : 0;
  entry.lang = static_cast<std::uint8_t>(view.lang);
  if (!token.empty()) std::memcpy(entry.key, token.data(), token.size());
  const auto number = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back(entry);
  slots_[i] = {static_cast<std::uint32_t>(hash), number};
  // At most half full, so probes stay short and a free slot always exists.
  if (2 * entries_.size() > slots_.size()) grow();
  return number;
}

void ResolutionMemo::grow() {
  grow_open_table(slots_, [](const Slot& slot) { return slot.entry != kFree; });
}

}  // namespace quillet
