#include "platform/posix/polled_fd.hpp"

namespace glimmet {

void closePolledFd(PolledFd* polled) {
  uv_poll_stop(&polled->handle);
  polled->handle.data = nullptr;
  uv_close(reinterpret_cast<uv_handle_t*>(&polled->handle),
           [](uv_handle_t* handle) { delete reinterpret_cast<PolledFd*>(handle); });
}

}  // namespace glimmet
