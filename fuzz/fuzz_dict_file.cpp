// Fuzz target: arbitrary bytes as a dictionary file. The input is written to
// an in-memory file, opened with DictFile::open and probed with the lookups
// the engine uses (get, find, find_char, get_near, value_of, and seek_prefix
// as segmentation walks it) using keys taken from the input. A small independent
// parse of the same bytes is the oracle: open must accept exactly the files
// whose header fits and take an index exactly when its tables fit, every hit
// must be the value of an entry whose key and value lie in the pool, and on a
// well-formed file (sorted keys, every range in the pool) the lookups must
// agree with a linear scan whatever the index after the pool says. A prefix
// table after the index is taken exactly when its header fits, and a prefix
// it calls present must be answered as the scan answers on a well-formed
// file, and at an entry that starts with it on any file. The seeds are the
// writer's files, index and table included, so mutations reach them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/format.h"
#include "dict/lookup.h"
#include "fuzz_util.h"
#include "unicode.h"

namespace {

using quillet::DictFile;
using quillet::compare_keys;
using quillet::fuzz::escaped;
using quillet::fuzz::fail;

std::uint64_t u32_at(std::string_view b, std::size_t at) {
  return quillet::format::load_u32(b.data() + at);
}
std::uint64_t u16_at(std::string_view b, std::size_t at) {
  return quillet::format::load_u16(b.data() + at);
}

// The file as the oracle sees it, parsed byte-wise from the fuzzer's input.
struct RefEntry {
  std::optional<std::string_view> key;    // absent when its range leaves the pool
  std::optional<std::string_view> value;  // likewise
  std::string_view key_hint;              // whatever key bytes the input holds, for probes
};

struct RefFile {
  std::string open_error;  // empty when the header is acceptable
  std::vector<RefEntry> entries;
  bool well_formed = false;  // every range inside the pool, keys strictly ascending
  bool index_fits = false;   // an index header after the pool whose tables fit in the file
  bool prefixes_fit = false;  // a prefix table header after that index whose slots fit
};

RefFile parse(std::string_view b) {
  RefFile ref;
  const auto list = [&](std::size_t at) {
    std::string s = "[";
    for (std::size_t i = 0; i < 4; ++i) {
      if (i) s += ", ";
      s += std::to_string(static_cast<unsigned char>(b[at + i]));
    }
    return s + "]";
  };
  if (b.size() < 16) {
    ref.open_error = "file too short: " + std::to_string(b.size()) + " bytes (need at least 16)";
    return ref;
  }
  if (b.substr(0, 4) != "CJYP") {
    ref.open_error = "bad magic: expected [67, 74, 89, 80], got " + list(0);
    return ref;
  }
  if (u32_at(b, 4) != 1) {
    ref.open_error = "unsupported version " + std::to_string(u32_at(b, 4)) + " (expected 1)";
    return ref;
  }
  const std::uint64_t count = u32_at(b, 8);
  const std::uint64_t pool_size = u32_at(b, 12);
  const std::uint64_t pool_at = 16 + 12 * count;
  if (b.size() < pool_at + pool_size) {
    ref.open_error = "file too short: " + std::to_string(b.size()) + " bytes (need " +
                     std::to_string(pool_at + pool_size) + " for " + std::to_string(count) +
                     " entries + pool)";
    return ref;
  }
  const std::string_view rest = b.substr(pool_at + pool_size);
  if (rest.size() >= 16 && rest.substr(0, 4) == "CJYI") {
    const std::uint64_t pages = u32_at(rest, 8), slots = u32_at(rest, 12);
    ref.index_fits = 16 + 4 * pages + 4 * 65 * slots <= rest.size();
    if (ref.index_fits) {
      const std::string_view after = rest.substr(16 + 4 * pages + 4 * 65 * slots);
      if (after.size() >= 16 && after.substr(0, 4) == "CJYH") {
        const std::uint64_t slot_bits = u32_at(after, 4), entry_bits = u32_at(after, 8);
        ref.prefixes_fit = slot_bits >= 1 && slot_bits <= 30 && entry_bits >= 1 &&
                           entry_bits <= 32 && 16 + (std::uint64_t{4} << slot_bits) <= after.size();
      }
    }
  }
  const std::string_view pool = b.substr(pool_at, pool_size);
  ref.well_formed = true;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t e = 16 + 12 * i;
    const std::uint64_t ko = u32_at(b, e), kl = u16_at(b, e + 4);
    const std::uint64_t vo = u32_at(b, e + 6), vl = u16_at(b, e + 10);
    RefEntry entry;
    if (ko + kl <= pool_size) entry.key = pool.substr(ko, kl);
    if (vo + vl <= pool_size) entry.value = pool.substr(vo, vl);
    if (pool_at + ko < b.size()) entry.key_hint = b.substr(pool_at + ko, kl);
    if (!entry.key || !entry.value) ref.well_formed = false;
    if (ref.well_formed && i > 0 && compare_keys(*ref.entries.back().key, *entry.key) >= 0) {
      ref.well_formed = false;
    }
    ref.entries.push_back(entry);
  }
  return ref;
}

std::vector<std::string> probe_keys(std::string_view input, const RefFile& ref) {
  std::vector<std::string> keys = {""};
  const std::size_t n = ref.entries.size() < 32 ? ref.entries.size() : 32;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string key(ref.entries[i].key_hint);
    keys.push_back(key);
    keys.push_back(key + '\0');
    keys.push_back(key + '\xff');
    if (!key.empty()) keys.push_back(key.substr(0, key.size() - 1));
    // The key's first code point alone and its neighbours: the blocks the
    // index names, and those beside them, in the same page or the next.
    const std::size_t first = quillet::format::first_code_point(key).length;
    if (first != 0) {
      std::size_t at = 0;
      const char32_t c = quillet::next_code_point(key, at);
      keys.push_back(key.substr(0, first));
      for (char32_t near : {c - 1, c + 1, c + 64}) {
        std::string s;
        quillet::append_utf8(s, near);
        keys.push_back(s);
      }
    }
  }
  keys.emplace_back(input.substr(input.size() > 8 ? input.size() - 8 : 0));
  return keys;
}

// Entries [lo, hi) of a well-formed file whose keys start with `key`, and
// whether one equals it.
DictFile::Range expected_range(const RefFile& ref, std::string_view key, bool& exact) {
  std::size_t lo = 0;
  while (lo < ref.entries.size() && compare_keys(*ref.entries[lo].key, key) < 0) ++lo;
  std::size_t hi = lo;
  while (hi < ref.entries.size() && ref.entries[hi].key->substr(0, key.size()) == key) ++hi;
  exact = lo < hi && ref.entries[lo].key->size() == key.size();
  return {lo, hi};
}

void check_probe(const DictFile& file, const RefFile& ref, std::string_view key) {
  const std::string where = "key \"" + escaped(key) + "\"";
  // Every value handed out must be one the file really stores under this key.
  const auto got = file.get(key);
  bool genuine = false;
  for (const RefEntry& e : ref.entries) {
    if (e.key && *e.key == key && e.value && got && *e.value == *got) genuine = true;
  }
  if (got && !genuine) fail("get returned bytes that no entry with this key holds", where);

  const std::size_t count = ref.entries.size();
  const auto found = file.find(key);
  if (found.has_value() != got.has_value() || (found && found->value != *got)) {
    fail("find disagrees with get", where);
  }
  if (found && file.value_of(found->index) != got) fail("value_of disagrees with find", where);
  // find_char answers a one-code-point key from the index's block: on any
  // file a hit is an entry that holds the key, and on a well-formed one
  // (below) it is find's answer.
  const auto found_char = file.find_char(key);
  if (found_char) {
    const RefEntry* e = found_char->index < count ? &ref.entries[found_char->index] : nullptr;
    if (!e || e->key != key || e->value != found_char->value) {
      fail("find_char returned an entry that does not hold the key", where);
    }
  }

  bool exact = false;
  const DictFile::Range range = file.seek_prefix(file.all(), key, exact);
  if (range.lo > range.hi || range.hi > count) fail("seek_prefix left the table", where);
  // Whatever the order of the keys, a non-empty range starts at an entry that
  // starts with the key, and an exact one at a readable entry equal to it.
  if (!range.empty()) {
    const RefEntry& e = ref.entries[range.lo];
    const std::string_view order_key = e.key.value_or(std::string_view{});
    if (order_key.substr(0, key.size()) != key) fail("seek_prefix starts outside the block", where);
    if (exact && (order_key != key || !e.key || !e.value)) fail("seek_prefix exact is wrong", where);
  } else if (exact) {
    fail("seek_prefix exact with an empty range", where);
  }
  // Whatever the file, a prefix the table calls present starts the entry it
  // names.
  if (const DictFile::Node node = file.prefix_node(key); node.known && node.present) {
    if (node.entry >= count) fail("prefix_node left the table", where);
    const std::string_view k = ref.entries[node.entry].key.value_or(std::string_view{});
    if (!ref.entries[node.entry].key || k.substr(0, key.size()) != key) {
      fail("prefix_node names an entry without the prefix", where);
    }
    if (node.exact && (k != key || !ref.entries[node.entry].value)) {
      fail("prefix_node exact is wrong", where);
    }
  }
  // Binary search over unsorted keys may miss or pick any entry; only the
  // bounds above are promised for such files.
  if (!ref.well_formed) return;
  bool want_exact = false;
  const DictFile::Range want = expected_range(ref, key, want_exact);
  if (want_exact != got.has_value()) fail("get disagrees with a linear scan", where);
  if (want_exact && *got != *ref.entries[want.lo].value) {
    fail("get returned the wrong value", where);
  }
  if (found && found->index != want.lo) fail("find named the wrong entry", where);
  if (found_char.has_value() != found.has_value() || (found_char && found_char->index != want.lo)) {
    fail("find_char disagrees with find", where);
  }
  // A hint names the entry to try first; with unique keys, whatever it is,
  // the answer is get's.
  for (std::size_t hint : {std::size_t{0}, want.lo, count / 2, count, count + 7}) {
    if (file.get_near(key, hint) != got) fail("get_near disagrees with get", where);
  }
  // The prefix table, asked at each whole code point of the key: a present
  // answer is the scan's.
  for (std::size_t end = 0; end < key.size();) {
    end += quillet::utf8_length(static_cast<unsigned char>(key[end]));
    if (end > key.size()) break;
    const DictFile::Node node = file.prefix_node(key.substr(0, end));
    if (!node.known || !node.present) continue;
    bool node_exact = false;
    const DictFile::Range block = expected_range(ref, key.substr(0, end), node_exact);
    const bool longer = block.hi - block.lo > (node_exact ? 1u : 0u);
    if (node.entry != block.lo || node.exact != node_exact || node.longer != longer) {
      fail("prefix_node disagrees with a linear scan", where + " prefix " + std::to_string(end));
    }
  }
  // Seeking step by step along the key's prefixes, as segmentation does: each
  // range starts where the block of keys with that prefix starts, covers it,
  // is empty exactly when the block is, and stays inside the previous range.
  DictFile::Range chained = file.all();
  for (std::size_t k = 0; k <= key.size() && k <= 12; ++k) {
    const DictFile::Range within = chained;
    bool step_exact = false;
    chained = file.seek_prefix(chained, key.substr(0, k), step_exact);
    bool direct_exact = false;
    const DictFile::Range direct = expected_range(ref, key.substr(0, k), direct_exact);
    if (chained.lo != direct.lo || chained.empty() != direct.empty() ||
        step_exact != direct_exact || (!direct.empty() && chained.hi < direct.hi) ||
        chained.hi > within.hi) {
      fail("seek_prefix disagrees with a linear scan", where + " prefix " + std::to_string(k));
    }
    if (chained.empty()) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillet::fuzz::ScratchFile scratch;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  scratch.write(input);
  const RefFile ref = parse(input);

  auto opened = DictFile::open(scratch.path());
  if (!opened.ok()) {
    if (ref.open_error.empty()) fail("open rejected a file with a sound header", opened.error());
    if (opened.error() != ref.open_error) {
      fail("open gave an unexpected message", opened.error() + " / expected " + ref.open_error);
    }
    return 0;
  }
  if (!ref.open_error.empty()) fail("open accepted a file with a broken header", ref.open_error);
  const DictFile& file = opened.value();
  if (file.entry_count() != ref.entries.size()) fail("entry_count differs from the header", "");
  if (file.has_index() != ref.index_fits) fail("has_index disagrees with the index header", "");
  if (file.has_prefix_table() != ref.prefixes_fit) {
    fail("has_prefix_table disagrees with the table header", "");
  }
  // A table said to hold no one-code-point key holds none that can be read.
  if (!file.may_have_one_code_point_keys()) {
    for (const RefEntry& e : ref.entries) {
      const std::string_view k = e.key.value_or(std::string_view{});
      if (!k.empty() && quillet::utf8_length(static_cast<unsigned char>(k[0])) == k.size()) {
        fail("a one-code-point key in a table said to hold none", escaped(k));
      }
    }
  }
  for (const std::string& key : probe_keys(input, ref)) check_probe(file, ref, key);
  return 0;
}
