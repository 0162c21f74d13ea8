#pragma once

#include <string>

namespace glimmet {

// A failed system call: "POSIX <op> failed: errno=<n> (<system text>)".
struct POSIXError {
  int code = 0;
  std::string op;
  std::string description() const;
};

}  // namespace glimmet
