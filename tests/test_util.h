// Helpers shared by the unit tests: a temporary directory that removes itself,
// and dictionary files written with the project's own writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/data_dir.h"
#include "dict_writer.h"

namespace quillet::testing {

// A fresh directory under the system temp dir, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Writes a dictionary file `name` in `dir` holding `entries`; fails the
// current test on a writer error.
void write_dict(const TempDir& dir, std::string_view name, std::vector<DictEntry> entries);

// Writes raw bytes to a file (for malformed-file tests).
void write_bytes(const std::string& path, std::string_view bytes);

// `prefix` followed by `n` in decimal ("k" and 12 give "k12"). Built by
// appending: g++ 12 at -O3 warns falsely (-Wrestrict) on "k" + std::to_string(n).
std::string numbered(std::string_view prefix, std::size_t n);

// The UTF-8 of code point `c`.
std::string utf8(char32_t c);

// Little-endian bytes of a header or entry field, for hand-built files.
std::string u32(std::uint32_t v);
std::string u16(std::uint16_t v);

// The bytes of a dictionary file holding `entries` in the order given, as
// they come: unsorted or duplicated ones too, which the writer would refuse.
// Each entry's key and then its value are appended to the pool.
std::string dict_bytes_in_order(const std::vector<DictEntry>& entries);

// Loads the Pipeline of `dir` with punc_norm on; a load failure fails the
// test and aborts, since nothing after it could run.
Pipeline load(const TempDir& dir, UserDict user = {});

}  // namespace quillet::testing
