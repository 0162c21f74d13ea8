#pragma once

#include <cstdio>
#include <memory>

#include "app/environment.hpp"
#include "app/paths.hpp"
#include "bridge/audit_writer.hpp"
#include "bridge/decision_dispatch.hpp"
#include "bridge/pending_action_store.hpp"
#include "events/event_store.hpp"
#include "platform/console_input.hpp"
#include "platform/main_loop.hpp"
#include "platform/socket_server.hpp"
#include "platform/user_defaults.hpp"
#include "ui/console_approvals.hpp"

namespace glimmet {

// The running application on the console: the event store on the main loop, watching the event
// file, and the inbox printed whenever the store publishes; the approval socket, whose pending
// actions are announced on the console and answered by commands read from standard input.
class Application {
 public:
  static constexpr double kRuntimeTickSeconds = 2.0;

  Application(Environment environment, std::FILE* console, int commandInput = 0);
  ~Application();

  // Loads the store, starts watching and runs until stop() or a termination signal.
  int run();
  void stop();

  MainLoop& loop() { return loop_; }
  EventStore& store() { return *store_; }
  const Paths& paths() const { return paths_; }
  // Where the approval audit log lives: ~/.glimmet/audit.jsonl, whatever GLIMMET_HOME says.
  // The user default useSocketApprovalEnabled; absent or not a boolean means true.
  bool socketApprovalEnabled() const;

 private:
  void printInbox();
  void print(const std::string& text);
  // Launch steps: the audit observer, reconciliation, then the socket server.
  void startApprovals();
  void stopApprovals();

  Environment environment_;
  std::FILE* console_;
  bool isolated_;
  Paths paths_;
  MainLoop loop_;
  std::unique_ptr<UserDefaults> userDefaults_;
  std::unique_ptr<EventStore> store_;
  WorkItem runtimeTick_;
  int commandInput_;
  std::unique_ptr<PendingActionStore> pendingActions_;
  std::unique_ptr<AuditWriter> auditWriter_;
  std::unique_ptr<DecisionDispatcher> dispatcher_;
  std::unique_ptr<ConsoleApprovals> approvals_;
  std::unique_ptr<SocketServer> socketServer_;
  std::unique_ptr<ConsoleInput> consoleInput_;
};

// Options for a store that reads the event file of `paths` as the running application would.
EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated, UserDefaults* defaults);

}  // namespace glimmet
