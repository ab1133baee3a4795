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

using format::head_word;
using format::load_be8;

// A word with its high n bytes set, n capped at 8 (a word of eight bytes
// read from an n-byte key keeps only the key's own bytes): a table, as a
// shift by 64 bits would be undefined.
inline constexpr std::uint64_t kHighBytes[9] = {
    0,
    0xFF00000000000000,
    0xFFFF000000000000,
    0xFFFFFF0000000000,
    0xFFFFFFFF00000000,
    0xFFFFFFFFFF000000,
    0xFFFFFFFFFFFF0000,
    0xFFFFFFFFFFFFFF00,
    0xFFFFFFFFFFFFFFFF,
};
inline std::uint64_t high_bytes(std::size_t n) { return kHighBytes[n < 8 ? n : 8]; }

// Whether some entry of the table may hold a key of one code point: one
// whose length is that of the UTF-8 sequence its first byte leads, or one
// whose key runs outside the pool (counted, though no lookup reads it, so
// that nothing here needs to be right about broken entries). Read from the
// table itself, not the index, so no index can hide such a key. The walk
// stops at the first one; word.bin has none, so all its entries are read
// once at open (about 0.1 ms, the faults of the entry table's pages, which
// lookups fault in anyway).
bool may_hold_one_code_point_key(const unsigned char* base, std::uint32_t entry_count,
                                 std::uint64_t pool_size) {
  const unsigned char* pool = base + format::entry_at(entry_count);
  for (std::uint64_t i = 0; i < entry_count; ++i) {
    const unsigned char* entry = base + format::entry_at(i);
    const std::uint64_t length = format::load_u16(entry + format::kKeyLengthAt);
    if (length == 0 || length > 4) continue;
    const std::uint64_t offset = load_u32(entry + format::kKeyOffsetAt);
    if (offset + length > pool_size || utf8_length(pool[offset]) == length) return true;
  }
  return false;
}

}  // namespace

int compare_keys(std::string_view a, std::string_view b) { return compare_keys_inline(a, b); }

// Two heads, the first eight bytes of two keys as numbers with zeros past
// each key, that differ order the keys as their bytes would: at the first
// byte they differ in, either both keys have a byte, or the one that has
// none (a zero) is the shorter, and its bytes are the other's first bytes.
// Equal heads leave the bytes after the eighth, or else the lengths.
DictKey::DictKey(std::string_view key)
    : bytes(key),
      first(format::first_code_point(key)),
      head(head_word(key.data(), key.size() < 8 ? key.size() : 8)),
      mask(high_bytes(key.size())) {}

DictKey::DictKey(std::string_view key, NoIndex)
    : bytes(key),
      first(),
      head(head_word(key.data(), key.size() < 8 ? key.size() : 8)),
      mask(high_bytes(key.size())) {}

struct lookup_detail::OrderKey {
  std::string_view key;
  std::uint64_t head = 0;
};

inline lookup_detail::OrderKey DictFile::order_key(std::size_t i) const {
  const unsigned char* entry = base_ + format::entry_at(i);
  const std::uint64_t offset = load_u32(entry + format::kKeyOffsetAt);
  const std::uint64_t length = format::load_u16(entry + format::kKeyLengthAt);
  if (offset + length > pool_size_) return {};
  const char* p = reinterpret_cast<const char*>(pool_ + offset);
  // Eight bytes are read at once wherever the mapping holds them (the pool
  // is followed by its index, so that is almost every key); the bytes past
  // the key are masked away.
  const std::uint64_t head = offset + 8 <= pool_mapped_ ? load_be8(p) & high_bytes(length)
                                                        : head_word(p, length < 8 ? length : 8);
  return {std::string_view(p, length), head};
}

namespace {

inline int order_of(std::uint64_t a, std::uint64_t b) { return a < b ? -1 : 1; }

// compare_keys(e.key, n.bytes).
inline int key_order(const lookup_detail::OrderKey& e, const DictKey& n) {
  if (e.head != n.head) return order_of(e.head, n.head);
  if (e.key.size() > 8 && n.bytes.size() > 8) {
    return compare_keys_inline(e.key.substr(8), n.bytes.substr(8));
  }
  return e.key.size() < n.bytes.size() ? -1 : e.key.size() > n.bytes.size() ? 1 : 0;
}

// compare_to_prefix_block(e.key, n.bytes): only the bytes the prefix has count.
inline int block_order(const lookup_detail::OrderKey& e, const DictKey& n) {
  const std::uint64_t head = e.head & n.mask;
  if (head != n.head) return order_of(head, n.head);
  if (n.bytes.size() <= 8) return e.key.size() >= n.bytes.size() ? 0 : -1;
  if (e.key.size() <= 8) return -1;
  return compare_to_prefix_block(e.key.substr(8), n.bytes.substr(8));
}

}  // namespace

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
  // The prefix table follows a usable index; one that does not fit is
  // ignored like the index.
  Prefixes prefixes;
  if (index.pages != nullptr) {
    const std::uint64_t at = index_at + format::index_size(index.page_count, index.slot_count);
    if (size - at >= format::kPrefixHeaderSize &&
        std::memcmp(base + at, format::kPrefixMagic, sizeof format::kPrefixMagic) == 0) {
      const std::uint32_t slot_bits = load_u32(base + at + format::kPrefixSlotBitsAt);
      const std::uint32_t entry_bits = load_u32(base + at + format::kPrefixEntryBitsAt);
      if (slot_bits >= 1 && slot_bits <= format::kMaxPrefixSlotBits && entry_bits >= 1 &&
          entry_bits <= 32 && format::prefix_table_size(slot_bits) <= size - at) {
        prefixes.slots = base + at + format::kPrefixHeaderSize;
        prefixes.slot_mask = (std::uint32_t{1} << slot_bits) - 1;
        prefixes.slot_bits = slot_bits;
        prefixes.entry_bits = entry_bits;
        prefixes.entry_mask = format::prefix_entry_mask(entry_bits);
        prefixes.tag_mask = format::prefix_tag_mask(entry_bits);
        prefixes.one_code_point_keys = may_hold_one_code_point_key(base, entry_count, pool_size);
      }
    }
  }
  return DictFile(base, map_length, entry_count, pool_size, index, prefixes);
}

DictFile::DictFile(const unsigned char* base, std::size_t length, std::size_t entry_count,
                   std::uint64_t pool_size, Index index, Prefixes prefixes)
    : base_(base),
      pool_(base + format::entry_at(entry_count)),
      length_(length),
      pool_mapped_(length - format::entry_at(entry_count)),
      entry_count_(entry_count),
      pool_size_(pool_size),
      index_(index),
      prefixes_(prefixes) {}

DictFile::DictFile(DictFile&& other) noexcept
    : base_(other.base_),
      pool_(other.pool_),
      length_(other.length_),
      pool_mapped_(other.pool_mapped_),
      entry_count_(other.entry_count_),
      pool_size_(other.pool_size_),
      index_(other.index_),
      prefixes_(other.prefixes_) {
  other.base_ = nullptr;
  other.pool_ = nullptr;
  other.length_ = 0;
  other.pool_mapped_ = 0;
  other.entry_count_ = 0;
  other.pool_size_ = 0;
  other.index_ = Index{};
  other.prefixes_ = Prefixes{};
}

DictFile& DictFile::operator=(DictFile&& other) noexcept {
  if (this != &other) {
    if (base_) ::munmap(const_cast<unsigned char*>(base_), length_);
    base_ = other.base_;
    pool_ = other.pool_;
    length_ = other.length_;
    pool_mapped_ = other.pool_mapped_;
    entry_count_ = other.entry_count_;
    pool_size_ = other.pool_size_;
    index_ = other.index_;
    prefixes_ = other.prefixes_;
    other.base_ = nullptr;
    other.pool_ = nullptr;
    other.length_ = 0;
    other.pool_mapped_ = 0;
    other.entry_count_ = 0;
    other.pool_size_ = 0;
    other.index_ = Index{};
    other.prefixes_ = Prefixes{};
  }
  return *this;
}

DictFile::~DictFile() {
  if (base_) ::munmap(const_cast<unsigned char*>(base_), length_);
}

std::optional<std::string_view> DictFile::get(std::string_view key) const { return get(DictKey(key)); }

std::optional<std::string_view> DictFile::get(const DictKey& key) const {
  const auto found = find(key);
  if (!found) return std::nullopt;
  return found->value;
}

std::optional<std::string_view> DictFile::get_near(const DictKey& key, std::size_t hint) const {
  // Keys are unique in a sorted table. A broken entry orders as the empty
  // key but holds none.
  if (hint < entry_count_ && key_order(order_key(hint), key) == 0 && key_at(hint)) {
    return value_at(hint);
  }
  return get(key);
}

inline bool DictFile::index_guess(const DictKey& key, Range& guess) const {
  return key.first.length != 0 && index_block(key.first.code_point, guess);
}

bool DictFile::index_holds(Range guess, const DictKey& prefix) const {
  return (guess.lo == 0 || block_order(order_key(guess.lo - 1), prefix) < 0) &&
         (guess.hi == entry_count_ || block_order(order_key(guess.hi), prefix) > 0);
}

DictFile::Probe DictFile::search_exact(std::size_t lo, std::size_t hi, const DictKey& key) const {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    prefetch_entry(lo + (mid - lo) / 2);  // both possible next probes
    prefetch_entry(mid + 1 + (hi - mid - 1) / 2);
    const int c = key_order(order_key(mid), key);
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

inline bool DictFile::sorts_before(std::size_t i, const DictKey& key) const {
  return i == 0 || key_order(order_key(i - 1), key) < 0;
}

inline bool DictFile::sorts_after(std::size_t i, const DictKey& key) const {
  return i == entry_count_ || key_order(order_key(i), key) > 0;
}

inline std::optional<DictFile::Found> DictFile::found_at(std::size_t i) const {
  if (!key_at(i)) return std::nullopt;  // a broken entry is a miss
  const auto value = value_at(i);
  if (!value) return std::nullopt;
  return Found{*value, i};
}

std::optional<DictFile::Found> DictFile::find(std::string_view key) const { return find(DictKey(key)); }

std::optional<DictFile::Found> DictFile::find(const DictKey& needle) const {
  // An entry that equals the key is the one a sorted table holds once, so a
  // hit needs no check. A miss is trusted once the table itself shows the
  // key falls between two neighbouring entries, whatever the index said.
  Range guess;
  const bool guessed = index_guess(needle, guess);
  if (guessed && needle.bytes.size() == needle.first.length) {
    // A key of one code point (most lookups) sorts first in its block: the
    // block's first entry alone decides, with the entry before it for a
    // miss. The key has at most four bytes, so equal heads and lengths are
    // equal keys, and the entry, holding a non-empty key, is not broken.
    const OrderKey k = guess.lo == entry_count_ ? OrderKey{} : order_key(guess.lo);
    if (k.head == needle.head && k.key.size() == needle.bytes.size()) {
      const auto value = value_at(guess.lo);
      if (!value) return std::nullopt;
      return Found{*value, guess.lo};
    }
    if ((guess.lo == entry_count_ || key_order(k, needle) > 0) && sorts_before(guess.lo, needle)) {
      return std::nullopt;
    }
    return find_searched(needle, false, guess);
  }
  return find_searched(needle, guessed, guess);
}

std::optional<DictFile::Found> DictFile::find_char_rest(std::string_view key) const {
  // The answers of find()'s one-code-point path, on the same entries: a hit
  // where the block's first entry equals the key, a miss where that entry
  // sorts after the key and the one before it before; a broken entry, which
  // decides neither here, is left to find().
  char32_t c;
  if (!common_ideograph(key, c)) {
    const format::FirstCodePoint first = format::first_code_point(key);
    if (first.length != key.size() || first.length == 0) return find(key);
    c = first.code_point;
  }
  Range guess;
  if (!index_block(c, guess)) return find(key);
  int at_lo = 1;  // the end of the table sorts after every key
  if (guess.lo < entry_count_) {
    const auto k = key_at(guess.lo);
    if (!k) return find(key);
    if (k->size() == key.size() && format::equal_bytes(k->data(), key.data(), key.size())) {
      const auto value = value_at(guess.lo);
      if (!value) return std::nullopt;
      return Found{*value, guess.lo};
    }
    at_lo = compare_keys_inline(*k, key);
  }
  if (at_lo > 0) {
    if (guess.lo == 0) return std::nullopt;
    const auto before = key_at(guess.lo - 1);
    if (before && compare_keys_inline(*before, key) < 0) return std::nullopt;
  }
  return find(key);
}

std::optional<DictFile::Found> DictFile::find_searched(const DictKey& needle, bool guessed,
                                                       Range guess) const {
  if (guessed) {
    // Where the search ends, the entries on either side were compared and
    // found before and after the key, except at the block's edges.
    const Probe p = search_exact(guess.lo, guess.hi, needle);
    if (p.equal) return found_at(p.at);
    if ((p.at != guess.lo || sorts_before(p.at, needle)) &&
        (p.at != guess.hi || sorts_after(p.at, needle))) {
      return std::nullopt;
    }
  }
  const Probe p = search_exact(0, entry_count_, needle);
  return p.equal ? found_at(p.at) : std::nullopt;
}

DictFile::Range DictFile::seek_prefix(Range within, std::string_view key, bool& exact) const {
  exact = false;
  if (within.hi > entry_count_) within.hi = entry_count_;
  if (within.lo > within.hi) within.lo = within.hi;
  // The index answers for the whole table only (the first step of a walk);
  // later steps search inside the block the first one found.
  const bool whole = index_.page_count != 0 && within.lo == 0 && within.hi == entry_count_;
  const DictKey needle = whole ? DictKey(key) : DictKey(key, DictKey::NoIndex{});
  Range block;
  if (whole && index_guess(needle, block)) {
    const std::size_t first = needle.first.length;
    if (key.size() == first) {
      // The key is the first code point alone: on a sorted table whose entry
      // before the block sorts before the key, the key's lower bound is the
      // block's first entry, so one comparison settles a miss; the end of
      // the block is checked only when keys start there.
      if (block.lo == 0 || block_order(order_key(block.lo - 1), needle) < 0) {
        const OrderKey k = block.lo == entry_count_ ? OrderKey{} : order_key(block.lo);
        const int c = block.lo == entry_count_ ? 1 : block_order(k, needle);
        if (c > 0) return {block.lo, block.lo};
        if (c == 0 && block.lo < block.hi &&
            (block.hi == entry_count_ || block_order(order_key(block.hi), needle) > 0)) {
          exact = k.key.size() == key.size() && value_at(block.lo).has_value();
          return block;
        }
      }
      // Out of order: the search below still answers, inside the block if
      // the table confirms it.
      if (index_holds(block, needle)) within = block;
    } else if (index_holds(block, DictKey(key.substr(0, first)))) {
      within = block;
    }
  }
  // Lower bound of `key`, remembering the nearest entry seen past the block.
  std::size_t lo = within.lo, hi = within.hi, past = within.hi;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    prefetch_entry(lo + (mid - lo) / 2);  // both possible next probes
    prefetch_entry(mid + 1 + (hi - mid - 1) / 2);
    const int c = block_order(order_key(mid), needle);
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

DictFile::Node DictFile::prefix_node(std::string_view prefix) const {
  if (prefixes_.slots == nullptr) return {};
  const std::size_t n = prefix.size();
  const std::uint64_t head = head_word(prefix.data(), n < 8 ? n : 8);
  const std::uint64_t mask = high_bytes(n);
  // Whether entry i's key starts with `prefix`, compared as block_order
  // compares: the first eight bytes as one word, then the rest.
  const auto holds_prefix = [&](std::size_t i) {
    const OrderKey k = order_key(i);
    return (k.head & mask) == head && k.key.size() >= n &&
           (n <= 8 || compare_bytes(k.key.data() + 8, prefix.data() + 8, n - 8) == 0);
  };
  const std::uint64_t hash = format::prefix_hash(head, prefix);
  const std::uint32_t tag = static_cast<std::uint32_t>(hash) & prefixes_.tag_mask;
  std::size_t slot = static_cast<std::size_t>(format::prefix_first_slot(hash, prefixes_.slot_bits));
  for (std::size_t probe = 0; probe < kMaxNodeProbes;
       ++probe, slot = (slot + 1) & prefixes_.slot_mask) {
    const std::uint32_t value = load_u32(prefixes_.slots + 4 * slot);
    if (value == 0) return {true, false, false, false, 0};
    if ((std::uint64_t{value} >> prefixes_.entry_bits) != tag) continue;
    // 0 in the entry field wraps past the table and is skipped.
    const std::size_t entry = std::size_t{value & prefixes_.entry_mask} - 1;
    if (entry >= entry_count_) continue;
    // The entry must start the block of keys with this prefix: another
    // node's entry passes the first test when that node is a longer prefix.
    // A broken entry orders as the empty key, so it holds no prefix but the
    // empty one; key_at tells it apart.
    if (!holds_prefix(entry) || !key_at(entry)) continue;
    // An entry equal to the prefix is the first key holding it (keys are
    // unique and sorted), so only another entry needs the one before it
    // read: one key fewer for every word a walk finds.
    const bool equal =
        format::load_u16(base_ + format::entry_at(entry) + format::kKeyLengthAt) == n;
    if (!equal && entry != 0 && holds_prefix(entry - 1) && key_at(entry - 1)) continue;
    // Keys sharing the prefix follow the entry, so the next one tells
    // whether any key is longer (only an entry equal to the prefix can be
    // the last of them).
    const bool longer =
        !equal || (entry + 1 < entry_count_ && holds_prefix(entry + 1) && key_at(entry + 1));
    return {true, true, equal && value_at(entry).has_value(), longer, entry};
  }
  return {};
}

}  // namespace quillet
