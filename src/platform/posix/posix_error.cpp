#include "platform/posix_error.hpp"

#include <cstring>

#include <fmt/format.h>

namespace glimmet {

std::string POSIXError::description() const {
  return fmt::format("POSIX {} failed: errno={} ({})", op, code, std::strerror(code));
}

}  // namespace glimmet
