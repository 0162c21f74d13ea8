#include "base/log.hpp"

#include <cstdio>

namespace glimmet {

void writeLog(const LogSink& sink, const std::string& line) {
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

}  // namespace glimmet
