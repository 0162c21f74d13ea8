#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "app/core.hpp"
#include "platform/console_input.hpp"
#include "ui/console_approvals.hpp"

namespace glimmet {

// The console's share of a running core: prints the inbox whenever the core publishes a
// snapshot with new store content, announces waiting requests and how they ended, and answers
// them with commands read from `commandInput`. Loop thread.
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
  void printInbox(const AppSnapshot& snapshot);

  Core& core_;
  std::FILE* console_;
  int commandInput_;
  ConsoleApprovals approvals_;
  std::unique_ptr<ConsoleInput> consoleInput_;
  uint64_t subscription_ = 0;
  int64_t printedStoreRevision_ = -1;
};

}  // namespace glimmet
