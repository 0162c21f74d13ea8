#include "platform/window_focus.hpp"

namespace glimmet {

Result<uint64_t> activateWindow(const std::string&, uint64_t) {
  return Result<uint64_t>::failure("window focus by window id is not supported on macOS");
}

Result<uint64_t> windowOwnedByProcessTree(const std::string&, int64_t) {
  return Result<uint64_t>::failure("window lookup by process is not supported on macOS");
}

}  // namespace glimmet
