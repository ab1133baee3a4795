// ResolutionMemo: the resolutions of tokens seen before, kept by a caller
// that converts text after text with one Pipeline on one thread (a
// PyPipeline's single calls, a batch worker's share of a batch). A token's
// resolution depends on its text alone (the passes change it afterwards, and
// a separable-compound override is never kept), and a few thousand tokens
// make up nearly every text, so most tokens are then answered by one hash
// and one comparison here instead of by the lookups of several files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline_data.h"
#include "resolution.h"
#include "short_bytes.h"

namespace quillet {

// Open-addressed and bounded: at most `max_entries` tokens of at most
// kMaxKeyBytes bytes, and a token whose probe run grows past a few slots is
// not kept, so a lookup costs a few probes whatever the input. Holds views
// into the Pipeline it was filled for; used with another Pipeline it
// answers nothing and is filled again. Not for several threads at once.
class ResolutionMemo {
 public:
  // A slot is then 72 bytes: nine ideographs fit, nearly every word.
  static constexpr std::size_t kMaxKeyBytes = 29;

  explicit ResolutionMemo(std::size_t max_entries) : max_entries_(max_entries) {}

  // The hash find and add are given.
  static std::size_t hash(std::string_view token) { return hash_bytes(token); }

  // True, with `view` (default-made) set as resolve_token_view(pipeline,
  // token, nullptr) sets it, when the memo holds `token`.
  [[gnu::always_inline]] bool find(const Pipeline& pipeline, std::string_view token,
                                   std::size_t hash, ResolutionView& view) const {
    if (&pipeline != pipeline_ || slots_.empty()) return false;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask, probes = 0; slots_[i].flags & kUsed; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.hash == hash && same_bytes({slot.key, slot.key_size}, token)) {
        restore(slot, token, view);
        return true;
      }
      if (++probes > kMaxProbes) return false;
    }
    return false;
  }

  // Keeps `view`, the resolution of `token` that find did not know, when it
  // can be kept: its text borrowed (never built for this call), the token
  // short enough, room left. Throws std::bad_alloc only.
  void add(const Pipeline& pipeline, std::string_view token, std::size_t hash,
           const ResolutionView& view);

  // How many tokens are held.
  std::size_t size() const { return used_; }

 private:
  // At most half the slots are used, so a run this long means keys that
  // collide on purpose.
  static constexpr std::size_t kMaxProbes = 16;
  static constexpr std::uint8_t kUsed = 1, kIsList = 2, kInToken = 4;

  struct Slot {
    std::uint64_t hash = 0;
    // The candidates view, or with kInToken its offset into the token
    // text (a token that is its own reading), kept as an address-sized number.
    std::uintptr_t candidates = 0;
    const char* confidence = nullptr;
    const char* source = nullptr;
    std::uint32_t candidates_size = 0;
    std::uint16_t confidence_size = 0;
    std::uint16_t source_size = 0;
    std::uint8_t key_size = 0;
    std::uint8_t flags = 0;  // kUsed, kIsList, kInToken
    std::uint8_t lang = 0;
    char key[kMaxKeyBytes] = {};
  };

  static void restore(const Slot& slot, std::string_view token, ResolutionView& view) {
    const char* candidates = slot.flags & kInToken ? token.data() + slot.candidates
                                                   : reinterpret_cast<const char*>(slot.candidates);
    view.candidates = TextSlot::borrow({candidates, slot.candidates_size});
    view.is_list = (slot.flags & kIsList) != 0;
    view.lang = static_cast<label::Lang>(slot.lang);
    view.confidence = {slot.confidence, slot.confidence_size};
    view.source = {slot.source, slot.source_size};
  }
  void grow();

  std::size_t max_entries_;
  const Pipeline* pipeline_ = nullptr;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// Tokens a memo kept by a caller holds at most: a few thousand make up
// nearly every text, and the slots then take about 2 MB.
inline constexpr std::size_t kMemoTokens = 1 << 14;

}  // namespace quillet
