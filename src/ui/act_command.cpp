#include "ui/act_command.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "app/core.hpp"

namespace glimmet {

namespace {

struct ActArguments {
  std::string eventID;
  std::string role;
  std::optional<std::string> optionID;
  std::optional<std::string> note;
};

int usageError(const std::string& problem) {
  std::fprintf(stderr, "glimmet act: %s\n\n%s", problem.c_str(), kActUsage);
  return 2;
}

// The message an event belongs to: the one it speaks for, or the group it was folded into.
const IslandMessage* messageHolding(const std::vector<IslandMessage>& messages,
                                    const std::string& eventID) {
  for (const auto& message : messages) {
    if (message.event.id == eventID) return &message;
    for (const auto& id : message.eventIDs) {
      if (id == eventID) return &message;
    }
  }
  return nullptr;
}

}  // namespace

int runActCommand(const std::vector<std::string_view>& args) {
  ActArguments parsed;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kActUsage, stdout);
      return 0;
    }
    if (arg == "--option" || arg == "--note") {
      if (i + 1 >= args.size()) return usageError(std::string(arg) + " needs a value");
      (arg == "--option" ? parsed.optionID : parsed.note) = std::string(args[++i]);
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + std::string(arg));
    }
    positional.emplace_back(arg);
  }
  if (positional.size() != 2) return usageError("needs an event id and a role");
  parsed.eventID = positional[0];
  parsed.role = positional[1];
  if (parsed.role == "choose_option" && !parsed.optionID) {
    return usageError("choose_option needs --option ID");
  }
  if (parsed.role == "send_input" && !parsed.note) {
    return usageError("send_input needs --note TEXT");
  }
  if (parsed.optionID && parsed.role != "choose_option") {
    return usageError("--option goes with choose_option only");
  }

  Environment environment = Environment::current();
  const bool isolated = isolationFlagFromEnvironment(environment);
  Core core(std::move(environment), isolated,
            [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  core.store().reload(true);
  const IslandMessage* message = messageHolding(core.store().allMessages(), parsed.eventID);
  if (!message) {
    std::fprintf(stderr, "glimmet act: no message holds the event %s\n", parsed.eventID.c_str());
    return 1;
  }
  AppCommand command = Command::PerformMessageAction{message->event.id, parsed.role};
  if (parsed.role == "choose_option") {
    command = Command::ChooseMessageOption{message->event.id, *parsed.optionID, parsed.note};
  } else if (parsed.role == "send_input") {
    command = Command::SendMessageInput{message->event.id, *parsed.note};
  }
  // Sent on the loop's own thread, so the command has run when send returns.
  CommandResult result{false, "The action did not run"};
  core.send(std::move(command), [&result](const CommandResult& done) { result = done; });
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
  }
  if (!result.message.empty()) std::printf("%s\n", result.message.c_str());
  return 0;
}

}  // namespace glimmet
