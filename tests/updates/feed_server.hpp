#pragma once

// The update tests' HTTP server: tests/updates/feed_server.py under the real python3, serving
// a temporary folder on 127.0.0.1.

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {

class FeedServer {
 public:
  FeedServer() {
    server_ = ChildProcess::spawn(
        {"python3", std::string(GLIMMET_SOURCE_DIR) + "/tests/updates/feed_server.py",
         root_.path()});
    server_.waitForOutput("\n", 10);
    port_ = std::stoi(server_.output());
  }

  // A file the server serves as /name.
  void put(const std::string& name, const std::string& contents) const {
    writeText(root_.file(name), contents);
  }
  std::string url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
  }
  const std::string& root() const { return root_.path(); }

 private:
  TempDir root_;
  ChildProcess server_;
  int port_ = 0;
};

}  // namespace glimmet::testing
