#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/log.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

// Reads a descriptor (normally standard input) line by line on the main loop without ever
// blocking it, whatever the descriptor is: a terminal, a pipe, a socket, a file or /dev/null.
// Lines come without their line feed (and without a carriage return before it).
class ConsoleInput {
 public:
  using LineHandler = std::function<void(const std::string& line)>;

  static constexpr size_t kMaxLineBytes = size_t{64} * 1024;

  ConsoleInput(MainLoop& loop, int fd, LineHandler onLine, std::function<void()> onEnd = {},
               LogSink log = {});
  ~ConsoleInput();
  ConsoleInput(const ConsoleInput&) = delete;
  ConsoleInput& operator=(const ConsoleInput&) = delete;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace glimmet
