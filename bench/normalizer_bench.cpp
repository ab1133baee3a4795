// Throughput of the tokenizer on realistic mixed text: Chinese with numbers,
// money, units, English words and punctuation. Reports bytes per second for
// the whole of tokenize and for the three rewriting passes without
// segmentation, from 1 KB to 10 MB so that a flat cost per byte shows.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "dict/data_dir.h"
#include "dict_writer.h"
#include "normalize/normalizer.h"
#include "normalize/number_rewrite.h"

namespace quillet::bench {
namespace {

// About `bytes` bytes of mixed text: CJK stretches of 4 to 30 characters from
// the generated lexicon's pool, separated by the things the normalizer works
// on. The same seed always gives the same text.
std::string mixed_text(std::size_t bytes) {
  static const char* const kInserts[] = {
      "，", "。", "、", "！", "？", "「", "」", "《", "》", "……", "——", " ", "：",
      "2024年", "3月15日", "HK$1,280", "$99", "USD 100", "€25", "3.5kg", "50%",
      "30°C", "12 km", "3/4", "10:30", "91234567", "1998", "第3屆", "7.5折",
      "OK", "hello", "mp3", "lol", "Wi-Fi", "app", "email", " ", "\n",
  };
  static const std::string cjk = generated_cjk_text(200000, 7);
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::size_t> run_chars(4, 30);
  std::uniform_int_distribution<std::size_t> start(0, cjk.size() / 3 - 31);
  std::uniform_int_distribution<std::size_t> insert(0, std::size(kInserts) - 1);
  std::string text;
  text.reserve(bytes + 128);
  while (text.size() < bytes) {
    text.append(cjk, start(rng) * 3, run_chars(rng) * 3);  // 3 bytes per character
    text += kInserts[insert(rng)];
  }
  return text;
}

const Pipeline& pipeline() {
  static const Pipeline p = [] {
    auto loaded = load_pipeline(generated_data_dir(), UserDict{}, true);
    if (!loaded.ok()) std::abort();
    return std::move(loaded).value();
  }();
  return p;
}

// A romanized-slang table of a realistic size: a few real entries and
// generated ones around them.
const DictFile& slang_table() {
  static const DictFile table = [] {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "quillet-bench-slang").string();
    std::filesystem::create_directories(dir);
    std::vector<DictEntry> entries = {{"lol", "笑死"}, {"ok", "好"}, {"app", "程式"},
                                      {"email", "電郵"}, {"mp3", "MP三"}};
    for (int i = 0; i < 3000; ++i) {
      std::string key = "w";  // appended: "w" + std::to_string(i) trips g++ 12's -Wrestrict
      key += std::to_string(i);
      entries.push_back({std::move(key), "詞"});
    }
    const std::string path = dir + "/romanized_slang.bin";
    if (!write_dict_file(path, std::move(entries)).ok()) std::abort();
    auto file = DictFile::open(path);
    if (!file.ok()) std::abort();
    return std::move(file).value();
  }();
  return table;
}

void BM_Tokenize(benchmark::State& state) {
  const std::string text = mixed_text(static_cast<std::size_t>(state.range(0)));
  const Pipeline& p = pipeline();
  for (auto _ : state) {
    auto tokens = tokenize(p, text);
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Tokenize)->RangeMultiplier(10)->Range(1 << 10, 10 << 20)->Unit(benchmark::kMicrosecond);

// Slang, punctuation and number passes back to back, as tokenize runs them,
// without segmentation.
void BM_RewritingPasses(benchmark::State& state) {
  const std::string text = mixed_text(static_cast<std::size_t>(state.range(0)));
  const DictFile& slang = slang_table();
  for (auto _ : state) {
    // As tokenize does: each intermediate text is released once read.
    std::string current = expand_romanized_slang(slang, text);
    current = normalize_punctuation(current);
    current = normalize_numbers(current);
    benchmark::DoNotOptimize(current.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RewritingPasses)
    ->RangeMultiplier(10)
    ->Range(1 << 10, 10 << 20)
    ->Unit(benchmark::kMicrosecond);

// Each pass alone on 1 MB, to see where the time goes.
constexpr std::size_t kOneMegabyte = 1 << 20;

void BM_SlangPass(benchmark::State& state) {
  const std::string text = mixed_text(kOneMegabyte);
  const DictFile& slang = slang_table();
  for (auto _ : state) benchmark::DoNotOptimize(expand_romanized_slang(slang, text).data());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SlangPass)->Unit(benchmark::kMicrosecond);

void BM_PunctuationPass(benchmark::State& state) {
  const std::string text = mixed_text(kOneMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(normalize_punctuation(text).data());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PunctuationPass)->Unit(benchmark::kMicrosecond);

void BM_NumberPass(benchmark::State& state) {
  const std::string text = normalize_punctuation(mixed_text(kOneMegabyte));
  for (auto _ : state) benchmark::DoNotOptimize(normalize_numbers(text).data());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_NumberPass)->Unit(benchmark::kMicrosecond);

void BM_SplitRuns(benchmark::State& state) {
  const std::string text = normalize_numbers(normalize_punctuation(mixed_text(kOneMegabyte)));
  const Pipeline& p = pipeline();
  for (auto _ : state) {
    std::vector<std::string> tokens;
    split_runs(p, text, tokens);
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SplitRuns)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
