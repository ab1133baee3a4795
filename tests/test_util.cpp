// Temporary directories and dictionary files for the unit tests.
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillet::testing {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
  if (!::mkdtemp(templ.data())) std::abort();
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_dict(const TempDir& dir, std::string_view name, std::vector<DictEntry> entries) {
  auto status = write_dict_file(dir.file(name), std::move(entries));
  ASSERT_TRUE(status.ok()) << status.error();
}

void write_bytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillet::testing
