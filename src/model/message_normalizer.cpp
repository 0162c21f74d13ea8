#include "model/message_normalizer.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "model/reminder_policy.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

// Agents run long sessions under UUIDs; eight characters are enough to tell them apart at a
// glance, and ids short enough to read whole are shown whole.
constexpr size_t kSessionShownWholeBelow = 13;
constexpr size_t kShortSessionLength = 8;

std::string shortSessionID(const std::string& session) {
  if (utf8Length(session) < kSessionShownWholeBelow) return session;
  return utf8Prefix(session, kShortSessionLength) + "...";
}

MessageActionSpec footerAction(MessageActionRole role, std::string label) {
  MessageActionSpec action;
  action.role = role;
  action.label = std::move(label);
  return action;
}

const MessageActionSpec& jumpAction() {
  static const MessageActionSpec action = footerAction(MessageActionRole::jump, "Jump");
  return action;
}

const MessageActionSpec& ignoreAction() {
  static const MessageActionSpec action = footerAction(MessageActionRole::ignore, "Ignore");
  return action;
}

const std::vector<MessageActionSpec>& jumpThenIgnore() {
  static const std::vector<MessageActionSpec> actions = {jumpAction(), ignoreAction()};
  return actions;
}

const std::vector<MessageActionSpec>& ignoreThenJump() {
  static const std::vector<MessageActionSpec> actions = {ignoreAction(), jumpAction()};
  return actions;
}

const std::vector<MessageActionSpec>& markReadIgnoreConfigure() {
  static const std::vector<MessageActionSpec> actions = {
      footerAction(MessageActionRole::markRead, "Mark Read"), ignoreAction(),
      footerAction(MessageActionRole::configure, "Configure")};
  return actions;
}

const std::vector<MessageActionSpec>& markReadThenJump() {
  static const std::vector<MessageActionSpec> actions = {
      footerAction(MessageActionRole::markRead, "Mark Read"), jumpAction()};
  return actions;
}

std::vector<MessageActionSpec> permissionActions(const GlimmetEvent& event,
                                                 const ResponseChannel& channel) {
  MessageActionSpec approve = footerAction(MessageActionRole::approve, "Approve");
  approve.risk = event.risk;
  approve.requiresConfirmation = event.risk == MessageRisk::high;
  approve.channel = channel;
  MessageActionSpec reject = footerAction(MessageActionRole::reject, "Reject");
  reject.channel = channel;
  return {approve, reject, ignoreAction(), jumpAction()};
}

std::vector<MessageActionSpec> choiceActions(const MessageInteraction& interaction,
                                             const ResponseChannel& channel) {
  std::vector<MessageActionSpec> actions;
  for (const auto& option : interaction.options) {
    MessageActionSpec action = footerAction(MessageActionRole::chooseOption, option.label);
    action.placement = MessageActionPlacement::expandedBody;
    action.enabled = !option.disabledReason;
    action.disabledReason = option.disabledReason;
    action.risk = option.risk;
    action.channel = channel;
    actions.push_back(std::move(action));
  }
  actions.push_back(jumpAction());
  actions.push_back(ignoreAction());
  return actions;
}

}  // namespace

MessageClassification MessageNormalizer::classify(const GlimmetEvent& event) {
  const EventTypeValue& type = event.eventType;
  MessageClassification result;
  if (type == EventType::permissionRequest) {
    result.intent = MessageIntent::permissionRequest;
    result.category = MessageCategory::humanLoop;
    if (event.decisionFile) {
      result.channel = ResponseChannel::decisionFile(*event.decisionFile);
    } else if (event.decisionCommand) {
      result.channel = ResponseChannel::decisionCommand(*event.decisionCommand);
    }
    return result;
  }
  // A question nothing here can answer is only what the agent is doing: ordinary status.
  if ((type == EventType::waitingInput || type == EventType::planReady) &&
      eventHasAnswerChannel(event)) {
    if (!event.choiceOptions.empty()) {
      result.intent = MessageIntent::choiceRequest;
    } else {
      result.intent =
          type == EventType::waitingInput ? MessageIntent::inputRequest : MessageIntent::planReview;
    }
    result.category = MessageCategory::humanLoop;
    result.channel = event.responseChannel;
    return result;
  }
  const bool notice = type == EventType::jumpNotice || type == EventType::integrationNotice;
  // Failures and cancellations read as the pet reads them; a rate limit stays about quota.
  const bool ended =
      type != EventType::rateLimited && !notice &&
      (type == EventType::taskCompleted || eventTaskOutcome(event) != TaskOutcome::none);
  if (ended) {
    result.intent = MessageIntent::taskResult;
  } else if (type == EventType::rateLimited ||
             (!notice && event.status == EventStatus::usageLimited)) {
    result.intent = MessageIntent::usageAlert;
    result.category = MessageCategory::usage;
  } else if (type == EventType::jumpNotice) {
    result.intent = MessageIntent::jumpNotice;
    result.category = MessageCategory::workspace;
  } else if (type == EventType::integrationNotice) {
    result.intent = MessageIntent::integrationNotice;
    result.category = MessageCategory::integration;
  }
  return result;
}

std::string MessageNormalizer::badge(MessageIntent intent, const GlimmetEvent& event) {
  switch (intent) {
    case MessageIntent::permissionRequest:
      return "Approval";
    case MessageIntent::choiceRequest:
      return "Choice";
    case MessageIntent::inputRequest:
      return "Human";
    case MessageIntent::planReview:
      return "Plan";
    case MessageIntent::taskStatus:
      // An agent waiting in its own terminal is not working; say what it waits on.
      if (event.eventType == EventType::waitingInput) return "Waiting";
      if (event.eventType == EventType::planReady) return "Plan";
      return "Working";
    case MessageIntent::taskResult:
      switch (eventTaskOutcome(event)) {
        case TaskOutcome::failed:
          return "Failed";
        case TaskOutcome::cancelled:
          return "Cancelled";
        case TaskOutcome::none:
          break;
      }
      return "Done";
    case MessageIntent::usageAlert:
      return event.eventType == EventType::rateLimited ? "Rate Limit" : "Usage";
    case MessageIntent::jumpNotice:
      return "Jump";
    case MessageIntent::integrationNotice:
      return "Setup";
  }
  return "";
}

// Anything waiting for the user comes first, the most blocking kind of request before the
// others; then what went wrong, then what merely happened.
int MessageNormalizer::priority(MessageIntent intent, const GlimmetEvent& event) {
  switch (intent) {
    case MessageIntent::permissionRequest:
      return 100;
    case MessageIntent::choiceRequest:
      return 90;
    case MessageIntent::inputRequest:
      return 80;
    case MessageIntent::planReview:
      return 70;
    case MessageIntent::taskResult:
      return eventTaskOutcome(event) == TaskOutcome::failed ? 50 : 30;
    case MessageIntent::usageAlert:
      return 40;
    case MessageIntent::taskStatus:
      return 20;
    case MessageIntent::integrationNotice:
      return 15;
    case MessageIntent::jumpNotice:
      return 10;
  }
  return 0;
}

std::string MessageNormalizer::detailText(const GlimmetEvent& event) {
  std::vector<std::string> parts;
  auto add = [&parts](std::string part) {
    if (!trim(part).empty()) parts.push_back(std::move(part));
  };
  add(event.toolName);
  const std::string& text = trim(event.message).empty() ? event.project : event.message;
  add(replaceAll(text, " - ", " · "));
  if (event.pid) add("pid: " + *event.pid);
  if (event.terminal) add("terminal: " + *event.terminal);
  if (event.sessionId) add("session: " + shortSessionID(*event.sessionId));
  return join(parts, " · ");
}

std::optional<MessageInteraction> MessageNormalizer::interaction(MessageIntent intent,
                                                                 const GlimmetEvent& event,
                                                                 const ResponseChannel& channel) {
  if (intent != MessageIntent::choiceRequest && intent != MessageIntent::inputRequest) {
    return std::nullopt;
  }
  MessageInteraction result;
  result.note = {event.noteEnabled, event.notePlaceholder, event.noteMaxLength};
  result.submit.channel = channel;
  result.submit.fallback = MessageSubmitFallback::jump;
  if (intent == MessageIntent::inputRequest) {
    result.kind = MessageInteraction::Kind::textInput;
    result.submit.behavior = MessageSubmitKind::sendButton;
    return result;
  }
  result.kind = MessageInteraction::Kind::choice;
  result.selectionMode = event.selectionMode;
  result.options = event.choiceOptions;
  // One click is the whole answer only when there is nothing else to pick or write.
  const bool oneClick = event.selectionMode == MessageSelectionMode::single && !event.noteEnabled;
  result.submit.behavior =
      oneClick ? MessageSubmitKind::selectImmediately : MessageSubmitKind::sendButton;
  return result;
}

std::vector<MessageActionSpec> MessageNormalizer::actions(
    MessageIntent intent, const GlimmetEvent& event, const ResponseChannel& channel,
    const std::optional<MessageInteraction>& interaction) {
  switch (intent) {
    case MessageIntent::permissionRequest:
      if (channel.isFileChannel()) return permissionActions(event, channel);
      return jumpThenIgnore();
    case MessageIntent::choiceRequest:
      if (interaction && interaction->kind == MessageInteraction::Kind::choice &&
          !interaction->options.empty()) {
        return choiceActions(*interaction, channel);
      }
      return jumpThenIgnore();
    case MessageIntent::taskResult:
      if (eventTaskOutcome(event) == TaskOutcome::failed) return markReadIgnoreConfigure();
      return markReadThenJump();
    case MessageIntent::usageAlert:
      return markReadIgnoreConfigure();
    case MessageIntent::inputRequest:
    case MessageIntent::planReview:
    case MessageIntent::taskStatus:
    case MessageIntent::jumpNotice:
    case MessageIntent::integrationNotice:
      return ignoreThenJump();
  }
  return ignoreThenJump();
}

UserFacingMessage MessageNormalizer::normalize(const std::vector<GlimmetEvent>& group,
                                               const std::set<std::string>& readIDs) {
  if (group.empty()) return {};
  std::vector<std::string> groupIDs;
  groupIDs.reserve(group.size());
  for (const auto& member : group) groupIDs.push_back(member.id);
  return normalize(group.front(), std::move(groupIDs), readIDs);
}

UserFacingMessage MessageNormalizer::normalize(const GlimmetEvent& event,
                                               std::vector<std::string> groupIDs,
                                               const std::set<std::string>& readIDs) {
  UserFacingMessage message;
  const MessageClassification classification = classify(event);

  message.id = event.id;
  const bool allRead = std::all_of(groupIDs.begin(), groupIDs.end(),
                                   [&](const std::string& id) { return readIDs.count(id) > 0; });
  message.sourceEventIDs = std::move(groupIDs);
  message.toolID = canonicalToolID(event.source);
  message.toolLabel = toolDisplayName(event.source);
  message.category = classification.category;
  message.intent = classification.intent;
  message.priority = priority(classification.intent, event);
  message.title = event.title;
  message.detail = detailText(event);
  message.preview = event.preview;
  message.badge = badge(classification.intent, event);
  message.risk = event.risk;
  message.timestamp = event.rawTimestamp;
  message.readState = allRead ? MessageReadState::read : MessageReadState::unread;
  message.interaction = interaction(classification.intent, event, classification.channel);
  message.actions =
      actions(classification.intent, event, classification.channel, message.interaction);
  return message;
}

}  // namespace glimmet
