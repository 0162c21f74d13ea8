#include <filesystem>
#include <string>

#include "base/text.hpp"
#include "integrations/gemini_hooks.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_manager.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// The object under `key`, or an empty one when it is absent or something else.
ConfigJson objectMember(const ConfigJson& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_object() ? *found : ConfigJson::object();
}

}  // namespace

std::string HookManager::geminiSettings() const {
  const auto home = environment_.get("GEMINI_CLI_HOME");
  if (home && !trim(*home).empty()) {
    return resolvedPath(trim(*home)) + "/.gemini/settings.json";
  }
  return tilde(".gemini/settings.json");
}

std::string HookManager::geminiEventCommand() const {
  return bridgeCommand(eventCommandPath(), "--source gemini-cli");
}

Result<std::string> HookManager::plannedGeminiSettings() const {
  auto text = readConfigText(geminiSettings());
  if (!text) return Result<std::string>::failure(text.error());
  return plannedGeminiSettings(text.value());
}

Result<std::string> HookManager::plannedGeminiSettings(std::string_view current) const {
  auto parsed = parseConfigObject(geminiSettings(), current);
  if (!parsed) return Result<std::string>::failure(parsed.error());
  ConfigJson settings = std::move(parsed.value());
  ConfigJson hooks = objectMember(settings, "hooks");
  placeGeminiHooks(hooks, geminiEventHandler(geminiEventCommand()), eventCommandPath());
  settings["hooks"] = std::move(hooks);
  return serializeConfig(settings, current);
}

Result<std::string> HookManager::plannedGeminiSettingsWithoutHooks(std::string_view current) const {
  auto parsed = parseConfigObject(geminiSettings(), current);
  if (!parsed) return Result<std::string>::failure(parsed.error());
  ConfigJson settings = std::move(parsed.value());
  const auto hooks = settings.find("hooks");
  if (hooks == settings.end() || !hooks->is_object()) return std::string(current);
  const ConfigJson before = *hooks;
  glimmet::removeGeminiHooks(*hooks, eventCommandPath());
  // Nothing of Glimmet's: the file is not rewritten, not even in another layout.
  if (*hooks == before) return std::string(current);
  // A table that only Glimmet's entries filled goes with them.
  if (hooks->empty()) settings.erase("hooks");
  return serializeConfig(settings, current);
}

Status HookManager::installGeminiHooks() const {
  const std::string settings = geminiSettings();
  auto current = readConfigText(settings);
  if (!current) return Status::failure(current.error());
  // Planned before anything is written: a file that cannot be edited safely stays untouched.
  auto planned = plannedGeminiSettings(current.value());
  if (!planned) return Status::failure(planned.error());
  if (auto status = createDirectories(std::filesystem::path(settings).parent_path().string());
      !status) {
    return status;
  }
  return writeConfig(settings, current.value(), planned.value());
}

Status HookManager::removeGeminiHooks() const {
  const std::string settings = geminiSettings();
  if (!fileExists(settings)) return {};
  auto current = readConfigText(settings);
  if (!current) return Status::failure(current.error());
  auto planned = plannedGeminiSettingsWithoutHooks(current.value());
  if (!planned) return Status::failure(planned.error());
  return writeConfig(settings, current.value(), planned.value());
}

}  // namespace glimmet
