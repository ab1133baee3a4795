// The three conversions end to end: what distinguishes the plain road from
// the candidate road, labels and Lang, the passes in place, invariants over
// random texts and data, and concurrent use of one Pipeline.
#include "pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dict/data_dir.h"
#include "labels.h"
#include "test_util.h"
#include "unicode.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::write_dict;

using testing::load;

std::string show(const std::vector<Token>& tokens) {
  std::string s;
  for (const auto& t : tokens) {
    s += "[" + t.token + "|" + t.jyutping + "|" + t.lang + "|" + t.confidence + "|" + t.source + "]";
  }
  return s;
}

std::string show(const std::vector<CandidateToken>& tokens) {
  std::string s;
  for (const auto& t : tokens) {
    s += "[" + t.token + "|";
    for (std::size_t i = 0; i < t.candidate_readings.size(); ++i) {
      s += (i ? "/" : "") + t.candidate_readings[i];
    }
    s += "|" + t.lang + "|" + t.confidence + "|" + t.source + "]";
  }
  return s;
}

TEST(Pipeline, EmptyAndTokenlessTexts) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"我", "ngo5"}});
  write_dict(dir, "char.bin", {{"我", "ngo5"}});
  const Pipeline p = load(dir);
  for (const char* text : {"", " ", " \t\n", "\xE3\x80\x80"}) {  // the last is an ideographic space
    EXPECT_EQ(convert(p, text), "") << "text '" << text << "'";
    EXPECT_TRUE(convert_detailed(p, text).empty()) << "text '" << text << "'";
    EXPECT_TRUE(convert_candidates(p, text).empty()) << "text '" << text << "'";
  }
}

// An empty stored reading still takes its place between single spaces, at
// the start, the end and the edges of windows alike.
TEST(Pipeline, EmptyReadingsKeepTheirSpaces) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"甲乙", ""}});
  write_dict(dir, "char.bin", {{"丙", "bing2"}});
  const Pipeline p = load(dir);
  const struct {
    const char* text;
    const char* convert;
  } rows[] = {
      {"甲乙丙", " bing2"}, {"丙甲乙", "bing2 "}, {"甲乙", ""}, {"甲乙甲乙", " "},
      {"甲乙 甲乙 丙", "  bing2"},
  };
  for (const auto& row : rows) {
    for (std::size_t window : {std::size_t{1}, std::size_t{4}, std::size_t{1} << 20}) {
      EXPECT_EQ(convert(p, row.text, window), row.convert)
          << "text '" << row.text << "' window " << window;
    }
  }
}

// One data directory in which each row shows one difference between the
// roads or one pass at work (or not at work).
class PipelineRoads : public ::testing::Test {
 protected:
  void SetUp() override {
    write_dict(dir_, "word.bin",
               {{"銀行", "ngan4 hong4"}, {"我哋", "ngo5 dei6"}, {"食飯", "sik6 faan6"}});
    write_dict(dir_, "char.bin",
               {{"我", "ngo5"}, {"去", "heoi3"}, {"陳", "can4"}, {"李", "lei5"}, {"個", "go3"},
                {"哋", "dei6"}, {"人", "jan4"}, {"咗", "zo2"}, {"瞓", "fan3"}, {"覺", "gok3"}});
    write_dict(dir_, "word_candidates.bin", {{"銀行", "ngan4 hang4|ngan4 hong4"}});
    write_dict(dir_, "char_candidates.bin", {{"個", "go3|go4"}});
    write_dict(dir_, "classifier_words.bin", {{"個", ""}});
    write_dict(dir_, "separable.bin", {{"瞓覺", "fan3 gaau3"}});
  }
  TempDir dir_;
};

TEST_F(PipelineRoads, ConvertAndDetailedTable) {
  const Pipeline p = load(dir_);
  struct Row {
    const char* text;
    const char* convert;
    const char* detailed;
  };
  const Row rows[] = {
      // The first stored candidate differs from the plain reading.
      {"我哋去銀行", "ngo5 dei6 heoi3 ngan4 hong4",
       "[我哋|ngo5 dei6|yue|certain|unknown][去|heoi3|yue|certain|unknown]"
       "[銀行|ngan4 hang4|yue|tied|unknown]"},
      {"abc\xEF\xBC\x8C", "abc \xEF\xBC\x8C",
       "[abc|abc|en|certain|passthrough][\xEF\xBC\x8C|\xEF\xBC\x8C|punct|certain|passthrough]"},
      {"陳Sir", "can2 Sir", "[陳|can2|yue|certain|address_sandhi][Sir|Sir|en|certain|passthrough]"},
      {"陳 sir", "can2 sir", "[陳|can2|yue|certain|address_sandhi][sir|sir|en|certain|passthrough]"},
      {"陳sirs", "can4 sirs", "[陳|can4|yue|certain|unknown][sirs|sirs|en|certain|passthrough]"},
      {"李sir", "lei5 sir", "[李|lei5|yue|certain|unknown][sir|sir|en|certain|passthrough]"},
      {"sir", "sir", "[sir|sir|en|certain|passthrough]"},
      // AA-dei and classifier both change the second 個.
      {"個個哋", "go3 go2 dei2",
       "[個|go3|yue|tied|unknown][個|go2|yue|certain|classifier_reduplication]"
       "[哋|dei2|yue|certain|aa_dei_sandhi]"},
      {"個個", "go3 go2", "[個|go3|yue|tied|unknown][個|go2|yue|certain|classifier_reduplication]"},
      {"人人哋", "jan4 jan2 dei2",
       "[人|jan4|yue|certain|unknown][人|jan2|yue|certain|aa_dei_sandhi]"
       "[哋|dei2|yue|certain|aa_dei_sandhi]"},
      {"瞓咗覺", "fan3 zo2 gaau3",
       "[瞓|fan3|yue|certain|separable_compound][咗|zo2|yue|certain|unknown]"
       "[覺|gaau3|yue|certain|separable_compound]"},
      {"瞓了覺", "fan3 了 gok3",
       "[瞓|fan3|yue|certain|unknown][了|了|yue|certain|unresolved][覺|gok3|yue|certain|unknown]"},
      {"去咗", "heoi3 zo2", "[去|heoi3|yue|certain|unknown][咗|zo2|yue|certain|unknown]"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(convert(p, row.text), row.convert) << "text '" << row.text << "'";
    EXPECT_EQ(show(convert_detailed(p, row.text)), row.detailed) << "text '" << row.text << "'";
  }
}

TEST_F(PipelineRoads, CandidatesKeepRankOrderUntilAPassChangesThem) {
  const Pipeline p = load(dir_);
  EXPECT_EQ(show(convert_candidates(p, "銀行個")),
            "[銀行|ngan4 hang4/ngan4 hong4|yue|tied|unknown][個|go3/go4|yue|tied|unknown]");
  EXPECT_EQ(show(convert_candidates(p, "個個")),
            "[個|go3/go4|yue|tied|unknown][個|go2|yue|certain|classifier_reduplication]");
}

TEST_F(PipelineRoads, UserReadingIsDroppedByAPass) {
  UserDict user;
  user.emplace("陳", "can6");
  const Pipeline p = load(dir_, std::move(user));
  EXPECT_EQ(convert(p, "陳sir"), "can2 sir");
  EXPECT_EQ(show(convert_detailed(p, "陳。")), "[陳|can6|yue|certain|user_dict][。|。|punct|certain|passthrough]");
  EXPECT_EQ(show(convert_candidates(p, "陳sir")),
            "[陳|can2|yue|certain|address_sandhi][sir|sir|en|certain|passthrough]");
}

// Context readings choose among a token's candidates, on both roads alike;
// the four later passes still have the last word.
TEST(PipelineContextReadings, ChooseAmongCandidatesBeforeTheOtherPasses) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"搵", "wan2"}});
  write_dict(dir, "char.bin",
             {{"到", "dou3"}, {"我", "ngo5"}, {"陳", "can4"}, {"個", "go3"},
              {"你", "nei5"}});
  write_dict(dir, "char_candidates.bin",
             {{"到", "dou3|dou2"}, {"陳", "can4|can5"}, {"個", "go3|go4"}});
  write_dict(dir, "char_candidates_confidence.bin", {{"到", "tied"}});
  write_dict(dir, "char_source.bin", {{"到", "tojyutping"}});
  write_dict(dir, "classifier_words.bin", {{"個", ""}});
  write_dict(dir, "context_readings.bin",
             {{"=到", ""}, {"到 <@verb", "dou2"}, {"到 <我", "dou9"},
              {"@搵", "verb"}, {"=陳", ""}, {"陳 >sir", "can5"},
              {"=個", ""}, {"個 <個", "go4"}, {"=你", ""},
              {"你 >@end", "nei2"}});
  UserDict user;
  const Pipeline p = load(dir);
  struct Row {
    const char* text;
    const char* convert;
    const char* candidates;
  };
  const Row rows[] = {
      {"搵到", "wan2 dou2",
       "[搵|wan2|yue|certain|unknown][到|dou2/dou3|yue|ranked|tojyutping]"},
      // A reading that is no candidate is ignored.
      {"我到", "ngo5 dou3", "[我|ngo5|yue|certain|unknown][到|dou3/dou2|yue|tied|tojyutping]"},
      // Address sandhi leaves tone 5 alone, so the context reading stays.
      {"陳sir", "can5 sir", "[陳|can5/can4|yue|ranked|unknown][sir|sir|en|certain|passthrough]"},
      // The second classifier reads go4 first, and reduplication then makes it go2.
      {"個個", "go3 go2",
       "[個|go3/go4|yue|tied|unknown][個|go2|yue|certain|classifier_reduplication]"},
      // A single reading leaves nothing to choose.
      {"你", "nei5", "[你|nei5|yue|certain|unknown]"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(convert(p, row.text), row.convert) << "text '" << row.text << "'";
    EXPECT_EQ(show(convert_candidates(p, row.text)), row.candidates) << "text '" << row.text << "'";
  }
  user.emplace("到", "dou3");
  const Pipeline with_user = load(dir, std::move(user));
  EXPECT_EQ(convert(with_user, "搵到"), "wan2 dou3") << "a user reading is the only candidate";
  EXPECT_EQ(show(convert_detailed(with_user, "搵到")),
            "[搵|wan2|yue|certain|unknown][到|dou3|yue|certain|user_dict]");
}

// A random lexicon over a small alphabet (particles, 哋 and classifiers
// included) whose readings are all single non-empty syllables, so a token's
// reading never holds a space.
struct RandomLexicon {
  std::vector<std::string> alphabet;
  bool with_candidates = true;
};

std::string syllable(std::mt19937& rng) {
  static const char* const kStems[] = {"go", "dei", "can", "jan", "sik", "faan", "zo", "hoi"};
  return std::string(kStems[rng() % 8]) + static_cast<char>('1' + rng() % 6);
}

std::vector<std::string> split_on_bar(const std::string& s) {
  std::vector<std::string> out(1);
  for (char c : s) {
    if (c == '|') {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

std::string candidates(std::mt19937& rng) {
  std::string v = syllable(rng);
  for (unsigned n = rng() % 3; n > 0; --n) {
    v += '|';
    v += syllable(rng);
  }
  return v;
}

void write_random_lexicon(const TempDir& dir, const RandomLexicon& lex, unsigned seed,
                          UserDict& user) {
  std::mt19937 rng(seed);
  const auto& a = lex.alphabet;
  std::vector<DictEntry> words, chars, word_cand, char_cand, word_conf, char_conf, word_src,
      char_src, separable, classifiers;
  std::map<std::string, std::string> rules;
  std::vector<std::string> seen;
  for (int i = 0; i < 25; ++i) {
    std::string w = a[rng() % a.size()] + a[rng() % a.size()];
    if (rng() % 2) w += a[rng() % a.size()];
    if (std::find(seen.begin(), seen.end(), w) != seen.end()) continue;
    seen.push_back(w);
    words.push_back({w, syllable(rng)});
    if (lex.with_candidates && rng() % 2) word_cand.push_back({w, candidates(rng)});
    if (rng() % 3 == 0) word_conf.push_back({w, rng() % 2 ? "ranked" : "tied"});
    if (rng() % 3 == 0) word_src.push_back({w, "rime"});
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (i % 5 == 4) continue;  // some characters stay unknown
    chars.push_back({a[i], syllable(rng)});
    if (i % 4 == 0) words.push_back({a[i], syllable(rng)});
    const std::string cands = candidates(rng);
    if (lex.with_candidates && i % 3 == 0) char_cand.push_back({a[i], cands});
    // Context rules on literal neighbours, classes and clause edges; their
    // readings are the character's candidates or, now and then, none of them.
    if (i % 3 != 1) {
      rules["=" + a[i]] = "";
      const auto pick = [&] {
        const auto pieces = split_on_bar(cands);
        return rng() % 4 ? pieces[rng() % pieces.size()] : syllable(rng);
      };
      rules[a[i] + " <" + a[(i + 1) % a.size()]] = pick();
      rules[a[i] + " >" + a[(i + 5) % a.size()]] = pick();
      rules[a[i] + (rng() % 2 ? " <@k" : " >@k")] = pick();
      rules[a[i] + (rng() % 2 ? " <@end" : " >@end")] = pick();
    }
    if (i % 2 == 1) rules["@" + a[i]] = i % 4 == 1 ? "k" : "z k";
    if (i % 2 == 0) char_conf.push_back({a[i], "ranked"});
    if (i % 3 == 1) char_src.push_back({a[i], "unihan"});
    if (i % 3 == 2) classifiers.push_back({a[i], ""});
  }
  for (std::size_t i = 0; i < a.size(); i += 2) {
    separable.push_back({a[i] + a[(i + 3) % a.size()], syllable(rng) + " " + syllable(rng)});
  }
  user.emplace(a[1], syllable(rng));
  user.emplace(a[2] + a[3], syllable(rng));
  write_dict(dir, "word.bin", words);
  write_dict(dir, "char.bin", chars);
  if (lex.with_candidates) {
    write_dict(dir, "word_candidates.bin", word_cand);
    write_dict(dir, "char_candidates.bin", char_cand);
  }
  write_dict(dir, "word_candidates_confidence.bin", word_conf);
  write_dict(dir, "char_candidates_confidence.bin", char_conf);
  write_dict(dir, "word_source.bin", word_src);
  write_dict(dir, "char_source.bin", char_src);
  write_dict(dir, "separable.bin", separable);
  write_dict(dir, "classifier_words.bin", classifiers);
  std::vector<DictEntry> rule_list;
  for (const auto& [key, value] : rules) rule_list.push_back({key, value});
  write_dict(dir, "context_readings.bin", rule_list);
}

const std::vector<std::string> kAlphabet = {"個", "咗", "哋", "人", "陳", "過", "食", "飯",
                                            "隻", "開", "緊", "我", "好", "覺"};

std::string random_text(std::mt19937& rng) {
  static const char* const kOther[] = {" ", "sir", "Sir", "abc", "\xEF\xBC\x8C", "\xE3\x80\x82",
                                       "!", "\xC3\xA9", "12", "3.5", "-"};
  std::string text;
  for (unsigned n = rng() % 16; n > 0; --n) {
    if (rng() % 4 == 0) {
      text += kOther[rng() % 11];
    } else {
      text += kAlphabet[rng() % kAlphabet.size()];
    }
  }
  return text;
}

std::size_t count_spaces(std::string_view s) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), ' '));
}

std::vector<std::string> split_on_space(const std::string& s) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = s.find(' ', start);
    pieces.push_back(s.substr(start, space - start));
    if (space == std::string::npos) return pieces;
    start = space + 1;
  }
}

TEST(PipelineInvariants, RandomTextsAgainstRandomLexicons) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    TempDir dir;
    UserDict user;
    RandomLexicon lex{kAlphabet, seed % 2 == 1};
    write_random_lexicon(dir, lex, seed, user);
    const Pipeline p = load(dir, std::move(user));
    std::mt19937 rng(seed * 7919);
    for (int i = 0; i < 300; ++i) {
      const std::string text = random_text(rng);
      const std::vector<Token> detailed = convert_detailed(p, text);
      const std::vector<CandidateToken> cands = convert_candidates(p, text);
      const std::string plain = convert(p, text);
      const std::string where = "seed " + std::to_string(seed) + " text '" + text + "'";
      ASSERT_EQ(detailed.size(), cands.size()) << where;
      for (std::size_t t = 0; t < detailed.size(); ++t) {
        const Token& d = detailed[t];
        const CandidateToken& c = cands[t];
        ASSERT_FALSE(c.candidate_readings.empty()) << where << " token " << t;
        EXPECT_EQ(d.token, c.token) << where;
        EXPECT_EQ(d.jyutping, c.candidate_readings.front()) << where << " token " << d.token;
        EXPECT_EQ(d.lang, c.lang) << where;
        EXPECT_EQ(d.confidence, c.confidence) << where;
        EXPECT_EQ(d.source, c.source) << where;
        EXPECT_EQ(d.lang == "yue", contains_cjk(d.token)) << where << " token " << d.token;
        EXPECT_FALSE(d.token.empty()) << where;
      }
      // No reading holds a space here, so convert separates n tokens by n - 1 spaces.
      EXPECT_EQ(count_spaces(plain), detailed.empty() ? 0 : detailed.size() - 1) << where;
      const std::vector<std::string> pieces = split_on_space(plain);
      for (std::size_t t = 0; t < detailed.size() && pieces.size() == detailed.size(); ++t) {
        if (detailed[t].source == "passthrough") {
          EXPECT_EQ(pieces[t], detailed[t].token) << where;
        }
        // Without candidates files both roads read every token the same way.
        if (!lex.with_candidates) {
          EXPECT_EQ(pieces[t], detailed[t].jyutping) << where << " token " << detailed[t].token;
        }
      }
    }
  }
}

// A long text is read window by window; the windows overlap by the reach of
// the passes, so any window size gives the result of one window. Small
// windows put window edges next to every pattern the passes look for.
TEST(PipelineWindows, AnyWindowSizeGivesTheSameResult) {
  constexpr std::size_t kOneWindow = std::size_t{1} << 40;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    TempDir dir;
    UserDict user;
    write_random_lexicon(dir, RandomLexicon{kAlphabet, seed % 2 == 1}, seed, user);
    const Pipeline p = load(dir, std::move(user));
    std::mt19937 rng(seed * 104729);
    for (int i = 0; i < 40; ++i) {
      std::string text;
      for (int piece = 0; piece < 12; ++piece) text += random_text(rng);
      const std::string plain = convert(p, text, kOneWindow);
      const std::string detailed = show(convert_detailed(p, text, kOneWindow));
      const std::string cands = show(convert_candidates(p, text, kOneWindow));
      EXPECT_EQ(convert(p, text), plain);
      for (std::size_t window : {1, 2, 5, 9, 24, 77}) {
        const std::string where =
            "seed " + std::to_string(seed) + " window " + std::to_string(window) + " text '" + text + "'";
        EXPECT_EQ(convert(p, text, window), plain) << where;
        EXPECT_EQ(show(convert_detailed(p, text, window)), detailed) << where;
        EXPECT_EQ(show(convert_candidates(p, text, window)), cands) << where;
      }
    }
  }
}

// Everything a ResolvedWindows cursor delivers for `text`, in order.
std::string show_windows(ResolvedWindows& windows) {
  std::string s;
  while (windows.next()) {
    s += "{";  // where a window starts, which must not depend on the storage either
    for (std::size_t i = 0; i < windows.size(); ++i) {
      const ResolutionView& v = windows.resolution(i);
      s += "[" + std::string(windows.token(i)) + "|" + std::string(windows.first(i)) + "|" +
           std::string(v.candidates.view()) + (v.is_list ? "|list|" : "|one|") +
           std::string(label::lang_label(v.lang)) + "|" + std::string(v.confidence) + "|" +
           std::string(v.source) + "]";
    }
    s += windows.last() ? "}." : "}";
  }
  return s;
}

// One storage handed to conversion after conversion, of both roads, keeps
// the room of the texts before; what each delivers must be what it delivers
// in storage of its own. The texts go from long to short and back, from
// ones every normalization pass rewrites (romanized slang, punctuation,
// numbers, alone and together) to ones left as written, and to ones without
// tokens, in windows of a few bytes and of the whole text.
class PipelineStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    write_random_lexicon(dir_, RandomLexicon{kAlphabet, true}, 5, user_);
    write_dict(dir_, "romanized_slang.bin", {{"sik", "食"}, {"lol", "好好"}, {"num", "3.5"}});
  }
  TempDir dir_;
  UserDict user_;
};

TEST_F(PipelineStorage, ReusedStorageGivesTheResultsOfFreshStorage) {
  const Pipeline p = load(dir_, std::move(user_));
  std::mt19937 rng(2718);
  std::string long_text;
  for (int piece = 0; piece < 60; ++piece) long_text += random_text(rng) + "\xE2\x80\x94";
  const std::string texts[] = {
      long_text,
      "個",
      "",
      "陳sir食飯，個個哋",
      "「sik飯」\xE2\x80\x94 12個人……lol",  // slang, punctuation and numbers all rewrite it
      " \t ",
      long_text.substr(0, long_text.find("\xE2\x80\x94", long_text.size() / 2)),
      "num個 LOL",
      "\xE3\x80\x80",
      "我好 sir 開緊",
      long_text,
      "人",
  };
  constexpr std::size_t kWindows[] = {1, 7, 40, kWindowBytes};
  ConversionStorage storage;
  for (int round = 0; round < 2; ++round) {
    for (std::size_t window : kWindows) {
      for (const std::string& text : texts) {
        const std::string where = "window " + std::to_string(window) + " text '" + text + "'";
        ResolvedWindows fresh(p, text, window);
        const std::string expected = show_windows(fresh);
        ResolvedWindows reused(p, text, storage, window);
        EXPECT_EQ(show_windows(reused), expected) << where;
        // The result replaces whatever the text before left in it.
        convert_into(p, text, storage, storage.converted, window);
        EXPECT_EQ(storage.converted, convert(p, text, window)) << where;
      }
    }
  }
}

// A kept storage is bounded by what it frees: room beyond the limit goes,
// room within it stays for the next text.
TEST_F(PipelineStorage, ReleaseBeyondFreesOnlyRoomPastTheLimit) {
  const Pipeline p = load(dir_, std::move(user_));
  std::mt19937 rng(31);
  std::string text;
  for (int piece = 0; piece < 200; ++piece) text += random_text(rng) + "\xE2\x80\x94";
  const std::size_t held_when_new = held_bytes(ConversionStorage{});
  ConversionStorage storage;
  ResolvedWindows windows(p, text, storage);
  while (windows.next()) {
  }
  const std::size_t held = held_bytes(storage);
  // The dashes were rewritten, so the normalized text is held too.
  ASSERT_GE(held, held_when_new + text.size());
  const char* const normalized = storage.windows.normalized.data();
  release_beyond(storage, held);
  EXPECT_EQ(held_bytes(storage), held);
  EXPECT_EQ(storage.windows.normalized.data(), normalized);
  release_beyond(storage, held - 1);
  EXPECT_EQ(held_bytes(storage), held_when_new);
  // Storage freed is storage like new, and its result is counted and freed too.
  convert_into(p, text, storage, storage.converted);
  EXPECT_EQ(storage.converted, convert(p, text));
  EXPECT_GE(held_bytes(storage), held_when_new + storage.converted.size());
  release_beyond(storage, 0);
  EXPECT_EQ(storage.converted.capacity(), std::string().capacity());
}

TEST(PipelineThreads, ConcurrentConversionsMatchSingleThread) {
  TempDir dir;
  UserDict user;
  write_random_lexicon(dir, RandomLexicon{kAlphabet, true}, 99, user);
  const Pipeline p = load(dir, std::move(user));
  std::mt19937 rng(4242);
  std::vector<std::string> texts;
  for (int i = 0; i < 200; ++i) texts.push_back(random_text(rng));
  std::vector<std::string> expected;
  for (const auto& text : texts) {
    expected.push_back(convert(p, text) + "\n" + show(convert_detailed(p, text)) + "\n" +
                       show(convert_candidates(p, text)));
  }

  constexpr int kThreads = 4;
  std::vector<std::vector<std::string>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread walks the texts from its own starting point.
      for (std::size_t k = 0; k < texts.size(); ++k) {
        const std::string& text = texts[(k + static_cast<std::size_t>(t) * 50) % texts.size()];
        got[t].push_back(convert(p, text) + "\n" + show(convert_detailed(p, text)) + "\n" +
                         show(convert_candidates(p, text)));
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(got[t].size(), texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k) {
      const std::size_t i = (k + static_cast<std::size_t>(t) * 50) % texts.size();
      EXPECT_EQ(got[t][k], expected[i]) << "thread " << t << " text '" << texts[i] << "'";
    }
  }
}

}  // namespace
}  // namespace quillet
