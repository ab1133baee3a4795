// Throughput of the three conversions, in input characters per second, on
// realistic mixed text: sentences of dictionary words and loose characters
// with numbers, English words and punctuation, converted one sentence per
// call as a caller would. Runs against the generated 400,000-word lexicon,
// once with only word.bin and char.bin and once with every optional file
// (candidates, labels, separable pairs, classifiers) beside them.
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
#include "pipeline.h"
#include "unicode.h"

namespace quillet::bench {
namespace {

// Sentences of 10 to 60 characters, about `total_chars` characters in all.
// Three quarters of the CJK material are lexicon words, the rest loose
// characters; inserts bring numbers, Latin words and punctuation.
std::vector<std::string> sentences(std::size_t total_chars) {
  static const char* const kInserts[] = {"，", "。", "！", "？", "、", "「", "」", " ",
                                         "2024年", "3.5kg", "50%", "HK$120", "OK", "app",
                                         "email", "Sir", "mp3", "，", "。"};
  const auto& words = generated_words();
  const std::string loose = generated_cjk_text(100000, 11);
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> length(10, 60);
  std::vector<std::string> out;
  std::size_t chars = 0;
  while (chars < total_chars) {
    std::string s;
    const std::size_t target = length(rng);
    while (count_code_points(s) < target) {
      const unsigned pick = rng() % 8;
      if (pick < 5) {
        s += words[rng() % words.size()];
      } else if (pick < 7) {
        s.append(loose, (rng() % (loose.size() / 3 - 2)) * 3, 3);
      } else {
        s += kInserts[rng() % std::size(kInserts)];
      }
    }
    chars += count_code_points(s);
    out.push_back(std::move(s));
  }
  return out;
}

const std::vector<std::string>& corpus() {
  static const std::vector<std::string> c = sentences(200000);
  return c;
}

std::size_t corpus_chars() {
  static const std::size_t n = [] {
    std::size_t total = 0;
    for (const auto& s : corpus()) total += count_code_points(s);
    return total;
  }();
  return n;
}

// The generated lexicon plus every optional file, in a directory of its own
// that links to the generated word.bin and char.bin.
std::string full_data_dir() {
  namespace fs = std::filesystem;
  const std::string& base = generated_data_dir();
  const std::string dir = (fs::temp_directory_path() / "quillet-bench-convert-full").string();
  fs::create_directories(dir);
  for (const char* name : {"word.bin", "char.bin"}) {
    std::error_code ignored;
    fs::remove(dir + "/" + name, ignored);
    fs::create_symlink(base + "/" + name, dir + "/" + name);
  }
  std::mt19937 rng(3);
  std::vector<DictEntry> word_cand, word_conf, word_src, char_cand, char_conf, char_src,
      separable, classifiers;
  const auto& words = generated_words();
  for (std::size_t i = 0; i < words.size(); i += 4) {
    word_cand.push_back({words[i], "cand one|cand two"});
    word_conf.push_back({words[i], i % 8 ? "ranked" : "tied"});
    word_src.push_back({words[i], "rime"});
  }
  for (char32_t c = 0x4E00; c < 0x4E00 + 6000; c += 3) {
    std::string ch;
    append_utf8(ch, c);
    char_cand.push_back({ch, "aa1|bb2|cc3"});
    char_conf.push_back({ch, "ranked"});
    char_src.push_back({ch, "unihan"});
    if (c % 30 == 0) classifiers.push_back({ch, ""});
    if (c % 7 == 0) {
      std::string pair = ch;
      append_utf8(pair, c + 1);
      separable.push_back({pair, "aa1 bb2"});
    }
  }
  const std::pair<const char*, std::vector<DictEntry>*> files[] = {
      {"word_candidates.bin", &word_cand},   {"word_candidates_confidence.bin", &word_conf},
      {"word_source.bin", &word_src},        {"char_candidates.bin", &char_cand},
      {"char_candidates_confidence.bin", &char_conf}, {"char_source.bin", &char_src},
      {"separable.bin", &separable},         {"classifier_words.bin", &classifiers}};
  for (const auto& [name, entries] : files) {
    if (!write_dict_file(dir + "/" + name, std::move(*entries)).ok()) std::abort();
  }
  return dir;
}

const Pipeline& pipeline(bool full) {
  static const Pipeline plain = [] {
    auto p = load_pipeline(generated_data_dir(), UserDict{}, true);
    if (!p.ok()) std::abort();
    return std::move(p).value();
  }();
  static const Pipeline with_all = [] {
    auto p = load_pipeline(full_data_dir(), UserDict{}, true);
    if (!p.ok()) std::abort();
    return std::move(p).value();
  }();
  return full ? with_all : plain;
}

template <class Convert>
void run(benchmark::State& state, Convert convert_one) {
  const Pipeline& p = pipeline(state.range(0) != 0);
  const auto& texts = corpus();
  for (auto _ : state) {
    for (const auto& text : texts) benchmark::DoNotOptimize(convert_one(p, text));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus_chars()));
  state.SetLabel(state.range(0) ? "all optional files" : "word.bin + char.bin");
}

void BM_Convert(benchmark::State& state) {
  run(state, [](const Pipeline& p, const std::string& t) { return convert(p, t); });
}
void BM_ConvertDetailed(benchmark::State& state) {
  run(state, [](const Pipeline& p, const std::string& t) { return convert_detailed(p, t); });
}
void BM_ConvertCandidates(benchmark::State& state) {
  run(state, [](const Pipeline& p, const std::string& t) { return convert_candidates(p, t); });
}

// The shared front end alone, for the share of each conversion it takes.
void BM_TokenizeOnly(benchmark::State& state) {
  run(state, [](const Pipeline& p, const std::string& t) { return tokenize(p, t); });
}

BENCHMARK(BM_TokenizeOnly)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDetailed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertCandidates)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
