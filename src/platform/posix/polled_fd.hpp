#pragma once

#include <uv.h>

#include "platform/posix/unique_fd.hpp"
#include "platform/posix/uv_handle.hpp"

namespace glimmet {

// A poll handle and the descriptor it watches. The descriptor is closed only after libuv has
// released the handle, so its number cannot be reused while the loop still watches it.
using PolledFd = UvHandle<uv_poll_t, UniqueFd>;

// Makes `polled` watch `fd` for `events`, calling `callback` with `data` set on the handle; a
// libuv error code on failure, when the descriptor is closed and nothing stays open.
int startPolling(PolledFd& polled, uv_loop_t* loop, UniqueFd fd, int events, void* data,
                 uv_poll_cb callback);

}  // namespace glimmet
