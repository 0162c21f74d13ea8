#include <string>

#include "base/text.hpp"
#include "integrations/codex_config_edit.hpp"
#include "integrations/codex_hook_trust.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_entries.hpp"
#include "integrations/hook_groups.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/line_diff.hpp"
#include "model/agent_dialect.hpp"

namespace glimmet {

namespace {

std::optional<std::string> matcherOf(const HookEntry& entry) {
  if (entry.matchesEveryTool) return "*";
  return std::nullopt;
}

// The object under `key`, or an empty one when it is absent or something else.
ConfigJson objectMember(const ConfigJson& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_object() ? *found : ConfigJson::object();
}

}  // namespace

Result<std::string> HookManager::plannedClaudeSettings() const {
  auto text = readConfigText(claudeSettings());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedClaudeSettings(text.value());
}

Result<std::string> HookManager::plannedClaudeSettings(std::string_view current) const {
  auto parsed = parseConfigObject(claudeSettings(), current);
  if (!parsed) return Result<std::string>::failure(parsed.error());
  ConfigJson settings = std::move(parsed.value());
  ConfigJson hooks = objectMember(settings, "hooks");

  const std::string eventBridge = eventCommandPath();
  const ConfigJson eventHandler = {{"type", "command"},
                                   {"command", bridgeCommand(eventBridge, "--source claude_code")},
                                   {"timeout", kEventHookTimeoutSeconds}};
  for (const auto& entry : kClaudeEventEntries) {
    placeHookHandler(hooks, entry.event, matcherOf(entry), eventHandler, eventBridge,
                     {claudeHookPath()});
  }
  removeOwnHandlers(hooks, eventBridge, eventsOf(kClaudeEventEntries));

  const std::string hookBridge = claudeHookPath();
  const ConfigJson closedLoop = {{"type", "command"},
                                 {"command", bridgeCommand(hookBridge, "")},
                                 {"timeout", kClosedLoopHookTimeoutSeconds}};
  for (const auto& entry : kClaudeApprovalEntries) {
    placeHookHandler(hooks, entry.event, matcherOf(entry), closedLoop, hookBridge, {eventBridge});
  }
  removeOwnHandlers(hooks, hookBridge, eventsOf(kClaudeApprovalEntries));
  settings["hooks"] = std::move(hooks);

  ConfigJson statusLine = objectMember(settings, "statusLine");
  statusLine["type"] = "command";
  statusLine["command"] = bridgeCommand(claudeStatusLinePath(), "");
  if (!statusLine.contains("refreshInterval")) statusLine["refreshInterval"] = 60;
  settings["statusLine"] = std::move(statusLine);
  return serializeConfig(settings, current);
}

Result<std::string> HookManager::plannedCodexConfig() const {
  auto text = readConfigText(codexConfig());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedCodexConfig(text.value());
}

Result<std::string> HookManager::plannedCodexConfig(std::string_view current) const {
  // A notify naming the bridge in another form (an older version, another Glimmet home) is
  // replaced, or a repair would never make Codex healthy.
  return planCodexConfig(codexConfig(), current, codexNotifyCommand());
}

Result<std::string> HookManager::plannedCodexHooks() const {
  auto text = readConfigText(codexHooks());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedCodexHooks(text.value());
}

Result<std::string> HookManager::plannedCodexHooks(std::string_view current) const {
  auto parsed = parseConfigObject(codexHooks(), current);
  if (!parsed) return Result<std::string>::failure(parsed.error());
  ConfigJson file = std::move(parsed.value());
  ConfigJson hooks = objectMember(file, "hooks");

  const std::string eventBridge = eventCommandPath();
  for (const auto& entry : kCodexEventEntries) {
    ConfigJson handler = {{"type", "command"},
                          {"command", bridgeCommand(eventBridge, "--source codex")},
                          {"timeout", kEventHookTimeoutSeconds},
                          {"statusMessage", "Notify Glimmet"}};
    if (entry.async) handler["async"] = true;
    placeHookHandler(hooks, entry.event, matcherOf(entry), handler, eventBridge, {codexHookPath()});
  }
  removeOwnHandlers(hooks, eventBridge, eventsOf(kCodexEventEntries));

  const std::string hookBridge = codexHookPath();
  for (const auto& entry : kCodexApprovalEntries) {
    const ConfigJson handler = {
        {"type", "command"},
        {"command", bridgeCommand(hookBridge, "--event " + std::string(entry.event))},
        {"timeout", kClosedLoopHookTimeoutSeconds},
        {"statusMessage", "Glimmet approval gate"}};
    placeHookHandler(hooks, entry.event, matcherOf(entry), handler, hookBridge, {eventBridge});
  }
  removeOwnHandlers(hooks, hookBridge, eventsOf(kCodexApprovalEntries));
  file["hooks"] = std::move(hooks);
  return serializeConfig(file, current);
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
  // that cannot be made says why instead.
  const auto diffOf = [&](const std::string& path, const Result<std::string>& planned,
                          std::string_view fallback) {
    if (!planned) {
      pieces.push_back("\nCannot edit: " + planned.error());
      return;
    }
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
    const auto hooks = plannedCodexHooks();
    auto config = plannedCodexConfig();
    if (config && hooks) {
      auto trust = plannedCodexTrust(config.value(), hooks.value());
      if (trust) {
        std::vector<std::string> keys;
        for (const auto& hook : trust.value().trusted) keys.push_back(hook.key);
        pieces.push_back("\nCodex hook trust:\n+ " + join(keys, "\n+ "));
        config = std::move(trust.value().config);
      } else {
        config = Result<std::string>::failure(trust.error());
      }
    }
    diffOf(codexConfig(), config, "");
    diffOf(codexHooks(), hooks, "{}\n");
  } else if (id == "gemini-cli") {
    std::vector<std::string> events;
    for (const auto& entry : kGeminiEventEntries) events.emplace_back(entry.event);
    pieces.push_back("\nGemini CLI hooks:\n+ " + geminiSettings() + ": " + join(events, ", "));
    diffOf(geminiSettings(), plannedGeminiSettings(), "{}\n");
    pieces.push_back(
        "\nGemini CLI versions without hooks can still be recorded through the "
        "wrapper:\n" +
        wrapPath() + " --source gemini-cli -- gemini [args...]");
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
