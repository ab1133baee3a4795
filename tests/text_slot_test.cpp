// TextSlot: a borrowed slot views the caller's text; an owned one keeps its
// text valid wherever the slot is moved, short texts (held inline by
// std::string) included, and gives it up in take().
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "text_slot.h"

namespace quillet {
namespace {

TEST(TextSlot, BorrowedViewsTheCallersText) {
  const std::string text = "nei5 hou2";
  TextSlot slot = TextSlot::borrow(text);
  EXPECT_FALSE(slot.is_owned());
  EXPECT_EQ(slot.view().data(), text.data());
  TextSlot moved = std::move(slot);
  EXPECT_EQ(moved.view().data(), text.data());
  EXPECT_EQ(std::move(moved).take(), "nei5 hou2");
  EXPECT_EQ(text, "nei5 hou2");  // a copy was taken, the text is untouched
}

TEST(TextSlot, OwnedTextSurvivesMoves) {
  for (const std::string text : {"", "go2", "a reading longer than any inline buffer"}) {
    std::vector<TextSlot> slots;
    slots.push_back(TextSlot::own(text));
    for (int grow = 0; grow < 8; ++grow) slots.push_back(TextSlot::borrow("x"));  // moves slots[0]
    TextSlot moved = std::move(slots[0]);
    slots.clear();
    EXPECT_TRUE(moved.is_owned());
    EXPECT_EQ(moved.view(), text);
    EXPECT_EQ(std::move(moved).take(), text);
  }
}

}  // namespace
}  // namespace quillet
