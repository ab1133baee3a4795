// Counting the processors a process may use: its affinity set, lowered to
// the cgroup processor quota, since a container's quota is not visible in
// the affinity set and threads beyond it only wait for their turn.
#include "pool/processor_count.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>

namespace quillet {
namespace {

bool parse_ll(std::string_view text, long long& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// The whole small file at `path`, or "" when it cannot be read.
std::string read_small_file(const char* path) {
  std::ifstream in(path);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool read_ll_file(const char* path, long long& out) {
  return parse_ll(trim(read_small_file(path)), out);
}

unsigned affinity_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    const int n = CPU_COUNT(&set);
    return n > 0 ? static_cast<unsigned>(n) : 1;
  }
  // More processors than a cpu_set_t holds: ask with a larger set.
  for (int cpus = 2 * CPU_SETSIZE; cpus <= (1 << 16); cpus *= 2) {
    cpu_set_t* big = CPU_ALLOC(cpus);
    if (big == nullptr) return 1;
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(size, big);
    const bool ok = sched_getaffinity(0, size, big) == 0;
    const int n = ok ? CPU_COUNT_S(size, big) : 0;
    CPU_FREE(big);
    if (ok) return n > 0 ? static_cast<unsigned>(n) : 1;
  }
  return 1;
}

unsigned cgroup_limit() {
  const std::string v2 = read_small_file("/sys/fs/cgroup/cpu.max");
  if (!v2.empty()) return cgroup2_cpu_limit(v2);
  static const char* const kV1Dirs[] = {"/sys/fs/cgroup/cpu/", "/sys/fs/cgroup/cpu,cpuacct/"};
  for (const char* dir : kV1Dirs) {
    long long quota = 0, period = 0;
    if (read_ll_file((std::string(dir) + "cpu.cfs_quota_us").c_str(), quota) &&
        read_ll_file((std::string(dir) + "cpu.cfs_period_us").c_str(), period)) {
      return cgroup1_cpu_limit(quota, period);
    }
  }
  return 0;
}

}  // namespace

unsigned cgroup1_cpu_limit(long long quota_us, long long period_us) {
  if (quota_us <= 0 || period_us <= 0) return 0;
  const long long cpus = (quota_us + period_us - 1) / period_us;
  if (cpus < 1) return 1;
  return cpus > 1'000'000 ? 1'000'000u : static_cast<unsigned>(cpus);
}

unsigned cgroup2_cpu_limit(std::string_view cpu_max) {
  cpu_max = trim(cpu_max);
  const std::size_t space = cpu_max.find(' ');
  if (space == std::string_view::npos) return 0;
  const std::string_view quota = cpu_max.substr(0, space);
  const std::string_view period = trim(cpu_max.substr(space + 1));
  if (quota == "max") return 0;
  long long q = 0, p = 0;
  if (!parse_ll(quota, q) || !parse_ll(period, p)) return 0;
  return cgroup1_cpu_limit(q, p);
}

unsigned available_processors() {
  const unsigned cpus = affinity_count();
  const unsigned quota = cgroup_limit();
  return quota == 0 ? cpus : std::min(cpus, quota);
}

}  // namespace quillet
