// The resolution memo: what it answers is what the lookups give, on every
// road through them, call after call; what it must not keep it does not
// keep; it serves one Pipeline; it stays bounded under colliding keys.
#include "resolution_memo.h"

#include <gtest/gtest.h>

#include <memory_resource>
#include <string>
#include <vector>

#include "passes/separable_compound.h"
#include "pipeline.h"
#include "resolution.h"
#include "test_util.h"

namespace quillet {
namespace {

using testing::load;
using testing::TempDir;
using testing::write_dict;

std::string show(const ResolutionView& v) {
  return std::string(v.candidates.view()) + (v.is_list ? " list " : " one ") +
         std::string(label::lang_label(v.lang)) + " " + std::string(v.confidence) + " " +
         std::string(v.source);
}

// Every road of the lookup: user word, word candidates, word, character
// candidates, character, passthrough, the token as its own reading, and the
// readings built character by character (which the memo must not keep).
class Memo : public ::testing::Test {
 protected:
  void SetUp() override {
    write_dict(dir_, "word.bin", {{"食飯", "sik6 faan6"}, {"銀行", "ngan4 hong4"}, {"我", "ngo5"}});
    write_dict(dir_, "char.bin", {{"好", "hou2"}, {"人", "jan4"}, {"食", "sik6"}, {"陳", "can4"}});
    write_dict(dir_, "word_candidates.bin", {{"銀行", "ngan4 hong4|ngan4 hang4"}});
    write_dict(dir_, "word_candidates_confidence.bin", {{"銀行", "ranked"}});
    write_dict(dir_, "word_source.bin", {{"食飯", "oral_hk"}, {"銀行", "rime"}});
    write_dict(dir_, "char_candidates.bin", {{"好", "hou2|hou3"}});
    write_dict(dir_, "char_source.bin", {{"人", "tojyutping"}});
    write_dict(dir_, "separable.bin", {{"食陳", "sik6 can6"}});
    UserDict user;
    user.emplace("用戶", "jung6 wu6");
    pipeline_ = std::make_unique<Pipeline>(load(dir_, std::move(user)));
  }

  // The views of `tokens` resolved with `memo` (or without, when null), as text.
  std::vector<std::string> resolved(const std::vector<std::string>& tokens, ResolutionMemo* memo,
                                    const Pipeline* p = nullptr) {
    const std::vector<std::string_view> views_of(tokens.begin(), tokens.end());
    const Pipeline& pipeline = p ? *p : *pipeline_;
    ReadingChanges overrides = separable_compounds(views_of, pipeline.separable);
    std::pmr::vector<ResolutionView> views;
    resolve_tokens(pipeline, views_of, {}, overrides, views, memo);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < views.size(); ++i) {
      out.push_back(show(views[i]));
      // A reading borrowed from the token views this call's copy of it.
      const std::string_view c = views[i].candidates.view();
      if (c == tokens[i] && !c.empty()) {
        EXPECT_EQ(c.data(), tokens[i].data()) << "token " << tokens[i];
      }
    }
    return out;
  }

  TempDir dir_;
  std::unique_ptr<Pipeline> pipeline_;
};

TEST_F(Memo, AnswersAsTheLookupsCallAfterCall) {
  // 食 before 陳 is a separable compound: overridden there, plain elsewhere.
  const std::vector<std::string> tokens = {"用戶", "銀行", "食飯", "我", "好",   "人",
                                           "OK",   "，",   "",     "鬼", "人好", "好a",
                                           "食",   "陳",   "食",   "好", "abc1", "。"};
  const std::vector<std::string> expected = resolved(tokens, nullptr);
  ResolutionMemo memo(kMemoTokens);
  for (int call = 0; call < 3; ++call) {
    // Fresh copies each call: nothing may view an earlier call's text.
    const std::vector<std::string> copies(tokens.begin(), tokens.end());
    EXPECT_EQ(resolved(copies, &memo), expected) << "call " << call;
  }
  // Kept: every distinct token read from the data, passed through or read
  // as itself (鬼), and 食 where it was not overridden; not kept: 人好 and
  // 好a, whose readings are built for the call.
  EXPECT_EQ(memo.size(), 14u);
}

TEST_F(Memo, ServesThePipelineItWasFilledFor) {
  TempDir other_dir;
  write_dict(other_dir, "word.bin", {{"我", "ngo1"}});
  write_dict(other_dir, "char.bin", {{"好", "hou3"}});
  const Pipeline other = load(other_dir);
  const std::vector<std::string> tokens = {"我", "好"};
  const std::vector<std::string> mine = resolved(tokens, nullptr);
  const std::vector<std::string> theirs = resolved(tokens, nullptr, &other);
  ASSERT_NE(mine, theirs);
  ResolutionMemo memo(kMemoTokens);
  EXPECT_EQ(resolved(tokens, &memo), mine);
  EXPECT_EQ(resolved(tokens, &memo, &other), theirs);
  EXPECT_EQ(resolved(tokens, &memo), mine);
  EXPECT_EQ(memo.size(), 2u);
}

TEST_F(Memo, StaysWithinItsBounds) {
  const std::string long_word(ResolutionMemo::kMaxKeyBytes + 1, 'a');
  const std::string longest(ResolutionMemo::kMaxKeyBytes, 'b');
  struct Row {
    std::size_t max_entries;
    std::vector<std::string> tokens;
    std::size_t kept;
  };
  const Row rows[] = {
      {3, {"我", "好", "人", "食飯", "銀行"}, 3},
      {0, {"我", "好"}, 0},
      {kMemoTokens, {long_word, longest, long_word}, 1},
  };
  for (const auto& row : rows) {
    ResolutionMemo memo(row.max_entries);
    const std::vector<std::string> expected = resolved(row.tokens, nullptr);
    EXPECT_EQ(resolved(row.tokens, &memo), expected);
    EXPECT_EQ(resolved(row.tokens, &memo), expected);
    EXPECT_EQ(memo.size(), row.kept) << "max " << row.max_entries;
  }
}

// Keys given one hash share one probe run: past its bound they are not
// kept, and every key kept is told apart by its bytes.
TEST_F(Memo, CollidingKeysAreToldApart) {
  ResolutionMemo memo(kMemoTokens);
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) keys.push_back("k" + std::to_string(i));
  for (const auto& key : keys) {
    ResolutionView view = resolve_token_view(*pipeline_, key, nullptr);
    memo.add(*pipeline_, key, 7, view);
  }
  EXPECT_LT(memo.size(), keys.size());
  EXPECT_GT(memo.size(), 0u);
  std::size_t found = 0;
  for (const auto& key : keys) {
    const std::string copy = key;
    ResolutionView view;
    if (!memo.find(*pipeline_, copy, 7, view)) continue;
    ++found;
    EXPECT_EQ(view.candidates.view(), copy);
    EXPECT_EQ(view.candidates.view().data(), copy.data());
    EXPECT_EQ(view.source, "passthrough");
  }
  EXPECT_EQ(found, memo.size());
  ResolutionView view;
  EXPECT_FALSE(memo.find(*pipeline_, "k", 7, view));
  EXPECT_FALSE(memo.find(*pipeline_, "k0", 8, view));
}

// A view names the entry that holds it only while it equals the entry: a
// view a pass changed names none, and a tag tied to an entry is found again
// by the next text's same token.
TEST(MemoEntries, NamedOnlyByUnchangedViews) {
  TempDir dir;
  write_dict(dir, "word.bin", {{"我", "ngo5"}});
  write_dict(dir, "char.bin", {{"個", "go3"}, {"哋", "dei6"}});
  write_dict(dir, "char_candidates.bin", {{"個", "go3|go4"}, {"哋", "dei6|dei2"}});
  write_dict(dir, "classifier_words.bin", {{"個", ""}});
  const Pipeline p = load(dir);
  ResolutionMemo memo(kMemoTokens);
  struct Row {
    const char* text;
    std::vector<bool> named;  // per token: names a memo entry
  };
  // 個個哋: the classifier pass changes the second 個, AA-dei changes 哋.
  const Row rows[] = {
      {"我個個哋", {true, true, false, false}},
      {"個我哋個", {true, true, true, true}},
      {"個個哋", {true, false, false}},
  };
  int tag_target = 0;
  for (const auto& row : rows) {
    ResolvedWindows windows(p, row.text, kWindowBytes, &memo);
    std::vector<bool> named;
    while (windows.next()) {
      for (std::size_t i = 0; i < windows.size(); ++i) {
        const ResolutionView& view = windows.resolution(i);
        named.push_back(view.memo_entry != kNotInMemo);
        if (view.memo_entry == kNotInMemo) continue;
        // The entry holds this very resolution, whichever call filled it.
        ResolutionView held;
        ASSERT_TRUE(memo.find(p, windows.token(i), ResolutionMemo::hash(windows.token(i)), held));
        EXPECT_EQ(held.memo_entry, view.memo_entry);
        EXPECT_EQ(show(held), show(view)) << row.text << " token " << i;
        if (windows.token(i) == "我") {
          if (memo.tag(view.memo_entry) == nullptr) memo.set_tag(view.memo_entry, &tag_target);
          EXPECT_EQ(memo.tag(view.memo_entry), &tag_target);
        }
      }
    }
    EXPECT_EQ(named, row.named) << row.text;
  }
}

}  // namespace
}  // namespace quillet
