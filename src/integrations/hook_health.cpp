#include <filesystem>
#include <span>
#include <string>

#include "base/text.hpp"
#include "integrations/app_platform_rules.hpp"
#include "integrations/bridge_scripts.hpp"
#include "integrations/codex_config_edit.hpp"
#include "integrations/codex_hook_trust.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/gemini_hooks.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_entries.hpp"
#include "integrations/hook_groups.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/linux_app_locator.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// A JSON configuration file as the tool reads it; unreadable or invalid is empty. Parsing also
// undoes slashes escaped as "\/" by some JSON writers.
ConfigJson jsonFile(const std::string& path) {
  const std::string text = readFile(path).value_or("");
  auto parsed = parseConfigObject(path, text);
  return parsed ? parsed.value() : ConfigJson::object();
}

ConfigJson hooksOf(const ConfigJson& file) {
  const auto hooks = file.find("hooks");
  return hooks != file.end() && hooks->is_object() ? *hooks : ConfigJson::object();
}

// Names every entry of `entries` whose group for `bridge` is missing from `hooks`, and every
// event where an older install left Glimmet's handler for `bridge` out of date: a gate that
// holds every prompt, no timeout, an interpreter that is gone.
void addEntryProblems(std::vector<std::string>& missing, const ConfigJson& hooks,
                      std::span<const HookEntry> entries, const std::string& bridge,
                      std::string_view kind) {
  std::vector<std::string_view> events;
  for (const auto& entry : entries) {
    events.push_back(entry.event);
    if (!hookEventMentions(hooks, entry.event, bridge)) {
      missing.push_back(std::string(entry.event) + std::string(kind));
    }
  }
  for (const auto& event : outdatedOwnHandlers(hooks, bridge, events)) {
    missing.push_back("current " + event + std::string(kind));
  }
}

// The repair text, naming what is missing when only part of the integration is; a tool with
// nothing of Glimmet's in place just gets the plain text.
std::string repairDetail(std::string base, const std::vector<std::string>& missing,
                         size_t everything) {
  if (missing.empty() || missing.size() >= everything) return base;
  return base + " (missing " + join(missing, ", ") + ")";
}

// Glimmet's own folders prove nothing about a tool being installed.
bool isGlimmetOwnPath(std::string_view path) {
  return startsWith(path, "~/.glimmet/") || contains(path, "/plugins/glimmet.js");
}

std::string wrapperDetail(const AIToolCatalogItem& item) {
  return "Install wrapper bridge to record " + item.name + " runs";
}

}  // namespace

struct HookManager::Readiness {
  bool coreBridges = false;
  // What the installer writes that is not in place; empty when ready.
  std::vector<std::string> claudeMissing;
  size_t claudeEntries = 0;
  std::vector<std::string> codexMissing;
  size_t codexEntries = 0;
  std::vector<std::string> geminiMissing;
  bool opencodePlugin = false;
  bool wrapper = false;
};

bool HookManager::scriptIsCurrent(std::string_view name) const {
  const std::string path = bridgePath(name);
  const auto expected = embeddedScript(name);
  if (!expected || !(isBridgeModule(name) || isExecutableFile(path))) return false;
  return readFile(path) == *expected;
}

bool HookManager::wrapperBridgeReady() const {
  return scriptIsCurrent("glimmet-wrap");
}

HookManager::Readiness HookManager::readiness() const {
  Readiness ready;
  // Repair rewrites every bridge, so one outdated or missing script is reason enough for it.
  ready.coreBridges = true;
  for (const auto name : kBridgeScriptNames)
    ready.coreBridges = ready.coreBridges && scriptIsCurrent(name);

  // Every entry the installer writes is checked, so removing any one of them asks for repair.
  const ConfigJson settings = jsonFile(claudeSettings());
  const ConfigJson claudeHooks = hooksOf(settings);
  addEntryProblems(ready.claudeMissing, claudeHooks, kClaudeEventEntries, eventCommandPath(),
                   " hook");
  addEntryProblems(ready.claudeMissing, claudeHooks, kClaudeApprovalEntries, claudeHookPath(),
                   " approval hook");
  const auto statusLine = settings.find("statusLine");
  const bool statusLineReady = statusLine != settings.end() && statusLine->is_object() &&
                               contains(statusLine->value("command", ""), claudeStatusLinePath());
  if (!statusLineReady) ready.claudeMissing.emplace_back("status line");
  ready.claudeEntries = std::size(kClaudeEventEntries) + std::size(kClaudeApprovalEntries) + 1;

  const std::string config = readFile(codexConfig()).value_or("");
  const auto notify = codexNotifyCommandOf(config);
  if (!notify || notify->empty() || !contains(notify->front(), codexNotifyPath())) {
    ready.codexMissing.emplace_back("notify");
  }
  if (!codexHooksFeatureEnabled(config)) ready.codexMissing.emplace_back("hooks feature");
  const ConfigJson codexHookFile = jsonFile(codexHooks());
  const ConfigJson codexHookTable = hooksOf(codexHookFile);
  addEntryProblems(ready.codexMissing, codexHookTable, kCodexEventEntries, eventCommandPath(),
                   " hook");
  addEntryProblems(ready.codexMissing, codexHookTable, kCodexApprovalEntries, codexHookPath(),
                   " approval hook");
  // Codex skips a hook the user never trusted, or one changed since it was trusted, without a
  // word: either needs the repair that trusts them again.
  const auto trust = codexTrustProblems(
      config, glimmetCodexHookTrust(codexHooks(), codexHookFile, locations_.bridgeDirectory));
  if (!trust.untrusted.empty()) ready.codexMissing.emplace_back("hook trust");
  if (!trust.modified.empty()) ready.codexMissing.emplace_back("current hook trust");
  ready.codexEntries = std::size(kCodexEventEntries) + std::size(kCodexApprovalEntries) + 2;

  // Each entry must be what an install writes, byte for byte: an entry the user edited may
  // no longer reach the bridge, or reach it for some tools only.
  const std::string geminiBridge = eventCommandPath();
  ready.geminiMissing = geminiHookProblems(hooksOf(jsonFile(geminiSettings())),
                                           geminiEventHandler(geminiEventCommand()), geminiBridge);

  // Outdated scripts are worth a repair even with every entry in place.
  if (!ready.coreBridges) {
    ready.claudeMissing.emplace_back("current bridge scripts");
    ready.codexMissing.emplace_back("current bridge scripts");
    ready.geminiMissing.emplace_back("current bridge scripts");
  }

  const auto plugin = readFile(opencodePlugin());
  ready.opencodePlugin = plugin && plugin == embeddedScript("glimmet.js");
  ready.wrapper = wrapperBridgeReady();
  return ready;
}

bool HookManager::directoryContains(std::string_view prefix, const std::string& directory) const {
  return directoryContainsAny({prefix}, directory);
}

bool HookManager::directoryContainsAny(const std::vector<std::string_view>& prefixes,
                                       const std::string& directory) const {
  const auto names = directoryEntryNames(directory);
  if (!names) return false;
  for (const auto& name : *names) {
    const std::string lower = toLower(name);
    for (const auto prefix : prefixes) {
      if (startsWith(lower, toLower(prefix))) return true;
    }
  }
  return false;
}

bool HookManager::extensionInstalled(const std::vector<std::string_view>& prefixes) const {
  for (const auto& directory : extensionDirectories()) {
    if (directoryContainsAny(prefixes, directory)) return true;
  }
  return false;
}

bool HookManager::anyCommandInPath(const AIToolCatalogItem& item) const {
  for (const auto& command : item.commandNames) {
    if (executableInPath(command)) return true;
  }
  return false;
}

std::string HookManager::displayPath(const AIToolCatalogItem& item, bool includeWrapper) const {
  if (!platformSupported(item)) return "";
  std::string path;
  const LinuxAppRule* linuxRule =
      locations_.platform == Platform::Linux ? linuxAppRule(item.id) : nullptr;
  if (item.configPath) {
    path = *item.configPath;
  } else if (linuxRule) {
    path = linuxAppLocation(item).value_or(
        LinuxAppLocator(environment_, roots()).firstPlaceLooked(*linuxRule));
  } else if (locations_.platform == Platform::macOS && !item.appPaths.empty()) {
    path = item.appPaths.front();
    for (const auto& candidate : item.appPaths) {
      if (fileExists(probePath(candidate, roots()))) {
        path = candidate;
        break;
      }
    }
  } else if (!item.commandNames.empty()) {
    path = item.commandNames.front();
  } else {
    path = item.installTarget;
  }
  if (includeWrapper && isWrapperTool(item.id)) path += " · glimmet-wrap";
  return path;
}

bool HookManager::isDetected(const AIToolCatalogItem& item) const {
  if (!platformSupported(item)) return false;
  const std::string& id = item.id;
  if (id == "copilot-coding-agent") {
    return fileExists(locations_.bridgeConfigDirectory + "/copilot-coding-agent-webhook.json");
  }
  if (id == "copilot-vscode-extension") return extensionInstalled({"github.copilot"});
  if (id == "kilo-code") {
    return anyCommandInPath(item) || fileExists(tilde(".kilo")) || fileExists(tilde(".kilocode")) ||
           extensionInstalled({"kilocode.", "kilo-code", "kilo-org.kilo"});
  }
  if (id == "pi") {
    return anyCommandInPath(item) || fileExists(tilde(".pi/agent")) || fileExists(tilde(".pi"));
  }
  if (id == "cline") {
    return extensionInstalled({"cline.", "saoudrizwan.claude-dev"}) || fileExists(tilde(".cline"));
  }
  if (id == "roo-code") {
    return extensionInstalled(
               {"roocode.", "rooveterinaryinc.roo-cline", "roo-cline", "roo-code"}) ||
           fileExists(tilde(".roo"));
  }
  if (id == "codex-cli") {
    return fileExists(codexConfig()) || anyCommandInPath(item) ||
           isExecutableFile(probePath("/opt/homebrew/bin/codex", roots()));
  }
  if (id == "gemini-cli") {
    return fileExists(std::filesystem::path(geminiSettings()).parent_path().string()) ||
           anyCommandInPath(item);
  }
  if (id == "claude-code") {
    return fileExists(claudeSettings()) || anyCommandInPath(item) ||
           isExecutableFile(tilde(".local/bin/claude"));
  }
  if (id == "opencode-cli") {
    // OpenCode's own configuration, not the plugin Glimmet put there.
    const std::string root = locations_.opencodeConfigRoot;
    const auto isOwnFolder = [&](const std::string& name) {
      if (name != "plugins") return false;
      const auto plugins = directoryEntryNames(root + "/plugins");
      if (!plugins) return true;
      for (const auto& plugin : *plugins) {
        if (!startsWith(plugin, "glimmet.js")) return false;
      }
      return true;
    };
    if (anyCommandInPath(item)) return true;
    const auto names = directoryEntryNames(root);
    if (!names) return false;
    for (const auto& name : *names) {
      if (!isOwnFolder(name)) return true;
    }
    return false;
  }
  if (item.configPath && !isGlimmetOwnPath(*item.configPath) &&
      fileExists(resolvedPath(displayPath(item, false)))) {
    return true;
  }
  if (anyCommandInPath(item)) return true;
  if (locations_.platform == Platform::Linux) return linuxAppLocation(item).has_value();
  for (const auto& path : item.appPaths) {
    if (fileExists(probePath(path, roots()))) return true;
  }
  return false;
}

ToolHealth HookManager::healthOf(const AIToolCatalogItem& item, const Readiness& ready) const {
  ToolHealth health;
  health.id = item.id;
  health.product = item.product;
  health.name = item.name;
  health.path = displayPath(item, true);
  health.detected = isDetected(item);
  health.color = item.color;
  health.surface = item.surface;
  health.integration = item.integration;
  health.capabilities = item.capabilities;
  health.priority = item.priority;
  health.jumpTarget = jumpTarget(item);
  health.platformSupported = platformSupported(item);
  if (!health.platformSupported) {
    health.status = HookStatus::missing;
    health.detail = "Not available on " + std::string(platformName(locations_.platform));
    return health;
  }

  const bool detected = health.detected;
  const auto readyOrRepair = [&](bool isReady, std::string notReadyDetail) {
    if (isReady) {
      health.status = HookStatus::healthy;
      health.detail = item.detail;
    } else {
      health.status = detected ? HookStatus::repair : HookStatus::missing;
      health.detail = std::move(notReadyDetail);
    }
  };

  if (item.id == "claude-code") {
    readyOrRepair(ready.claudeMissing.empty(),
                  repairDetail("Install or repair Claude Code hooks", ready.claudeMissing,
                               ready.claudeEntries));
  } else if (item.id == "codex-cli") {
    readyOrRepair(ready.codexMissing.empty(),
                  repairDetail("Install or repair Codex CLI notify and hooks", ready.codexMissing,
                               ready.codexEntries));
  } else if (item.id == "gemini-cli") {
    readyOrRepair(ready.geminiMissing.empty(),
                  repairDetail("Install or repair Gemini CLI hooks", ready.geminiMissing,
                               std::size(kGeminiEventEntries)));
  } else if (item.id == "opencode-cli" && (!ready.opencodePlugin || detected)) {
    readyOrRepair(ready.opencodePlugin && detected,
                  "Install the OpenCode plugin to record session usage");
  } else if (isWrapperTool(item.id)) {
    if (!detected) {
      health.status = HookStatus::missing;
      health.detail = ready.wrapper ? item.detail : wrapperDetail(item);
    } else {
      health.status = ready.wrapper ? HookStatus::healthy : HookStatus::alpha;
      health.detail = ready.wrapper ? item.detail : wrapperDetail(item);
    }
  } else if (item.id == "codex-app" && !detected) {
    health.status = HookStatus::missing;
    health.detail = "Install Codex App to enable app Jump";
  } else if (item.id == "copilot-coding-agent") {
    health.status = detected ? HookStatus::alpha : HookStatus::missing;
    health.detail = "Configure a webhook before Glimmet can receive cloud-agent events";
  } else if (detected) {
    health.status = HookStatus::alpha;
    health.detail = item.detail;
  } else {
    health.status = HookStatus::missing;
    health.detail = "Install " + item.name + " to enable " + item.integration;
  }
  return health;
}

std::vector<ToolHealth> HookManager::health() const {
  const Readiness ready = readiness();
  std::vector<ToolHealth> rows;
  rows.reserve(aiToolCatalog().size());
  for (const auto& item : aiToolCatalog()) rows.push_back(healthOf(item, ready));
  return rows;
}

}  // namespace glimmet
