#include "ui/console_approvals.hpp"

#include <memory>

#include <fmt/format.h>

#include "base/text.hpp"
#include "model/agent_dialect.hpp"
#include "model/notification_text.hpp"
#include "ui/console_words.hpp"

namespace glimmet {

namespace {

bool isNumber(const std::string& token) {
  if (token.empty() || token.size() > 9) return false;
  for (const char c : token) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string commandsFor(const PendingAction& action, const std::string& n) {
  switch (action.kind) {
    case PendingActionKind::permissionRequest:
      if (!offersAlwaysAllow(action.agent)) return fmt::format("allow {0} | deny {0}", n);
      return fmt::format("allow {0} | always {0} | deny {0}", n);
    case PendingActionKind::waitingChoice:
      return fmt::format("choose {0} OPTION-ID | reply {0} TEXT", n);
    case PendingActionKind::waitingInput:
      break;
  }
  return fmt::format("reply {0} TEXT | deny {0}", n);
}

// Long enough for a typical command or path, short enough to stay on one terminal line.
constexpr size_t kCommandCharacters = 160;
constexpr size_t kPathCharacters = 100;
constexpr size_t kIdentifierCharacters = 80;

// Every text that came from an agent goes through here before it is printed.
std::string shown(std::string_view text, size_t characters = kCommandCharacters) {
  return shortenEnd(terminalSafe(text), characters);
}

std::string shownPath(std::string_view path) {
  return shortenStart(terminalSafe(path), kPathCharacters);
}

}  // namespace

ConsoleApprovals::ConsoleApprovals(Send send, std::string homeDirectory) : send_(std::move(send)) {
  setHomeDirectory(std::move(homeDirectory));
}

void ConsoleApprovals::setHomeDirectory(std::string homeDirectory) {
  homeDirectory_ = std::move(homeDirectory);
  while (homeDirectory_.size() > 1 && homeDirectory_.back() == '/') homeDirectory_.pop_back();
}

std::string ConsoleApprovals::update(const SnapshotPtr& snapshot) {
  snapshot_ = snapshot;
  std::string out;
  // Endings first: a request that replaces another is reported after the one it replaced.
  for (const auto& action : snapshot->finishedRequests) {
    auto reported = reportedStatus_.find(action.requestID);
    if (reported != reportedStatus_.end() && reported->second == action.status) continue;
    if (reported == reportedStatus_.end()) announce(action);  // numbered, never shown waiting
    reportedStatus_[action.requestID] = action.status;
    out += statusLine(action);
  }
  for (const auto& action : snapshot->waitingRequests) {
    if (reportedStatus_.contains(action.requestID)) continue;
    reportedStatus_[action.requestID] = action.status;
    out += announce(action);
  }
  return out;
}

std::string ConsoleApprovals::number(const std::string& requestID) const {
  auto found = numbersByID_.find(requestID);
  return found == numbersByID_.end() ? shown(requestID, kIdentifierCharacters)
                                     : std::to_string(found->second);
}

std::string ConsoleApprovals::homeRelative(const std::string& path) const {
  if (homeDirectory_.empty() || homeDirectory_ == "/") return path;
  if (path == homeDirectory_) return "~";
  if (startsWith(path, homeDirectory_ + "/")) return "~" + path.substr(homeDirectory_.size());
  return path;
}

std::string ConsoleApprovals::summary(const PendingAction& action) const {
  const auto& payload = action.payload;
  if (action.kind == PendingActionKind::permissionRequest) {
    if (payload.command && !payload.command->empty()) return "Run: " + shown(*payload.command);
    if (const auto path = payloadExtra(payload, PayloadExtra::kFilePath)) {
      const std::string tool = payload.tool ? shown(*payload.tool, kIdentifierCharacters) : "";
      return (tool.empty() ? "" : tool + " ") + shownPath(homeRelative(*path));
    }
  }
  return shown(notificationText(action).body);
}

std::string ConsoleApprovals::details(const PendingAction& action) const {
  std::vector<std::string> parts;
  if (action.payload.tool && !action.payload.tool->empty()) {
    parts.push_back("tool " + shown(*action.payload.tool, kIdentifierCharacters));
  }
  if (action.payload.cwd && !action.payload.cwd->empty()) {
    parts.push_back("in " + shownPath(homeRelative(*action.payload.cwd)));
  }
  return join(parts, " · ");
}

std::string ConsoleApprovals::announce(const PendingAction& action) {
  if (!numbersByID_.count(action.requestID)) {
    requestIDs_.push_back(action.requestID);
    numbersByID_[action.requestID] = requestIDs_.size();
  }
  const std::string n = number(action.requestID);
  std::string out =
      fmt::format("[#{}] {}: {}\n", n, notificationText(action).title, summary(action));
  if (const std::string where = details(action); !where.empty()) {
    out += fmt::format("     {}\n", where);
  }
  out +=
      fmt::format("     {} · agent {} · session {} · request {}\n", rawValue(action.kind),
                  shown(action.agent, kIdentifierCharacters),
                  action.sessionID.empty() ? "-" : shown(action.sessionID, kIdentifierCharacters),
                  shown(action.requestID, kIdentifierCharacters));
  if (action.payload.options) {
    for (const auto& option : *action.payload.options) {
      out +=
          fmt::format("     option {}: {}{}\n", shown(option.id, kIdentifierCharacters),
                      shown(option.label), option.detail ? " (" + shown(*option.detail) + ")" : "");
    }
  }
  out += fmt::format("     answer: {}\n", commandsFor(action, n));
  return out;
}

std::string ConsoleApprovals::statusLine(const PendingAction& action) const {
  if (action.status == PendingActionStatus::awaitingUser) return {};
  if (action.status == PendingActionStatus::hookDropped) {
    return fmt::format(
        "[#{}] {}: withdrawn, the agent closed its hook (answered in the terminal?)\n",
        number(action.requestID), rawValue(action.status));
  }
  return fmt::format("[#{}] {}\n", number(action.requestID), rawValue(action.status));
}

std::optional<PendingAction> ConsoleApprovals::resolve(const std::string& token,
                                                       std::string& error) const {
  std::string requestID = token;
  if (isNumber(token)) {
    const size_t n = std::stoul(token);
    if (n == 0 || n > requestIDs_.size()) {
      error = fmt::format("[Glimmet] no request #{}\n", token);
      return std::nullopt;
    }
    requestID = requestIDs_[n - 1];
  }
  const PendingAction* action = snapshot_->request(requestID);
  if (!action) {
    error = fmt::format("[Glimmet] no request {}\n", token);
    return std::nullopt;
  }
  if (action->status != PendingActionStatus::awaitingUser) {
    error = fmt::format("[Glimmet] request #{} is already {}\n", number(requestID),
                        rawValue(action->status));
    return std::nullopt;
  }
  return *action;
}

std::string ConsoleApprovals::listWaiting() const {
  const auto& waiting = snapshot_->waitingRequests;
  if (waiting.empty()) return "No requests waiting.\n";
  std::string out;
  for (const auto& action : waiting) {
    const std::string where = details(action);
    const std::string kind(rawValue(action.kind));
    out += fmt::format("[#{}] {}: {} ({}, {})\n", number(action.requestID),
                       notificationText(action).title, summary(action),
                       where.empty() ? kind : fmt::format("{} · {}", where, kind),
                       shown(action.agent, kIdentifierCharacters));
  }
  return out;
}

std::string ConsoleApprovals::execute(const std::string& line) {
  const auto parts = consoleWords(line);
  if (parts.empty()) return {};
  const std::string& verb = parts[0].text;
  if (verb == "list") return listWaiting();
  if (verb == "help") return kCommandHelp;
  const bool known =
      verb == "allow" || verb == "always" || verb == "deny" || verb == "choose" || verb == "reply";
  if (!known) return fmt::format("[Glimmet] unknown command \"{}\"; type help\n", verb);
  if (parts.size() < 2) return fmt::format("[Glimmet] {} needs a request number\n", verb);
  std::string error;
  const auto action = resolve(parts[1].text, error);
  if (!action) return error;
  std::string argument;
  if (verb == "choose") {
    if (parts.size() != 3) return "[Glimmet] usage: choose N OPTION-ID\n";
    argument = parts[2].text;
  } else if (verb == "reply") {
    if (parts.size() < 3) return "[Glimmet] usage: reply N TEXT...\n";
    argument = consoleRestOfLine(line, parts[2].start);
  } else if (parts.size() != 2) {
    return fmt::format("[Glimmet] usage: {} N\n", verb);
  }
  return decide(verb, *action, argument);
}

std::string ConsoleApprovals::decide(const std::string& verb, const PendingAction& action,
                                     const std::string& argument) {
  const std::string n = number(action.requestID);
  const std::string kind(rawValue(action.kind));
  const bool permission = action.kind == PendingActionKind::permissionRequest;
  const bool choice = action.kind == PendingActionKind::waitingChoice;
  auto wrongKind = [&] {
    return fmt::format("[Glimmet] #{} is a {} request; answer with {}\n", n, kind,
                       commandsFor(action, n));
  };
  UserDecision decision;
  if (verb == "allow" || verb == "always") {
    if (!permission) return wrongKind();
    if (verb == "always" && !offersAlwaysAllow(action.agent)) {
      return fmt::format(
          "[Glimmet] #{} cannot be allowed always: its agent keeps no such rule; "
          "answer with {}\n",
          n, commandsFor(action, n));
    }
    decision =
        allowDecision(verb == "allow" ? UserDecision::Mode::once : UserDecision::Mode::always);
  } else if (verb == "deny") {
    if (choice) return wrongKind();
    decision = denyDecision();
  } else if (verb == "choose") {
    if (!choice) return wrongKind();
    if (action.payload.options && !action.payload.options->empty()) {
      bool offered = false;
      std::vector<std::string> ids;
      for (const auto& option : *action.payload.options) {
        offered = offered || option.id == argument;
        ids.push_back(shown(option.id, kIdentifierCharacters));
      }
      if (!offered) {
        return fmt::format("[Glimmet] #{} has no option \"{}\"; options: {}\n", n,
                           shown(argument, kIdentifierCharacters), join(ids, ", "));
      }
    }
    decision = choiceDecision(argument);
  } else {
    if (permission) return wrongKind();
    decision = replyDecision(argument);
  }
  // Commands sent on the loop thread run at once, so the result is known on return.
  auto out = std::make_shared<std::string>();
  send_(Command::Decide{action.requestID, decision}, [out, n](const CommandResult& result) {
    if (!result.ok) *out = fmt::format("[Glimmet] request #{} was not answered\n", n);
  });
  return *out;
}

}  // namespace glimmet
