// DictFile: opening, validation, and bounds-checked binary search over the
// mapped entry table, started from the file's index when it has one. No
// number read from the file is trusted before it is checked against the pool
// or the mapping, and no answer of the index before the table confirms it.
#include "dict/lookup.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace quillet {
namespace {

using format::kHeaderSize;
using format::load_u32;

Error system_error(int err) {
  return Error{std::error_code(err, std::system_category()).message() + " (os error " +
               std::to_string(err) + ")"};
}

std::string byte_list(const void* bytes) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  std::string s = "[";
  for (int i = 0; i < 4; ++i) {
    if (i) s += ", ";
    s += std::to_string(p[i]);
  }
  return s + "]";
}

// Closes the descriptor on every path out of open().
struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

// Compares the first n bytes of a and b as unsigned bytes. Keys are a few
// bytes long, so an inline loop over 8-byte words beats a call to memcmp.
inline int compare_bytes(const char* a, const char* b, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; n >= 8; a += 8, b += 8, n -= 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a, 8);
      std::memcpy(&y, b, 8);
      if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    }
  }
  for (; n != 0; ++a, ++b, --n) {
    const auto x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

inline int compare_keys_inline(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  if (int c = compare_bytes(a.data(), b.data(), n)) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Where `entry_key` lies relative to the block of keys that start with
// `prefix`: negative before it, 0 inside it, positive after it.
inline int compare_to_prefix_block(std::string_view entry_key, std::string_view prefix) {
  const std::size_t n = entry_key.size() < prefix.size() ? entry_key.size() : prefix.size();
  if (int c = compare_bytes(entry_key.data(), prefix.data(), n)) return c;
  return entry_key.size() >= prefix.size() ? 0 : -1;
}

}  // namespace

int compare_keys(std::string_view a, std::string_view b) { return compare_keys_inline(a, b); }

Result<DictFile> DictFile::open(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) {
    return Error{"file name contained an unexpected NUL byte"};
  }
  const std::string c_path(path);
  // O_NONBLOCK: a named pipe in place of a dictionary must fail (its mapping
  // is refused) rather than hang the open until some writer appears. It has
  // no effect on regular files.
  const int fd = ::open64(c_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return system_error(errno);
  FdCloser closer{fd};

  struct stat64 st;
  if (::fstat64(fd, &st) != 0) return system_error(errno);
  if (st.st_size < 0) return Error{"memory map length overflows isize"};
  const auto size = static_cast<std::uint64_t>(st.st_size);
  // A zero-length mapping is impossible; an empty file maps one (unread) byte.
  const std::size_t map_length = size == 0 ? 1 : static_cast<std::size_t>(size);
  void* map = ::mmap64(nullptr, map_length, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return system_error(errno);
  const auto* base = static_cast<const unsigned char*>(map);

  auto fail = [&](std::string message) -> Result<DictFile> {
    ::munmap(map, map_length);
    return Error{std::move(message)};
  };
  if (size < kHeaderSize) {
    return fail("file too short: " + std::to_string(size) + " bytes (need at least " +
                std::to_string(kHeaderSize) + ")");
  }
  if (std::memcmp(base, format::kMagic, sizeof format::kMagic) != 0) {
    return fail("bad magic: expected " + byte_list(format::kMagic) + ", got " + byte_list(base));
  }
  const std::uint32_t version = load_u32(base + format::kVersionAt);
  if (version != format::kVersion) {
    return fail("unsupported version " + std::to_string(version) + " (expected " +
                std::to_string(format::kVersion) + ")");
  }
  const std::uint32_t entry_count = load_u32(base + format::kEntryCountAt);
  const std::uint32_t pool_size = load_u32(base + format::kPoolSizeAt);
  const std::uint64_t need = format::entry_at(entry_count) + pool_size;
  if (size < need) {
    return fail("file too short: " + std::to_string(size) + " bytes (need " + std::to_string(need) +
                " for " + std::to_string(entry_count) + " entries + pool)");
  }
  // The index is optional: one that is missing or does not fit is ignored.
  Index index;
  const std::uint64_t index_at = need;
  if (size - index_at >= format::kIndexHeaderSize &&
      std::memcmp(base + index_at, format::kIndexMagic, sizeof format::kIndexMagic) == 0) {
    const unsigned char* head = base + index_at;
    const std::uint32_t page_count = load_u32(head + format::kIndexPageCountAt);
    const std::uint32_t slot_count = load_u32(head + format::kIndexSlotCountAt);
    // 64-bit arithmetic on 32-bit counts: the size cannot overflow.
    if (format::index_size(page_count, slot_count) <= size - index_at) {
      index.pages = head + format::kIndexHeaderSize;
      index.slots = index.pages + 4 * std::uint64_t{page_count};
      index.first_page = load_u32(head + format::kIndexFirstPageAt);
      index.page_count = page_count;
      index.slot_count = slot_count;
    }
  }
  return DictFile(base, map_length, entry_count, pool_size, index);
}

DictFile::DictFile(const unsigned char* base, std::size_t length, std::size_t entry_count,
                   std::uint64_t pool_size, Index index)
    : base_(base),
      pool_(base + format::entry_at(entry_count)),
      length_(length),
      entry_count_(entry_count),
      pool_size_(pool_size),
      index_(index) {}

DictFile::DictFile(DictFile&& other) noexcept
    : base_(other.base_),
      pool_(other.pool_),
      length_(other.length_),
      entry_count_(other.entry_count_),
      pool_size_(other.pool_size_),
      index_(other.index_) {
  other.base_ = nullptr;
  other.pool_ = nullptr;
  other.length_ = 0;
  other.entry_count_ = 0;
  other.pool_size_ = 0;
  other.index_ = Index{};
}

DictFile& DictFile::operator=(DictFile&& other) noexcept {
  if (this != &other) {
    if (base_) ::munmap(const_cast<unsigned char*>(base_), length_);
    base_ = other.base_;
    pool_ = other.pool_;
    length_ = other.length_;
    entry_count_ = other.entry_count_;
    pool_size_ = other.pool_size_;
    index_ = other.index_;
    other.base_ = nullptr;
    other.pool_ = nullptr;
    other.length_ = 0;
    other.entry_count_ = 0;
    other.pool_size_ = 0;
    other.index_ = Index{};
  }
  return *this;
}

DictFile::~DictFile() {
  if (base_) ::munmap(const_cast<unsigned char*>(base_), length_);
}

std::optional<std::string_view> DictFile::get(std::string_view key) const {
  const auto found = find(key);
  if (!found) return std::nullopt;
  return found->value;
}

std::optional<std::string_view> DictFile::get_near(std::string_view key, std::size_t hint) const {
  if (hint < entry_count_) {
    const auto k = key_at(hint);
    if (k && *k == key) return value_at(hint);  // keys are unique in a sorted table
  }
  return get(key);
}

bool DictFile::index_guess(std::string_view key, Range& guess, std::size_t& first_length) const {
  const format::FirstCodePoint first = format::first_code_point(key);
  if (first.length == 0) return false;
  const char32_t c = first.code_point;
  // Unsigned: a page before first_page wraps past page_count (0 without an
  // index, so that every page misses).
  const std::uint32_t page = (c >> format::kPageBits) - index_.first_page;
  if (page >= index_.page_count) return false;
  const std::uint32_t slot = load_u32(index_.pages + 4 * std::size_t{page});
  if (slot >= index_.slot_count) return false;  // kNoSlot included
  const unsigned char* start =
      index_.slots + format::kSlotSize * std::size_t{slot} + 4 * (c & (format::kPageSize - 1));
  const std::size_t lo = load_u32(start), hi = load_u32(start + 4);
  if (lo > hi || hi > entry_count_) return false;
  guess = {lo, hi};
  first_length = first.length;
  return true;
}

bool DictFile::index_holds(Range guess, std::string_view prefix) const {
  return (guess.lo == 0 || compare_to_prefix_block(order_key(guess.lo - 1), prefix) < 0) &&
         (guess.hi == entry_count_ || compare_to_prefix_block(order_key(guess.hi), prefix) > 0);
}

DictFile::Probe DictFile::search_exact(std::size_t lo, std::size_t hi, std::string_view key) const {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    prefetch_entry(lo + (mid - lo) / 2);  // both possible next probes
    prefetch_entry(mid + 1 + (hi - mid - 1) / 2);
    const int c = compare_keys_inline(order_key(mid), key);
    if (c > 0) {
      hi = mid;
    } else if (c < 0) {
      lo = mid + 1;
    } else {
      return {mid, true};
    }
  }
  return {lo, false};
}

bool DictFile::sorts_before(std::size_t i, std::string_view key) const {
  return i == 0 || compare_keys_inline(order_key(i - 1), key) < 0;
}

bool DictFile::sorts_after(std::size_t i, std::string_view key) const {
  return i == entry_count_ || compare_keys_inline(order_key(i), key) > 0;
}

std::optional<DictFile::Found> DictFile::found_at(std::size_t i) const {
  if (!key_at(i)) return std::nullopt;  // a broken entry is a miss
  const auto value = value_at(i);
  if (!value) return std::nullopt;
  return Found{*value, i};
}

std::optional<DictFile::Found> DictFile::find(std::string_view key) const {
  Range guess;
  std::size_t first = 0;
  if (index_.page_count != 0 && index_guess(key, guess, first)) {
    // An entry that equals `key` is the one a sorted table holds once, so a
    // hit needs no check. A miss is trusted once the table itself shows
    // `key` falls between two neighbouring entries, whatever the index said.
    if (key.size() == first) {
      // A key of one code point sorts first in its block: the block's first
      // entry alone decides, with the entry before it for a miss.
      const int c = guess.lo == entry_count_ ? 1 : compare_keys_inline(order_key(guess.lo), key);
      if (c == 0) return found_at(guess.lo);
      if (c > 0 && sorts_before(guess.lo, key)) return std::nullopt;
    } else {
      // Where the search ends, the entries on either side were compared and
      // found before and after `key`, except at the block's edges.
      const Probe p = search_exact(guess.lo, guess.hi, key);
      if (p.equal) return found_at(p.at);
      if ((p.at != guess.lo || sorts_before(p.at, key)) &&
          (p.at != guess.hi || sorts_after(p.at, key))) {
        return std::nullopt;
      }
    }
  }
  const Probe p = search_exact(0, entry_count_, key);
  return p.equal ? found_at(p.at) : std::nullopt;
}

DictFile::Range DictFile::seek_prefix(Range within, std::string_view key, bool& exact) const {
  exact = false;
  if (within.hi > entry_count_) within.hi = entry_count_;
  if (within.lo > within.hi) within.lo = within.hi;
  // The index answers for the whole table only (the first step of a walk);
  // later steps search inside the block the first one found.
  Range block;
  std::size_t first = 0;
  if (index_.page_count != 0 && within.lo == 0 && within.hi == entry_count_ &&
      index_guess(key, block, first)) {
    if (index_holds(block, key.substr(0, first))) {
      within = block;
      // The key is the first code point alone: on a sorted table its lower
      // bound is the block's first entry, so one comparison settles it.
      if (key.size() == first && within.lo < within.hi) {
        const int c = compare_to_prefix_block(order_key(within.lo), key);
        if (c > 0) return {within.lo, within.lo};
        if (c == 0) {
          const auto k = key_at(within.lo);
          exact = k && k->size() == key.size() && value_at(within.lo).has_value();
          return within;
        }
        // Out of order: the search below still answers inside the block.
      }
    }
  }
  // Lower bound of `key`, remembering the nearest entry seen past the block.
  std::size_t lo = within.lo, hi = within.hi, past = within.hi;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    prefetch_entry(lo + (mid - lo) / 2);  // both possible next probes
    prefetch_entry(mid + 1 + (hi - mid - 1) / 2);
    const int c = compare_to_prefix_block(order_key(mid), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
      if (c > 0) past = mid;
    }
  }
  // lo is the last probe that lowered hi: past the block when it lowered
  // past too, else inside it. So it need not be compared again.
  if (lo == past) return {lo, lo};
  const auto k = key_at(lo);
  exact = k && k->size() == key.size() && value_at(lo).has_value();
  return {lo, past};
}

}  // namespace quillet
