#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "app/core.hpp"
#include "platform/console_input.hpp"
#include "ui/console_approvals.hpp"
#include "ui/console_messages.hpp"

namespace glimmet {

// The console's share of a running core: prints the inbox (its messages numbered m1, m2, ...)
// whenever the core publishes a snapshot with new store content, announces waiting requests and
// how they ended, and runs the commands read from `commandInput`: answers to requests, and
// actions on the messages of the inbox printed last. Loop thread.
class ConsoleFrontEnd {
 public:
  ConsoleFrontEnd(Core& core, std::FILE* console, int commandInput);
  ~ConsoleFrontEnd();
  ConsoleFrontEnd(const ConsoleFrontEnd&) = delete;
  ConsoleFrontEnd& operator=(const ConsoleFrontEnd&) = delete;

  // Subscribes before the core starts, so that nothing published during start-up is missed.
  void subscribe();
  // Once the core runs: reads commands and prints the inbox as it is now.
  void startInput();
  void detach();
  void print(const std::string& text);

 private:
  void show(const SnapshotPtr& snapshot);
  std::string execute(const std::string& line);
  void printInbox(const AppSnapshot& snapshot);

  Core& core_;
  std::FILE* console_;
  int commandInput_;
  ConsoleApprovals approvals_;
  ConsoleMessages messages_;
  std::unique_ptr<ConsoleInput> consoleInput_;
  uint64_t subscription_ = 0;
  int64_t printedStoreRevision_ = -1;
};

}  // namespace glimmet
