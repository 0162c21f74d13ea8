#pragma once

#include <string>
#include <utility>
#include <variant>

namespace glimmet {

// A value or a user-facing error message.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  static Result failure(std::string message) { return Result(Error{std::move(message)}); }

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }
  const T& value() const { return std::get<T>(state_); }
  T& value() { return std::get<T>(state_); }
  const std::string& error() const { return std::get<Error>(state_).message; }

 private:
  struct Error {
    std::string message;
  };
  explicit Result(Error error) : state_(std::move(error)) {}
  std::variant<T, Error> state_;
};

// Success or a user-facing error message, for calls without a value.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status failure(std::string message) {
    Status status;
    status.message_ = std::move(message);
    status.failed_ = true;
    return status;
  }
  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return message_; }

 private:
  std::string message_;
  bool failed_ = false;
};

}  // namespace glimmet
