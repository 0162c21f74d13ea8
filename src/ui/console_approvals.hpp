#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app_command.hpp"
#include "app/app_snapshot.hpp"

namespace glimmet {

// The console stand-in for approval notifications: announces each new waiting request with a
// number (from 1, in arrival order since start), reports how each one ended, and turns typed
// command lines into decisions. Works only from snapshots and commands; returns text instead of
// printing it, so that callers choose the stream. Loop thread only.
class ConsoleApprovals {
 public:
  static constexpr const char* kCommandHelp =
      "Commands: allow N | always N | deny N | choose N OPTION-ID | reply N TEXT... | list\n"
      "N is the number shown in [#N] or a full request id.\n";

  using Send = std::function<void(AppCommand, CommandDone)>;

  explicit ConsoleApprovals(Send send);

  // Takes a newer snapshot; returns the announcements of requests that arrived and the status
  // lines of requests that ended since the previous one.
  std::string update(const SnapshotPtr& snapshot);
  // The output of one command line; empty for a blank line or a decision that went through.
  std::string execute(const std::string& line);

 private:
  std::string announce(const PendingAction& action);
  std::string statusLine(const PendingAction& action) const;
  std::optional<PendingAction> resolve(const std::string& token, std::string& error) const;
  std::string number(const std::string& requestID) const;
  std::string listWaiting() const;
  std::string decide(const std::string& verb, const PendingAction& action,
                     const std::string& argument);

  Send send_;
  SnapshotPtr snapshot_ = std::make_shared<AppSnapshot>();
  std::vector<std::string> requestIDs_;  // index + 1 is the number
  std::map<std::string, size_t> numbersByID_;
  std::map<std::string, PendingActionStatus> reportedStatus_;
};

}  // namespace glimmet
