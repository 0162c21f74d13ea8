#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "approvals/agent_pid_watcher.hpp"
#include "base/time.hpp"
#include "model/hook_messages.hpp"
#include "model/pending_action.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

// Every request seen since launch and the one reply each may still get. Each action is
// answered at most once: by the user, its time-out, its agent's exit or a repeat of the same
// request (see PendingAction::repeats); one whose bridge hung up ends without a reply.
// Main loop only.
class PendingActionStore {
 public:
  using Sender = std::function<void(const HookReply&)>;
  using Observer = std::function<void(const PendingAction&)>;
  using WatcherFactory = std::function<std::unique_ptr<AgentPIDWatcher>(
      MainLoop& loop, int32_t pid, std::function<void()> onExit)>;

  explicit PendingActionStore(MainLoop& loop, WatcherFactory watcherFactory = {});
  ~PendingActionStore();
  PendingActionStore(const PendingActionStore&) = delete;
  PendingActionStore& operator=(const PendingActionStore&) = delete;

  PendingAction insert(PendingAction action, Sender sender);
  // Answers an open action; false when the id is unknown or the action is already final.
  bool complete(const std::string& requestID, const HookReply& reply,
                PendingActionStatus newStatus);
  // Answers an open action with decision = the reason's raw value.
  void fail(const std::string& requestID, PendingActionStatus reason);
  // What to run when the bridge of the request now stored as `requestID` hangs up: that
  // request, if still open, ends as hookDropped and nothing is sent, as nobody is left to read
  // it. A later request with the same id is left alone, and so is a store that is gone.
  std::function<void()> hangUpHandler(const std::string& requestID);

  std::optional<PendingAction> action(const std::string& requestID) const;
  // The reply a final action was answered with; absent while it waits.
  std::optional<HookReply> reply(const std::string& requestID) const;
  // Open actions, oldest first; equal times keep their arrival order.
  std::vector<PendingAction> waitingActions() const;
  // Observers see a copy of the action after every change, in registration order.
  void addObserver(Observer observer);

 private:
  struct Entry {
    PendingAction action;
    uint64_t arrival = 0;
    std::optional<HookReply> reply;
  };

  void fireTimeout(const std::string& requestID);
  void dropHook(const std::string& requestID, uint64_t arrival);
  // Sends once (the sender is removed first), stops the timer and the watcher, tells observers.
  void finish(Entry& entry, PendingActionStatus status, const HookReply& reply);
  void notify(const PendingAction& action);

  MainLoop& loop_;
  WatcherFactory watcherFactory_;
  std::unordered_map<std::string, Entry> actions_;
  std::unordered_map<std::string, Sender> senders_;
  std::unordered_map<std::string, WorkItem> timeouts_;
  std::unordered_map<std::string, std::unique_ptr<AgentPIDWatcher>> watchers_;
  std::vector<Observer> observers_;
  uint64_t nextArrival_ = 0;
  // Timers and watcher callbacks check this before touching a store that is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace glimmet
