#include <string>

#include "base/text.hpp"
#include "integrations/bridge_scripts.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/toml_edit.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kExtensionDirectories[] = {".vscode/extensions", ".cursor/extensions"};

// Configuration text for searching: an unreadable file is empty, and slashes escaped as "\/"
// (as some JSON writers do) are unescaped so that bridge paths are recognised either way.
std::string searchableText(const std::string& path) {
  return replaceAll(readFile(path).value_or(""), "\\/", "/");
}

std::string wrapperDetail(const AIToolCatalogItem& item) {
  return "Install wrapper bridge to record " + item.name + " runs";
}

}  // namespace

struct HookManager::Readiness {
  bool coreBridges = false;
  bool claudeHooks = false;
  bool codex = false;
  bool opencodePlugin = false;
  bool wrapper = false;
};

bool HookManager::scriptIsCurrent(std::string_view name) const {
  const std::string path = bridgePath(name);
  const auto expected = embeddedScript(name);
  if (!expected || !isExecutableFile(path)) return false;
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

  const std::string claude = searchableText(claudeSettings());
  ready.claudeHooks = ready.coreBridges && contains(claude, eventCommandPath()) &&
                      contains(claude, claudeStatusLinePath());

  const std::string config = searchableText(codexConfig());
  const std::string hooks = searchableText(codexHooks());
  const bool hooksFeature = tomlFeatureFlagEnabled(config, "features", "hooks") ||
                            tomlFeatureFlagEnabled(config, "features", "codex_hooks");
  ready.codex = ready.coreBridges && hooksFeature && contains(hooks, eventCommandPath()) &&
                contains(hooks, codexHookPath()) && contains(hooks, "PermissionRequest") &&
                contains(hooks, "Stop") && contains(config, codexNotifyPath());

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
  for (const auto directory : kExtensionDirectories) {
    if (directoryContainsAny(prefixes, tilde(directory))) return true;
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
  std::string path;
  if (item.configPath) {
    path = *item.configPath;
  } else if (!item.appPaths.empty()) {
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
  if (id == "claude-code") {
    return fileExists(claudeSettings()) || anyCommandInPath(item) ||
           isExecutableFile(tilde(".local/bin/claude"));
  }
  if (item.configPath && fileExists(resolvedPath(displayPath(item, false)))) return true;
  if (anyCommandInPath(item)) return true;
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
    readyOrRepair(ready.claudeHooks, "Install or repair Claude Code hooks");
  } else if (item.id == "codex-cli") {
    readyOrRepair(ready.codex, "Install or repair Codex CLI notify and hooks");
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
