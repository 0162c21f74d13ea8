#include "platform/posix/descriptor_io.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace glimmet {

std::string systemError(int error) {
  return std::strerror(error);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace glimmet
