#pragma once

// Stand-ins for osascript, open, cmux, xdg-open, tmux and the terminals: shell scripts that
// append their name and arguments to one log, in call order, and exit with a chosen status.

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.hpp"

namespace glimmet::testing {

class FakePrograms {
 public:
  // Arguments are NUL-terminated and calls end with a 0x1e byte, so scripts with newlines and
  // quotes come back exactly as they were passed.
  std::string add(const std::string& name, const std::string& body = "exit 0") {
    const std::string path = dir_.file(name);
    writeText(path, "#!/bin/sh\n{ printf '%s\\0' \"" + name + "\" \"$@\"; printf '\\036'; } >> '" +
                        log() + "'\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
  }

  std::string log() const { return dir_.file("calls.log"); }
  std::string path(const std::string& name) const { return dir_.file(name); }

  // Each call: the program's name, then its arguments.
  std::vector<std::vector<std::string>> calls() const {
    std::vector<std::vector<std::string>> calls;
    const std::string text = readFileOrEmpty(log());
    std::vector<std::string> current;
    std::string word;
    for (const char c : text) {
      if (c == '\0') {
        current.push_back(std::exchange(word, {}));
      } else if (c == '\x1e') {
        calls.push_back(std::exchange(current, {}));
      } else {
        word += c;
      }
    }
    return calls;
  }

  // For programs started detached: waits until `count` calls were logged.
  std::vector<std::vector<std::string>> awaitCalls(size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls().size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return calls();
  }

  const std::string& directory() const { return dir_.path(); }

 private:
  static std::string readFileOrEmpty(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? readText(path) : std::string();
  }
  TempDir dir_;
};

}  // namespace glimmet::testing
