// The C++ side of bench/python_bench.py: the three conversions over the texts
// of a file (one per line, $QUILLET_BENCH_TEXTS) with the data directory
// $QUILLET_BENCH_DATA, one text per call and in parallel on the shared batch
// pool, so the Python layer's cost can be read off against the same work.
// Without the variables it uses the generated lexicon and generated text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pool/batch_pool.h"
#include "bench_util.h"
#include "dict/data_dir.h"
#include "pipeline.h"
#include "unicode.h"

namespace quillet::bench {
namespace {

std::vector<std::string> load_texts() {
  std::vector<std::string> texts;
  if (const char* path = std::getenv("QUILLET_BENCH_TEXTS")) {
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) texts.push_back(line);
    if (!texts.empty()) return texts;
    std::abort();  // a named file that cannot be read is a setup fault
  }
  for (unsigned seed = 1; seed <= 10000; ++seed) texts.push_back(generated_cjk_text(20, seed));
  return texts;
}

const std::vector<std::string>& texts() {
  static const std::vector<std::string> t = load_texts();
  return t;
}

const Pipeline& pipeline() {
  static const Pipeline p = [] {
    const char* dir = std::getenv("QUILLET_BENCH_DATA");
    auto loaded = load_pipeline(dir ? std::string(dir) : generated_data_dir(), UserDict{}, true);
    if (!loaded.ok()) std::abort();
    return std::move(loaded).value();
  }();
  return p;
}

void set_counters(benchmark::State& state) {
  std::size_t chars = 0;
  for (const auto& t : texts()) chars += count_code_points(t);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts().size()));
  state.counters["chars_per_second"] = benchmark::Counter(
      static_cast<double>(chars) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

template <class Convert>
void run_single(benchmark::State& state, Convert convert_one) {
  const Pipeline& p = pipeline();
  for (auto _ : state) {
    for (const auto& t : texts()) benchmark::DoNotOptimize(convert_one(p, t));
  }
  set_counters(state);
}

template <class Convert>
void run_parallel(benchmark::State& state, Convert convert_one) {
  const Pipeline& p = pipeline();
  using Slot = decltype(convert_one(p, std::string()));
  for (auto _ : state) {
    std::vector<Slot> slots(texts().size());
    parallel_ranges(shared_batch_pool(), texts().size(), [&](std::size_t lo, std::size_t hi) {
      for (std::size_t i = lo; i < hi; ++i) slots[i] = convert_one(p, texts()[i]);
    });
    benchmark::DoNotOptimize(slots.data());
  }
  set_counters(state);
}

auto plain = [](const Pipeline& p, const std::string& t) { return convert(p, t); };
auto detailed = [](const Pipeline& p, const std::string& t) { return convert_detailed(p, t); };
auto candidates = [](const Pipeline& p, const std::string& t) { return convert_candidates(p, t); };

void BM_Convert(benchmark::State& s) { run_single(s, plain); }
void BM_ConvertDetailed(benchmark::State& s) { run_single(s, detailed); }
void BM_ConvertCandidates(benchmark::State& s) { run_single(s, candidates); }
void BM_ConvertParallel(benchmark::State& s) { run_parallel(s, plain); }
void BM_ConvertDetailedParallel(benchmark::State& s) { run_parallel(s, detailed); }
void BM_ConvertCandidatesParallel(benchmark::State& s) { run_parallel(s, candidates); }

BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDetailed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertCandidates)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertParallel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertDetailedParallel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertCandidatesParallel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
