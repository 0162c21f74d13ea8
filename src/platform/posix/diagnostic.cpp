#include "platform/posix/diagnostic.hpp"

#include <cstdio>

namespace glimmet {

void writeDiagnostic(const std::function<void(const std::string&)>& log, const std::string& line) {
  if (log) {
    log(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

}  // namespace glimmet
