#include "model/glimmet_event.hpp"

#include <memory>

#include "model/glimmet_event_lines.hpp"

#include "base/json_line_reader.hpp"
#include "base/path_names.hpp"
#include "base/text.hpp"
#include "model/event_text.hpp"
#include "model/tool_names.hpp"
#include "model/usage_date.hpp"

namespace glimmet {

namespace {

using Keys = std::initializer_list<std::string_view>;

// The reading below is written once for both value types: the tree (`Json`, for loaders and the
// reference reader) and the values of one decoded line (`JsonLineValue`, for the event file).
std::string textOf(const Json& value) {
  return value.get<std::string>();
}
std::string textOf(const JsonLineValue& value) {
  return std::string(value.text());
}

template <typename Value>
std::optional<std::string> optionalString(const Value& object, Keys keys) {
  return firstString(object, keys);
}

template <typename Value>
std::string stringOr(const Value& object, Keys keys, std::string fallback) {
  return firstString(object, keys).value_or(std::move(fallback));
}

template <typename Value>
std::optional<JumpTarget> parseTypedJumpTarget(const Value& object) {
  const auto kind = firstString(object, {"kind"});
  if (!kind) return std::nullopt;
  const std::string lower = toLower(*kind);
  JumpTarget target;
  if (lower == "app") {
    target.kind = JumpTarget::Kind::app;
    target.bundleID = firstString(object, {"bundle_id", "bundleId"});
    target.appPath = firstString(object, {"app_path", "appPath"});
    target.deepLink = firstString(object, {"deep_link", "deepLink"});
  } else if (lower == "cli") {
    target.kind = JumpTarget::Kind::cli;
    target.command = firstString(object, {"command"}).value_or("");
    if (const auto* args = member(object, "args")) target.args = stringArray(*args);
    target.cwd = firstString(object, {"cwd"});
  } else if (lower == "cmux") {
    target.kind = JumpTarget::Kind::cmux;
    target.sessionID = firstString(object, {"session_id", "sessionId"});
    target.windowID = firstString(object, {"window_id", "windowId"});
    target.cwd = firstString(object, {"cwd"});
  } else if (lower == "terminal_window" || lower == "terminal-window" || lower == "iterm" ||
             lower == "iterm2") {
    target.kind = JumpTarget::Kind::terminalWindow;
    const bool iterm = lower == "iterm" || lower == "iterm2";
    target.terminal = firstString(object, {"terminal"}).value_or(iterm ? "iTerm2" : "Terminal");
    target.windowID = firstString(object, {"window_id", "windowId"});
    target.tabID = firstString(object, {"tab_id", "tabId"});
    target.sessionID = firstString(object, {"session_id", "sessionId"});
    target.cwd = firstString(object, {"cwd"});
    target.processID = firstInt(object, {"process_id", "processId"});
    target.x11WindowID = firstString(object, {"x11_window_id", "x11WindowId"});
    target.tmuxPane = firstString(object, {"tmux_pane", "tmuxPane"});
    target.kittyWindowID = firstString(object, {"kitty_window_id", "kittyWindowId"});
    target.kittyListenOn = firstString(object, {"kitty_listen_on", "kittyListenOn"});
    target.weztermPane = firstString(object, {"wezterm_pane", "weztermPane"});
  } else if (lower == "terminal_cwd" || lower == "terminal") {
    target.kind = JumpTarget::Kind::terminalCwd;
    target.cwd = firstString(object, {"cwd"}).value_or("");
    target.terminal = firstString(object, {"terminal"});
  } else if (lower == "url") {
    target.kind = JumpTarget::Kind::url;
    target.url = firstString(object, {"url", "value"}).value_or("");
  } else if (lower == "file") {
    target.kind = JumpTarget::Kind::file;
    target.path = firstString(object, {"path", "value"}).value_or("");
    if (const auto* line = member(object, "line")) target.line = intValue(*line);
  } else {
    return std::nullopt;
  }
  return target;
}

template <typename Value>
std::optional<ResponseReceipt> parseReceipt(const Value& object, const EventTypeValue& eventType,
                                            const std::string& eventID) {
  const EventTypeValue type = member(object, "event_type")
                                  ? eventType
                                  : EventTypeValue(firstString(object, {"type"}).value_or(""));
  if (type != EventType::responseReceipt) return std::nullopt;
  const Value* receiptObject = member(object, "receipt");
  if (!receiptObject || !receiptObject->is_object())
    receiptObject = member(object, "response_receipt");
  if (!receiptObject || !receiptObject->is_object()) return std::nullopt;
  const Value& receipt = *receiptObject;
  const auto target = firstString(receipt, {"target_event_id", "targetEventID", "response_event_id",
                                            "responseEventID", "event_id"});
  const auto actionText = firstString(receipt, {"action"});
  const auto statusText = firstString(receipt, {"receipt_status", "receiptStatus", "status"});
  if (!target || !actionText || !statusText) return std::nullopt;
  const auto action = responseReceiptActionFromRaw(*actionText);
  const auto status = responseReceiptStatusFromRaw(*statusText);
  if (!action || !status) return std::nullopt;
  ResponseReceipt result;
  result.eventID = *target;
  result.action = *action;
  result.status = *status;
  result.receivedAt = firstString(receipt, {"received_at", "receivedAt", "timestamp"});
  result.error = firstString(receipt, {"error"});
  result.sourceEventID = eventID;
  return result;
}

template <typename Value>
std::vector<MessageOption> parseOptions(const Value& object) {
  std::vector<MessageOption> options;
  const Value* list = member(object, "options");
  if (!list || !list->is_array()) return options;
  for (const auto& element : *list) {
    const auto id = firstString(element, {"id"});
    const auto label = firstString(element, {"label"});
    if (!id || !label) continue;
    MessageOption option;
    option.id = *id;
    option.label = *label;
    if (const auto risk = firstString(element, {"risk"})) {
      if (*risk == "low" || *risk == "medium" || *risk == "high") {
        option.risk = messageRiskFromText(*risk);
      }
    }
    option.detail = firstString(element, {"description", "detail"});
    option.disabledReason = firstString(element, {"disabled_reason", "disabledReason"});
    options.push_back(std::move(option));
  }
  return options;
}

template <typename Value>
ResponseChannel parseResponseChannel(const Value& object) {
  const Value* response = member(object, "response");
  const Value& source = (response && response->is_object()) ? *response : object;
  if (auto path = firstString(source, {"response_file", "responseFile"})) {
    return ResponseChannel::responseFile(*path);
  }
  if (auto command = firstString(source, {"response_command", "responseCommand"})) {
    return ResponseChannel::responseCommand(*command);
  }
  if (auto path = firstString(source, {"decision_file", "decisionFile"})) {
    return ResponseChannel::decisionFile(*path);
  }
  if (auto command = firstString(source, {"decision_command", "decisionCommand"})) {
    return ResponseChannel::decisionCommand(*command);
  }
  if (auto path = firstString(source, {"socket_path", "socketPath"})) {
    return ResponseChannel::localSocket(*path,
                                        firstString(source, {"protocol"}).value_or("line_json"));
  }
  const auto baseURL = firstString(source, {"base_url", "baseURL"});
  const auto endpoint = firstString(source, {"endpoint"});
  if (baseURL && endpoint) return ResponseChannel::appServer(*baseURL, *endpoint);
  return {};
}

// The note settings live in the response object first, then at the top level.
template <typename Value>
const Value* noteValue(const Value& object, std::string_view key) {
  if (const Value* response = member(object, "response")) {
    if (const Value* value = member(*response, key)) return value;
  }
  return member(object, key);
}

SourceEventClass sourceClassFor(const std::string& sourceType, const std::string& source) {
  const std::string type = toLower(sourceType);
  const std::string name = toLower(source);
  if (contains(type, "loader")) return SourceEventClass::stableLocalLoader;
  if (contains(type, "remote") || contains(type, "webhook")) return SourceEventClass::remoteOptIn;
  // "wrapper" itself contains "app", so it is recognised before the app sources.
  if (contains(type, "wrapper")) return SourceEventClass::wrapperExplicit;
  if (contains(name, "app") || contains(type, "app")) return SourceEventClass::jumpOnly;
  return SourceEventClass::officialPush;
}

// The phase of a line that names none: the event type's, else the status without underscores.
EventPhaseValue phaseFor(const EventTypeValue& eventType, const EventStatusValue& status) {
  switch (eventType.kind()) {
    case EventType::taskStarted:
      return EventPhase::started;
    case EventType::planning:
      return EventPhase::planning;
    case EventType::thinking:
      return EventPhase::thinking;
    case EventType::taskUpdated:
    case EventType::working:
      return EventPhase::runningTool;
    case EventType::waitingInput:
    case EventType::permissionRequest:
    case EventType::planReady:
      return EventPhase::waitingHuman;
    case EventType::taskCompleted:
      return EventPhase::completed;
    case EventType::taskFailed:
      return EventPhase::failed;
    case EventType::taskCancelled:
    case EventType::cancelled:
      return EventPhase::cancelled;
    default:
      return EventPhaseValue(replaceAll(status.raw(), "_", ""));
  }
}

NotifyPolicy notifyPolicyFor(const GlimmetEvent& event) {
  if (event.waitsForHuman()) return NotifyPolicy::immediate;
  if (event.eventType == EventType::taskCompleted || event.status == EventStatus::completed) {
    return NotifyPolicy::milestone;
  }
  return NotifyPolicy::silent;
}

// Codex asks its model for a task title on a side thread that notifies like a turn of its own.
// That exchange is Codex's bookkeeping, not the user's work, so it never becomes an event.
constexpr std::string_view kCodexTitlePrompt = "generate a concise, single-line task title";

bool isCodexTitleTurn(const GlimmetEvent& event) {
  const std::string tool = canonicalToolID(event.source);
  if (tool != "codex-cli" && tool != "codex-app") return false;
  return toLower(event.preview.user).starts_with(kCodexTitlePrompt);
}

template <typename Value>
std::optional<GlimmetEvent> readEvent(const Value& object, const EventParseContext& context) {
  const Value* idValue = member(object, "event_id");
  if (!idValue || !idValue->is_string()) return std::nullopt;

  GlimmetEvent event;
  event.id = textOf(*idValue);
  event.source = stringOr(object, {"source"}, "unknown");
  if (auto cwd = optionalString(object, {"cwd"})) {
    event.cwd = *cwd;
    event.hasExplicitCwd = true;
  } else {
    event.cwd = context.homeDirectory;
  }
  event.eventType = EventTypeValue(stringOr(object, {"event_type"}, "task_updated"));
  event.status = EventStatusValue(stringOr(object, {"status"}, std::string(event.eventType.raw())));
  event.sessionId = optionalString(
      object, {"session_id", "sessionId", "conversation_id", "thread_id", "thread-id"});
  event.turnId = optionalString(object, {"turn_id", "turnId", "turn", "nonce"});
  event.pid = optionalString(object, {"pid", "process_id", "processId"});
  const auto explicitTaskKey = optionalString(object, {"task_key", "taskKey"});
  event.project = stringOr(object, {"project"}, basename(event.cwd));

  if (const Value* action = member(object, "action"); action && action->is_object()) {
    if (const Value* risk = member(*action, "risk"); risk && risk->is_string()) {
      event.risk = messageRiskFromText(textOf(*risk));
    }
    if (const Value* kind = member(*action, "kind"); kind && kind->is_string()) {
      event.actionKind = textOf(*kind);
    }
    event.decisionFile = firstString(*action, {"decision_file", "decisionFile", "decision_path"});
    event.decisionCommand = firstString(*action, {"decision_command", "decisionCommand"});
  }

  event.sourceType = stringOr(object, {"source_type"}, "cli_agent");
  event.severity = EventSeverityValue(stringOr(object, {"severity"}, "info"));
  event.title = stringOr(object, {"title"}, toolDisplayName(event.source) + " event");
  event.message = stringOr(object, {"message"}, "");
  event.completionSnippet = optionalString(
      object, {"completion_snippet", "completionSnippet", "assistant_message", "assistantMessage"});

  const Value* preview = member(object, "preview");
  if (preview && !preview->is_object()) preview = nullptr;
  auto user = preview ? firstString(*preview, {"user", "prompt"}) : std::nullopt;
  if (!user) {
    user = firstString(object, {"user_message", "userMessage", "latest_user_question",
                                "latestUserQuestion", "user_question", "userQuestion", "prompt"});
  }
  auto agent = preview ? firstString(*preview, {"agent", "assistant"}) : std::nullopt;
  if (!agent) {
    agent = firstString(
        object, {"agent_message", "agentMessage", "assistant_message", "assistantMessage",
                 "agent_response", "agentResponse", "assistant_response", "assistantResponse"});
  }
  event.preview.user = shortPreviewText(user.value_or(""));
  event.preview.agent = shortPreviewText(agent.value_or(""));
  if (isCodexTitleTurn(event)) return std::nullopt;

  event.toolName = stringOr(object, {"tool_name"}, "");
  event.rawTimestamp = stringOr(object, {"timestamp"}, "");
  event.terminal = optionalString(object, {"terminal", "terminal_id", "terminalId"});
  event.transcriptPath = optionalString(object, {"transcript_path", "transcriptPath"});

  for (const auto key : {"jump_target", "jumpTarget", "jump"}) {
    const Value* value = member(object, key);
    if (value && value->is_object() && member(*value, "kind")) {
      if ((event.typedJumpTarget = parseTypedJumpTarget(*value))) break;
    }
  }
  for (const auto key : {"jump_target", "jumpTarget"}) {
    const Value* value = member(object, key);
    if (value && value->is_string()) {
      event.jumpTarget = textOf(*value);
      break;
    }
  }

  event.responseReceipt = parseReceipt(object, event.eventType, event.id);
  event.choiceOptions = parseOptions(object);
  if (const Value* mode = member(object, "selection_mode"); mode && mode->is_string()) {
    if (textOf(*mode) == "multiple") event.selectionMode = MessageSelectionMode::multiple;
  }
  event.responseChannel = parseResponseChannel(object);
  if (const Value* value = noteValue(object, "note_enabled")) {
    event.noteEnabled = boolValue(*value).value_or(false);
  }
  if (const Value* value = noteValue(object, "note_placeholder")) {
    event.notePlaceholder = stringValue(*value).value_or("Add context");
  }
  if (const Value* value = noteValue(object, "note_max_length")) {
    event.noteMaxLength = intValue(*value).value_or(500);
  }

  event.sourceClass = sourceClassFor(event.sourceType, event.source);

  const Value* usageObject = member(object, "usage");
  const bool hasUsage = usageObject && usageObject->is_object();
  event.sourceCapabilities.push_back(SourceCapability::messages);
  if (hasUsage) event.sourceCapabilities.push_back(SourceCapability::usage);
  if (event.decisionFile || event.decisionCommand) {
    event.sourceCapabilities.push_back(SourceCapability::approval);
  }
  if (!event.choiceOptions.empty()) event.sourceCapabilities.push_back(SourceCapability::choice);
  if (event.eventType == EventType::waitingInput || event.eventType == EventType::planReady) {
    event.sourceCapabilities.push_back(SourceCapability::input);
  }
  if (event.jumpTarget || event.typedJumpTarget || event.transcriptPath || event.hasExplicitCwd) {
    event.sourceCapabilities.push_back(SourceCapability::jump);
  }

  const auto phase = optionalString(object, {"phase"});
  event.phase = phase ? EventPhaseValue(*phase) : phaseFor(event.eventType, event.status);
  event.milestone = optionalString(object, {"milestone"});
  const auto notifyPolicy = optionalString(object, {"notify_policy", "notifyPolicy"});
  event.notifyPolicy = notifyPolicy ? NotifyPolicyValue(*notifyPolicy) : notifyPolicyFor(event);
  event.rawEventName = optionalString(
      object, {"raw_event_name", "rawEventName", "hook_event_name", "hookEventName"});
  event.taskKey = explicitTaskKey.value_or(makeTaskKey(event.source, event.sessionId, event.turnId,
                                                       event.cwd, event.pid, event.project));
  if (hasUsage) {
    UsageSnapshotContext usageContext;
    usageContext.tool = toolDisplayName(event.source);
    usageContext.toolID = canonicalToolID(event.source);
    usageContext.source = event.source;
    usageContext.sourceType = event.sourceType;
    usageContext.timestamp = firstString(*usageObject, {"timestamp"});
    if (!usageContext.timestamp && !event.rawTimestamp.empty()) {
      usageContext.timestamp = event.rawTimestamp;
    }
    event.usage = makeUsageSnapshot(*usageObject, usageContext);
  }
  event.timestamp = parseUsageDate(event.rawTimestamp).value_or(kDistantPast);
  return event;
}

}  // namespace

std::optional<GlimmetEvent> parseGlimmetEvent(const Json& object,
                                              const EventParseContext& context) {
  return readEvent(object, context);
}

std::optional<GlimmetEvent> parseGlimmetEventLine(std::string_view line,
                                                  const EventParseContext& context,
                                                  size_t capacity) {
  // simdjson indexes a line with four bytes per byte and keeps that memory for the next line:
  // a line far beyond the event file's read window gets a reader of its own, freed after it.
  constexpr size_t kLargestLineForSharedReader = size_t{16} << 20;
  thread_local JsonLineReader sharedReader;
  std::unique_ptr<JsonLineReader> ownReader;
  if (line.size() > kLargestLineForSharedReader) ownReader = std::make_unique<JsonLineReader>();
  JsonLineReader& reader = ownReader ? *ownReader : sharedReader;
  switch (reader.read(line, capacity)) {
    case JsonLineReader::Outcome::value:
      return readEvent(reader.root(), context);
    case JsonLineReader::Outcome::notJson:
      return std::nullopt;
    case JsonLineReader::Outcome::needsTree:
      break;
  }
  return parseGlimmetEventLineAsTree(line, context);
}

std::optional<GlimmetEvent> parseGlimmetEventLine(std::string_view line,
                                                  const EventParseContext& context) {
  return parseGlimmetEventLine(line, context, 0);
}

std::optional<GlimmetEvent> parseGlimmetEventLineAsTree(std::string_view line,
                                                        const EventParseContext& context) {
  Json object = parseJsonText(line);
  if (!object.is_object()) return std::nullopt;
  return parseGlimmetEvent(object, context);
}

}  // namespace glimmet
