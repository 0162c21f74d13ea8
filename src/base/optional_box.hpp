#pragma once

#include <memory>
#include <optional>
#include <utility>

namespace glimmet {

// An optional value kept on the heap: reads like `std::optional<T>` and copies like one (deeply),
// but an empty box is one pointer wide. For large members most records leave empty, so that
// lists of hundreds of records stay small enough to copy and move cheaply.
template <typename T>
class OptionalBox {
 public:
  OptionalBox() = default;
  OptionalBox(std::nullopt_t) {}  // NOLINT(google-explicit-constructor): reads like optional
  OptionalBox(const T& value)     // NOLINT(google-explicit-constructor)
      : value_(std::make_unique<T>(value)) {}
  OptionalBox(T&& value)  // NOLINT(google-explicit-constructor)
      : value_(std::make_unique<T>(std::move(value))) {}
  OptionalBox(const std::optional<T>& value) {  // NOLINT(google-explicit-constructor)
    if (value) value_ = std::make_unique<T>(*value);
  }
  OptionalBox(std::optional<T>&& value) {  // NOLINT(google-explicit-constructor)
    if (value) value_ = std::make_unique<T>(std::move(*value));
  }
  OptionalBox(const OptionalBox& other)
      : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
  OptionalBox(OptionalBox&&) noexcept = default;
  OptionalBox& operator=(const OptionalBox& other) {
    if (this != &other) value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
    return *this;
  }
  OptionalBox& operator=(OptionalBox&&) noexcept = default;
  ~OptionalBox() = default;

  bool has_value() const { return value_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return value_.get(); }
  const T* operator->() const { return value_.get(); }
  const T& value() const {
    if (!value_) throw std::bad_optional_access();
    return *value_;
  }
  template <typename... Args>
  T& emplace(Args&&... args) {
    value_ = std::make_unique<T>(std::forward<Args>(args)...);
    return *value_;
  }
  void reset() { value_.reset(); }
  std::optional<T> toOptional() const { return value_ ? std::optional<T>(*value_) : std::nullopt; }

  friend bool operator==(const OptionalBox& a, const OptionalBox& b) {
    if (!a.value_ || !b.value_) return !a.value_ && !b.value_;
    return *a.value_ == *b.value_;
  }
  friend bool operator==(const OptionalBox& a, std::nullopt_t) { return !a.value_; }

 private:
  std::unique_ptr<T> value_;
};

}  // namespace glimmet
