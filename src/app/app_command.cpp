#include "app/app_command.hpp"

#include "base/text.hpp"
#include "model/notification_text.hpp"

namespace glimmet {

UserDecision allowDecision(UserDecision::Mode mode) {
  return {UserDecision::Verb::allow, mode, std::nullopt, std::nullopt};
}

UserDecision denyDecision() {
  return {UserDecision::Verb::deny, UserDecision::Mode::once, std::nullopt, std::nullopt};
}

UserDecision choiceDecision(std::string optionID) {
  return {UserDecision::Verb::choice, UserDecision::Mode::once, std::move(optionID), std::nullopt};
}

UserDecision replyDecision(std::string text) {
  return {UserDecision::Verb::input, UserDecision::Mode::once, std::nullopt, std::move(text)};
}

std::optional<AppCommand> commandForNotificationAction(std::string_view actionID,
                                                       const std::string& requestID) {
  using namespace NotificationAction;
  auto decide = [&](UserDecision decision) -> AppCommand {
    return Command::Decide{requestID, std::move(decision)};
  };
  if (actionID == kApproveOnce) return decide(allowDecision(UserDecision::Mode::once));
  if (actionID == kApproveAlways) return decide(allowDecision(UserDecision::Mode::always));
  if (actionID == kPermissionDeny || actionID == kTextDeny) return decide(denyDecision());
  if (startsWith(actionID, kChoiceOptionPrefix)) {
    return decide(
        choiceDecision(std::string(actionID.substr(std::string_view(kChoiceOptionPrefix).size()))));
  }
  return std::nullopt;
}

}  // namespace glimmet
