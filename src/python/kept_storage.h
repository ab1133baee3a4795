// The conversion storage a PyPipeline keeps for its single calls, so that a
// call reuses the room the calls before it grew instead of allocating its
// own, and the lease that lends it to one call at a time. Plain C++ (no
// Python), touched only with the interpreter lock held.
#pragma once

#include <cstddef>
#include <optional>

#include "pipeline.h"

namespace quillet::python {

// Room a kept storage may keep after a call: a full window's records of a
// long text and a normalized text of some hundred kilobytes. A call on a
// larger text frees its room when it ends.
inline constexpr std::size_t kKeptStorageBytes = std::size_t{1} << 20;

class KeptStorage {
 private:
  friend class StorageLease;
  ConversionStorage storage_;
  bool lent_ = false;
};

// The storage of one call: the kept one, or, while that is lent out, one of
// the lease's own. The kept storage is in use for the whole of a call,
// while its results are turned into Python objects; should that ever run
// Python code that calls the same PyPipeline again, the inner call must
// not clear what the outer one is reading. When the lease ends, the kept
// storage frees its room beyond `limit` and can be lent again.
class StorageLease {
 public:
  explicit StorageLease(KeptStorage& kept, std::size_t limit = kKeptStorageBytes)
      : kept_(kept.lent_ ? nullptr : &kept), limit_(limit) {
    if (kept_ != nullptr) kept_->lent_ = true;
  }
  ~StorageLease() {
    if (kept_ == nullptr) return;
    release_beyond(kept_->storage_, limit_);
    kept_->lent_ = false;
  }
  StorageLease(const StorageLease&) = delete;
  StorageLease& operator=(const StorageLease&) = delete;

  ConversionStorage& storage() {
    if (kept_ != nullptr) return kept_->storage_;
    if (!own_) own_.emplace();
    return *own_;
  }

 private:
  KeptStorage* kept_;  // null when the kept storage was lent already
  std::size_t limit_;
  // Made only when the kept storage was lent already: most calls never
  // construct, nor destroy, a storage of their own.
  std::optional<ConversionStorage> own_;
};

}  // namespace quillet::python
