// Tests of DictFile: opening checks with their exact messages, lookups, and
// entries whose ranges break out of the pool.
#include <gtest/gtest.h>

#include <string>

#include "dict/lookup.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

// The 35-byte example file: one entry, U+4E00 -> "jat1".
const std::string kExample(
    "CJYP\x01\x00\x00\x00\x01\x00\x00\x00\x07\x00\x00\x00"
    "\x00\x00\x00\x00\x03\x00\x03\x00\x00\x00\x04\x00"
    "\xE4\xB8\x80jat1",
    35);

TEST(DictLookup, ExampleFileOpensAndFinds) {
  TempDir dir;
  testing::write_bytes(dir.file("x.bin"), kExample);
  auto f = DictFile::open(dir.file("x.bin"));
  ASSERT_TRUE(f.ok()) << f.error();
  EXPECT_EQ(f.value().entry_count(), 1u);
  auto v = f.value().get("\xE4\xB8\x80");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(*v, "jat1");
}

}  // namespace
}  // namespace quillet
