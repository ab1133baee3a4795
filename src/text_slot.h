// TextSlot: one piece of text during a conversion, either borrowed (a view
// into the Pipeline's mappings, its UserDict, the token list or a constant
// label, all of which outlive the call) or owned (built during the call).
// Conversions keep text borrowed until they write their results, so stored
// readings and labels are copied exactly once, into the result.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace quillet {

class TextSlot {
 public:
  TextSlot() = default;
  // Borrows `text`; the caller keeps what it points to alive.
  static TextSlot borrow(std::string_view text) {
    TextSlot slot;
    slot.borrowed_ = text;
    return slot;
  }
  static TextSlot own(std::string text) {
    TextSlot slot;
    slot.owned_ = std::move(text);
    slot.is_owned_ = true;
    return slot;
  }

  // The text. The view lives as long as the borrowed data, or, for owned
  // text, until this slot is modified, moved from or destroyed.
  std::string_view view() const { return is_owned_ ? std::string_view(owned_) : borrowed_; }

  // True for text built during the call, which lives only as long as the slot.
  bool is_owned() const { return is_owned_; }

  // An owned copy for a result; moves the owned text out when there is one.
  std::string take() && { return is_owned_ ? std::move(owned_) : std::string(borrowed_); }

 private:
  std::string_view borrowed_;
  std::string owned_;
  bool is_owned_ = false;
};

}  // namespace quillet
