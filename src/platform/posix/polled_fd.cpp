#include "platform/posix/polled_fd.hpp"

namespace glimmet {

int startPolling(PolledFd& polled, uv_loop_t* loop, UniqueFd fd, int events, void* data,
                 uv_poll_cb callback) {
  const int descriptor = fd.get();
  return polled.init(
      [&](uv_poll_t* handle) {
        int rc = uv_poll_init(loop, handle, descriptor);
        if (rc != 0) return rc;
        handle->data = data;
        return uv_poll_start(handle, events, callback);
      },
      std::move(fd));
}

}  // namespace glimmet
