// quillet_fuzz_seeds OUT_DIR: writes the seed corpus of every fuzz target into
// OUT_DIR/<target>/, building dictionary files with the project's writer, so
// no binary seed needs to live in the repository.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dict_writer.h"
#include "fuzz_util.h"

namespace {

using quillet::DictEntry;
using quillet::fuzz::InputWriter;

std::string dict_bytes(std::vector<DictEntry> entries,
                       quillet::PrefixTable prefixes = quillet::PrefixTable::Omit) {
  auto bytes = quillet::encode_dict(std::move(entries), prefixes);
  if (!bytes.ok()) {
    std::fprintf(stderr, "writer failed: %s\n", bytes.error().c_str());
    std::exit(1);
  }
  return std::move(bytes).value();
}

class SeedDir {
 public:
  SeedDir(const std::filesystem::path& root, std::string_view target) : dir_(root / target) {
    std::filesystem::create_directories(dir_);
  }
  void put(std::string_view bytes) {
    const auto path = dir_ / ("seed-" + std::to_string(++count_));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }

 private:
  std::filesystem::path dir_;
  int count_ = 0;
};

void dict_file_seeds(SeedDir seeds) {
  seeds.put(dict_bytes({}));
  seeds.put(dict_bytes({{"\u4E00", "jat1"}}));
  seeds.put(dict_bytes({{"a", "1"}, {"ab", "2"}, {"b", "3"}}));
  seeds.put(dict_bytes({{"x", ""}, {"xy", "shared"}, {"y", "shared"}}));
  seeds.put(dict_bytes({{"\u98DF", "sik6"}, {"\u98DF\u98EF", "sik6 faan6"},
                        {"\u98EF", "faan6"}, {"\u9999\u6E2F", "hoeng1 gong2"},
                        {"\u4E00", "jat1"}, {"\u4E00\u500B", "jat1 go3"},
                        {"\U00020000", "x"}, {"\uF900", "y"}}));
  seeds.put(dict_bytes({{std::string(300, 'k'), std::string(300, 'v')}, {"k", "short"}}));
  seeds.put(dict_bytes({{"a", "1"}, {"b", "2"}}) + "trailing bytes after the index");
  // Keys at the edges of index pages and of UTF-8 lengths, and keys that
  // start with no code point, so that the index has several pages.
  const std::string edges =
      dict_bytes({{"?", "1"}, {"@", "2"}, {"\x7F", "3"}, {"\u0080", "4"}, {"\u07FF", "5"},
                  {"\u0800", "6"}, {"\u4E3F", "7"}, {"\u4E40", "8"}, {"\u4E40\u4E00", "9"},
                  {"\uFFFF", "10"}, {"\U00010000", "11"}, {"\U0010FFFF", "12"},
                  {"\xC0\xAF", "13"}, {"\xFF", "14"}});
  seeds.put(edges);
  // The same table as a file from before the index, and with the index's
  // page count past the file.
  const std::size_t index_at = edges.find("CJYI");
  seeds.put(edges.substr(0, index_at));
  seeds.put(edges.substr(0, index_at + 8) + std::string(4, '\xFF') + edges.substr(index_at + 12));
  // With a prefix table after the index, so that mutations reach its
  // header and slots too.
  seeds.put(dict_bytes({{"\u98DF", "sik6"},
                        {"\u98DF\u98EF", "sik6 faan6"},
                        {"\u98DF\u98EF\u5531", "x"},
                        {"\u98EF", "faan6"},
                        {"\u4E00", "jat1"},
                        {"\u4E00\u500B", "jat1 go3"},
                        {"a", "1"},
                        {"ab", "2"},
                        {"\xC0\xAF", "3"}},
                       quillet::PrefixTable::Write));
  // Hand-made: one entry whose value runs past the pool.
  seeds.put(std::string("CJYP\x01\0\0\0\x01\0\0\0\x02\0\0\0", 16) +
            std::string("\0\0\0\0\x01\0\x01\0\0\0\x09\0", 12) + "ab");
}

// Segmentation inputs: bytes 0..7 stand for eight ideographs, written A..H.
std::string ideographs(std::string_view letters) {
  std::string out;
  for (char c : letters) out.push_back(static_cast<char>(c - 'A'));
  return out;
}

std::string segment_seed(const std::vector<std::string_view>& words,
                         const std::vector<std::string_view>& user, std::string_view run) {
  InputWriter w;
  w.byte(static_cast<std::uint8_t>(words.size()));
  for (auto word : words) w.field(ideographs(word));
  w.byte(static_cast<std::uint8_t>(user.size()));
  for (auto key : user) w.field(ideographs(key));
  w.raw(ideographs(run));
  return w.bytes();
}

void segment_seeds(SeedDir seeds) {
  seeds.put(segment_seed({"AB", "ABCD"}, {}, "ABCDE"));
  seeds.put(segment_seed({"ABC", "CD"}, {}, "ABCD"));
  seeds.put(segment_seed({}, {}, "ABC"));
  seeds.put(segment_seed({"AB"}, {"ABC"}, "ABCD"));
  seeds.put(segment_seed({"ABC"}, {"AB"}, "ABCD"));
  seeds.put(segment_seed({"ABCDEFGHAB"}, {}, "ABCDEFGHABCDEFGHAB"));
  seeds.put(segment_seed({"ABCDEFGHABC", "A"}, {"ABCDEFGHABC"}, "ABCDEFGHABCABCDEFGHABC"));
  seeds.put(segment_seed({"A", "AA", "AAA", "AB", "ABA", "BA", "HG", "HGF"}, {"B", "BB", "GH"},
                         "AAABABBBAHGFHGGHAABAAB"));
}

void tokenize_seeds(SeedDir seeds) {
  for (std::string_view text : {
           "\u597D\u2026\u2026", "a  b", "a--b", "a---b", "\u597D...\u4E86", "\u597D..\u4E86",
           "\u3001\u2013", "caf\u00E9", "\uFF21\uFF22", "\u4F60\u3000\u597D", "ABC!", "ok lol!",
           "mp3", "\u300C\u300D", " \t\n", "USD 100", "50%", "\uFF13.\uFF15\uFF05",
           "2024\u5E743\u670815\u65E5", "9123 4567", "1/2 3:4", "$12.50", "5 km",
           "18446744073709551616%", "\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D"
           "\u5341\u5343\u4E00",
           "a b c d e f g h", "\u2014\u2014\u2014", "\u00B7\u30FB\u2022", "OK\u597D",
           "\U00020000\U0002A6DF\u3007", "\u98DF\u98EF\u9999\u6E2F",
       }) {
    seeds.put(text);
  }
}

void data_dir_seeds(SeedDir seeds) {
  using Entries = std::vector<std::pair<std::string_view, std::string_view>>;
  const std::vector<Entries> files = {
      {{"\u98DF\u98EF", "sik6 faan6"}, {"\u9999\u6E2F", "hoeng1 gong2"},
       {"\u5927\u4EBA", "daai6 jan4"}},  // word
      {{"\u98DF", "sik6"}, {"\u98EF", "faan6"}, {"\u9673", "can4"}, {"\u500B", "go3"},
       {"\u597D", "hou2"}, {"\u4EBA", "jan4"}, {"\u5927", "daai6"}, {"\u54CB", "dei6"},
       {"\u5497", "zo2"}},  // char
      {{"\u98DF\u98EF", "sik6 faan6|zi6 faan6"}},  // word cands
      {{"\u597D", "hou2|hou3"}, {"\u5927", "|"}},  // char cands
      {{"\u98DF\u98EF", "ranked"}},  // word conf
      {{"\u597D", "tied"}},  // char conf
      {{"\u98DF\u98EF", "rime"}},  // word source
      {{"\u597D", "unihan"}},  // char source
      {{"\u98DF\u98EF", "sik6 faan6"}, {"\u5927\u4EBA", " "}},  // separable
      {{"ok", "\u597D"}, {"lol", "12"}},  // slang
      {{"\u500B", ""}, {"\u4EBA", ""}},  // classifiers
      {{"=\u597D", ""}, {"\u597D >@end", "hou3"}, {"\u597D <\u4EBA", "hou3"},
       {"@\u5927", "x"}, {"\u597D <@x", "hou2"}},  // context readings
  };
  const std::vector<std::string_view> texts = {
      "\u98DF\u5497\u98EF", "\u9673sir\u597D", "\u5927\u5927\u54CB", "\u500B\u500B\u4EBA",
      "USD 100", "\u597D\u2026\u2026", "ok 50%", "\u5927\u904E\u4EBA\u4EBA\u4EBA",
      "\u4EBA\u597D\u5927\u597D\u3002",
  };
  // mode_of(i) picks how file i is written; damage applies to mode 3.
  const auto seed = [&](auto mode_of, bool punc_norm) {
    InputWriter w;
    w.byte(punc_norm ? 1 : 0);
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::uint8_t mode = mode_of(i);
      w.byte(mode);
      if (mode == 0) continue;
      if (mode == 2) {
        w.blob(dict_bytes({{"\u98DF", "sik6"}}).substr(0, 20));
        continue;
      }
      w.byte(static_cast<std::uint8_t>(files[i].size()));
      for (auto [key, value] : files[i]) w.field(key).field(value);
      if (mode == 3) w.byte(static_cast<std::uint8_t>(20 + i)).byte(0).byte(0x40);
    }
    w.byte(1).field("\u5927\u4EBA").field("daai6 jan4");
    for (auto text : texts) w.field(text);
    return w.bytes();
  };
  seeds.put(seed([](std::size_t) { return std::uint8_t{1}; }, true));
  seeds.put(seed([](std::size_t) { return std::uint8_t{1}; }, false));
  seeds.put(seed([](std::size_t i) { return std::uint8_t(i < 2 ? 1 : 0); }, true));
  seeds.put(seed([](std::size_t i) { return std::uint8_t(i < 2 ? 1 : 3); }, true));
  seeds.put(seed([](std::size_t i) { return std::uint8_t(i < 2 ? 1 : 2); }, true));
  seeds.put(seed([](std::size_t i) { return std::uint8_t(i == 1 ? 3 : 1); }, true));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  dict_file_seeds(SeedDir(root, "fuzz_dict_file"));
  segment_seeds(SeedDir(root, "fuzz_segment"));
  tokenize_seeds(SeedDir(root, "fuzz_tokenize"));
  data_dir_seeds(SeedDir(root, "fuzz_data_dir"));
  return 0;
}
