// Helpers shared by the unit tests: a temporary directory that removes itself,
// and dictionary files written with the project's own writer.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

}  // namespace quillet::testing
