// Tests of loading a data directory into a Pipeline: which files are
// required, which error message reaches the caller, path joining, the
// user dictionary's longest key, and the default directory beside the
// executable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "dict/data_dir.h"
#include "python/default_data_dir.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::TempDir;

const std::string kBadMagic = std::string("CJYQ") + std::string(12, '\0');
const std::string kMissing = std::string(std::strerror(ENOENT)) + " (os error 2)";

// The optional members in the order of kOptionalFiles, the loader's table.
std::vector<const std::optional<DictFile>*> optional_members(const Pipeline& p) {
  std::vector<const std::optional<DictFile>*> members;
  for (const OptionalFile& file : kOptionalFiles) members.push_back(&(p.*file.member));
  return members;
}

// The table holds the files the engine reads, each member once, required
// ones first and word.bin before char.bin.
TEST(DataDir, TableNamesTheFilesOnce) {
  ASSERT_EQ(std::size(kRequiredFiles), 2u);
  EXPECT_EQ(kRequiredFiles[0].name, "word.bin");
  EXPECT_EQ(kRequiredFiles[0].member, &Pipeline::word_dict);
  EXPECT_EQ(kRequiredFiles[1].name, "char.bin");
  EXPECT_EQ(kRequiredFiles[1].member, &Pipeline::char_dict);
  const char* const optional[] = {
      "word_candidates.bin", "char_candidates.bin", "word_candidates_confidence.bin",
      "char_candidates_confidence.bin", "word_source.bin", "char_source.bin",
      "separable.bin", "romanized_slang.bin", "classifier_words.bin", "context_readings.bin",
  };
  ASSERT_GE(std::size(kOptionalFiles), std::size(optional));
  for (std::size_t i = 0; i < std::size(optional); ++i) {
    EXPECT_EQ(kOptionalFiles[i].name, optional[i]) << i;
  }
  for (std::size_t i = 0; i < std::size(kOptionalFiles); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_NE(kOptionalFiles[i].name, kOptionalFiles[j].name) << i;
      EXPECT_NE(kOptionalFiles[i].member, kOptionalFiles[j].member) << kOptionalFiles[i].name;
    }
  }
}

void write_required(const TempDir& dir) {
  testing::write_dict(dir, "word.bin", {{"\xE4\xB8\x80\xE4\xBA\x8C", "jat1 ji6"}});
  testing::write_dict(dir, "char.bin", {{"\xE4\xB8\x80", "jat1"}});
}

TEST(DataDir, JoinPath) {
  struct Row {
    const char* dir;
    const char* expected;
  };
  const Row rows[] = {
      {"", "word.bin"},           {"data", "data/word.bin"},   {"data/", "data/word.bin"},
      {"/", "/word.bin"},         {"a/b", "a/b/word.bin"},     {"a//", "a//word.bin"},
      {".", "./word.bin"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(join_path(r.dir, "word.bin"), r.expected) << "dir '" << r.dir << "'";
  }
}

TEST(DataDir, RequiredFilesOnlyLoads) {
  TempDir dir;
  write_required(dir);
  auto p = load_pipeline(dir.path(), {}, false);
  ASSERT_TRUE(p.ok()) << p.error();
  const Pipeline& pipe = p.value();
  EXPECT_EQ(pipe.word_dict.get("\xE4\xB8\x80\xE4\xBA\x8C").value_or("miss"), "jat1 ji6");
  EXPECT_EQ(pipe.char_dict.get("\xE4\xB8\x80").value_or("miss"), "jat1");
  const auto members = optional_members(pipe);
  for (std::size_t i = 0; i < members.size(); ++i) {
    EXPECT_FALSE(members[i]->has_value()) << kOptionalFiles[i].name;
  }
  EXPECT_FALSE(pipe.punc_norm);
  EXPECT_TRUE(pipe.user_dict.empty());
  EXPECT_EQ(pipe.user_dict_max_chars, 0u);
}

// Each optional file is stored in its own member: the file holds one key
// whose value names the file.
TEST(DataDir, EveryOptionalFileReachesItsMember) {
  TempDir dir;
  write_required(dir);
  for (const OptionalFile& file : kOptionalFiles) {
    testing::write_dict(dir, file.name, {{"k", std::string(file.name)}});
  }
  auto p = load_pipeline(dir.path() + "/", {}, true);
  ASSERT_TRUE(p.ok()) << p.error();
  const auto members = optional_members(p.value());
  for (std::size_t i = 0; i < members.size(); ++i) {
    ASSERT_TRUE(members[i]->has_value()) << kOptionalFiles[i].name;
    EXPECT_EQ(get_optional(*members[i], "k").value_or("miss"), kOptionalFiles[i].name);
  }
  EXPECT_TRUE(p.value().punc_norm);
}

// The load-time key filters are made of their own files: each holds every
// key of its file and turns away most keys of the other, and a pipeline
// without the files gets the filter that holds everything.
TEST(DataDir, KeyFiltersAreThoseOfTheirFiles) {
  struct Filter {
    const char* file;
    const KeyFilter Pipeline::*member;
  };
  const Filter filters[] = {
      {"word_candidates.bin", &Pipeline::word_candidates_keys},
      {"context_readings.bin", &Pipeline::context_readings_keys},
  };
  TempDir dir;
  write_required(dir);
  const Pipeline bare = testing::load(dir);
  std::vector<std::vector<std::string>> keys(std::size(filters));
  for (std::size_t f = 0; f < std::size(filters); ++f) {
    EXPECT_EQ((bare.*filters[f].member).bit_count(), 0u) << filters[f].file;
    std::vector<DictEntry> entries;
    for (std::size_t i = 0; i < 300; ++i) {
      keys[f].push_back(testing::numbered(filters[f].file, i));
      entries.push_back({keys[f].back(), "v"});
    }
    testing::write_dict(dir, filters[f].file, entries);
  }
  const Pipeline p = testing::load(dir);
  for (std::size_t f = 0; f < std::size(filters); ++f) {
    const KeyFilter& filter = p.*filters[f].member;
    std::size_t others_passed = 0;
    for (const auto& k : keys[f]) EXPECT_TRUE(filter.might_hold(k)) << filters[f].file << " " << k;
    for (const auto& k : keys[1 - f]) others_passed += filter.might_hold(k);
    EXPECT_LT(others_passed, keys[1 - f].size() / 4) << filters[f].file;
  }
  // word.bin, always there, has its heads filter made too: its one key's
  // head is held.
  EXPECT_GT(p.word_heads.bit_count(), 0u);
  EXPECT_TRUE(p.word_heads.might_hold("\xE4\xB8\x80\xE4\xBA\x8C"));
}

// A broken optional file is left absent without a word, exactly like a
// missing one, and the files after it still load.
TEST(DataDir, BrokenOptionalFilesAreSilentlyAbsent) {
  const std::string contents[] = {kBadMagic, "", "CJYP" + std::string(12, '\x01'),
                                  std::string("CJYP\x01\x00\x00\x00\x05\x00\x00\x00", 12) +
                                      std::string(4, '\0')};
  for (std::size_t broken = 0; broken < std::size(kOptionalFiles); ++broken) {
    for (const auto& bytes : contents) {
      TempDir dir;
      write_required(dir);
      for (const OptionalFile& file : kOptionalFiles) {
        testing::write_dict(dir, file.name, {{"k", "v"}});
      }
      testing::write_bytes(dir.file(kOptionalFiles[broken].name), bytes);
      auto p = load_pipeline(dir.path(), {}, true);
      ASSERT_TRUE(p.ok()) << kOptionalFiles[broken].name << ": " << p.error();
      const auto members = optional_members(p.value());
      for (std::size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i]->has_value(), i != broken)
            << kOptionalFiles[i].name << " with " << kOptionalFiles[broken].name << " broken";
      }
    }
  }
}

TEST(DataDir, RequiredFileFailuresAndWhichMessageWins) {
  enum State { kValid, kAbsent, kBadMagicFile, kEmptyFile };
  struct Case {
    State word;
    State chr;
    std::string message;
  };
  const std::string bad = "bad magic: expected [67, 74, 89, 80], got [67, 74, 89, 81]";
  const std::string empty = "file too short: 0 bytes (need at least 16)";
  const Case cases[] = {
      {kAbsent, kAbsent, kMissing},      {kAbsent, kValid, kMissing},
      {kAbsent, kBadMagicFile, kMissing}, {kValid, kAbsent, kMissing},
      {kBadMagicFile, kValid, bad},      {kBadMagicFile, kEmptyFile, bad},
      {kValid, kBadMagicFile, bad},      {kEmptyFile, kBadMagicFile, empty},
      {kValid, kEmptyFile, empty},       {kBadMagicFile, kAbsent, bad},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_required(dir);
    for (auto [name, state] : {std::pair{"word.bin", c.word}, std::pair{"char.bin", c.chr}}) {
      const std::string path = dir.file(name);
      if (state == kAbsent) ::unlink(path.c_str());
      if (state == kBadMagicFile) testing::write_bytes(path, kBadMagic);
      if (state == kEmptyFile) testing::write_bytes(path, "");
    }
    // Optional files present do not change a required failure.
    testing::write_dict(dir, "word_source.bin", {{"k", "v"}});
    auto p = load_pipeline(dir.path(), {}, true);
    ASSERT_FALSE(p.ok()) << "word " << c.word << ", char " << c.chr;
    EXPECT_EQ(p.error(), c.message) << "word " << c.word << ", char " << c.chr;
  }
}

TEST(DataDir, MissingDirectoryAndNulPath) {
  TempDir dir;
  auto missing = load_pipeline(dir.file("no-such-dir"), {}, true);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), kMissing);

  write_required(dir);
  auto nul = load_pipeline(dir.path() + std::string(1, '\0'), {}, true);
  ASSERT_FALSE(nul.ok());
  EXPECT_EQ(nul.error(), "file name contained an unexpected NUL byte");
}

// An empty directory string reads the files from the working directory.
TEST(DataDir, EmptyDirectoryMeansWorkingDirectory) {
  TempDir dir;
  write_required(dir);
  testing::write_dict(dir, "separable.bin", {{"k", "v"}});
  std::vector<char> old(4096);
  ASSERT_NE(::getcwd(old.data(), old.size()), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  auto p = load_pipeline("", {}, true);
  TempDir empty;
  ASSERT_EQ(::chdir(empty.path().c_str()), 0);
  auto fails = load_pipeline("", {}, true);
  ASSERT_EQ(::chdir(old.data()), 0);

  ASSERT_TRUE(p.ok()) << p.error();
  EXPECT_EQ(p.value().char_dict.get("\xE4\xB8\x80").value_or("miss"), "jat1");
  EXPECT_TRUE(p.value().separable.has_value());
  ASSERT_FALSE(fails.ok());
  EXPECT_EQ(fails.error(), kMissing);
}

TEST(DataDir, UserDictIsTakenOverWithItsLongestKey) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> entries;
    std::size_t max_chars;
  };
  const Case cases[] = {
      {{}, 0},
      // 2 and 4 CJK characters.
      {{{"\xE4\xB8\x80\xE4\xBA\x8C", "a"}, {"\xE4\xB8\x80\xE4\xBA\x8C\xE4\xB8\x89\xE5\x9B\x9B", "b"}}, 4},
      // Bytes, not code points, would say 8 here: two 4-byte characters.
      {{{"\xF0\xA0\x80\x80\xF0\xA0\x80\x81", "c"}}, 2},
      {{{"hello", "d"}, {"\xE4\xB8\x80", "e"}}, 5},
      {{{"", "f"}}, 0},
      {{{std::string(30, 'x'), "g"}}, 30},
  };
  TempDir dir;
  write_required(dir);
  for (const auto& c : cases) {
    UserDict user(c.entries.begin(), c.entries.end());
    auto p = load_pipeline(dir.path(), std::move(user), true);
    ASSERT_TRUE(p.ok()) << p.error();
    EXPECT_EQ(p.value().user_dict_max_chars, c.max_chars) << "case with " << c.entries.size() << " keys";
    EXPECT_EQ(p.value().user_dict.size(), c.entries.size());
    for (const auto& [k, v] : c.entries) {
      const std::string* got = user_lookup(p.value().user_dict, k);
      ASSERT_NE(got, nullptr) << k;
      EXPECT_EQ(*got, v);
    }
  }
}

TEST(DefaultDataDir, BesideTheExecutable) {
  struct Row {
    const char* exe;
    const char* expected;
  };
  static const Row kRows[] = {
      {"/usr/bin/python3", "/usr/bin/data"},
      {"/python", "/data"},
      {"/", "./data"},
      {"", "./data"},
      {"python3", "./data"},
      {"rel/dir/prog", "rel/dir/data"},
      {"/opt/bin//prog", "/opt/bin/data"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(data_dir_beside(row.exe), row.expected) << "exe=\"" << row.exe << "\"";
  }
}

}  // namespace
}  // namespace quillet
