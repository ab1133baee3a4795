// Tests of the processor count's cgroup quota parsing (v2 "cpu.max", v1
// quota and period).
#include <gtest/gtest.h>

#include "pool/processor_count.h"

namespace quillet {
namespace {

TEST(ProcessorCount, CgroupQuotaParsing) {
  struct Row {
    const char* cpu_max;
    unsigned expected;
  };
  static const Row kRows[] = {
      {"max 100000\n", 0},     {"200000 100000\n", 2}, {"150000 100000", 2},
      {"50000 100000", 1},     {"100000 100000", 1},   {"", 0},
      {"garbage", 0},          {"12x 100000", 0},      {"100000 0", 0},
      {"-1 100000", 0},        {"400000 100000 extra", 0},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(cgroup2_cpu_limit(row.cpu_max), row.expected) << "cpu.max=\"" << row.cpu_max << "\"";
  }
  EXPECT_EQ(cgroup1_cpu_limit(-1, 100000), 0u);
  EXPECT_EQ(cgroup1_cpu_limit(250000, 100000), 3u);
  EXPECT_EQ(cgroup1_cpu_limit(1000, 100000), 1u);
}

}  // namespace
}  // namespace quillet
