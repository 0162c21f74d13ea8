#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "base/text.hpp"
#include "integrations/bridge_scripts.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/toml_edit.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr unsigned kScriptMode = 0755;
constexpr unsigned kConfigMode = 0644;

std::string parentDirectory(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

// Rewrites another tool's configuration file in one atomic step, keeping its permission bits
// (settings may hold credentials and be private) and, when it is a link, the link.
Status writeConfig(const std::string& path, std::string_view text) {
  const std::string target = writeTargetOf(path);
  return writeFileAtomically(target, text, fileMode(target).value_or(kConfigMode));
}

Status createDirectoriesFor(const std::vector<std::string>& directories) {
  for (const auto& directory : directories) {
    if (auto status = createDirectories(directory); !status) return status;
  }
  return {};
}

}  // namespace

bool HookManager::backupIfNeeded(const std::string& file) const {
  if (!fileExists(file)) return true;
  const std::string backup = fmt::format("{}.glimmet-backup-{}", file, clock_());
  // A backup from earlier in the same second already holds the older text: keep it.
  if (fileExists(backup)) return true;
  return copyFileExclusive(file, backup).ok();
}

Status HookManager::installBridgeScripts() const {
  if (auto status =
          createDirectoriesFor({locations_.bridgeDirectory, locations_.bridgeConfigDirectory});
      !status) {
    return status;
  }
  for (const auto name : kBridgeScriptNames) {
    const auto text = embeddedScript(name);
    if (!text) return Status::failure(fmt::format("Missing bridge script {}", name));
    // The mode is set on the temporary file before it replaces the old script, so an agent
    // never finds the bridge without its executable bit.
    if (auto status = writeFileAtomically(bridgePath(name), *text, kScriptMode); !status) {
      return status;
    }
  }
  for (const auto name : kBridgeScriptNames) {
    if (auto status = setFileMode(bridgePath(name), kScriptMode); !status) return status;
  }
  return {};
}

Status HookManager::installClaudeHooks() const {
  const std::string settings = claudeSettings();
  if (auto status =
          createDirectoriesFor({parentDirectory(settings), locations_.bridgeConfigDirectory});
      !status) {
    return status;
  }
  auto current = readConfigText(settings);
  if (!current) return Status::failure(current.error());
  const Json existing = Json::parse(current.value(), nullptr, false);
  const bool replacesUnreadable =
      !trim(current.value()).empty() && (existing.is_discarded() || !existing.is_object());
  // Text that is not a settings object is dropped by the rewrite; without a copy it would be lost.
  if (!backupIfNeeded(settings) && replacesUnreadable) {
    return Status::failure(fmt::format("Cannot back up {}", settings));
  }

  if (const Json* statusLine = existing.is_object() ? member(existing, "statusLine") : nullptr;
      statusLine && statusLine->is_object()) {
    const Json* command = member(*statusLine, "command");
    if (command && command->is_string() &&
        !contains(command->get<std::string>(), "glimmet-claude-statusline")) {
      const Json chain = {{"statusLine", *statusLine}};
      if (auto status = writeFileAtomically(claudeStatusLineChain(), serializeConfig(chain));
          !status) {
        return status;
      }
    }
  }

  return writeConfig(settings, plannedClaudeSettings(current.value()));
}

Status HookManager::installCodexNotify() const {
  const std::string config = codexConfig();
  if (auto status =
          createDirectoriesFor({parentDirectory(config), locations_.bridgeConfigDirectory});
      !status) {
    return status;
  }
  auto current = readConfigText(config);
  if (!current) return Status::failure(current.error());
  backupIfNeeded(config);

  // The notify program configured before keeps running: the notify bridge calls it after
  // recording the event.
  // A notify that is Glimmet's own bridge is never chained: the bridge would call itself.
  if (!contains(current.value(), codexNotifyPath())) {
    const auto existing = findTomlNotify(split(current.value(), '\n'));
    if (existing && existing->command && !existing->command->empty() &&
        !contains(existing->command->front(), "glimmet-codex-notify")) {
      const Json chain = {{"notify", *existing->command}};
      if (auto status = writeFileAtomically(codexNotifyChain(), serializeConfig(chain)); !status) {
        return status;
      }
    }
  }

  const std::string hooks = codexHooks();
  auto currentHooks = readConfigText(hooks);
  if (!currentHooks) return Status::failure(currentHooks.error());
  if (auto status = writeConfig(config, plannedCodexConfig(current.value())); !status) {
    return status;
  }

  const Json existingHooks = Json::parse(currentHooks.value(), nullptr, false);
  const bool replacesUnreadable = !trim(currentHooks.value()).empty() &&
                                  (existingHooks.is_discarded() || !existingHooks.is_object());
  if (!backupIfNeeded(hooks) && replacesUnreadable) {
    return Status::failure(fmt::format("Cannot back up {}", hooks));
  }
  return writeConfig(hooks, plannedCodexHooks(currentHooks.value()));
}

Status HookManager::installOpenCodePlugin() const {
  const std::string plugin = opencodePlugin();
  if (auto status = createDirectories(parentDirectory(plugin)); !status) return status;
  backupIfNeeded(plugin);
  const auto text = embeddedScript("glimmet.js");
  if (!text) return Status::failure("Missing OpenCode plugin");
  // OpenCode loads the plugin as a module; it is not run as a program.
  return writeFileAtomically(writeTargetOf(plugin), *text, kConfigMode);
}

Status HookManager::install(std::string_view toolID) const {
  if (auto status = installBridgeScripts(); !status) return status;
  const std::string id = installToolID(toolID);
  if (id == "claude-code") return installClaudeHooks();
  if (id == "codex-cli") return installCodexNotify();
  if (id == "opencode-cli") return installOpenCodePlugin();
  // Cursor and the wrapper tools need nothing beyond the scripts.
  return {};
}

}  // namespace glimmet
