#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "base/text.hpp"
#include "integrations/bridge_scripts.hpp"
#include "integrations/codex_config_edit.hpp"
#include "integrations/codex_hook_trust.hpp"
#include "integrations/embedded_scripts.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_manager.hpp"
#include "platform/file_system.hpp"
#include "platform/private_files.hpp"

namespace glimmet {

namespace {

constexpr unsigned kScriptMode = 0755;
constexpr unsigned kConfigMode = 0644;
// The chain files hold the user's earlier commands, which may carry tokens; the trust record
// names the user's hooks.
constexpr unsigned kPrivateMode = 0600;

std::string parentDirectory(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

Status createDirectoriesFor(const std::vector<std::string>& directories) {
  for (const auto& directory : directories) {
    if (auto status = createDirectories(directory); !status) return status;
  }
  return {};
}

// Glimmet's own files (scripts, chain files): written only when their content or mode differs,
// so a repeated install leaves every file as it was.
Status writeOwnFile(const std::string& path, std::string_view text, unsigned mode) {
  if (readFile(path) == text && fileMode(path) == mode) return {};
  return writeFileAtomically(path, text, mode);
}

}  // namespace

bool HookManager::backupIfNeeded(const std::string& file) const {
  return backUp(file).ok();
}

Status HookManager::backUp(const std::string& file) const {
  if (!fileExists(file)) return {};
  const std::string backup = fmt::format("{}.glimmet-backup-{}", file, clock_());
  // A backup from earlier in the same second already holds the older text: keep it.
  if (fileExists(backup)) return {};
  if (auto status = copyFileExclusive(file, backup); !status) {
    return Status::failure(fmt::format("Cannot back up {}: {}", file, status.error()));
  }
  return {};
}

// Rewrites another tool's configuration file in one atomic step after a backup, keeping its
// permission bits (settings may hold credentials and be private) and, when it is a link, the
// link. A file that already holds `planned` is neither backed up nor touched.
Status HookManager::writeConfig(const std::string& path, std::string_view current,
                                std::string_view planned) const {
  if (fileExists(path) && current == planned) return {};
  if (auto status = backUp(path); !status) return status;
  const std::string target = writeTargetOf(path);
  return writeFileAtomically(target, planned, fileMode(target).value_or(kConfigMode));
}

// Glimmet's own folders are made for the user alone. An existing Glimmet home that others
// control is refused: whoever can replace a bridge there runs code as every agent's user.
Status HookManager::preparePrivateDirectories() const {
  if (!locations_.glimmetHome.empty() && fileExists(locations_.glimmetHome)) {
    if (auto reason = untrustedDirectoryReason(locations_.glimmetHome)) {
      return Status::failure(fmt::format("Refusing to install: the Glimmet home {}", *reason));
    }
  }
  for (const auto& directory : {locations_.bridgeDirectory, locations_.bridgeConfigDirectory}) {
    if (auto status = createPrivateDirectories(directory); !status) return status;
  }
  return {};
}

std::vector<std::string> HookManager::privateFiles() const {
  return {locations_.bridgeConfigDirectory, claudeStatusLineChain(), codexNotifyChain(),
          codexTrustRecord()};
}

Status HookManager::installBridgeScripts() const {
  if (auto status = preparePrivateDirectories(); !status) return status;
  for (const auto name : kBridgeScriptNames) {
    const auto text = embeddedScript(name);
    if (!text) return Status::failure(fmt::format("Missing bridge script {}", name));
    // The mode is set on the temporary file before it replaces the old script, so an agent
    // never finds the bridge without its executable bit.
    const unsigned mode = isBridgeModule(name) ? kConfigMode : kScriptMode;
    if (auto status = writeOwnFile(bridgePath(name), *text, mode); !status) return status;
  }
  return {};
}

Status HookManager::installClaudeHooks() const {
  const std::string settings = claudeSettings();
  auto current = readConfigText(settings);
  if (!current) return Status::failure(current.error());
  // Planned before anything is written: a file that cannot be edited safely stays untouched.
  auto planned = plannedClaudeSettings(current.value());
  if (!planned) return Status::failure(planned.error());
  if (auto status = createDirectoriesFor({parentDirectory(settings)}); !status) return status;
  if (auto status = createPrivateDirectories(locations_.bridgeConfigDirectory); !status) {
    return status;
  }

  const ConfigJson existing = parseConfigObject(settings, current.value()).value();
  if (const auto statusLine = existing.find("statusLine");
      statusLine != existing.end() && statusLine->is_object()) {
    const auto command = statusLine->find("command");
    if (command != statusLine->end() && command->is_string() &&
        !contains(command->get<std::string>(), "glimmet-claude-statusline")) {
      const ConfigJson chain = {{"statusLine", *statusLine}};
      if (auto status = writeOwnFile(claudeStatusLineChain(), serializeConfig(chain), kPrivateMode);
          !status) {
        return status;
      }
    }
  }
  return writeConfig(settings, current.value(), planned.value());
}

Status HookManager::installCodexNotify() const {
  const std::string config = codexConfig();
  const std::string hooks = codexHooks();
  auto current = readConfigText(config);
  if (!current) return Status::failure(current.error());
  auto currentHooks = readConfigText(hooks);
  if (!currentHooks) return Status::failure(currentHooks.error());
  // Both files are planned before either is written, so a refusal leaves both as they were.
  auto planned = plannedCodexConfig(current.value());
  if (!planned) return Status::failure(planned.error());
  auto plannedHooks = plannedCodexHooks(currentHooks.value());
  if (!plannedHooks) return Status::failure(plannedHooks.error());
  // Codex skips hooks the user has not trusted, so the hooks about to be written are trusted
  // in the same rewrite of config.toml.
  auto trust = plannedCodexTrust(planned.value(), plannedHooks.value());
  if (!trust) return Status::failure(trust.error());
  if (auto status = createDirectoriesFor({parentDirectory(config)}); !status) return status;
  if (auto status = createPrivateDirectories(locations_.bridgeConfigDirectory); !status) {
    return status;
  }

  // The notify program configured before keeps running: the notify bridge calls it after
  // recording the event. Glimmet's own bridge is never chained: it would call itself.
  const auto existing = codexNotifyCommandOf(current.value());
  if (existing && !existing->empty() && !contains(existing->front(), "glimmet-codex-notify")) {
    const ConfigJson chain = {{"notify", *existing}};
    if (auto status = writeOwnFile(codexNotifyChain(), serializeConfig(chain), kPrivateMode);
        !status) {
      return status;
    }
  }
  if (auto status = writeConfig(config, current.value(), trust.value().config); !status) {
    return status;
  }
  if (auto status = writeConfig(hooks, currentHooks.value(), plannedHooks.value()); !status) {
    return status;
  }
  return writeOwnFile(codexTrustRecord(), trust.value().record, kPrivateMode);
}

Status HookManager::installOpenCodePlugin() const {
  const std::string plugin = opencodePlugin();
  const auto text = embeddedScript("glimmet.js");
  if (!text) return Status::failure("Missing OpenCode plugin");
  if (auto status = createDirectories(parentDirectory(plugin)); !status) return status;
  auto current = readConfigText(plugin);
  if (!current) return Status::failure(current.error());
  // OpenCode loads the plugin as a module; it is not run as a program.
  return writeConfig(plugin, current.value(), *text);
}

Status HookManager::install(std::string_view toolID) const {
  if (auto status = installBridgeScripts(); !status) return status;
  const std::string id = installToolID(toolID);
  if (id == "claude-code") return installClaudeHooks();
  if (id == "codex-cli") return installCodexNotify();
  if (id == "opencode-cli") return installOpenCodePlugin();
  // Gemini CLI versions with hooks report through them; older ones keep the wrapper, which is
  // among the scripts.
  if (id == "gemini-cli") return installGeminiHooks();
  // Cursor and the wrapper tools need nothing beyond the scripts.
  return {};
}

}  // namespace glimmet
