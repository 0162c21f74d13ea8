#pragma once

#include <mutex>
#include <utility>

namespace glimmet {

// Shared state touched by two threads: the data is reachable only while its mutex is held.
template <class T>
class Locked {
 public:
  Locked() = default;
  explicit Locked(T value) : value_(std::move(value)) {}

  template <class F>
  decltype(auto) with(F&& f) {
    std::lock_guard lock(mutex_);
    return std::forward<F>(f)(value_);
  }

 private:
  std::mutex mutex_;
  T value_{};
};

}  // namespace glimmet
