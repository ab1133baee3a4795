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
  // An entry is then 80 bytes: nine ideographs fit, nearly every word.
  static constexpr std::size_t kMaxKeyBytes = 29;
  // The memo_entry of a view the memo does not hold.
  static constexpr std::uint32_t kNoEntry = kNotInMemo;

  explicit ResolutionMemo(std::size_t max_entries) : max_entries_(max_entries) {}

  // The hash find and add are given.
  static std::size_t hash(std::string_view token) { return hash_bytes(token); }

  // True, with `view` (default-made) set as resolve_token_view(pipeline,
  // token, nullptr) sets it and its memo_entry set, when the memo holds `token`.
  [[gnu::always_inline]] bool find(const Pipeline& pipeline, std::string_view token,
                                   std::size_t hash, ResolutionView& view) const {
    if (&pipeline != pipeline_ || slots_.empty()) return false;
    const std::size_t mask = slots_.size() - 1;
    const auto short_hash = static_cast<std::uint32_t>(hash);
    for (std::size_t i = hash & mask, probes = 0; slots_[i].entry != kFree; i = (i + 1) & mask) {
      if (slots_[i].hash == short_hash) {
        const Entry& entry = entries_[slots_[i].entry];
        if (same_bytes({entry.key, entry.key_size}, token)) {
          restore(entry, token, view);
          view.memo_entry = slots_[i].entry;
          return true;
        }
      }
      if (++probes > kMaxProbes) return false;
    }
    return false;
  }

  // Keeps `view`, the resolution of `token` that find did not know, when it
  // can be kept: its text borrowed (never built for this call), the token
  // short enough, room left. Returns the entry that holds it, or kNoEntry.
  // Throws std::bad_alloc only.
  std::uint32_t add(const Pipeline& pipeline, std::string_view token, std::size_t hash,
                    const ResolutionView& view);

  // What the caller tied to `entry` (an entry find or add named since the
  // memo was last filled for another Pipeline), or nullptr: something made
  // from the entry's resolution alone, which the caller keeps alive.
  const void* tag(std::uint32_t entry) const { return entries_[entry].tag; }
  void set_tag(std::uint32_t entry, const void* tag) { entries_[entry].tag = tag; }

  // How many tokens are held.
  std::size_t size() const { return entries_.size(); }

 private:
  // At most half the slots are used, so a run this long means keys that
  // collide on purpose.
  static constexpr std::size_t kMaxProbes = 16;
  static constexpr std::uint32_t kFree = kNoEntry;
  static constexpr std::uint8_t kIsList = 1, kInToken = 2;

  // Entries never move from their number, which views and tags name.
  struct Entry {
    // The candidates view, or with kInToken its offset into the token
    // text (a token that is its own reading), kept as an address-sized number.
    std::uintptr_t candidates = 0;
    const char* confidence = nullptr;
    const char* source = nullptr;
    const void* tag = nullptr;
    std::uint32_t candidates_size = 0;
    std::uint16_t confidence_size = 0;
    std::uint16_t source_size = 0;
    std::uint8_t key_size = 0;
    std::uint8_t flags = 0;  // kIsList, kInToken
    std::uint8_t lang = 0;
    char key[kMaxKeyBytes] = {};
  };
  // The open table over the entries: the low half of a key's hash, and its entry.
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t entry = kFree;
  };

  static void restore(const Entry& entry, std::string_view token, ResolutionView& view) {
    const char* candidates = entry.flags & kInToken
                                 ? token.data() + entry.candidates
                                 : reinterpret_cast<const char*>(entry.candidates);
    view.candidates = TextSlot::borrow({candidates, entry.candidates_size});
    view.is_list = (entry.flags & kIsList) != 0;
    view.lang = static_cast<label::Lang>(entry.lang);
    view.confidence = {entry.confidence, entry.confidence_size};
    view.source = {entry.source, entry.source_size};
  }
  void grow();

  std::size_t max_entries_;
  const Pipeline* pipeline_ = nullptr;
  std::vector<Slot> slots_;
  std::vector<Entry> entries_;
};

// Tokens a memo kept by a caller holds at most: a few thousand make up
// nearly every text, and the table then takes about 1.5 MB.
inline constexpr std::size_t kMemoTokens = 1 << 14;

}  // namespace quillet
