// How many processors this process may run on, which sizes the batch pool.
#pragma once

#include <string_view>

namespace quillet {

// The number of processors this process may run on: the size of its
// processor-affinity set, lowered to the cgroup (v2, else v1) processor quota
// when one applies; 1 when the affinity set cannot be read. Thread-safe.
unsigned available_processors();

// The processor count a cgroup v2 "cpu.max" text ("max 100000" or
// "150000 100000") allows, rounded up and at least 1; 0 when it sets no
// quota or cannot be parsed.
unsigned cgroup2_cpu_limit(std::string_view cpu_max);

// The same for cgroup v1's cpu.cfs_quota_us and cpu.cfs_period_us; a quota
// or period that is not positive means no quota (0).
unsigned cgroup1_cpu_limit(long long quota_us, long long period_us);

}  // namespace quillet
