// TextSlot: one piece of text during a conversion, either borrowed (a view
// into the Pipeline's mappings, its UserDict, the token list or a constant
// label, all of which outlive the call) or owned (built during the call).
// Conversions keep text borrowed until they write their results, so stored
// readings and labels are copied exactly once, into the result.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quillet {

// True when `piece` lies inside `text`: a view borrowed from it, rather
// than from data that outlives the call. Compared as addresses of any
// origin, which std::less orders totally.
inline bool lies_in(std::string_view piece, std::string_view text) {
  const std::less<const char*> before;
  return !before(piece.data(), text.data()) &&
         !before(text.data() + text.size(), piece.data() + piece.size());
}

class TextSlot {
 public:
  TextSlot() = default;
  // Borrows `text`; the caller keeps what it points to alive.
  static TextSlot borrow(std::string_view text) {
    TextSlot slot;
    slot.view_ = text;
    return slot;
  }
  // Owned text is rare (a pass's change, a reading built character by
  // character) and most slots borrow, so it lives on the heap: a slot is
  // then a view and a pointer, which moves as cheaply as a view, and the
  // view stays valid when the slot moves.
  static TextSlot own(std::string text) {
    TextSlot slot;
    slot.owned_ = std::make_unique<std::string>(std::move(text));
    slot.view_ = *slot.owned_;
    return slot;
  }

  // The text. The view lives as long as the borrowed data, or, for owned
  // text, until this slot is modified or destroyed (a move passes it on).
  std::string_view view() const { return view_; }

  // True for text built during the call, which lives only as long as the slot.
  bool is_owned() const { return owned_ != nullptr; }

  // An owned copy for a result; moves the owned text out when there is one.
  std::string take() && { return owned_ ? std::move(*owned_) : std::string(view_); }

 private:
  std::string_view view_;
  std::unique_ptr<std::string> owned_;
};

}  // namespace quillet
