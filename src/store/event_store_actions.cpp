// What the buttons of a message do: the answers that travel back to an agent through the
// message's response channel, and the marks, jumps and audit lines around them.

#include <fmt/format.h>

#include "base/text.hpp"
#include "store/event_store.hpp"

namespace glimmet {

namespace {

// The channel an approve or reject answer travels on: the one the message's own action
// declares, else the event's decision file, else its decision command.
ResponseChannel decisionChannel(const IslandMessage& message, MessageActionRole role) {
  if (message.normalized) {
    for (const auto& action : message.normalized->actions) {
      if (action.role == role && action.channel) return *action.channel;
    }
  }
  if (message.event.decisionFile) return ResponseChannel::decisionFile(*message.event.decisionFile);
  if (message.event.decisionCommand) {
    return ResponseChannel::decisionCommand(*message.event.decisionCommand);
  }
  return {};
}

int collapsedCount(const IslandMessage& message) {
  return static_cast<int>(message.eventIDs.size());
}

}  // namespace

MessageActionDispatcher& EventStore::messageActionDispatcher() {
  if (!messageActionDispatcher_) {
    messageActionDispatcher_ =
        std::make_unique<MessageActionDispatcher>(responseReceipts_, false, 10.0);
  }
  return *messageActionDispatcher_;
}

MessageActionOutcome EventStore::perform(const std::string& role, const IslandMessage& message,
                                         const std::optional<std::string>& note) {
  if (role == "authorize") return submitDecision(message, MessageActionRole::approve);
  if (role == "reject") return submitDecision(message, MessageActionRole::reject);
  if (role == "ignore") {
    hide(message);
    return {true, "Ignored"};
  }
  if (role == "mark_read") {
    markRead(message);
    return {true, "Marked read"};
  }
  if (role == "jump") return jump(message);
  if (role == "send_input") return sendInput(message, note);
  if (role == "configure") {
    audit(MessageAuditRole::configure, message.event, collapsedCount(message));
    return {true, {}};
  }
  return {false, fmt::format("\"{}\" is not available for this message", role)};
}

MessageActionOutcome EventStore::submitDecision(const IslandMessage& message,
                                                MessageActionRole role) {
  const bool approve = role == MessageActionRole::approve;
  const auto result = messageActionDispatcher().submit(
      message.event.id, approve ? ResponseReceiptAction::approve : ResponseReceiptAction::reject,
      decisionChannel(message, role), std::nullopt, std::nullopt, options_.clock());
  if (!result.succeeded) {
    const std::string error = result.error.value_or("Decision failed");
    audit(approve ? MessageAuditRole::authorizeFailed : MessageAuditRole::rejectFailed,
          message.event, collapsedCount(message), {{"error", error}});
    return {false, error};
  }
  markRead(message);
  return {true, approve ? "Authorized request" : "Rejected request"};
}

MessageActionOutcome EventStore::performChoice(const IslandMessage& message,
                                               const MessageOption& option,
                                               const std::optional<std::string>& note) {
  const auto result =
      messageActionDispatcher().submit(message.event.id, ResponseReceiptAction::chooseOption,
                                       message.responseChannel, option, note, options_.clock());
  if (!result.succeeded) {
    audit(MessageAuditRole::chooseOptionFailed, message.event, collapsedCount(message),
          {{"option_id", option.id}, {"error", result.error.value_or("unknown")}});
    return {false, result.error.value_or("Response failed")};
  }
  markRead(message);
  const std::string noteText = note.value_or("");
  audit(MessageAuditRole::chooseOption, message.event, collapsedCount(message),
        {{"option_id", option.id},
         {"note_present", !trim(noteText).empty()},
         {"note_length", utf8Length(noteText)}});
  return {true, result.message.value_or("Response sent")};
}

MessageActionOutcome EventStore::sendInput(const IslandMessage& message,
                                           const std::optional<std::string>& text) {
  // An empty answer would read as a reply to the agent; nothing is sent and no receipt kept.
  if (!text || trim(*text).empty()) return {false, "Input is empty"};
  const auto result = messageActionDispatcher().submit(
      message.event.id, ResponseReceiptAction::sendInput, message.responseChannel, std::nullopt,
      text, options_.clock());
  if (!result.succeeded) {
    const std::string error = result.error.value_or("Response failed");
    audit(MessageAuditRole::sendInputFailed, message.event, collapsedCount(message),
          {{"error", error}});
    return {false, error};
  }
  markRead(message);
  // The length only: the text may hold what the user would not want in a log.
  audit(MessageAuditRole::sendInput, message.event, collapsedCount(message),
        {{"note_length", utf8Length(*text)}});
  return {true, "Input sent"};
}

MessageActionOutcome EventStore::jump(const IslandMessage& message) {
  if (!message.jump) return {false, "No jump target is available"};
  MessageActionOutcome outcome{false, "Jump target could not be opened"};
  if (options_.openJump) outcome = options_.openJump(message);
  if (!outcome.succeeded) {
    audit(MessageAuditRole::jumpFailed, message.event, collapsedCount(message),
          {{"error", outcome.message}});
    return outcome;
  }
  markRead(message);
  return outcome;
}

}  // namespace glimmet
