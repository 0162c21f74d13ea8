#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace glimmet {

// An immutable list that copies as a pointer: every snapshot published while the list stays
// the same shares it, instead of each copying hundreds of items on the main loop.
template <typename T>
class SharedList {
 public:
  using value_type = T;
  using const_iterator = typename std::vector<T>::const_iterator;

  SharedList() = default;
  SharedList(std::vector<T> items)  // NOLINT(google-explicit-constructor): a list is a list
      : items_(std::make_shared<const std::vector<T>>(std::move(items))) {}
  SharedList(std::initializer_list<T> items) : SharedList(std::vector<T>(items)) {}
  explicit SharedList(std::shared_ptr<const std::vector<T>> items) : items_(std::move(items)) {}

  const std::vector<T>& items() const { return items_ ? *items_ : noItems(); }
  operator const std::vector<T>&() const { return items(); }  // NOLINT(google-explicit-constructor)

  const_iterator begin() const { return items().begin(); }
  const_iterator end() const { return items().end(); }
  size_t size() const { return items().size(); }
  bool empty() const { return items().empty(); }
  const T& operator[](size_t index) const { return items()[index]; }
  const T& front() const { return items().front(); }
  const T& back() const { return items().back(); }

  // Equal items, found at once when both share one list.
  bool operator==(const SharedList& other) const {
    return items_ == other.items_ || items() == other.items();
  }

 private:
  static const std::vector<T>& noItems() {
    static const std::vector<T> none;
    return none;
  }
  std::shared_ptr<const std::vector<T>> items_;
};

}  // namespace glimmet
