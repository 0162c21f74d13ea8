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

  // Paths under `homeDirectory` are shown with "~".
  explicit ConsoleApprovals(Send send, std::string homeDirectory = {});
  // For front ends that learn the home directory only after constructing this.
  void setHomeDirectory(std::string homeDirectory);

  // Takes a newer snapshot; returns the announcements of requests that arrived and the status
  // lines of requests that ended since the previous one.
  std::string update(const SnapshotPtr& snapshot);
  // The output of one command line; empty for a blank line or a decision that went through.
  std::string execute(const std::string& line);

 private:
  std::string announce(const PendingAction& action);
  std::string statusLine(const PendingAction& action) const;
  // What is asked, on one line: the command, the file or the prompt.
  std::string summary(const PendingAction& action) const;
  // Tool and working directory, " · " between them; empty when neither is known.
  std::string details(const PendingAction& action) const;
  std::string homeRelative(const std::string& path) const;
  std::optional<PendingAction> resolve(const std::string& token, std::string& error) const;
  std::string number(const std::string& requestID) const;
  std::string listWaiting() const;
  std::string decide(const std::string& verb, const PendingAction& action,
                     const std::string& argument);

  Send send_;
  std::string homeDirectory_;
  SnapshotPtr snapshot_ = std::make_shared<AppSnapshot>();
  std::vector<std::string> requestIDs_;  // index + 1 is the number
  std::map<std::string, size_t> numbersByID_;
  std::map<std::string, PendingActionStatus> reportedStatus_;
};

}  // namespace glimmet
