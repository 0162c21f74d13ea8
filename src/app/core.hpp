#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_command.hpp"
#include "app/app_snapshot.hpp"
#include "app/automatic_update_check.hpp"
#include "app/usage_carousel.hpp"
#include "approvals/audit_writer.hpp"
#include "approvals/decision_dispatch.hpp"
#include "approvals/hook_socket_service.hpp"
#include "approvals/pending_action_store.hpp"
#include "base/environment.hpp"
#include "base/log.hpp"
#include "model/paths.hpp"
#include "platform/main_loop.hpp"
#include "platform/serial_queue.hpp"
#include "platform/user_defaults.hpp"
#include "store/event_store.hpp"

namespace glimmet {

// The running application without a face: the event store watching the event file, the
// approval socket with its pending actions and audit, and the 2-second runtime tick. Front ends
// (the console, the overlay, the macOS shell, tests) see it only through immutable snapshots
// and change it only through typed commands.
class Core {
 public:
  static constexpr double kRuntimeTickSeconds = 2.0;
  static constexpr size_t kFinishedRequestsKept = 64;
  static constexpr double kStatusBannerSeconds = 2.0;

  using Subscriber = std::function<void(const SnapshotPtr&)>;

  // `log` receives every diagnostic line; `isolated` keeps the core off the user's real tool
  // directories, file monitoring and mark persistence.
  Core(Environment environment, bool isolated, LogSink log = {});
  ~Core();
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  // The launch sequence, on the loop thread: the audit observer and reconciliation, the socket
  // server (unless the user turned socket approvals off), the first load of the event store,
  // watching the event file and the runtime tick.
  void start();
  // Stops the tick, the watching and the socket; idempotent. Loop thread.
  void shutDown();
  // Set by start() when this instance must not run: another one owns the socket, or the socket
  // path cannot be used. The text names the cause.
  const std::optional<std::string>& startRefusal() const { return startRefusal_; }

  // Read side. Subscribers are called on the loop thread with every snapshot that differs from
  // the previous one in something a user could see. Loop thread.
  uint64_t subscribe(Subscriber subscriber);
  void unsubscribe(uint64_t subscription);
  // The newest snapshot; any thread.
  SnapshotPtr snapshot() const;

  // Write side; any thread. Runs at once when called on the loop thread, else posted to it;
  // `done` (optional) is called on the loop thread with the result.
  void send(AppCommand command, CommandDone done = {});
  // A notification action: the deciding ones become commands, the rest go to the front end's
  // hooks (bring forward, open the text panel, jump). Loop thread.
  bool performNotificationAction(std::string_view actionID, const std::string& requestID,
                                 std::string_view kind);
  // Work a front end does on the runtime tick (every 2 s), so that the process wakes once for
  // all of it. Loop thread.
  void addRuntimeTickWork(std::function<void()> work) { tickWork_.push_back(std::move(work)); }
  // A success line in the panel's status banner, gone two seconds later. Loop thread.
  void showStatusBanner(const std::string& text);
  // Hooks for what a decision does around the interface; set before start().
  void setDecisionFrontEnd(DecisionFrontEnd frontEnd) { frontEnd_ = std::move(frontEnd); }

  MainLoop& loop() { return loop_; }
  const Paths& paths() const { return paths_; }
  bool isolated() const { return isolated_; }
  EventStore& store() { return *store_; }
  PendingActionStore& pendingActions() { return *pendingActions_; }
  // The user's preferences, read where they are needed so that a change takes effect at once.
  UserDefaults& userDefaults() { return *userDefaults_; }
  // The user default useSocketApprovalEnabled; absent or not a boolean means true.
  bool socketApprovalEnabled() const;

 private:
  CommandResult execute(const AppCommand& command);
  CommandResult decide(const Command::Decide& command);
  // The current message that the event `messageID` speaks for, if any.
  const IslandMessage* findMessage(const std::string& messageID);
  // `note` is the typed text of "send_input" and the note of a "choose_option:" role.
  CommandResult performMessageAction(const Command::PerformMessageAction& command,
                                     const std::optional<std::string>& note = std::nullopt);
  CommandResult chooseMessageOption(const Command::ChooseMessageOption& command);
  // The outcome as a result, and in the status banner (a failure's after `failurePrefix`).
  CommandResult reportMessageAction(const MessageActionOutcome& outcome,
                                    std::string_view failurePrefix);
  void setStatusBanner(const std::string& text, RGBColor color);
  void publish();
  std::shared_ptr<AppSnapshot> buildSnapshot();
  UsageCarouselInputs usageCarouselInputs() const;
  // The tools' health and the wrapper bridge, for the usage carousel: files only, so it can run
  // on a worker.
  static UsageCarouselInputs toolHealthInputs(const Paths& paths, const Environment& environment);
  std::vector<std::string> disabledToolIDs() const;
  void scheduleAutomaticUpdateCheck();
  void log(const std::string& line) const { writeLog(log_, line); }

  Environment environment_;
  bool isolated_;
  LogSink log_;
  Paths paths_;
  MainLoop loop_;
  std::unique_ptr<UserDefaults> userDefaults_;
  std::unique_ptr<EventStore> store_;
  UsageCarousel usageCarousel_;
  std::unique_ptr<PendingActionStore> pendingActions_;
  std::unique_ptr<AuditWriter> auditWriter_;
  std::unique_ptr<DecisionDispatcher> dispatcher_;
  std::unique_ptr<HookSocketService> socketService_;
  std::unique_ptr<AutomaticUpdateCheck> updateCheck_;
  DecisionFrontEnd frontEnd_;
  WorkItem runtimeTick_;
  std::vector<std::function<void()>> tickWork_;
  WorkItem statusBannerDismissal_;
  std::optional<StatusBanner> statusBanner_;
  std::vector<PendingAction> finishedRequests_;
  bool started_ = false;
  std::optional<std::string> startRefusal_;
  // Reads the tools' health for the carousel once the core runs (a read takes milliseconds of
  // file access, which the loop should not wait for).
  std::unique_ptr<SerialQueue> healthQueue_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::map<uint64_t, Subscriber> subscribers_;
  uint64_t nextSubscription_ = 1;
  uint64_t snapshotRevision_ = 0;
  mutable std::mutex snapshotMutex_;
  SnapshotPtr snapshot_;
};

// The store's bridge events once it exists, else none.
using BridgeEventsOf = std::function<const std::vector<GlimmetEvent>*()>;

// Options for a store that reads the event file of `paths` as the running application would,
// deriving each message's jump on this machine (its search path from `environment`).
EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated, UserDefaults* defaults,
                                        LogSink log = {}, const Environment& environment = {},
                                        BridgeEventsOf bridgeEventsOf = {});

}  // namespace glimmet
