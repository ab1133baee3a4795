// Fuzz target: segmentation against a reference. A word dictionary (built with
// the project's writer), a UserDict and a CJK run all come from the input,
// spelled in a small alphabet of ideographs of every UTF-8 width so that keys
// share long prefixes with the run. segment_run, with its narrowing prefix
// walk, must cut exactly where the plain greedy rule cuts: at each position
// try k = n..1 code points with DictFile::get, the same for the UserDict up to
// its longest key (both capped at 10), and take the longer match. Half the
// files get a prefix table, whose walk asks the heads filter the loader makes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dict/lookup.h"
#include "dict_writer.h"
#include "fuzz_util.h"
#include "dict/segment.h"
#include "unicode.h"
#include "dict/user_dict.h"

namespace {

using quillet::DictFile;
using quillet::UserDict;
using quillet::fuzz::escaped;
using quillet::fuzz::fail;
using quillet::fuzz::map_to_alphabet;

// Ideographs from every CJK range the engine knows, 3 and 4 bytes long.
const std::vector<std::string_view> kIdeographs = {
    "\u4E00", "\u4EBA", "\u5927", "\u9FFF", "\u3400", "\U00020000", "\U0002A6DF", "\uF900",
};

constexpr std::size_t kMaxRunChars = 300;

std::vector<std::string> greedy_reference(std::string_view run, const DictFile& dict,
                                          const UserDict& user, std::size_t user_max_chars) {
  std::vector<std::string> out;
  std::string_view rest = run;
  while (!rest.empty()) {
    std::vector<std::size_t> ends;  // byte end of the first k code points, k = 1..n
    for (std::size_t pos = 0; pos < rest.size() && ends.size() < quillet::kMaxWordChars;) {
      quillet::next_code_point(rest, pos);
      ends.push_back(pos);
    }
    std::size_t dict_len = 0;
    if (dict.entry_count() > 0) {
      for (std::size_t k = ends.size(); k >= 1; --k) {
        if (dict.get(rest.substr(0, ends[k - 1]))) {
          dict_len = ends[k - 1];
          break;
        }
      }
    }
    std::size_t user_len = 0;
    if (!user.empty() && user_max_chars > 0) {
      const std::size_t m = std::min({user_max_chars, quillet::kMaxWordChars, ends.size()});
      for (std::size_t k = m; k >= 1; --k) {
        if (user.count(std::string(rest.substr(0, ends[k - 1])))) {
          user_len = ends[k - 1];
          break;
        }
      }
    }
    std::size_t len = std::max(dict_len, user_len);
    if (len == 0) len = ends[0];
    out.emplace_back(rest.substr(0, len));
    rest.remove_prefix(len);
  }
  return out;
}

std::string describe(const std::vector<std::string>& tokens) {
  std::string s;
  for (const std::string& t : tokens) s += "[" + escaped(t) + "]";
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillet::fuzz::ScratchFile scratch;
  quillet::fuzz::InputReader in(data, size);

  std::map<std::string, std::string> words;  // sorted and unique, as the writer wants
  for (std::size_t n = in.byte() % 64; n > 0; --n) {
    words.emplace(map_to_alphabet(in.field(), kIdeographs), "w");
  }
  UserDict user;
  for (std::size_t n = in.byte() % 16; n > 0; --n) {
    user.emplace(map_to_alphabet(in.field(), kIdeographs), "u");
  }
  const std::string run = map_to_alphabet(in.bytes(kMaxRunChars), kIdeographs);

  std::vector<quillet::DictEntry> entries;
  for (const auto& [key, value] : words) entries.push_back({key, value});
  // Half the files get a prefix table, whose walk asks the heads filter.
  const auto prefixes = in.byte() % 2 ? quillet::PrefixTable::Write : quillet::PrefixTable::Omit;
  auto bytes = quillet::encode_dict(std::move(entries), prefixes);
  if (!bytes.ok()) fail("the writer rejected generated entries", bytes.error());
  scratch.write(bytes.value());
  auto dict = DictFile::open(scratch.path());
  if (!dict.ok()) fail("a file from the writer did not open", dict.error());

  const std::size_t user_max = quillet::max_key_chars(user);
  std::vector<std::string> got;
  quillet::segment_run(run, quillet::CharClass::Cjk, dict.value(),
                       quillet::KeyFilter::of_heads(dict.value()), user, user_max, got);
  const std::vector<std::string> want = greedy_reference(run, dict.value(), user, user_max);
  if (got != want) {
    fail("segment_run differs from the greedy reference",
         "run " + escaped(run) + "\n got  " + describe(got) + "\n want " + describe(want));
  }
  return 0;
}
