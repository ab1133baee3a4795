// DictFile: one memory-mapped dictionary file (layout in dict/format.h) and
// its lookups, binary searches straight over the mapped entry table. When the
// file carries an index, a search starts from the block of keys that share the
// query's first code point instead of the whole table. Nothing is parsed,
// copied or built when a file is opened, so loading costs a few system calls
// whatever the file's size; only a file with a prefix table has its key
// lengths read once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "dict/format.h"
#include "result.h"

namespace quillet {

// A key as the lookups read it: its first code point, for the index, and its
// first eight bytes as one big-endian number, for the comparisons. Made once
// for a token that is looked up in several files.
struct DictKey {
  explicit DictKey(std::string_view key);
  std::string_view bytes;
  format::FirstCodePoint first;  // first_code_point(bytes), or none (see below)
  std::uint64_t head;            // the first eight bytes, zeros past the key's end
  std::uint64_t mask;            // the bytes of a head the key has

 private:
  friend class DictFile;
  // For a search that does not start from the index (a later step of a
  // prefix walk): its first code point is not decoded.
  struct NoIndex {};
  DictKey(std::string_view key, NoIndex);
};

// An entry's key as the comparisons read it (in lookup.cpp).
namespace lookup_detail {
struct OrderKey;
}  // namespace lookup_detail

class DictFile {
 public:
  // An empty table: every lookup misses. A moved-from DictFile is left so
  // too; the loader starts a Pipeline's files from it.
  DictFile() = default;

  // Opens, maps and validates the file at `path`. Only the 16-byte header is
  // read, and the headers of the index and prefix table when they follow the
  // pool; the table is not scanned, save the key lengths of a file with a
  // prefix table (for may_have_one_code_point_keys). Fails with the exact
  // messages the loader passes on to callers (system errors end in " (os
  // error N)"). An index that does not fit in the file is ignored, never a
  // failure: the file is then searched as one without an index.
  static Result<DictFile> open(std::string_view path);

  DictFile(DictFile&& other) noexcept;
  DictFile& operator=(DictFile&& other) noexcept;
  DictFile(const DictFile&) = delete;
  DictFile& operator=(const DictFile&) = delete;
  ~DictFile();

  // The value stored under exactly `key`, as a view into the mapping that
  // lives as long as this DictFile; nullopt on a miss. An entry whose key or
  // value range runs outside the pool is never returned (it is a miss).
  // Safe to call from any number of threads at once.
  std::optional<std::string_view> get(std::string_view key) const;
  std::optional<std::string_view> get(const DictKey& key) const;

  std::size_t entry_count() const { return entry_count_; }

  // Whether open found an index whose tables fit in the file. Its answers are
  // still checked at every lookup, so a wrong index changes no result on a
  // sorted table; it only costs the checks and the fallback search.
  bool has_index() const { return index_.pages != nullptr; }

  // A half-open range of entry indices, for walking longer and longer
  // prefixes of one text (segmentation): keys sharing a prefix are adjacent,
  // so each longer prefix is searched inside the range of the shorter one.
  struct Range {
    std::size_t lo = 0;
    std::size_t hi = 0;
    bool empty() const { return lo >= hi; }
  };
  Range all() const { return {0, entry_count_}; }

  // One step of that walk. Given `within`, all() or the result of the step
  // for a shorter prefix of `key`, returns a range that starts at the first
  // entry not less than `key` and holds every entry whose key starts with
  // `key`, but may run past them (its end is whatever bound the search met,
  // which spares a second search for the block's end). It is empty exactly
  // when no key starts with `key`. `exact` is set when one of them equals
  // `key` and is readable, that is, when get(key) would be a hit. On a table
  // whose keys are not sorted the result is some range inside `within`. Like
  // get(), safe from any number of threads at once.
  Range seek_prefix(Range within, std::string_view key, bool& exact) const;

  // The same step answered by the file's prefix table (format.h), when it
  // has one. `prefix` must end where a code point ends, as prefix_ends cuts
  // keys: segmentation's steps do, save one cut short by the end of the
  // text. `known` is false when there is no table or its probe ran long;
  // seek_prefix answers then. Otherwise `present` tells whether some key
  // starts with `prefix`, `entry` is the first such entry (so the lower
  // bound a search would find), checked against the table's keys, `exact`
  // is seek_prefix's, and `longer` tells whether a key longer than `prefix`
  // starts with it, so whether a walk has more to find. Safe from any
  // number of threads at once.
  struct Node {
    bool known = false;
    bool present = false;
    bool exact = false;
    bool longer = false;
    std::size_t entry = 0;
  };
  Node prefix_node(std::string_view prefix) const;
  bool has_prefix_table() const { return prefixes_.slots != nullptr; }

  // False only when the file has a prefix table and open found no entry
  // whose key is one code point (dict/lookup.cpp says how it looked): then
  // prefix_node of a single code point is never exact, and a walk that has
  // found nothing longer need not ask it. True for a table that may hold
  // such a key, and for every file without a prefix table.
  bool may_have_one_code_point_keys() const { return prefixes_.one_code_point_keys; }

  // get(), also giving the index of the entry found, for get_near() in a side
  // file whose keys are those of this one. On a sorted table (keys unique)
  // the entry found is the same whether or not the file has an index.
  struct Found {
    std::string_view value;
    std::size_t index = 0;
  };
  std::optional<Found> find(std::string_view key) const;
  std::optional<Found> find(const DictKey& key) const;

  // find(key), for the lookup of one character: a key of one code point is
  // answered from the block the index names for it, by comparing the
  // block's first entry (and, for a miss, the entry before it) with the key
  // itself, which is not read as a DictKey. Any other key, and a block the
  // table does not confirm, is left to find(). Safe from any number of
  // threads at once.
  std::optional<Found> find_char(std::string_view key) const {
    // Inline, the common case: an ideograph of three bytes (lead E1 to EF
    // but ED, as first_code_point reads it) that the block's first entry
    // holds. Everything else, misses included, is find_char_rest's.
    char32_t c;
    Range guess;
    if (common_ideograph(key, c) && index_block(c, guess) && guess.lo < entry_count_ &&
        key_equals(guess.lo, key)) {
      const auto value = value_at(guess.lo);
      if (!value) return std::nullopt;
      return Found{*value, guess.lo};
    }
    return find_char_rest(key);
  }

  // get(key), trying entry `hint` first: a file written with the same keys
  // as another holds each key at the same index, so one comparison replaces
  // the search. Any other file is still searched in full, so on a file with
  // unique keys the result is always get(key)'s (with duplicated keys, which
  // of them answers is unspecified, as for get()). Safe from any number of
  // threads at once.
  // The text form compares entry `hint`'s bytes to `key` directly and
  // reads `key` as a DictKey only when it must search.
  std::optional<std::string_view> get_near(std::string_view key, std::size_t hint) const {
    if (hint < entry_count_ && key_equals(hint, key)) return value_at(hint);
    return get(key);
  }
  std::optional<std::string_view> get_near(const DictKey& key, std::size_t hint) const;

  // The value of entry `index`, as get() would return it for that entry's
  // key; nullopt when `index` is past the table or the entry is broken. Lets
  // a prefix walk that has found an exact key keep its value without a
  // second search. Safe from any number of threads at once.
  std::optional<std::string_view> value_of(std::size_t index) const {
    if (index >= entry_count_ || !key_at(index)) return std::nullopt;
    return value_at(index);
  }

  // The key of entry `index`; nullopt when `index` is past the table or the
  // key's range runs outside the pool. For tables derived from a file when
  // it is loaded.
  std::optional<std::string_view> key_of(std::size_t index) const {
    if (index >= entry_count_) return std::nullopt;
    return key_at(index);
  }

 private:
  // The index's tables, inside the mapping (checked at open); all null and
  // zero when the file has no usable index, so that every page misses.
  struct Index {
    const unsigned char* pages = nullptr;
    const unsigned char* slots = nullptr;
    std::uint32_t first_page = 0;
    std::uint32_t page_count = 0;
    std::uint32_t slot_count = 0;
  };

  // The prefix table's slots, inside the mapping (checked at open), and the
  // masks its slot values are read with; null when the file has none.
  struct Prefixes {
    const unsigned char* slots = nullptr;
    std::uint32_t slot_mask = 0;
    std::uint32_t slot_bits = 0;
    unsigned entry_bits = 0;
    std::uint32_t entry_mask = 0;
    std::uint32_t tag_mask = 0;
    bool one_code_point_keys = true;  // may_have_one_code_point_keys()
  };
  // A probe gives up after this many slots: a table filled by a writer never
  // gets near it, and one made to be full cannot make a lookup loop.
  static constexpr std::size_t kMaxNodeProbes = 32;

  DictFile(const unsigned char* base, std::size_t length, std::size_t entry_count,
           std::uint64_t pool_size, Index index, Prefixes prefixes);

  // Sets `guess` to the entries the index names for the keys that start with
  // the first code point of `key`, unchecked but inside the table, and
  // `first_length` to that code point's byte length. False when there is no
  // index, the key starts with no code point, the index has no page or slot
  // for it, or it names entries past the table.
  bool index_guess(const DictKey& key, Range& guess) const;
  // The same for code point `c`, whatever key starts with it.
  bool index_block(char32_t c, Range& guess) const {
    // Unsigned: a page before first_page wraps past page_count (0 without an
    // index, so that every page misses).
    const std::uint32_t page = (c >> format::kPageBits) - index_.first_page;
    if (page >= index_.page_count) return false;
    const std::uint32_t slot = format::load_u32(index_.pages + 4 * std::size_t{page});
    if (slot >= index_.slot_count) return false;  // kNoSlot included
    const unsigned char* start =
        index_.slots + format::kSlotSize * std::size_t{slot} + 4 * (c & (format::kPageSize - 1));
    const std::size_t lo = format::load_u32(start), hi = format::load_u32(start + 4);
    if (lo > hi || hi > entry_count_) return false;
    guess = {lo, hi};
    return true;
  }
  // find_char past its inline case.
  [[gnu::noinline]] std::optional<Found> find_char_rest(std::string_view key) const;
  // The code point of `key` when it is three bytes of UTF-8 led by E1 to EF
  // but ED (most ideographs), read as first_code_point reads them, into `c`;
  // false for any other key.
  static bool common_ideograph(std::string_view key, char32_t& c) {
    if (key.size() != 3) return false;
    const unsigned b0 = static_cast<unsigned char>(key[0]);
    const unsigned b1 = static_cast<unsigned char>(key[1]) ^ 0x80u;
    const unsigned b2 = static_cast<unsigned char>(key[2]) ^ 0x80u;
    if (b0 < 0xE1 || b0 > 0xEF || b0 == 0xED || (b1 | b2) >= 0x40) return false;
    c = (b0 & 0x0F) << 12 | b1 << 6 | b2;
    return true;
  }
  // Whether entry i (inside the table) holds exactly `key`; false for a
  // broken entry.
  bool key_equals(std::size_t i, std::string_view key) const {
    const auto k = key_at(i);
    return k && k->size() == key.size() && format::equal_bytes(k->data(), key.data(), key.size());
  }
  // Whether the table confirms a guess for the block of keys that start with
  // `prefix`: the entry before it sorts before the block and the entry at its
  // end after it. On a sorted table the guess then holds the whole block, so
  // a search inside it ends where a search of the whole table would.
  using OrderKey = lookup_detail::OrderKey;
  bool index_holds(Range guess, const DictKey& prefix) const;
  // Binary search of [lo, hi) for an entry whose order key equals `key`: its
  // index with `equal` set, else where the search ended. Every entry it
  // compared before `at` sorted before `key` and every one from `at` on
  // after it, so on a sorted table `key` lies between entries at - 1 and at,
  // and only an end of [lo, hi) was not compared.
  struct Probe {
    std::size_t at = 0;
    bool equal = false;
  };
  Probe search_exact(std::size_t lo, std::size_t hi, const DictKey& key) const;
  // Whether entry i - 1 sorts before `key` (i = 0: there is none), and
  // whether entry i sorts after it (i = entry_count: none).
  bool sorts_before(std::size_t i, const DictKey& key) const;
  bool sorts_after(std::size_t i, const DictKey& key) const;
  // find() past its one-code-point path: a search of the block `guess`
  // when `guessed`, then of the whole table unless that settled it. Apart,
  // so that the common path saves few registers.
  [[gnu::noinline]] std::optional<Found> find_searched(const DictKey& needle, bool guessed,
                                                       Range guess) const;
  // find()'s answer once a comparison has shown that entry `i` (inside the
  // table) holds `key`: a miss when the entry is broken.
  std::optional<Found> found_at(std::size_t i) const;

  // Key (value) of entry i, or nullopt when its range runs outside the pool.
  // Read at every probe of every search, so defined here to be inlined.
  std::optional<std::string_view> key_at(std::size_t i) const {
    const unsigned char* entry = base_ + format::entry_at(i);
    return pool_range(entry + format::kKeyOffsetAt, entry + format::kKeyLengthAt);
  }
  std::optional<std::string_view> value_at(std::size_t i) const {
    const unsigned char* entry = base_ + format::entry_at(i);
    return pool_range(entry + format::kValueOffsetAt, entry + format::kValueLengthAt);
  }
  // The pool bytes named by the offset (u32) and length (u16) fields.
  std::optional<std::string_view> pool_range(const unsigned char* offset_field,
                                             const unsigned char* length_field) const {
    const std::uint64_t offset = format::load_u32(offset_field);
    const std::uint64_t length = format::load_u16(length_field);
    if (offset + length > pool_size_) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(pool_ + offset), length);
  }
  // Searches wait on memory: each probe loads an entry, then its key. Asking
  // early for the entries of both possible next probes overlaps those waits.
  // A hint only: it changes no result and never faults.
  void prefetch_entry(std::size_t i) const {
    __builtin_prefetch(base_ + format::entry_at(i));
  }
  // Key of entry i for ordering; a broken entry sorts as the empty key.
  OrderKey order_key(std::size_t i) const;

  const unsigned char* base_ = nullptr;  // start of the mapping
  const unsigned char* pool_ = nullptr;  // start of the string pool, inside the mapping
  std::size_t length_ = 0;               // mapped length
  std::uint64_t pool_mapped_ = 0;        // bytes mapped from the pool's start on
  std::size_t entry_count_ = 0;
  std::uint64_t pool_size_ = 0;
  Index index_;
  Prefixes prefixes_;
};

// Compares byte strings as unsigned bytes, a shorter prefix first: the order
// of the entry table.
int compare_keys(std::string_view a, std::string_view b);

}  // namespace quillet
