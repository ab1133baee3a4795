// ReadingChanges: what one context pass returns, a small map from token index
// to the token's new reading. Passes scan left to right, so writes mostly
// arrive in increasing index order and are appended; a later write to an
// index already present replaces the earlier one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

class ReadingChanges {
 public:
  struct Entry {
    std::size_t index;
    std::string reading;
  };

  // Records `reading` for `index`, replacing any earlier write to it.
  void set(std::size_t index, std::string reading) {
    if (entries_.empty() || entries_.back().index < index) {
      entries_.push_back({index, std::move(reading)});
      return;
    }
    auto it = lower_bound(index);
    if (it != entries_.end() && it->index == index) {
      it->reading = std::move(reading);
    } else {
      entries_.insert(it, Entry{index, std::move(reading)});
    }
  }

  // The reading recorded for `index`, or nullptr. The pointer lives until the
  // next set() or until this map is destroyed or moved from.
  const std::string* find(std::size_t index) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), index,
                               [](const Entry& e, std::size_t i) { return e.index < i; });
    return it != entries_.end() && it->index == index ? &it->reading : nullptr;
  }

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }

  // Entries in increasing index order, each index once.
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  // Mutable access so a caller that applies the map can move readings out.
  std::vector<Entry>::iterator begin() { return entries_.begin(); }
  std::vector<Entry>::iterator end() { return entries_.end(); }

 private:
  std::vector<Entry>::iterator lower_bound(std::size_t index) {
    return std::lower_bound(entries_.begin(), entries_.end(), index,
                            [](const Entry& e, std::size_t i) { return e.index < i; });
  }

  std::vector<Entry> entries_;  // sorted by index, no index twice
};

}  // namespace quillet
