#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "app/core.hpp"
#include "platform/console_input.hpp"
#include "ui/console_approvals.hpp"

namespace glimmet {

// The console front end: prints the inbox whenever the core publishes a snapshot with new
// store content, announces waiting requests and how they ended, and answers them with commands
// read from standard input.
class ConsoleApplication {
 public:
  ConsoleApplication(Environment environment, std::FILE* console, int commandInput = 0);
  ~ConsoleApplication();

  // Starts the core and runs until stop() or a termination signal; 0 then. Returns 1 at once,
  // with the cause on standard error, when the core refuses to start (another instance owns
  // the socket, or its path cannot be used).
  int run();
  // Thread-safe.
  void stop();

  MainLoop& loop() { return core_->loop(); }
  Core& core() { return *core_; }

 private:
  void show(const SnapshotPtr& snapshot);
  void printInbox(const AppSnapshot& snapshot);
  void print(const std::string& text);

  std::FILE* console_;
  int commandInput_;
  std::unique_ptr<Core> core_;
  ConsoleApprovals approvals_;
  std::unique_ptr<ConsoleInput> consoleInput_;
  int64_t printedStoreRevision_ = -1;
};

}  // namespace glimmet
