// Lexicon speed on the generated 400,000-word data directory: one DictFile::get
// that hits and one that misses, and segment_run over a long CJK run, reported
// in code points per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "dict/data_dir.h"
#include "dict/segment.h"
#include "unicode.h"

namespace quillet::bench {
namespace {

const Pipeline& pipeline() {
  static const Pipeline p = [] {
    auto loaded = load_pipeline(generated_data_dir(), {}, true);
    if (!loaded.ok()) std::abort();
    return std::move(loaded).value();
  }();
  return p;
}

// Probe keys in shuffled order, so that successive lookups do not walk the
// same path of the binary search.
std::vector<std::string> shuffled(std::vector<std::string> keys) {
  std::mt19937 rng(3);
  std::shuffle(keys.begin(), keys.end(), rng);
  return keys;
}

void BM_GetHit(benchmark::State& state) {
  const DictFile& dict = pipeline().word_dict;
  static const std::vector<std::string> keys = shuffled(generated_words());
  std::size_t i = 0;
  for (auto _ : state) {
    auto v = dict.get(keys[i]);
    if (!v) state.SkipWithError("expected a hit");
    benchmark::DoNotOptimize(v);
    if (++i == keys.size()) i = 0;
  }
}
BENCHMARK(BM_GetHit);

// Misses that look like the words: each word with its last character replaced
// by one outside the generated pool, so the search runs to the bottom.
void BM_GetMiss(benchmark::State& state) {
  const DictFile& dict = pipeline().word_dict;
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out;
    for (const auto& w : generated_words()) {
      std::string k = w.substr(0, w.size() - 3);
      append_utf8(k, 0x9F00);
      out.push_back(std::move(k));
    }
    return shuffled(std::move(out));
  }();
  std::size_t i = 0;
  for (auto _ : state) {
    auto v = dict.get(keys[i]);
    if (v) state.SkipWithError("expected a miss");
    benchmark::DoNotOptimize(v);
    if (++i == keys.size()) i = 0;
  }
}
BENCHMARK(BM_GetMiss);

// segment_run over a 100,000-character run with `user` as the user
// dictionary; "cp/s" is code points per second.
void segment_generated_run(benchmark::State& state, const UserDict& user) {
  const Pipeline& p = pipeline();
  static const std::string text = generated_cjk_text(100000);
  const std::size_t code_points = count_code_points(text);
  const std::size_t user_max = max_key_chars(user);
  std::vector<std::string> tokens;
  tokens.reserve(code_points);
  for (auto _ : state) {
    tokens.clear();
    segment_run(text, CharClass::Cjk, p.word_dict, p.word_heads, user, user_max, tokens);
    benchmark::DoNotOptimize(tokens.data());
  }
  state.counters["cp/s"] = benchmark::Counter(
      static_cast<double>(code_points) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  state.counters["tokens"] = static_cast<double>(tokens.size());
}

void BM_SegmentRun(benchmark::State& state) { segment_generated_run(state, pipeline().user_dict); }
BENCHMARK(BM_SegmentRun)->Unit(benchmark::kMillisecond);

// The same run with a user dictionary of 1,000 words, so the user stage runs.
void BM_SegmentRunWithUserDict(benchmark::State& state) {
  static const UserDict user = [] {
    UserDict u;
    const auto& words = generated_words();
    for (std::size_t i = 0; i < 1000; ++i) u.emplace(words[i * 397 % words.size()], "u");
    return u;
  }();
  segment_generated_run(state, user);
}
BENCHMARK(BM_SegmentRunWithUserDict)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
