// Writing and checking dictionary files: the compiler behind quillet_dictool,
// also linked by the tests so they can build their own small dictionaries.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "result.h"

namespace quillet {

struct DictEntry {
  std::string key;
  std::string value;
};

using Status = Result<std::monostate>;

// Parses `key<TAB>value` lines (the value is everything after the first tab;
// lines end in LF or CRLF, and a final line end is optional). Rejects, naming the 1-based line: a line
// without a tab, invalid UTF-8, a key or value over 65,535 bytes, and a key
// that an earlier line already gave.
Result<std::vector<DictEntry>> parse_entries(std::string_view text);

// Whether a file carries the prefix table of dict/format.h after its index.
// It speeds up the walk of segmentation only, so only the file segmentation
// reads (word.bin) is worth its bytes.
enum class PrefixTable { Omit, Write };

// The bytes of a valid file holding `entries`, sorted by key order, with its
// index after the pool, then the prefix table when asked for. Equal values
// share pool bytes. Fails on duplicate keys, over-long keys or values, or a
// pool beyond 4 GiB.
Result<std::string> encode_dict(std::vector<DictEntry> entries,
                                PrefixTable prefixes = PrefixTable::Omit);

// Writes encode_dict(entries, prefixes) to `path` through a temporary file in
// the same directory, so nothing is left at `path` on error.
Status write_dict_file(const std::string& path, std::vector<DictEntry> entries,
                       PrefixTable prefixes = PrefixTable::Omit);

// Reads a dictionary file and checks the header, that every key and value
// range lies inside the pool, that keys are strictly ascending, and, when an
// index follows the pool, that it is exactly the one the keys give, and so is
// a prefix table after it (a file without them passes). Returns the entries
// in file order.
Result<std::vector<DictEntry>> read_dict_file(const std::string& path);

// Same checks over bytes already in memory.
Result<std::vector<DictEntry>> decode_dict(std::string_view bytes);

}  // namespace quillet
