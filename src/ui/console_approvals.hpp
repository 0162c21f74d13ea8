#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bridge/decision_dispatch.hpp"
#include "bridge/pending_action_store.hpp"

namespace glimmet {

// The console stand-in for approval notifications: announces each new pending action with a
// number (from 1, in arrival order since start) and answers typed commands through the same
// dispatch a notification action uses. Returns text instead of printing it, so that callers
// choose the stream. Main loop only.
class ConsoleApprovals {
 public:
  static constexpr const char* kCommandHelp =
      "Commands: allow N | always N | deny N | choose N OPTION-ID | reply N TEXT... | list\n"
      "N is the number shown in [#N] or a full request id.\n";

  ConsoleApprovals(PendingActionStore& store, DecisionDispatcher& dispatcher);

  // The announcement of a new action (its "notification").
  std::string announce(const PendingAction& action);
  // One line for an action that reached a final status; empty while it is open.
  std::string statusLine(const PendingAction& action) const;
  // The output of one command line; empty for a blank line.
  std::string execute(const std::string& line);

 private:
  std::optional<PendingAction> resolve(const std::string& token, std::string& error) const;
  std::string number(const std::string& requestID) const;
  std::string listWaiting() const;
  std::string decide(const std::string& verb, const PendingAction& action,
                     const std::string& argument);

  PendingActionStore& store_;
  DecisionDispatcher& dispatcher_;
  std::vector<std::string> requestIDs_;  // index + 1 is the number
  std::map<std::string, size_t> numbersByID_;
};

}  // namespace glimmet
