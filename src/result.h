// Result<T>: a value or an error message. Errors inside the engine travel as
// values; only the Python boundary turns them into exceptions.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace quillet {

struct Error {
  std::string message;
};

template <class T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}          // NOLINT: implicit by design
  Result(Error error) : state_(std::move(error)) {}      // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  // value() and error() may only be called when ok() says so.
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const std::string& error() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, Error> state_;
};

}  // namespace quillet
