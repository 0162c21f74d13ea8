#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/jump_target.hpp"
#include "model/response_channel.hpp"

namespace glimmet {

enum class MessageCategory { humanLoop, lifecycle, usage, workspace, integration };
enum class MessageIntent {
  permissionRequest,
  choiceRequest,
  inputRequest,
  planReview,
  taskStatus,
  taskResult,
  usageAlert,
  jumpNotice,
  integrationNotice
};
enum class MessageRisk { low, medium, high };
enum class MessageReadState { unread, read, hidden, answered };
enum class MessageActionRole {
  approve,
  reject,
  chooseOption,
  sendInput,
  jump,
  ignore,
  markRead,
  configure
};
enum class MessageActionPlacement { cardFooter, expandedBody, overflow };
enum class MessageSelectionMode { single, multiple };
enum class MessageSubmitKind { selectImmediately, sendButton };
enum class MessageSubmitFallback { jump };
enum class SourceCapability { messages, usage, approval, choice, input, jump, ignoreResponse };
enum class SourceEventClass {
  officialPush,
  wrapperExplicit,
  stableLocalLoader,
  jumpOnly,
  remoteOptIn
};

// Raw values: the strings written to files, logs and the audit trail.
const char* rawValue(MessageCategory value);
const char* rawValue(MessageIntent value);
const char* rawValue(MessageRisk value);
const char* rawValue(MessageReadState value);
const char* rawValue(MessageActionRole value);
const char* rawValue(MessageActionPlacement value);
const char* rawValue(MessageSelectionMode value);
const char* rawValue(MessageSubmitKind value);
const char* rawValue(MessageSubmitFallback value);
const char* rawValue(SourceCapability value);
const char* rawValue(SourceEventClass value);

// The risk named by a text, trimmed and in any case; absent for anything else.
std::optional<MessageRisk> messageRiskFromText(const std::string& text);

struct MessagePreview {
  std::string user;
  std::string agent;
  bool operator==(const MessagePreview&) const = default;
};

struct MessageOption {
  std::string id;
  std::string label;
  std::optional<std::string> detail;
  std::optional<MessageRisk> risk;
  std::optional<std::string> disabledReason;
  bool operator==(const MessageOption&) const = default;
};

struct MessageNote {
  bool enabled = false;
  std::string placeholder;
  int64_t maxLength = 0;
  bool operator==(const MessageNote&) const = default;
};

struct MessageSubmitBehavior {
  MessageSubmitKind behavior = MessageSubmitKind::sendButton;
  ResponseChannel channel;
  MessageSubmitFallback fallback = MessageSubmitFallback::jump;
  bool operator==(const MessageSubmitBehavior&) const = default;
};

struct MessageInteraction {
  enum class Kind { choice, textInput };
  Kind kind = Kind::choice;
  MessageSelectionMode selectionMode = MessageSelectionMode::single;  // choice only
  std::vector<MessageOption> options;                                 // choice only
  MessageNote note;
  MessageSubmitBehavior submit;
  bool operator==(const MessageInteraction&) const = default;
};

struct MessageActionSpec {
  MessageActionRole role = MessageActionRole::ignore;
  std::string label;
  MessageActionPlacement placement = MessageActionPlacement::cardFooter;
  bool enabled = true;
  std::optional<std::string> disabledReason;
  bool requiresConfirmation = false;
  std::optional<MessageRisk> risk;
  std::optional<ResponseChannel> channel;
  bool operator==(const MessageActionSpec&) const = default;
};

struct UserFacingMessage {
  std::string id;
  std::vector<std::string> sourceEventIDs;
  std::string toolID;
  std::string toolLabel;
  MessageCategory category = MessageCategory::lifecycle;
  MessageIntent intent = MessageIntent::taskStatus;
  int priority = 0;
  std::string title;
  std::string detail;
  MessagePreview preview;
  std::string badge;
  std::optional<MessageRisk> risk;
  std::string timestamp;
  MessageReadState readState = MessageReadState::unread;
  std::vector<MessageActionSpec> actions;
  std::optional<MessageInteraction> interaction;
  std::optional<ResolvedJumpTarget> jump;
  bool operator==(const UserFacingMessage&) const = default;
};

}  // namespace glimmet
