#pragma once

#include <uv.h>

#include <type_traits>

#include "platform/posix/unique_fd.hpp"

namespace glimmet {

// A poll handle and the descriptor it watches. The descriptor is closed only after libuv has
// released the handle, so its number cannot be reused while the loop still watches it.
struct PolledFd {
  uv_poll_t handle{};
  UniqueFd fd;
};
// The close callback gets the handle back and finds its PolledFd at the same address.
static_assert(std::is_standard_layout_v<PolledFd>);

// Stops watching, clears handle.data so that no later callback reaches the owner, and frees
// `polled` with its descriptor once libuv lets go of the handle.
void closePolledFd(PolledFd* polled);

}  // namespace glimmet
