// Tests of lookup_reading: passthrough, whole-token precedence and the
// character-by-character fallback with its separator rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dict/reading.h"
#include "unicode.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

// Characters used below.
const std::string kYat = "\xE4\xB8\x80";        // U+4E00, in char.bin
const std::string kYi = "\xE4\xBA\x8C";         // U+4E8C, in word.bin as a word of one
const std::string kSaam = "\xE4\xB8\x89";       // U+4E09, in both; word.bin wins
const std::string kSei = "\xE5\x9B\x9B";        // U+56DB, in no dictionary
const std::string kNg = "\xE4\xBA\x94";         // U+4E94, user dict and char.bin
const std::string kEmptyChar = "\xE5\x85\xAD";  // U+516D, char.bin value ""
const std::string kExtB = "\xF0\xA0\x80\x80";   // U+20000, in char.bin
const std::string kComma = "\xEF\xBC\x8C";      // U+FF0C full-width comma, not CJK

DictFile open_or_die(const std::string& path) {
  auto f = DictFile::open(path);
  if (!f.ok()) std::abort();
  return std::move(f).value();
}

struct Fixture {
  TempDir dir;
  DictFile word;
  DictFile chr;
  UserDict user;

  Fixture()
      : word(write_and_open(dir, "word.bin",
                            {{kYi, "ji6"},
                             {kSaam, "saam1-word"},
                             {kYat + kYi, "jat1 ji6 (word)"},
                             {kYat + kSaam, "word reading"},
                             {"ab", "latin word"},
                             {kComma, "comma"},
                             {"x", "eks1"}})),
        chr(write_and_open(dir, "char.bin",
                           {{kYat, "jat1"},
                            {kSaam, "saam1"},
                            {kNg, "ng5-char"},
                            {kEmptyChar, ""},
                            {kExtB, "ext1"}})),
        user({{kYat + kSaam, "user reading"},
              {kNg, "ng5"},
              {"ab", "user latin"},
              {"hello", "user hello"},
              {"q", "kiu1"},
              {kYat + kYi + " ", "trailing space"}}) {}

  static DictFile write_and_open(const TempDir& dir, const char* name,
                                 std::vector<DictEntry> entries) {
    testing::write_dict(dir, name, std::move(entries));
    return open_or_die(dir.file(name));
  }
};

TEST(Reading, RulesInOrder) {
  const Fixture f;
  struct Row {
    const char* name;
    std::string token;
    std::string expected;
  };
  const Row rows[] = {
      {"empty token", "", ""},
      {"latin word passes through despite user entry", "ab", "ab"},
      {"latin word passes through despite user entry 2", "hello", "hello"},
      {"digits pass through", "2024", "2024"},
      {"full-width comma passes through despite word entry", kComma, kComma},
      {"single latin letter passes through", "q", "q"},
      {"user beats word.bin for a whole token", kYat + kSaam, "user reading"},
      {"whole token from word.bin, user key with trailing space misses", kYat + kYi,
       "jat1 ji6 (word)"},
      {"char.bin then one-character word", kYat + kSaam + kYi, "jat1 saam1-word ji6"},
      {"char then unknown", kYat + kSei, "jat1 " + kSei},
      {"nothing known", kSei + kSei + kSei, kSei + " " + kSei + " " + kSei},
      {"single unknown character", kSei, kSei},
      {"user dict for a single character", kNg, "ng5"},
      {"user dict piece in fallback", kNg + kYat, "ng5 jat1"},
      {"word.bin beats char.bin per character", kSaam + kSaam, "saam1-word saam1-word"},
      {"4-byte character", kExtB + kYat, "ext1 jat1"},
      {"CJK with a latin letter: letter looked up too", kYat + "x", "jat1 eks1"},
      {"CJK with a user latin letter", "q" + kYat, "kiu1 jat1"},
      {"CJK with an unknown latin letter", kYat + "z", "jat1 z"},
      {"CJK with a full-width comma", kYat + kComma, "jat1 comma"},
      {"user key matches its exact bytes", kYat + kYi + " ", "trailing space"},
      // An empty piece adds nothing; the separator depends on the result so far.
      {"empty piece first", kEmptyChar + kYat, "jat1"},
      {"empty piece in the middle", kYat + kEmptyChar + kYi, "jat1  ji6"},
      {"empty piece last", kYat + kEmptyChar, "jat1 "},
      {"only empty pieces", kEmptyChar + kEmptyChar, ""},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(lookup_reading(r.token, f.word, f.chr, f.user), r.expected) << r.name;
  }
}

TEST(Reading, EmptyUserDictChangesNothing) {
  const Fixture f;
  const UserDict none;
  EXPECT_EQ(lookup_reading(kYat + kSaam, f.word, f.chr, none), "word reading");
  EXPECT_EQ(lookup_reading(kNg + kYat, f.word, f.chr, none), "ng5-char jat1");
}

// The candidate road asks the same layers with two candidate files added:
// each layer is named, and a word entry found by segmentation (Hit with its
// index, or Miss) gives exactly the answer of a token it never saw.
TEST(Reading, FindReadingNamesTheLayer) {
  const Fixture f;
  const DictFile word_candidates =
      Fixture::write_and_open(f.dir, "word_candidates.bin",
                              {{kYat + kYi, "a|b"}, {kYat + kSaam, "user wins"}, {kSei, "c"}});
  const DictFile char_candidates =
      Fixture::write_and_open(f.dir, "char_candidates.bin", {{kYat, "d|e"}, {kYi, "f"}});
  const ReadingTables plain{f.word, f.chr, f.user};
  const ReadingTables cands{f.word, f.chr, f.user, &word_candidates, &char_candidates};
  using L = ReadingLayer;
  struct Row {
    std::string token;
    const ReadingTables* tables;
    L layer;
    std::string value;
  };
  const Row rows[] = {
      {"ab", &cands, L::Passthrough, "ab"},
      {kYat + kSaam, &cands, L::User, "user reading"},
      {kYat + kYi, &cands, L::WordCandidates, "a|b"},
      {kYat + kYi, &plain, L::Word, "jat1 ji6 (word)"},
      {kSei, &cands, L::WordCandidates, "c"},
      {kYi, &cands, L::Word, "ji6"},  // a word of one character before char_candidates
      {kYat, &cands, L::CharCandidates, "d|e"},
      {kYat, &plain, L::Char, "jat1"},
      {kSei, &plain, L::Itself, kSei},
      {kEmptyChar, &plain, L::Char, ""},
      {kYat + kSei, &cands, L::CharByChar, ""},
  };
  for (const auto& r : rows) {
    const ReadingFound found = find_reading(*r.tables, r.token);
    EXPECT_EQ(found.layer, r.layer) << r.token;
    EXPECT_EQ(found.value, r.value) << r.token;
    if (r.layer == L::Passthrough || r.layer == L::User) continue;
    // What segmentation would know of the token's word.bin entry.
    WordMatch seen;
    if (const auto entry = f.word.find(r.token)) {
      seen = {WordMatch::Kind::Hit, entry->value, entry->index};
    } else if (is_single_code_point(r.token)) {
      seen.kind = WordMatch::Kind::Miss;
    } else {
      continue;
    }
    const ReadingFound hinted = find_reading(*r.tables, r.token, seen);
    EXPECT_EQ(hinted.layer, found.layer) << r.token;
    EXPECT_EQ(hinted.value, found.value) << r.token;
    EXPECT_EQ(hinted.index, found.index) << r.token;
  }
}

}  // namespace
}  // namespace quillet
