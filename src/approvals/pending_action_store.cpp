#include "approvals/pending_action_store.hpp"

#include <algorithm>

namespace glimmet {

PendingActionStore::PendingActionStore(MainLoop& loop, WatcherFactory watcherFactory)
    : loop_(loop), watcherFactory_(std::move(watcherFactory)) {
  if (!watcherFactory_) {
    watcherFactory_ = [](MainLoop& mainLoop, int32_t pid, std::function<void()> onExit) {
      return std::make_unique<AgentPIDWatcher>(mainLoop, pid, std::move(onExit));
    };
  }
}

PendingActionStore::~PendingActionStore() {
  *alive_ = false;
  timeouts_.clear();
  watchers_.clear();
}

PendingAction PendingActionStore::insert(PendingAction action, Sender sender) {
  // A repeated request id counts as a newer request for the old one, whatever it asks: the
  // old bridge is told "superseded" and its timer and watcher go before the entry is replaced.
  // So does the same tool call asked again (the agent gave up on the first ask); other requests
  // wait side by side. They are collected first because finishing calls out to observers.
  std::vector<std::string> superseded;
  for (const auto& [id, entry] : actions_) {
    if (entry.action.status != PendingActionStatus::awaitingUser) continue;
    if (id == action.requestID || action.repeats(entry.action)) superseded.push_back(id);
  }
  for (const auto& id : superseded) {
    auto found = actions_.find(id);
    if (found != actions_.end() &&
        found->second.action.status == PendingActionStatus::awaitingUser) {
      finish(found->second, PendingActionStatus::superseded, storeReply(id, "superseded"));
    }
  }
  const std::string requestID = action.requestID;
  action.status = PendingActionStatus::awaitingUser;
  actions_[requestID] = Entry{action, nextArrival_++, std::nullopt};
  senders_[requestID] = std::move(sender);

  std::weak_ptr<bool> alive = alive_;
  const auto seconds = std::max<int64_t>(0, action.timeoutSeconds);
  timeouts_[requestID] =
      loop_.schedule(Seconds(static_cast<double>(seconds)), [this, alive, requestID] {
        if (auto flag = alive.lock(); flag && *flag) {
          fireTimeout(requestID);
        }
      });
  watchers_[requestID] = watcherFactory_(loop_, action.agentPID, [this, alive, requestID] {
    if (auto flag = alive.lock(); flag && *flag) fail(requestID, PendingActionStatus::agentDied);
  });
  notify(action);
  return action;
}

bool PendingActionStore::complete(const std::string& requestID, const HookReply& reply,
                                  PendingActionStatus newStatus) {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return false;
  if (found->second.action.status != PendingActionStatus::awaitingUser) return false;
  finish(found->second, newStatus, reply);
  return true;
}

void PendingActionStore::fail(const std::string& requestID, PendingActionStatus reason) {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return;
  if (found->second.action.status != PendingActionStatus::awaitingUser) return;
  finish(found->second, reason, storeReply(requestID, std::string(rawValue(reason))));
}

std::function<void()> PendingActionStore::hangUpHandler(const std::string& requestID) {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return [] {};
  std::weak_ptr<bool> alive = alive_;
  return [this, alive, requestID, arrival = found->second.arrival] {
    if (auto flag = alive.lock(); flag && *flag) dropHook(requestID, arrival);
  };
}

void PendingActionStore::dropHook(const std::string& requestID, uint64_t arrival) {
  auto found = actions_.find(requestID);
  if (found == actions_.end() || found->second.arrival != arrival) return;
  if (found->second.action.status != PendingActionStatus::awaitingUser) return;
  senders_.erase(requestID);
  const PendingActionStatus status = PendingActionStatus::hookDropped;
  finish(found->second, status, storeReply(requestID, std::string(rawValue(status))));
}

void PendingActionStore::fireTimeout(const std::string& requestID) {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return;
  if (found->second.action.status != PendingActionStatus::awaitingUser) return;
  finish(found->second, PendingActionStatus::timedOut, storeReply(requestID, "timed_out"));
}

void PendingActionStore::finish(Entry& entry, PendingActionStatus status, const HookReply& reply) {
  const std::string requestID = entry.action.requestID;
  entry.action.status = status;
  entry.reply = reply;
  // Taken out before the call, so that a re-entrant decision finds no sender to answer twice.
  if (auto sender = senders_.extract(requestID); !sender.empty() && sender.mapped()) {
    sender.mapped()(reply);
  }
  // Extracted and destroyed after the erase: the timer or watcher may be the caller.
  auto timer = timeouts_.extract(requestID);
  if (!timer.empty()) timer.mapped().cancel();
  auto watcher = watchers_.extract(requestID);
  if (!watcher.empty() && watcher.mapped()) watcher.mapped()->cancel();
  notify(entry.action);
}

std::optional<PendingAction> PendingActionStore::action(const std::string& requestID) const {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return std::nullopt;
  return found->second.action;
}

std::optional<HookReply> PendingActionStore::reply(const std::string& requestID) const {
  auto found = actions_.find(requestID);
  if (found == actions_.end()) return std::nullopt;
  return found->second.reply;
}

std::vector<PendingAction> PendingActionStore::waitingActions() const {
  std::vector<const Entry*> open;
  for (const auto& [id, entry] : actions_) {
    if (entry.action.status == PendingActionStatus::awaitingUser) open.push_back(&entry);
  }
  std::sort(open.begin(), open.end(), [](const Entry* a, const Entry* b) {
    if (a->action.createdAt != b->action.createdAt) {
      return a->action.createdAt < b->action.createdAt;
    }
    return a->arrival < b->arrival;
  });
  std::vector<PendingAction> result;
  result.reserve(open.size());
  for (const Entry* entry : open) result.push_back(entry->action);
  return result;
}

void PendingActionStore::addObserver(Observer observer) {
  observers_.push_back(std::move(observer));
}

void PendingActionStore::notify(const PendingAction& action) {
  // A copy: an observer may change the store, and with it the action `action` refers to.
  const PendingAction copy = action;  // NOLINT(performance-unnecessary-copy-initialization)
  for (const auto& observer : observers_) observer(copy);
}

}  // namespace glimmet
