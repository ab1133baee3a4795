// Generated lexicon for the benchmarks. Characters are drawn with a skewed
// distribution over 6,000 common ideographs so that, as in real text, a few
// characters start many words.
#include "bench_util.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "dict_writer.h"
#include "unicode.h"

namespace quillet::bench {
namespace {

constexpr char32_t kFirst = 0x4E00;
constexpr std::size_t kPool = 6000;

char32_t draw_char(std::mt19937& rng) {
  // Squaring a uniform draw favours low indices: a cheap Zipf-like skew.
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double x = u(rng);
  return kFirst + static_cast<char32_t>(x * x * (kPool - 1));
}

std::string syllable(char32_t c) {
  static const char* const kInitials[] = {"b", "p", "m", "f", "d", "t", "n", "l", "g", "k",
                                          "ng", "h", "gw", "kw", "w", "z", "c", "s", "j"};
  static const char* const kFinals[] = {"aa", "aai", "aau", "aam", "aan", "aang", "ai", "au",
                                        "am", "an", "ang", "e", "ei", "eng", "i", "iu", "im",
                                        "in", "ing", "o", "oi", "ou", "on", "ong", "u", "ung"};
  const unsigned v = static_cast<unsigned>(c);
  return std::string(kInitials[v % 19]) + kFinals[(v / 19) % 26] + std::to_string(1 + v % 6);
}

std::string reading_of(const std::string& word) {
  std::string r;
  for (char32_t c : decode_utf8(word)) {
    if (!r.empty()) r += ' ';
    r += syllable(c);
  }
  return r;
}

}  // namespace

const std::vector<std::string>& generated_words(std::size_t word_count) {
  static std::map<std::size_t, std::vector<std::string>> cache;
  auto& words = cache[word_count];
  if (!words.empty()) return words;
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> len(2, 6);
  std::set<std::string> seen;
  while (seen.size() < word_count) {
    std::string w;
    const int n = len(rng);
    for (int i = 0; i < n; ++i) append_utf8(w, draw_char(rng));
    seen.insert(std::move(w));
  }
  words.assign(seen.begin(), seen.end());
  return words;
}

const std::string& generated_data_dir(std::size_t word_count) {
  static std::map<std::size_t, std::string> dirs;
  auto& dir = dirs[word_count];
  if (!dir.empty()) return dir;
  dir = (std::filesystem::temp_directory_path() /
         ("quillet-bench-" + std::to_string(word_count)))
            .string();
  std::filesystem::create_directories(dir);
  std::vector<DictEntry> words, chars;
  for (const auto& w : generated_words(word_count)) words.push_back({w, reading_of(w)});
  for (std::size_t i = 0; i < kPool; ++i) {
    std::string c;
    append_utf8(c, kFirst + static_cast<char32_t>(i));
    chars.push_back({c, syllable(kFirst + static_cast<char32_t>(i))});
    words.push_back({c, syllable(kFirst + static_cast<char32_t>(i))});
  }
  if (!write_dict_file(dir + "/word.bin", std::move(words)).ok() ||
      !write_dict_file(dir + "/char.bin", std::move(chars)).ok()) {
    std::abort();
  }
  return dir;
}

std::string generated_cjk_text(std::size_t chars, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  text.reserve(chars * 3);
  for (std::size_t i = 0; i < chars; ++i) append_utf8(text, draw_char(rng));
  return text;
}

}  // namespace quillet::bench
