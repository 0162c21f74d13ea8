#include <string>

#include "base/text.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/line_diff.hpp"
#include "integrations/toml_edit.hpp"

namespace glimmet {

namespace {

// Claude Code events that only report (no reply expected), with or without a tool matcher.
constexpr std::string_view kClaudeEvents[] = {"SessionStart", "UserPromptSubmit", "Notification",
                                              "TaskCreated",  "TaskCompleted",    "Stop",
                                              "StopFailure",  "SessionEnd"};
constexpr std::string_view kClaudeToolEvents[] = {"PreToolUse", "PostToolUse", "PostToolUseFailure",
                                                  "PermissionRequest"};

// The closed-loop bridges wait up to 120 s for the user; the agent must wait a little longer
// so that the bridge always answers first.
constexpr int kClosedLoopTimeoutSeconds = 125;
constexpr int kEventHookTimeoutSeconds = 2;

}  // namespace

Result<std::string> HookManager::plannedClaudeSettings() const {
  auto text = readConfigText(claudeSettings());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedClaudeSettings(text.value());
}

std::string HookManager::plannedClaudeSettings(std::string_view current) const {
  Json settings = parseConfigObject(current);
  Json hooks = settings.contains("hooks") && settings["hooks"].is_object() ? settings["hooks"]
                                                                           : Json::object();
  const std::string eventBridge = eventCommandPath();
  const Json eventHandler = {{"type", "command"},
                             {"command", shellWord(eventBridge) + " --source claude_code"}};
  for (const auto event : kClaudeEvents) {
    appendHookGroup(hooks, event, std::nullopt, eventHandler, eventBridge);
  }
  for (const auto event : kClaudeToolEvents) {
    appendHookGroup(hooks, event, "*", eventHandler, eventBridge);
  }
  const std::string hookBridge = claudeHookPath();
  const Json closedLoop = {{"type", "command"}, {"command", shellWord(hookBridge)}};
  appendHookGroup(hooks, "PreToolUse", "*", closedLoop, hookBridge);
  appendHookGroup(hooks, "UserPromptSubmit", std::nullopt, closedLoop, hookBridge);
  appendHookGroup(hooks, "Stop", std::nullopt, closedLoop, hookBridge);
  settings["hooks"] = std::move(hooks);

  Json statusLine = settings.contains("statusLine") && settings["statusLine"].is_object()
                        ? settings["statusLine"]
                        : Json::object();
  statusLine["type"] = "command";
  statusLine["command"] = shellWord(claudeStatusLinePath());
  if (!statusLine.contains("refreshInterval")) statusLine["refreshInterval"] = 60;
  settings["statusLine"] = std::move(statusLine);
  return serializeConfig(settings);
}

Result<std::string> HookManager::plannedCodexConfig() const {
  auto text = readConfigText(codexConfig());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedCodexConfig(text.value());
}

std::string HookManager::plannedCodexConfig(std::string_view current) const {
  // Only the current bridge path counts as installed: a notify line naming the bridge in another
  // location (an older Glimmet home) is replaced, or a repair would never make Codex healthy.
  if (contains(current, codexNotifyPath())) return ensureCodexHooksFeature(current);
  const std::string notifyLine = "notify = [" + tomlQuoted(codexNotifyPath()) + "]";
  return ensureCodexHooksFeature(setTomlNotify(current, notifyLine));
}

Result<std::string> HookManager::plannedCodexHooks() const {
  auto text = readConfigText(codexHooks());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedCodexHooks(text.value());
}

std::string HookManager::plannedCodexHooks(std::string_view current) const {
  Json file = parseConfigObject(current);
  Json hooks = file.contains("hooks") && file["hooks"].is_object() ? file["hooks"] : Json::object();

  const std::string eventBridge = eventCommandPath();
  const auto eventHandler = [&](bool async) {
    Json handler = {{"type", "command"},
                    {"command", shellWord(eventBridge) + " --source codex"},
                    {"timeout", kEventHookTimeoutSeconds},
                    {"statusMessage", "Notify Glimmet"}};
    if (async) handler["async"] = true;
    return handler;
  };
  appendHookGroup(hooks, "PermissionRequest", "*", eventHandler(false), eventBridge);
  appendHookGroup(hooks, "UserPromptSubmit", std::nullopt, eventHandler(true), eventBridge);
  appendHookGroup(hooks, "Stop", std::nullopt, eventHandler(true), eventBridge);

  const std::string hookBridge = codexHookPath();
  const auto closedLoop = [&](std::string_view event) {
    return Json{{"type", "command"},
                {"command", shellWord(hookBridge) + " --event " + std::string(event)},
                {"timeout", kClosedLoopTimeoutSeconds},
                {"statusMessage", "Glimmet approval gate"}};
  };
  appendHookGroup(hooks, "PermissionRequest", "*", closedLoop("PermissionRequest"), hookBridge);
  appendHookGroup(hooks, "UserPromptSubmit", std::nullopt, closedLoop("UserPromptSubmit"),
                  hookBridge);
  appendHookGroup(hooks, "Stop", std::nullopt, closedLoop("Stop"), hookBridge);
  file["hooks"] = std::move(hooks);
  return serializeConfig(file);
}

std::pair<std::string, std::string> HookManager::installationPreview(
    std::string_view toolID) const {
  const std::string id = installToolID(toolID);
  const AIToolCatalogItem* item = catalogItem(id);
  const std::string title = (item ? item->name : std::string(toolID)) + " bridge install preview";

  std::vector<std::string> pieces;
  pieces.push_back("Bridge scripts:\n+ " + eventCommandPath() + "\n+ " + codexNotifyPath() +
                   "\n+ " + claudeStatusLinePath());
  // A diff between a file's current text (or `fallback` when it has none) and its plan; a plan
  // that cannot be made leaves its diff out.
  const auto diffOf = [&](const std::string& path, const Result<std::string>& planned,
                          std::string_view fallback) {
    if (!planned) return;
    const auto current = readConfigText(path);
    const std::string old =
        current && !current.value().empty() ? current.value() : std::string(fallback);
    pieces.push_back("\n" + unifiedDiff(path, old, planned.value()));
  };

  if (id == "claude-code") {
    diffOf(claudeSettings(), plannedClaudeSettings(), "{}\n");
  } else if (id == "codex-cli") {
    pieces.push_back("\nCodex hooks:\n+ [features] hooks = true\n+ " + codexHooks() +
                     ": PermissionRequest, UserPromptSubmit, Stop");
    diffOf(codexConfig(), plannedCodexConfig(), "");
    diffOf(codexHooks(), plannedCodexHooks(), "{}\n");
  } else if (id == "opencode-cli") {
    pieces.push_back("\nOpenCode plugin:\n+ " + opencodePlugin());
    diffOf(opencodePlugin(), std::string(embeddedScript("glimmet.js").value_or("")), "");
  } else if (isWrapperTool(id)) {
    pieces.push_back("\nWrapper adapter:\n+ " + wrapPath() + "\n\nUsage:\n" + wrapPath() +
                     " --source " + id +
                     " -- <command> [args...]\n\nThe wrapper writes task_started before "
                     "launching the command, streams command output, then records "
                     "task_completed or task_failed. If the wrapped command prints JSON usage "
                     "metadata, Glimmet imports it as wrapper usage.");
  } else {
    pieces.emplace_back("\nNo hook writer is available for this adapter yet.");
  }
  return {title, join(pieces, "\n")};
}

}  // namespace glimmet
