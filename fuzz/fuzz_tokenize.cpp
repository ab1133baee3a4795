// Fuzz target: the normalizer and tokenizer on arbitrary valid UTF-8 (other
// inputs are skipped, as no caller can pass them). Every input is tokenized
// by three pipelines loaded once at start-up: punctuation folding on, off,
// and on with a romanized-slang table of awkward values (empty, whitespace,
// digits, punctuation, broken UTF-8). The promised shape of the output is
// checked and any violation aborts:
//  - no token is empty, none contains whitespace, every token is valid UTF-8;
//  - every token is a word of 1 to 10 ideographs, a run of ASCII letters (no
//    digit survives number rewriting), or one other code point;
//  - with folding on, no folded or deleted punctuation mark is left;
//  - reading the normalized text part by part (with a part size taken from
//    the input) gives exactly the tokens of reading it whole.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "dict_writer.h"
#include "fuzz_util.h"
#include "normalize/normalizer.h"
#include "normalize/token_windows.h"
#include "dict/segment.h"
#include "unicode.h"

namespace {

using quillet::Pipeline;
using quillet::fuzz::escaped;
using quillet::fuzz::fail;

void put_dict(const quillet::fuzz::ScratchDir& dir, std::string_view name,
              std::vector<quillet::DictEntry> entries) {
  auto bytes = quillet::encode_dict(std::move(entries));
  if (!bytes.ok()) fail("writer failed", bytes.error());
  dir.put(name, bytes.value());
}

Pipeline load(const quillet::fuzz::ScratchDir& dir, bool punc_norm) {
  quillet::UserDict user = {{"\u4F60\u597D", "nei5 hou2"},
                            {"\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341\u5341",
                             "x"}};
  auto p = quillet::load_pipeline(dir.path(), std::move(user), punc_norm);
  if (!p.ok()) fail("fixture pipeline did not load", p.error());
  return std::move(p).value();
}

// The three pipelines, built once per process. Their files are written to
// scratch directories that are removed again as soon as the pipelines are
// loaded: the mappings outlive the files, so nothing is left behind however
// the process ends.
struct Fixture {
  std::optional<Pipeline> folding;
  std::optional<Pipeline> verbatim;
  std::optional<Pipeline> odd_slang;

  Fixture() {
    const quillet::fuzz::ScratchDir plain_dir;  // word.bin, char.bin, a tame slang table
    const quillet::fuzz::ScratchDir odd_dir;    // the same with an awkward slang table
    const std::vector<quillet::DictEntry> words = {
        {"\u98DF\u98EF", "sik6 faan6"},            // 食飯
        {"\u4E00\u767E", "jat1 baak3"},            // 一百
        {"\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341\u5343",
         "eleven"},                                // 11 ideographs: never a token
        {"\u9999\u6E2F", "hoeng1 gong2"},          // 香港
        {"\u767E\u5206\u4E4B", "baak3 fan6 zi1"},  // 百分之
    };
    const std::vector<quillet::DictEntry> chars = {{"\u4E00", "jat1"}, {"\u597D", "hou2"}};
    for (const auto* dir : {&plain_dir, &odd_dir}) {
      put_dict(*dir, "word.bin", words);
      put_dict(*dir, "char.bin", chars);
    }
    put_dict(plain_dir, "romanized_slang.bin",
             {{"ok", "\u597D"}, {"lol", "\u54C8\u54C8"}, {"mp3", "mp3"}, {"nil", ""}});
    put_dict(odd_dir, "romanized_slang.bin",
             {{"a", ""},
              {"b", "   "},
              {"c", "12 345"},
              {"d", "\xE5\x92"},  // a cut-off sequence
              {"e", "\xFF\xFE"},  // not UTF-8 at all
              {"f", "\u2026\u2026\u3001--"},
              {"g", "\u3000\t\n"},
              {"h", "\uFF11\uFF12%"},  // full-width digits
              {"x", "x"},
              {"y", "Y1"}});
    folding.emplace(load(plain_dir, true));
    verbatim.emplace(load(plain_dir, false));
    odd_slang.emplace(load(odd_dir, true));
  }
};

// Marks that folding rewrites or deletes: none may survive as a token.
bool folded_away(char32_t c) {
  switch (c) {
    case 0x3001: case 0x2013: case 0x2014: case 0x2026: case 0x301C: case 0xFF5E:
    case 0x30FB: case 0x00B7: case 0x2022: case 0x2027: case 0x2018: case 0x2019:
    case 0x201C: case 0x201D: case 0x203B: case 0x25A0: case 0x25A1: case 0x25B2:
    case 0x25B3: case 0x25BC: case 0x25BD: case 0x25C6: case 0x25C7: case 0x25CB:
    case 0x25CE: case 0x25CF: case 0x2605: case 0x2606: case 0x3008: case 0x3009:
    case 0x300A: case 0x300B: case 0x300C: case 0x300D: case 0x300E: case 0x300F:
    case 0x3010: case 0x3011: case 0x3014: case 0x3015:
      return true;
    default:
      return false;
  }
}

bool is_any_digit(char32_t c) { return quillet::is_ascii_digit(c) || (c >= 0xFF10 && c <= 0xFF19); }

void check_tokens(const std::vector<std::string>& tokens, bool folding, std::string_view text,
                  std::string_view which) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const auto complain = [&](std::string_view what) {
      fail(what, std::string(which) + ": token " + std::to_string(i) + " \"" + escaped(t) +
                     "\" of \"" + escaped(text) + "\"");
    };
    if (t.empty()) complain("empty token");
    if (!quillet::is_valid_utf8(t)) complain("token is not valid UTF-8");
    const std::vector<char32_t> cps = quillet::decode_utf8(t);
    bool all_cjk = true, all_letters = true;
    for (char32_t c : cps) {
      if (quillet::is_white_space(c)) complain("token holds whitespace");
      if (is_any_digit(c)) complain("a digit survived number rewriting");
      if (folding && folded_away(c)) complain("a folded punctuation mark survived");
      all_cjk = all_cjk && quillet::is_cjk(c);
      all_letters = all_letters && quillet::is_ascii_letter(c);
    }
    const bool word = all_cjk && cps.size() <= quillet::kMaxWordChars;
    const bool other = cps.size() == 1 && quillet::char_class(cps[0]) == quillet::CharClass::Other;
    if (!word && !all_letters && !other) {
      complain("token is neither a word, a Latin run nor one symbol");
    }
  }
}

// The tokens of `text` made part by part, parts of about `budget` bytes.
std::vector<std::string> tokens_in_parts(const Pipeline& p, std::string_view text,
                                         std::size_t budget) {
  const std::string normalized = quillet::normalize_text(p, text);
  std::vector<std::string> tokens;
  for (std::size_t pos = 0; pos < normalized.size();) {
    const std::size_t next = quillet::split_runs_part(p, normalized, pos, budget, tokens);
    if (next <= pos) fail("a part made no progress", escaped(text));
    pos = next;
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Fixture fixture;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.empty() || !quillet::is_valid_utf8(text)) return 0;
  const std::vector<std::string> folded = quillet::tokenize(*fixture.folding, text);
  check_tokens(folded, true, text, "folding");
  const std::size_t budget = 1 + data[0] % 48;
  if (tokens_in_parts(*fixture.folding, text, budget) != folded) {
    fail("parts disagree with the whole", "budget " + std::to_string(budget) + ": " + escaped(text));
  }
  check_tokens(quillet::tokenize(*fixture.verbatim, text), false, text, "verbatim");
  check_tokens(quillet::tokenize(*fixture.odd_slang, text), true, text, "odd slang");
  return 0;
}
