#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace glimmet {

// A list of at most N small values kept inline, for the short lists a record holds line after
// line (an event's capabilities, a metric's numbers), where a vector would allocate for each.
// Its users know their bound: more than N values is a programming error, and the extra values
// are not kept.
template <typename T, size_t N>
class InlineList {
  static_assert(N <= UINT8_MAX);

 public:
  using value_type = T;
  using const_iterator = const T*;
  using iterator = const T*;

  InlineList() = default;
  InlineList(std::initializer_list<T> values) {
    for (const T& value : values) push_back(value);
  }

  void push_back(const T& value) {
    if (size_ < N) values_[size_++] = value;
  }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T& operator[](size_t index) const { return values_[index]; }
  const T* begin() const { return values_.data(); }
  const T* end() const { return values_.data() + size_; }

  bool operator==(const InlineList& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
  }

 private:
  std::array<T, N> values_{};
  uint8_t size_ = 0;
};

}  // namespace glimmet
