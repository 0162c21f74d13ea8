#include "model/message_types.hpp"

#include "base/text.hpp"

namespace glimmet {

const char* rawValue(MessageCategory value) {
  switch (value) {
    case MessageCategory::humanLoop:
      return "human_loop";
    case MessageCategory::lifecycle:
      return "lifecycle";
    case MessageCategory::usage:
      return "usage";
    case MessageCategory::workspace:
      return "workspace";
    case MessageCategory::integration:
      return "integration";
  }
  return "lifecycle";
}

const char* rawValue(MessageIntent value) {
  switch (value) {
    case MessageIntent::permissionRequest:
      return "permission_request";
    case MessageIntent::choiceRequest:
      return "choice_request";
    case MessageIntent::inputRequest:
      return "input_request";
    case MessageIntent::planReview:
      return "plan_review";
    case MessageIntent::taskStatus:
      return "task_status";
    case MessageIntent::taskResult:
      return "task_result";
    case MessageIntent::usageAlert:
      return "usage_alert";
    case MessageIntent::jumpNotice:
      return "jump_notice";
    case MessageIntent::integrationNotice:
      return "integration_notice";
  }
  return "task_status";
}

const char* rawValue(MessageRisk value) {
  switch (value) {
    case MessageRisk::low:
      return "low";
    case MessageRisk::medium:
      return "medium";
    case MessageRisk::high:
      return "high";
  }
  return "low";
}

const char* rawValue(MessageReadState value) {
  switch (value) {
    case MessageReadState::unread:
      return "unread";
    case MessageReadState::read:
      return "read";
    case MessageReadState::hidden:
      return "hidden";
    case MessageReadState::answered:
      return "answered";
  }
  return "unread";
}

const char* rawValue(MessageActionRole value) {
  switch (value) {
    case MessageActionRole::approve:
      return "approve";
    case MessageActionRole::reject:
      return "reject";
    case MessageActionRole::chooseOption:
      return "choose_option";
    case MessageActionRole::sendInput:
      return "send_input";
    case MessageActionRole::jump:
      return "jump";
    case MessageActionRole::ignore:
      return "ignore";
    case MessageActionRole::markRead:
      return "mark_read";
    case MessageActionRole::configure:
      return "configure";
  }
  return "ignore";
}

const char* rawValue(MessageActionPlacement value) {
  switch (value) {
    case MessageActionPlacement::cardFooter:
      return "card_footer";
    case MessageActionPlacement::expandedBody:
      return "expanded_body";
    case MessageActionPlacement::overflow:
      return "overflow";
  }
  return "card_footer";
}

const char* rawValue(MessageSelectionMode value) {
  return value == MessageSelectionMode::multiple ? "multiple" : "single";
}

const char* rawValue(MessageSubmitKind value) {
  return value == MessageSubmitKind::selectImmediately ? "select_immediately" : "send_button";
}

const char* rawValue(MessageSubmitFallback /*value*/) {
  return "jump";
}

const char* rawValue(SourceCapability value) {
  switch (value) {
    case SourceCapability::messages:
      return "messages";
    case SourceCapability::usage:
      return "usage";
    case SourceCapability::approval:
      return "approval";
    case SourceCapability::choice:
      return "choice";
    case SourceCapability::input:
      return "input";
    case SourceCapability::jump:
      return "jump";
    case SourceCapability::ignoreResponse:
      return "ignore_response";
  }
  return "messages";
}

const char* rawValue(SourceEventClass value) {
  switch (value) {
    case SourceEventClass::officialPush:
      return "official_push";
    case SourceEventClass::wrapperExplicit:
      return "wrapper_explicit";
    case SourceEventClass::stableLocalLoader:
      return "stable_local_loader";
    case SourceEventClass::jumpOnly:
      return "jump_only";
    case SourceEventClass::remoteOptIn:
      return "remote_opt_in";
  }
  return "official_push";
}

std::optional<MessageRisk> messageRiskFromText(const std::string& text) {
  const std::string lower = toLower(trim(text));
  if (lower == "low") return MessageRisk::low;
  if (lower == "medium") return MessageRisk::medium;
  if (lower == "high") return MessageRisk::high;
  return std::nullopt;
}

}  // namespace glimmet
