#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/message_types.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

// Typed commands: the one way front ends change the core. Messages are named by the id of the
// event that speaks for them (IslandMessage::event.id); requests by their request id.
namespace Command {

// Answers a waiting request: allow once or always, deny, choose an option or reply with text.
struct Decide {
  std::string requestID;
  UserDecision decision;
};
struct MarkRead {
  std::string messageID;
};
struct Hide {
  std::string messageID;
};
// Marks the messages of the visible page read, auditing them as "clear_page".
struct ClearPage {
  std::vector<std::string> messageIDs;
};
struct ClearAll {};
struct ClearHistory {};
// A button of a message (its role as the message lists it: "authorize", "reject", "ignore",
// "mark_read", "jump", "configure", or "choose_option:" + an option id).
struct PerformMessageAction {
  std::string messageID;
  std::string role;
};
// An option of a message's choice, with the user's note when the message takes one.
struct ChooseMessageOption {
  std::string messageID;
  std::string optionID;
  std::optional<std::string> note;
};
// Typed text for a message that asks for input.
struct SendMessageInput {
  std::string messageID;
  std::string text;
};

}  // namespace Command

using AppCommand =
    std::variant<Command::Decide, Command::MarkRead, Command::Hide, Command::ClearPage,
                 Command::ClearAll, Command::ClearHistory, Command::PerformMessageAction,
                 Command::ChooseMessageOption, Command::SendMessageInput>;

// What became of a command: `ok`, and a short text for the user when there is something to say.
struct CommandResult {
  bool ok = false;
  std::string message;
};

using CommandDone = std::function<void(const CommandResult&)>;

// The notification-action identifiers ("GMPermissionRequest.approve_once", "GMChoice.option.<id>",
// ...) as commands; none for the actions that decide nothing (open the text panel, jump, more,
// the default and dismiss actions).
std::optional<AppCommand> commandForNotificationAction(std::string_view actionID,
                                                       const std::string& requestID);

// allowOnce, allowAlways, deny, choose and reply as decisions.
UserDecision allowDecision(UserDecision::Mode mode);
UserDecision denyDecision();
UserDecision choiceDecision(std::string optionID);
UserDecision replyDecision(std::string text);

}  // namespace glimmet
