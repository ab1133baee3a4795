// Temporary directories and dictionary files for the unit tests.
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dict/format.h"
#include "unicode.h"

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

std::string utf8(char32_t c) {
  std::string s;
  append_utf8(s, c);
  return s;
}

std::string numbered(std::string_view prefix, std::size_t n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

std::string u32(std::uint32_t v) {
  std::string s;
  format::append_u32(s, v);
  return s;
}

std::string u16(std::uint16_t v) {
  std::string s;
  format::append_u16(s, v);
  return s;
}

std::string dict_bytes_in_order(const std::vector<DictEntry>& entries) {
  std::string table, pool;
  for (const auto& [key, value] : entries) {
    const auto at = static_cast<std::uint32_t>(pool.size());
    table += u32(at) + u16(static_cast<std::uint16_t>(key.size()));
    table += u32(static_cast<std::uint32_t>(at + key.size())) +
             u16(static_cast<std::uint16_t>(value.size()));
    pool += key;
    pool += value;
  }
  return "CJYP" + u32(1) + u32(static_cast<std::uint32_t>(entries.size())) +
         u32(static_cast<std::uint32_t>(pool.size())) + table + pool;
}

Pipeline load(const TempDir& dir, UserDict user) {
  auto p = load_pipeline(dir.path(), std::move(user), true);
  if (!p.ok()) {
    ADD_FAILURE() << p.error();
    std::abort();
  }
  return std::move(p).value();
}

}  // namespace quillet::testing
