// The storage a PyPipeline keeps for its single calls: lent to one call at a
// time (a call made while it is out converts in storage of its own and
// leaves the outer call's windows as they were), kept with its room from
// call to call, and freed when a call leaves more room than the limit.
#include "python/kept_storage.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace quillet::python {
namespace {

using testing::TempDir;

class KeptStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_dict(dir_, "word.bin", {{"我哋", "ngo5 dei6"}, {"食飯", "sik6 faan6"}});
    testing::write_dict(dir_, "char.bin",
                        {{"我", "ngo5"}, {"哋", "dei6"}, {"食", "sik6"}, {"飯", "faan6"}});
  }
  // Every token of `windows` and its reading, window by window.
  static std::string drain(ResolvedWindows& windows) {
    std::string s;
    while (windows.next()) s += one_window(windows);
    return s;
  }
  static std::string one_window(const ResolvedWindows& windows) {
    std::string s = "{";
    for (std::size_t i = 0; i < windows.size(); ++i) {
      s += std::string(windows.token(i)) + "=" + std::string(windows.first(i)) + ";";
    }
    return s + "}";
  }
  TempDir dir_;
};

TEST_F(KeptStorageTest, ANestedLeaseGetsStorageOfItsOwnAndLeavesTheOuterCallAlone) {
  const Pipeline p = testing::load(dir_);
  const std::string outer_text = "我哋食飯，食飯我哋。" + std::string(30, 'x') + "，我哋";
  const std::string inner_text = "「食飯」 飯飯飯 ok";
  constexpr std::size_t kWindow = 8;  // several windows for the outer text
  ResolvedWindows expected_outer(p, outer_text, kWindow);
  const std::string expected = drain(expected_outer);
  ResolvedWindows expected_inner(p, inner_text, kWindow);
  const std::string expected_nested = drain(expected_inner);

  KeptStorage kept;
  ConversionStorage* kept_storage = nullptr;
  {
    StorageLease outer(kept);
    kept_storage = &outer.storage();
    ResolvedWindows windows(p, outer_text, outer.storage(), kWindow);
    std::string got;
    bool nested = false;
    while (windows.next()) {
      got += one_window(windows);
      if (nested) continue;
      // A call in the middle of the outer one, as Python code run while its
      // results are built could make.
      nested = true;
      StorageLease inner(kept);
      EXPECT_NE(&inner.storage(), kept_storage);
      ResolvedWindows inner_windows(p, inner_text, inner.storage(), kWindow);
      EXPECT_EQ(drain(inner_windows), expected_nested);
      // Only the current window's views are checked again: they must still
      // be the outer text's.
      EXPECT_EQ("{" + got.substr(got.rfind('{') + 1), one_window(windows));
    }
    EXPECT_TRUE(nested);
    EXPECT_EQ(got, expected);
  }
  // Returned, the kept storage is lent again, with the room it grew.
  StorageLease next(kept);
  EXPECT_EQ(&next.storage(), kept_storage);
  EXPECT_GT(held_bytes(next.storage()), held_bytes(ConversionStorage{}));
  ConversionStorage& storage = next.storage();
  convert_into(p, outer_text, storage, storage.converted, kWindow);
  EXPECT_EQ(storage.converted, convert(p, outer_text, kWindow));
}

TEST_F(KeptStorageTest, RoomBeyondTheLimitIsFreedWhenTheCallEnds) {
  const Pipeline p = testing::load(dir_);
  const std::size_t held_when_new = held_bytes(ConversionStorage{});
  // Punctuation is folded, so each text's normalized copy is held too.
  const std::string short_text = "我哋，食飯";
  std::string long_text;
  for (int i = 0; i < 2000; ++i) long_text += "我哋，食飯";
  struct Row {
    const std::string* text;
    bool kept;  // whether its room outlives the call under a 16 KB limit
  };
  const Row rows[] = {{&short_text, true}, {&long_text, false}, {&short_text, true}};
  constexpr std::size_t kLimit = std::size_t{1} << 14;
  KeptStorage kept;
  for (const Row& row : rows) {
    std::size_t held_in_call = 0;
    {
      StorageLease lease(kept, kLimit);
      ConversionStorage& storage = lease.storage();
      convert_into(p, *row.text, storage, storage.converted);
      EXPECT_EQ(storage.converted, convert(p, *row.text));
      held_in_call = held_bytes(lease.storage());
      EXPECT_EQ(held_in_call > kLimit, !row.kept);
    }
    StorageLease after(kept, kLimit);
    EXPECT_EQ(held_bytes(after.storage()), row.kept ? held_in_call : held_when_new)
        << "text of " << row.text->size() << " bytes";
  }
}

}  // namespace
}  // namespace quillet::python
