#include "model/glimmet_event.hpp"

#include <array>
#include <memory>

#include "model/glimmet_event_lines.hpp"

#include "base/json_line_reader.hpp"
#include "base/member_names.hpp"
#include "base/path_names.hpp"
#include "base/recent_answers.hpp"
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

// Every name the event reads from a line's top level (and from its "response" object, whose
// names are read at the top level too when it is absent).
constexpr std::string_view kEventNameList[] = {
    "event_id",
    "source",
    "cwd",
    "event_type",
    "status",
    "session_id",
    "sessionId",
    "conversation_id",
    "thread_id",
    "thread-id",
    "turn_id",
    "turnId",
    "turn",
    "nonce",
    "pid",
    "process_id",
    "processId",
    "task_key",
    "taskKey",
    "project",
    "action",
    "source_type",
    "severity",
    "title",
    "message",
    "completion_snippet",
    "completionSnippet",
    "assistant_message",
    "assistantMessage",
    "preview",
    "user_message",
    "userMessage",
    "latest_user_question",
    "latestUserQuestion",
    "user_question",
    "userQuestion",
    "prompt",
    "agent_message",
    "agentMessage",
    "agent_response",
    "agentResponse",
    "assistant_response",
    "assistantResponse",
    "tool_name",
    "timestamp",
    "terminal",
    "terminal_id",
    "terminalId",
    "transcript_path",
    "transcriptPath",
    "jump_target",
    "jumpTarget",
    "jump",
    "type",
    "receipt",
    "response_receipt",
    "options",
    "selection_mode",
    "response",
    "response_file",
    "responseFile",
    "response_command",
    "responseCommand",
    "decision_file",
    "decisionFile",
    "decision_command",
    "decisionCommand",
    "socket_path",
    "socketPath",
    "protocol",
    "base_url",
    "baseURL",
    "endpoint",
    "note_enabled",
    "note_placeholder",
    "note_max_length",
    "usage",
    "phase",
    "milestone",
    "notify_policy",
    "notifyPolicy",
    "raw_event_name",
    "rawEventName",
    "hook_event_name",
    "hookEventName",
};
constexpr MemberNames kEventNames{std::to_array(kEventNameList)};

consteval MemberName name(std::string_view text) {
  return kEventNames(text);
}
using Names = std::initializer_list<MemberName>;
using EventNameSet = MemberSet<decltype(kEventNames)::kCount>;

// The larger groups of names most lines have none of, so that such a line skips them at once.
constexpr EventNameSet kUserTextNames =
    kEventNames.set({"user_message", "userMessage", "latest_user_question", "latestUserQuestion",
                     "user_question", "userQuestion", "prompt"});
constexpr EventNameSet kAgentTextNames =
    kEventNames.set({"agent_message", "agentMessage", "assistant_message", "assistantMessage",
                     "agent_response", "agentResponse", "assistant_response", "assistantResponse"});
constexpr EventNameSet kResponseChannelNames =
    kEventNames.set({"response_file", "responseFile", "response_command", "responseCommand",
                     "decision_file", "decisionFile", "decision_command", "decisionCommand",
                     "socket_path", "socketPath", "base_url", "baseURL", "endpoint"});

// An object whose members are looked up by name, one search per name: the tree, and the
// smaller objects inside a decoded line.
template <typename Value>
struct NamedMembers {
  using ValueType = Value;
  const Value& object;
  const Value* get(MemberName key) const { return member(object, key.text); }
  bool mayHaveAny(const EventNameSet& /*names*/) const { return true; }
};

// A decoded line's top level, matched to `kEventNames` in one pass: every lookup after that is
// an array read.
struct CollectedMembers {
  using ValueType = JsonLineValue;
  MemberSlots<decltype(kEventNames)::kCount> members;
  explicit CollectedMembers(const JsonLineValue& object) : members(object, kEventNames) {}
  const JsonLineValue* get(MemberName key) const { return members.get(key.id); }
  bool mayHaveAny(const EventNameSet& names) const { return members.present().intersects(names); }
};

std::string_view textView(const Json& value) {
  return value.get_ref<const std::string&>();
}
std::string_view textView(const JsonLineValue& value) {
  return value.text();
}

// Reads the first of the names whose value reads as a string (see `stringValue`) straight into
// `out`: a string member is copied once, trimmed, from the line. False, and `out` untouched,
// when none does.
template <typename Members>
bool readString(const Members& members, Names keys, std::string& out) {
  for (const MemberName key : keys) {
    const auto* value = members.get(key);
    if (!value) continue;
    if (value->is_string()) {
      const std::string_view text = trimmedView(textView(*value));
      if (text.empty()) continue;
      out.assign(text);
      return true;
    }
    if (auto text = stringValue(*value)) {
      out = std::move(*text);
      return true;
    }
  }
  return false;
}

// The short preview of a text read like `readString`; a string member is shortened straight
// from the line, without a trimmed copy first.
template <typename Value>
std::optional<std::string> previewOf(const Value* value) {
  if (!value) return std::nullopt;
  if (value->is_string()) {
    const std::string_view text = trimmedView(textView(*value));
    if (text.empty()) return std::nullopt;
    return shortPreviewText(text);
  }
  if (auto text = stringValue(*value)) return shortPreviewText(*text);
  return std::nullopt;
}

template <typename Value>
std::optional<std::string> previewText(const Value& object,
                                       std::initializer_list<std::string_view> keys) {
  for (const std::string_view key : keys) {
    if (auto text = previewOf(member(object, key))) return text;
  }
  return std::nullopt;
}

template <typename Members>
std::optional<std::string> previewText(const Members& members, Names keys) {
  for (const MemberName key : keys) {
    if (auto text = previewOf(members.get(key))) return text;
  }
  return std::nullopt;
}

template <typename Members>
std::optional<std::string> optionalString(const Members& members, Names keys) {
  std::optional<std::string> out(std::in_place);
  if (!readString(members, keys, *out)) out.reset();
  return out;
}

// `optionalString` straight into the event's field.
template <typename Members>
void readOptionalString(const Members& members, Names keys, std::optional<std::string>& out) {
  if (!readString(members, keys, out.emplace())) out.reset();
}

template <typename Members>
void readStringOr(const Members& members, Names keys, std::string& out, std::string_view fallback) {
  if (!readString(members, keys, out)) out.assign(fallback);
}

// An open value (a kind that may be one the app does not know) read like `optionalString`, but
// made straight from the line's text: most lines name a known kind, which needs no string.
template <typename Open, typename Members>
std::optional<Open> optionalOpenValue(const Members& members, Names keys) {
  for (const MemberName key : keys) {
    const auto* value = members.get(key);
    if (!value) continue;
    if (value->is_string()) {
      const std::string_view text = trimmedView(textView(*value));
      if (!text.empty()) return Open(text);
    } else if (auto text = stringValue(*value)) {
      return Open(*text);
    }
  }
  return std::nullopt;
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

template <typename Members, typename Value = typename Members::ValueType>
std::optional<ResponseReceipt> parseReceipt(const Members& object, const EventTypeValue& eventType,
                                            const std::string& eventID) {
  const EventTypeValue type =
      object.get(name("event_type"))
          ? eventType
          : EventTypeValue(optionalString(object, {name("type")}).value_or(""));
  if (type != EventType::responseReceipt) return std::nullopt;
  const Value* receiptObject = object.get(name("receipt"));
  if (!receiptObject || !receiptObject->is_object())
    receiptObject = object.get(name("response_receipt"));
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

template <typename Members, typename Value = typename Members::ValueType>
std::vector<MessageOption> parseOptions(const Members& object) {
  std::vector<MessageOption> options;
  const Value* list = object.get(name("options"));
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

template <typename Members>
ResponseChannel responseChannelFrom(const Members& source) {
  if (!source.mayHaveAny(kResponseChannelNames)) return {};
  if (auto path = optionalString(source, {name("response_file"), name("responseFile")})) {
    return ResponseChannel::responseFile(*path);
  }
  if (auto command = optionalString(source, {name("response_command"), name("responseCommand")})) {
    return ResponseChannel::responseCommand(*command);
  }
  if (auto path = optionalString(source, {name("decision_file"), name("decisionFile")})) {
    return ResponseChannel::decisionFile(*path);
  }
  if (auto command = optionalString(source, {name("decision_command"), name("decisionCommand")})) {
    return ResponseChannel::decisionCommand(*command);
  }
  if (auto path = optionalString(source, {name("socket_path"), name("socketPath")})) {
    return ResponseChannel::localSocket(
        *path, optionalString(source, {name("protocol")}).value_or("line_json"));
  }
  const auto baseURL = optionalString(source, {name("base_url"), name("baseURL")});
  const auto endpoint = optionalString(source, {name("endpoint")});
  if (baseURL && endpoint) return ResponseChannel::appServer(*baseURL, *endpoint);
  return {};
}

// The channel lives in the "response" object when there is one, else at the top level.
template <typename Members, typename Value = typename Members::ValueType>
ResponseChannel parseResponseChannel(const Members& object) {
  const Value* response = object.get(name("response"));
  if (response && response->is_object()) return responseChannelFrom(NamedMembers<Value>{*response});
  return responseChannelFrom(object);
}

// The note settings live in the response object first, then at the top level.
template <typename Members, typename Value = typename Members::ValueType>
const Value* noteValue(const Members& object, MemberName key) {
  if (const Value* response = object.get(name("response"))) {
    if (const Value* value = member(*response, key.text)) return value;
  }
  return object.get(key);
}

SourceEventClass classifySource(std::string_view sourceType, std::string_view source) {
  const LowerCaseText type(sourceType);
  if (type.contains("loader")) return SourceEventClass::stableLocalLoader;
  if (type.contains("remote") || type.contains("webhook")) return SourceEventClass::remoteOptIn;
  // "wrapper" itself contains "app", so it is recognised before the app sources.
  if (type.contains("wrapper")) return SourceEventClass::wrapperExplicit;
  if (LowerCaseText(source).contains("app") || type.contains("app")) {
    return SourceEventClass::jumpOnly;
  }
  return SourceEventClass::officialPush;
}

// The lines of one file come from a few sources, interleaved when several agents run.
SourceEventClass sourceClassFor(std::string_view sourceType, std::string_view source) {
  thread_local RecentAnswersForTwoTexts<SourceEventClass> answers;
  if (const auto* known = answers.find(sourceType, source)) return *known;
  return answers.remember(sourceType, source, classifySource(sourceType, source));
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
  // The prompt first: it rules out nearly every event without looking the tool up.
  const std::string_view user = event.preview.user;
  if (user.size() < kCodexTitlePrompt.size() ||
      !equalsIgnoringCase(user.substr(0, kCodexTitlePrompt.size()), kCodexTitlePrompt)) {
    return false;
  }
  const std::string tool = canonicalToolID(event.source);
  return tool == "codex-cli" || tool == "codex-app";
}

template <typename Members, typename Value = typename Members::ValueType>
std::optional<GlimmetEvent> readEvent(const Members& object, const EventParseContext& context) {
  // Built in place, and every path returns this same object, so that the event is never moved.
  std::optional<GlimmetEvent> result;
  const Value* idValue = object.get(name("event_id"));
  if (!idValue || !idValue->is_string()) return result;
  GlimmetEvent& event = result.emplace();
  event.id = textOf(*idValue);
  readStringOr(object, {name("source")}, event.source, "unknown");
  if (readString(object, {name("cwd")}, event.cwd)) {
    event.hasExplicitCwd = true;
  } else {
    event.cwd = context.homeDirectory;
  }
  if (auto type = optionalOpenValue<EventTypeValue>(object, {name("event_type")})) {
    event.eventType = std::move(*type);
  } else {
    event.eventType = EventType::taskUpdated;
  }
  if (auto status = optionalOpenValue<EventStatusValue>(object, {name("status")})) {
    event.status = std::move(*status);
  } else {
    event.status = EventStatusValue(event.eventType.raw());
  }
  readOptionalString(object,
                     {name("session_id"), name("sessionId"), name("conversation_id"),
                      name("thread_id"), name("thread-id")},
                     event.sessionId);
  readOptionalString(object, {name("turn_id"), name("turnId"), name("turn"), name("nonce")},
                     event.turnId);
  readOptionalString(object, {name("pid"), name("process_id"), name("processId")}, event.pid);
  auto explicitTaskKey = optionalString(object, {name("task_key"), name("taskKey")});
  if (!readString(object, {name("project")}, event.project)) {
    event.project = basename(event.cwd);
  }

  if (const Value* action = object.get(name("action")); action && action->is_object()) {
    if (const Value* risk = member(*action, "risk"); risk && risk->is_string()) {
      event.risk = messageRiskFromText(textOf(*risk));
    }
    if (const Value* kind = member(*action, "kind"); kind && kind->is_string()) {
      event.actionKind = textOf(*kind);
    }
    event.decisionFile = firstString(*action, {"decision_file", "decisionFile", "decision_path"});
    event.decisionCommand = firstString(*action, {"decision_command", "decisionCommand"});
  }

  readStringOr(object, {name("source_type")}, event.sourceType, "cli_agent");
  if (auto severity = optionalOpenValue<EventSeverityValue>(object, {name("severity")})) {
    event.severity = std::move(*severity);
  } else {
    event.severity = EventSeverity::info;
  }
  if (!readString(object, {name("title")}, event.title)) {
    event.title = toolDisplayName(event.source) + " event";
  }
  readStringOr(object, {name("message")}, event.message, "");
  readOptionalString(object,
                     {name("completion_snippet"), name("completionSnippet"),
                      name("assistant_message"), name("assistantMessage")},
                     event.completionSnippet);

  const Value* preview = object.get(name("preview"));
  if (preview && !preview->is_object()) preview = nullptr;
  auto user = preview ? previewText(*preview, {"user", "prompt"}) : std::nullopt;
  if (!user && object.mayHaveAny(kUserTextNames)) {
    user = previewText(object, {name("user_message"), name("userMessage"),
                                name("latest_user_question"), name("latestUserQuestion"),
                                name("user_question"), name("userQuestion"), name("prompt")});
  }
  auto agent = preview ? previewText(*preview, {"agent", "assistant"}) : std::nullopt;
  if (!agent && object.mayHaveAny(kAgentTextNames)) {
    agent = previewText(object,
                        {name("agent_message"), name("agentMessage"), name("assistant_message"),
                         name("assistantMessage"), name("agent_response"), name("agentResponse"),
                         name("assistant_response"), name("assistantResponse")});
  }
  if (user) event.preview.user = std::move(*user);
  if (agent) event.preview.agent = std::move(*agent);
  if (isCodexTitleTurn(event)) {
    result.reset();
    return result;
  }

  readStringOr(object, {name("tool_name")}, event.toolName, "");
  readStringOr(object, {name("timestamp")}, event.rawTimestamp, "");
  readOptionalString(object, {name("terminal"), name("terminal_id"), name("terminalId")},
                     event.terminal);
  readOptionalString(object, {name("transcript_path"), name("transcriptPath")},
                     event.transcriptPath);

  for (const MemberName key : {name("jump_target"), name("jumpTarget"), name("jump")}) {
    const Value* value = object.get(key);
    if (value && value->is_object() && member(*value, "kind")) {
      if ((event.typedJumpTarget = parseTypedJumpTarget(*value))) break;
    }
  }
  for (const MemberName key : {name("jump_target"), name("jumpTarget")}) {
    const Value* value = object.get(key);
    if (value && value->is_string()) {
      event.jumpTarget = textOf(*value);
      break;
    }
  }

  event.responseReceipt = parseReceipt(object, event.eventType, event.id);
  event.choiceOptions = parseOptions(object);
  if (const Value* mode = object.get(name("selection_mode")); mode && mode->is_string()) {
    if (textOf(*mode) == "multiple") event.selectionMode = MessageSelectionMode::multiple;
  }
  event.responseChannel = parseResponseChannel(object);
  if (const Value* value = noteValue(object, name("note_enabled"))) {
    event.noteEnabled = boolValue(*value).value_or(false);
  }
  if (const Value* value = noteValue(object, name("note_placeholder"))) {
    event.notePlaceholder = stringValue(*value).value_or("Add context");
  }
  if (const Value* value = noteValue(object, name("note_max_length"))) {
    event.noteMaxLength = intValue(*value).value_or(500);
  }

  event.sourceClass = sourceClassFor(event.sourceType, event.source);

  const Value* usageObject = object.get(name("usage"));
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

  auto phase = optionalOpenValue<EventPhaseValue>(object, {name("phase")});
  event.phase = phase ? std::move(*phase) : phaseFor(event.eventType, event.status);
  readOptionalString(object, {name("milestone")}, event.milestone);
  auto notifyPolicy =
      optionalOpenValue<NotifyPolicyValue>(object, {name("notify_policy"), name("notifyPolicy")});
  event.notifyPolicy = notifyPolicy ? std::move(*notifyPolicy) : notifyPolicyFor(event);
  readOptionalString(object,
                     {name("raw_event_name"), name("rawEventName"), name("hook_event_name"),
                      name("hookEventName")},
                     event.rawEventName);
  if (explicitTaskKey) {
    event.taskKey = std::move(*explicitTaskKey);
  } else {
    event.taskKey = makeTaskKey(event.source, event.sessionId, event.turnId, event.cwd, event.pid,
                                event.project);
  }
  if (hasUsage) {
    const std::string tool = toolDisplayName(event.source);
    const std::string toolID = canonicalToolID(event.source);
    const auto usageTimestamp = firstString(*usageObject, {"timestamp"});
    UsageSnapshotContext usageContext;
    usageContext.tool = tool;
    usageContext.toolID = toolID;
    usageContext.source = event.source;
    usageContext.sourceType = event.sourceType;
    if (usageTimestamp) {
      usageContext.timestamp = *usageTimestamp;
    } else if (!event.rawTimestamp.empty()) {
      usageContext.timestamp = event.rawTimestamp;
    }
    readUsageSnapshot(*usageObject, usageContext, event.usage.emplace());
  }
  event.timestamp = parseUsageDate(event.rawTimestamp).value_or(kDistantPast);
  return result;
}

}  // namespace

std::optional<GlimmetEvent> parseGlimmetEvent(const Json& object,
                                              const EventParseContext& context) {
  return readEvent(NamedMembers<Json>{object}, context);
}

std::optional<GlimmetEvent> parseGlimmetEvent(const JsonLineValue& object,
                                              const EventParseContext& context) {
  return readEvent(CollectedMembers(object), context);
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
      return parseGlimmetEvent(reader.root(), context);
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
