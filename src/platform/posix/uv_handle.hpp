#pragma once

#include <uv.h>

#include <type_traits>
#include <utility>
#include <variant>

namespace glimmet {

// Owns one libuv handle (uv_poll_t, uv_signal_t, uv_fs_event_t, uv_any_handle, ...) together
// with an optional payload that must outlive it, such as the descriptor a poll handle watches.
// libuv may touch a handle until its close callback has run, so the memory is freed there and
// not in the owner's destructor; `data` is cleared first, so no callback reaches an owner that
// is gone. Loop thread only; every owner must go before its loop does.
template <class Handle, class Payload = std::monostate>
class UvHandle {
 public:
  UvHandle() = default;
  ~UvHandle() { reset(); }
  UvHandle(UvHandle&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
  UvHandle& operator=(UvHandle&& other) noexcept {
    if (this != &other) {
      reset();
      node_ = std::exchange(other.node_, nullptr);
    }
    return *this;
  }
  UvHandle(const UvHandle&) = delete;
  UvHandle& operator=(const UvHandle&) = delete;

  // Allocates the handle with `payload` and runs `init(Handle*)`, a uv_*_init call or a lambda
  // making several (init, open, start). On a non-zero result the handle is released again and
  // the libuv error code returned; nothing stays open.
  template <class Init>
  int init(Init&& init, Payload payload = {}) {
    reset();
    auto* node = new Node{Handle{}, std::move(payload)};
    const int rc = std::forward<Init>(init)(&node->handle);
    if (rc != 0) {
      // A handle that libuv registered must be closed; one it refused was never registered.
      if (registered(&node->handle)) {
        close(node);
      } else {
        delete node;
      }
      return rc;
    }
    node_ = node;
    return 0;
  }

  // Closes the handle (which also stops it); the memory goes in the close callback.
  void reset() {
    if (Node* node = std::exchange(node_, nullptr)) close(node);
  }

  explicit operator bool() const { return node_ != nullptr; }
  Handle* get() const { return node_ ? &node_->handle : nullptr; }
  Handle* operator->() const { return get(); }
  uv_handle_t* base() const { return reinterpret_cast<uv_handle_t*>(get()); }
  Payload& payload() const { return node_->payload; }

 private:
  struct Node {
    Handle handle;  // first, so that the close callback finds the node at the handle's address
    Payload payload;
  };
  static_assert(std::is_standard_layout_v<Node>);

  // uv_handle_t's loop pointer is set by every successful uv_*_init.
  static bool registered(Handle* handle) {
    return reinterpret_cast<uv_handle_t*>(handle)->loop != nullptr;
  }

  static void close(Node* node) {
    auto* handle = reinterpret_cast<uv_handle_t*>(&node->handle);
    handle->data = nullptr;
    if (uv_is_closing(handle)) return;  // already on its way out (the loop is ending)
    uv_close(handle, [](uv_handle_t* closed) { delete reinterpret_cast<Node*>(closed); });
  }

  Node* node_ = nullptr;
};

}  // namespace glimmet
