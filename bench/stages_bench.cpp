// Every stage of a conversion on the real data directory and real spoken
// text: DictFile::get, segmentation, tokenize, and the three conversions, one
// utterance per call; then the cost curve, one call on texts of 100 to
// 10,000,000 characters made by joining the utterances, where characters per
// second should stay flat.
//
// Inputs: $QUILLET_BENCH_DATA (default: data/ of this checkout) and
// $QUILLET_BENCH_CORPUS, a tab-separated file whose second column is the text
// (default: ../shared/eval/gold_dev.tsv beside this checkout).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "dict/segment.h"
#include "normalize/normalizer.h"
#include "passes/context_readings.h"
#include "pipeline.h"
#include "resolution_memo.h"
#include "unicode.h"

namespace quillet::bench {
namespace {

// The checkout's root: this file lives in <root>/bench/.
std::string checkout_root() {
  std::string here = __FILE__;
  for (int up = 0; up < 2; ++up) here = here.substr(0, here.find_last_of('/'));
  return here;
}

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

std::vector<std::string> load_corpus() {
  const std::string path =
      env_or("QUILLET_BENCH_CORPUS", checkout_root() + "/../shared/eval/gold_dev.tsv");
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);) {
    const std::size_t a = line.find('\t');
    if (a == std::string::npos) continue;
    const std::size_t b = line.find('\t', a + 1);
    std::string text = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  if (texts.empty()) std::abort();  // a corpus that cannot be read is a setup fault
  return texts;
}

const std::vector<std::string>& corpus() {
  static const std::vector<std::string> t = load_corpus();
  return t;
}

std::size_t corpus_chars() {
  static const std::size_t n = [] {
    std::size_t chars = 0;
    for (const auto& t : corpus()) chars += count_code_points(t);
    return chars;
  }();
  return n;
}

const Pipeline& pipeline() {
  static const Pipeline p = [] {
    auto loaded = load_pipeline(env_or("QUILLET_BENCH_DATA", checkout_root() + "/data"),
                                UserDict{}, true);
    if (!loaded.ok()) std::abort();
    return std::move(loaded).value();
  }();
  return p;
}

// The CJK runs of the corpus, as the tokenizer would hand them to segmentation.
const std::vector<std::string>& cjk_runs() {
  static const std::vector<std::string> runs = [] {
    std::vector<std::string> out;
    for (const auto& text : corpus()) {
      std::size_t pos = 0, begin = 0;
      bool in_run = false;
      while (pos < text.size()) {
        const std::size_t start = pos;
        const bool cjk = is_cjk(next_code_point(text, pos));
        if (cjk && !in_run) begin = start;
        if (!cjk && in_run) out.push_back(text.substr(begin, start - begin));
        in_run = cjk;
      }
      if (in_run) out.push_back(text.substr(begin));
    }
    return out;
  }();
  return runs;
}

// The tokens of the corpus: the keys a conversion looks up, hits and misses.
const std::vector<std::string>& corpus_tokens() {
  static const std::vector<std::string> tokens = [] {
    std::vector<std::string> out;
    for (const auto& text : corpus()) {
      for (auto& token : tokenize(pipeline(), text)) out.push_back(std::move(token));
    }
    return out;
  }();
  return tokens;
}

// The tokens of each utterance of the corpus, as the passes see them: views
// (into copies that live as long as the views).
const std::vector<std::vector<std::string_view>>& utterance_tokens() {
  static const std::vector<std::vector<std::string>> owned = [] {
    std::vector<std::vector<std::string>> out;
    for (const auto& text : corpus()) out.push_back(tokenize(pipeline(), text));
    return out;
  }();
  static const std::vector<std::vector<std::string_view>> tokens = [] {
    std::vector<std::vector<std::string_view>> out;
    for (const auto& list : owned) out.emplace_back(list.begin(), list.end());
    return out;
  }();
  return tokens;
}

// `chars` code points of the corpus joined end to end (repeated as needed).
std::string joined_text(std::size_t chars) {
  std::string out;
  std::size_t have = 0;
  for (std::size_t i = 0; have < chars; i = (i + 1) % corpus().size()) {
    const std::string& t = corpus()[i];
    for (std::size_t pos = 0; pos < t.size() && have < chars; ++have) {
      const std::size_t start = pos;
      next_code_point(t, pos);
      out.append(t, start, pos - start);
    }
  }
  return out;
}

void rate_counters(benchmark::State& state, std::size_t chars_per_iteration,
                   std::size_t items_per_iteration) {
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["chars_per_second"] = benchmark::Counter(
      static_cast<double>(chars_per_iteration) * iterations, benchmark::Counter::kIsRate);
  state.counters["items_per_second"] = benchmark::Counter(
      static_cast<double>(items_per_iteration) * iterations, benchmark::Counter::kIsRate);
}

void BM_Get(benchmark::State& state) {
  const DictFile& words = pipeline().word_dict;
  std::size_t hits = 0;
  for (auto _ : state) {
    for (const auto& key : corpus_tokens()) hits += words.get(key).has_value();
  }
  benchmark::DoNotOptimize(hits);
  state.counters["lookups_per_second"] = benchmark::Counter(
      static_cast<double>(corpus_tokens().size()) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

void BM_Segment(benchmark::State& state) {
  const Pipeline& p = pipeline();
  std::size_t chars = 0;
  for (const auto& run : cjk_runs()) chars += count_code_points(run);
  std::vector<std::string_view> out;
  for (auto _ : state) {
    for (const auto& run : cjk_runs()) {
      out.clear();
      segment_run(run, CharClass::Cjk, p.word_dict, p.word_heads, p.user_dict,
                  p.user_dict_max_chars, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  rate_counters(state, chars, cjk_runs().size());
}

// The context-readings pass alone (its proposals, before any candidate
// check), one utterance's tokens per call: compare with BM_Convert.
void BM_ContextReadings(benchmark::State& state) {
  const Pipeline& p = pipeline();
  std::size_t proposals = 0;
  for (auto _ : state) {
    for (const auto& tokens : utterance_tokens()) {
      proposals +=
          context_readings(tokens, p.context_readings, p.context_targets, p.context_readings_keys)
              .size();
    }
  }
  benchmark::DoNotOptimize(proposals);
  rate_counters(state, corpus_chars(), corpus().size());
}

template <class Op>
void per_utterance(benchmark::State& state, Op op) {
  const Pipeline& p = pipeline();
  for (auto _ : state) {
    for (const auto& t : corpus()) benchmark::DoNotOptimize(op(p, t));
  }
  rate_counters(state, corpus_chars(), corpus().size());
}

auto tokenize_op = [](const Pipeline& p, const std::string& t) { return tokenize(p, t); };
auto convert_op = [](const Pipeline& p, const std::string& t) { return convert(p, t); };
auto detailed_op = [](const Pipeline& p, const std::string& t) { return convert_detailed(p, t); };
auto candidates_op = [](const Pipeline& p, const std::string& t) {
  return convert_candidates(p, t);
};

void BM_Tokenize(benchmark::State& s) { per_utterance(s, tokenize_op); }
void BM_Convert(benchmark::State& s) { per_utterance(s, convert_op); }
void BM_ConvertDetailed(benchmark::State& s) { per_utterance(s, detailed_op); }
void BM_ConvertCandidates(benchmark::State& s) { per_utterance(s, candidates_op); }

// A caller converting text after text as the Python module does: one kept
// storage for every call, so the rooms a call works in are reused, not
// allocated; compare with BM_Convert, a call that brings none.
void BM_ConvertKept(benchmark::State& state) {
  const Pipeline& p = pipeline();
  ConversionStorage storage;
  std::string out;
  for (auto _ : state) {
    for (const auto& t : corpus()) {
      convert_into(p, t, storage, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  rate_counters(state, corpus_chars(), corpus().size());
}

// The detailed records as a streaming caller reads them (token, first
// reading and labels, as views), with a kept storage and resolution memo as
// the Python module keeps them; compare with BM_ConvertDetailed, which
// copies every record into owned strings.
void BM_ResolvedKept(benchmark::State& state) {
  const Pipeline& p = pipeline();
  ConversionStorage storage;
  ResolutionMemo memo(kMemoTokens);
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& t : corpus()) {
      ResolvedWindows windows(p, t, storage, kWindowBytes, &memo);
      while (windows.next()) {
        for (std::size_t i = 0; i < windows.size(); ++i) {
          const ResolutionView& view = windows.resolution(i);
          bytes += windows.token(i).size() + windows.first(i).size() + view.confidence.size() +
                   view.source.size();
        }
      }
    }
  }
  benchmark::DoNotOptimize(bytes);
  rate_counters(state, corpus_chars(), corpus().size());
}

// One call on a joined text of state.range(0) characters.
template <class Op>
void long_text(benchmark::State& state, Op op) {
  const std::size_t chars = static_cast<std::size_t>(state.range(0));
  const std::string text = joined_text(chars);
  const Pipeline& p = pipeline();
  for (auto _ : state) benchmark::DoNotOptimize(op(p, text));
  rate_counters(state, chars, 1);
}

void BM_TokenizeLong(benchmark::State& s) { long_text(s, tokenize_op); }
void BM_ConvertLong(benchmark::State& s) { long_text(s, convert_op); }
void BM_ConvertDetailedLong(benchmark::State& s) { long_text(s, detailed_op); }
void BM_ConvertCandidatesLong(benchmark::State& s) { long_text(s, candidates_op); }

BENCHMARK(BM_Get)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Segment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tokenize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContextReadings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDetailed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertCandidates)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertKept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolvedKept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokenizeLong)->RangeMultiplier(10)->Range(100, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertLong)->RangeMultiplier(10)->Range(100, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDetailedLong)
    ->RangeMultiplier(10)
    ->Range(100, 10'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertCandidatesLong)
    ->RangeMultiplier(10)
    ->Range(100, 10'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
