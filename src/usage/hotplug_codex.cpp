#include "usage/hotplug_codex.hpp"

#include <algorithm>
#include <cctype>
#include <set>

#include "base/path_names.hpp"
#include "base/text.hpp"
#include "model/usage_date.hpp"
#include "usage/hotplug_files.hpp"
#include "usage/hotplug_text.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kCommandLimit = 180;
constexpr size_t kJustificationLimit = 240;
constexpr size_t kSessionIDLength = 36;
// Enough rollouts to find the 16 newest by modification even when an older session was
// resumed, without statting a whole history of sessions on every scan.
constexpr size_t kCodexWalkLimit = 256;

bool isUUID(std::string_view text) {
  if (text.size() != kSessionIDLength) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::optional<std::string> callID(const Json& payload) {
  return firstString(payload, {"call_id", "callId"});
}

const Json& payloadOf(const Json& record) {
  const Json* payload = member(record, "payload");
  return (payload && payload->is_object()) ? *payload : record;
}

// A command is a string or an argument list ("bash", "-lc", "..."), which reads best joined.
std::optional<std::string> requestedCommand(const Json& arguments) {
  for (const auto key : {"command", "cmd", "script"}) {
    const Json* value = member(arguments, key);
    if (!value) continue;
    if (value->is_array()) {
      const auto parts = stringArray(*value);
      if (!parts.empty()) return join(parts, " ");
    } else if (auto text = stringValue(*value)) {
      return text;
    }
  }
  return std::nullopt;
}

// The shell tools show as "Bash", like the shell tool of the hooks, so the card reads the same
// whichever way the request arrived.
std::string displayToolName(const std::string& functionName) {
  if (functionName == "exec_command" || functionName == "shell" ||
      functionName == "shell_command" || functionName == "local_shell" ||
      functionName == "container.exec") {
    return "Bash";
  }
  return functionName;
}

// What the user typed, from the event records: "user_message" in older logs, a completed
// "UserMessage" item in newer ones.
std::optional<std::string> userPromptOf(const Json& payload) {
  const auto type = firstString(payload, {"type"});
  if (type == "user_message") return firstString(payload, {"message"});
  if (type != "item_completed") return std::nullopt;
  const Json* item = member(payload, "item");
  if (!item || firstString(*item, {"type"}) != "UserMessage") return std::nullopt;
  const Json* content = member(*item, "content");
  if (!content) return std::nullopt;
  const std::string text = trim(messageContentText(*content));
  if (text.empty()) return std::nullopt;
  return text;
}

bool passesQuickRejection(std::string_view text) {
  if (!contains(text, "\"function_call\"")) return false;
  for (const auto marker :
       {"require_escalated", "sandbox_permissions", "sandboxPermissions", "justification"}) {
    if (contains(text, marker)) return true;
  }
  return false;
}

struct PendingCall {
  const Json* record;
  std::string latestUserPrompt;
  std::optional<std::string> turnCwd;
};

}  // namespace

std::vector<std::string> recentCodexHotplugRolloutFiles(const std::string& root, size_t limit) {
  auto files = filesFromNewestDirectories(
      root,
      [](std::string_view name) {
        return startsWith(name, "rollout-") && endsWith(name, ".jsonl");
      },
      std::max(limit, kCodexWalkLimit));
  return newestPathsFirst(std::move(files), limit);
}

std::optional<Json> codexFunctionArguments(const Json& payload) {
  const Json* arguments = member(payload, "arguments");
  if (!arguments) return std::nullopt;
  if (arguments->is_object()) return *arguments;
  if (!arguments->is_string()) return std::nullopt;
  Json parsed = parseJsonText(arguments->get<std::string>());
  if (!parsed.is_object()) return std::nullopt;
  return parsed;
}

std::optional<std::string> codexSessionID(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  if (endsWith(name, ".jsonl")) name.resize(name.size() - 6);
  if (name.size() < kSessionIDLength) return std::nullopt;
  const std::string id = name.substr(name.size() - kSessionIDLength);
  if (!isUUID(id)) return std::nullopt;
  return id;
}

bool codexRolloutFunctionCallNeedsApproval(const Json& payload, const Json& arguments) {
  if (firstString(payload, {"type"}).value_or("function_call") != "function_call") return false;
  return firstString(arguments, {"sandbox_permissions", "sandboxPermissions"}) ==
         "require_escalated";
}

std::optional<GlimmetEvent> codexHotplugPermissionEvent(const Json& payload, const Json& record,
                                                        const std::string& latestUserPrompt,
                                                        const std::optional<std::string>& turnCwd,
                                                        const std::string& filePath) {
  const auto call = callID(payload);
  const auto arguments = codexFunctionArguments(payload);
  if (!call || !arguments) return std::nullopt;

  const std::string toolName =
      displayToolName(firstString(payload, {"name"}).value_or("exec_command"));
  const auto command = requestedCommand(*arguments);
  const std::string shownCommand = command ? compactHotplugText(*command, kCommandLimit) : "";

  Json action = {{"kind", toolName == "Bash" ? "shell" : toolName}, {"risk", "medium"}};
  if (!shownCommand.empty()) action["command"] = shownCommand;

  Json preview = {{"user", latestUserPrompt}};
  if (const auto justification = firstString(*arguments, {"justification"})) {
    // Codex asks the model why it needs to leave the sandbox; that reason is what the agent
    // would say to the user, so it sits where the agent's words go.
    preview["agent"] = compactHotplugText(*justification, kJustificationLimit);
  }

  Json object = {
      {"event_id", "hotplug-codex-permission-" + *call},
      {"source", "codex"},
      {"source_type", "stable_local_loader"},
      {"event_type", "permission_request"},
      {"severity", "warning"},
      {"status", "waiting_approval"},
      {"title", "Codex CLI needs approval"},
      {"notify_policy", "immediate"},
      {"message", shownCommand.empty() ? "Approval requested" : shownCommand},
      {"tool_name", toolName},
      {"action", action},
      {"preview", preview},
      {"transcript_path", filePath},
      {"raw_event_name", "RolloutPendingFunctionCall"},
  };
  if (auto cwd = firstString(*arguments, {"workdir"}).value_or(turnCwd.value_or(""));
      !cwd.empty()) {
    object["cwd"] = cwd;
  }
  if (const auto session = codexSessionID(filePath)) object["session_id"] = *session;
  if (const auto timestamp = firstString(record, {"timestamp"})) object["timestamp"] = *timestamp;
  return parseGlimmetEvent(object, EventParseContext{});
}

std::optional<GlimmetEvent> codexHotplugEventFromTail(const std::string& tailText,
                                                      const std::string& filePath, Timestamp now) {
  if (!passesQuickRejection(tailText)) return std::nullopt;
  const std::vector<Json> records = jsonObjectLines(tailText);

  std::set<std::string> answeredCalls;
  std::vector<PendingCall> calls;
  std::string latestUserPrompt;
  std::optional<std::string> turnCwd;
  for (const auto& record : records) {
    const Json& payload = payloadOf(record);
    const std::string recordType = firstString(record, {"type"}).value_or("");
    const std::string payloadType = firstString(payload, {"type"}).value_or("");
    if (recordType == "turn_context") {
      if (auto cwd = firstString(payload, {"cwd"})) turnCwd = std::move(cwd);
    } else if (recordType == "event_msg") {
      if (auto prompt = userPromptOf(payload)) latestUserPrompt = std::move(*prompt);
    } else if (payloadType == "function_call_output" || payloadType == "custom_tool_call_output") {
      if (auto call = callID(payload)) answeredCalls.insert(std::move(*call));
    } else if (payloadType == "function_call") {
      calls.push_back({&record, latestUserPrompt, turnCwd});
    }
  }

  const PendingCall* newest = nullptr;
  Timestamp newestTime = kDistantPast;
  for (const auto& call : calls) {
    const Json& payload = payloadOf(*call.record);
    const auto id = callID(payload);
    if (!id || answeredCalls.count(*id)) continue;
    const auto arguments = codexFunctionArguments(payload);
    if (!arguments || !codexRolloutFunctionCallNeedsApproval(payload, *arguments)) continue;
    // Without a time the call's age is unknown, and an old wait must not resurface.
    const auto time = parseUsageDate(firstString(*call.record, {"timestamp"}).value_or(""));
    if (!time || isOlderThan(*time, now, kCodexHotplugMaxAgeSeconds)) continue;
    if (!newest || *time >= newestTime) {
      newest = &call;
      newestTime = *time;
    }
  }
  if (!newest) return std::nullopt;
  return codexHotplugPermissionEvent(payloadOf(*newest->record), *newest->record,
                                     newest->latestUserPrompt, newest->turnCwd, filePath);
}

std::vector<GlimmetEvent> loadCodexRolloutHotplugEvents(const std::optional<std::string>& root,
                                                        Timestamp now) {
  std::vector<GlimmetEvent> events;
  if (!root) return events;
  // Listings are shared for 120 s; a known file's changes are still seen on every scan.
  const auto files = cachedDiscovery(*root + "\ncodex-hotplug", now,
                                     [&root] { return recentCodexHotplugRolloutFiles(*root); });
  for (const auto& path : files) {
    // An unchanged rollout is not read again; its wait only grows older.
    auto event =
        cachedFileEvent(kCodexHotplugCacheKind, path, [&]() -> std::optional<GlimmetEvent> {
          const auto tail = readHotplugTailText(path, kCodexHotplugTailBytes);
          return tail ? codexHotplugEventFromTail(*tail, path, now) : std::nullopt;
        });
    if (event && !isOlderThan(event->timestamp, now, kCodexHotplugMaxAgeSeconds)) {
      events.push_back(std::move(*event));
    }
  }
  return events;
}

}  // namespace glimmet
