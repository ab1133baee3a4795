// Fuzz target: hostile data directories. The input describes every data file
// (each absent, written by the project's writer from input-derived entries,
// raw bytes, or written and then damaged), a UserDict, the punctuation switch
// and some texts. A Pipeline is loaded when it can be, and every text is run
// through convert, convert_detailed and convert_candidates. Beyond surviving,
// the three must agree: the same tokens as tokenize, the same labels, the
// detailed reading equal to the first candidate, never an empty candidate
// list, and the Lang label that the token text implies; and the load-time
// filters (word.bin's heads, context_readings.bin's keys) change nothing.
//
// Input layout (read front to back; a short input just ends early):
//   byte   flags: bit 0 = punc_norm
//   for each file, in load order:
//     byte mode % 4: 0 absent, 1 entries, 2 raw blob, 3 entries then damage
//       entries: byte n % 32, then n x (key field, value field), then byte
//                bit 0 = write a prefix table
//       raw:     blob
//       damage:  two bytes position, one byte: 0 truncates at the position,
//                anything else is XORed into the byte there
//   byte   n % 8 user entries: n x (key field, value field)
//   up to 8 text fields
// Keys and texts that are not valid UTF-8 are spelled in kPieces (see
// expand_text), values are taken raw.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "dict/segment.h"
#include "dict_writer.h"
#include "fuzz_util.h"
#include "normalize/normalizer.h"
#include "passes/context_readings.h"
#include "pipeline.h"
#include "unicode.h"

namespace {

using quillet::fuzz::escaped;
using quillet::fuzz::expand_text;
using quillet::fuzz::fail;

// Every file of the loader's table, in load order.
std::vector<std::string_view> data_file_names() {
  std::vector<std::string_view> names;
  for (const auto& file : quillet::kRequiredFiles) names.push_back(file.name);
  for (const auto& file : quillet::kOptionalFiles) names.push_back(file.name);
  return names;
}

// Pieces that the context passes, the number pass and the folding react to.
const std::vector<std::string_view> kPieces = {
    "\u98DF", "\u98EF", "\u5497", "\u904E", "\u7DCA", "\u958B", "\u54CB", "\u500B",
    "\u9673", "sir",    "Sir",    "\u4E00", "\u4EBA", "\u5927", "\u597D", "\u5E74",
    "1",      "2",      "0",      "%",      ".",      "\uFF0C", "\u3002", "a",
    "b",      " ",      "-",      "\u2026", "\u300C", "\u5143", "$",      "/",
    // The key language of context_readings.bin: markers, sides, a class.
    "=",      "@",      " <",     " >",     " <@",    " >@",    "end",    "\u5230",
};

std::string build_file(quillet::fuzz::InputReader& in, std::uint8_t mode) {
  if (mode == 2) return std::string(in.blob());
  std::map<std::string, std::string> entries;
  for (std::size_t n = in.byte() % 32; n > 0; --n) {
    std::string key = expand_text(in.field(), kPieces);
    entries.emplace(std::move(key), std::string(in.field()));
  }
  std::vector<quillet::DictEntry> list;
  for (auto& [key, value] : entries) list.push_back({key, value});
  // Half the files get a prefix table, as the data build writes word.bin.
  const auto prefixes = in.byte() % 2 ? quillet::PrefixTable::Write : quillet::PrefixTable::Omit;
  auto bytes = quillet::encode_dict(std::move(list), prefixes);
  if (!bytes.ok()) fail("the writer rejected generated entries", bytes.error());
  std::string file = std::move(bytes).value();
  if (mode == 3 && !file.empty()) {
    const std::size_t lo = in.byte();
    const std::size_t at = (lo | std::size_t{in.byte()} << 8) % file.size();
    const std::uint8_t what = in.byte();
    if (what == 0) {
      file.resize(at);
    } else {
      file[at] = static_cast<char>(static_cast<std::uint8_t>(file[at]) ^ what);
    }
  }
  return file;
}

std::string_view expected_lang(std::string_view text) {
  if (quillet::contains_cjk(text)) return "yue";
  for (char c : text) {
    if (!quillet::is_ascii_alnum(static_cast<unsigned char>(c))) return "punct";
  }
  return "en";
}

void check_text(const quillet::Pipeline& p, const std::string& text) {
  const auto complain = [&](std::string_view what, std::size_t i) {
    fail(what, "token " + std::to_string(i) + " of \"" + escaped(text) + "\"");
  };
  const std::string joined = quillet::convert(p, text);
  const std::vector<std::string> tokens = quillet::tokenize(p, text);
  const auto detailed = quillet::convert_detailed(p, text);
  const auto candidates = quillet::convert_candidates(p, text);
  if (detailed.size() != tokens.size() || candidates.size() != tokens.size()) {
    complain("token counts differ between tokenize and the conversions", tokens.size());
  }
  if (tokens.empty() && !joined.empty()) complain("convert returned text for no tokens", 0);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const quillet::Token& d = detailed[i];
    const quillet::CandidateToken& c = candidates[i];
    if (d.token != tokens[i] || c.token != tokens[i]) complain("token text differs", i);
    if (c.candidate_readings.empty()) complain("no candidate reading", i);
    if (d.jyutping != c.candidate_readings[0]) complain("reading is not the first candidate", i);
    if (d.lang != c.lang || d.confidence != c.confidence || d.source != c.source) {
      complain("labels differ between detailed and candidates", i);
    }
    // Confidence and source may legitimately be empty: a stored empty label
    // is handed on as it stands, so only Lang is checked against the text.
    if (d.lang != expected_lang(tokens[i])) complain("wrong Lang label", i);
  }
  // The heads filter of word.bin only spares probes that would find no
  // node: the walk without it cuts the same tokens and finds the same entries.
  if (quillet::is_valid_utf8(text)) {
    std::vector<std::string_view> with, without;
    std::vector<quillet::WordMatch> with_m, without_m;
    quillet::segment_run(text, quillet::CharClass::Cjk, p.word_dict, p.word_heads, {}, 0, with,
                         &with_m);
    quillet::segment_run(text, quillet::CharClass::Cjk, p.word_dict, quillet::KeyFilter(), {}, 0,
                         without, &without_m);
    if (with != without) complain("the heads filter changed the cuts", 0);
    for (std::size_t i = 0; i < with_m.size() && i < without_m.size(); ++i) {
      if (with_m[i].kind != without_m[i].kind || with_m[i].index != without_m[i].index) {
        complain("the heads filter changed a match", i);
      }
    }
  }
  // The load-time filter of context_readings.bin only spares searches that
  // would miss: the full search proposes the same readings.
  const std::vector<std::string_view> views(tokens.begin(), tokens.end());
  const quillet::ReadingChanges filtered = quillet::context_readings(
      views, p.context_readings, p.context_targets, p.context_readings_keys);
  const quillet::ReadingChanges searched =
      quillet::context_readings(views, p.context_readings, p.context_targets, quillet::KeyFilter());
  if (filtered.size() != searched.size()) complain("the key filter changed a proposal", 0);
  for (auto a = filtered.begin(), b = searched.begin(); a != filtered.end(); ++a, ++b) {
    if (a->index != b->index || a->reading != b->reading) {
      complain("the key filter changed a proposal", a->index);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillet::fuzz::InputReader in(data, size);
  const bool punc_norm = in.byte() & 1;
  std::optional<quillet::fuzz::ScratchDir> dir(std::in_place);
  static const std::vector<std::string_view> names = data_file_names();
  for (std::string_view name : names) {
    const std::uint8_t mode = in.byte() % 4;
    if (mode != 0) dir->put(name, build_file(in, mode));
  }
  quillet::UserDict user;
  for (std::size_t n = in.byte() % 8; n > 0; --n) {
    std::string key = expand_text(in.field(), kPieces);
    user.insert_or_assign(std::move(key), std::string(in.field()));
  }
  auto loaded = quillet::load_pipeline(dir->path(), std::move(user), punc_norm);
  dir.reset();  // the mappings outlive the files; a crash below leaves nothing behind
  if (!loaded.ok()) {
    if (loaded.error().empty()) fail("a load failure without a message", "");
    return 0;
  }
  for (int n = 0; n < 8 && !in.empty(); ++n) {
    const std::string text = expand_text(in.field(), kPieces);
    if (!text.empty()) check_text(loaded.value(), text);
  }
  return 0;
}
