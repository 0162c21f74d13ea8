// Claude Code's settings.json and Codex's hooks.json, as the installer edits them: arbitrary
// text in, and whenever the text is a JSON object, a planned file that is one too, keeps the
// user's other settings and does not change on a second install.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "fuzz_check.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/hook_groups.hpp"
#include "integrations/hook_manager.hpp"

using namespace glimmet;

namespace {

const HookManager& manager() {
  static const HookManager instance = [] {
    HookManagerLocations locations;
    locations.homeDirectory = "/home/dev";
    locations.bridgeDirectory = "/home/dev/.glimmet/bin";
    locations.bridgeConfigDirectory = "/home/dev/.glimmet/config";
    locations.opencodeConfigRoot = "/home/dev/.config/opencode";
    locations.glimmetHome = "/home/dev/.glimmet";
    locations.eventFile = "/home/dev/.local/share/Glimmet/events.jsonl";
    locations.scriptInterpreter = "/usr/bin/python3";
    Environment environment;
    environment.set("HOME", "/home/dev");
    environment.set("PATH", "/nonexistent");
    return HookManager(locations, environment, [] { return int64_t{1780000000}; });
  }();
  return instance;
}

using Plan = Result<std::string> (HookManager::*)(std::string_view) const;

void checkPlan(std::string_view text, Plan plan, std::string_view ownKey1,
               std::string_view ownKey2) {
  const auto before = parseConfigObject("settings.json", text);
  const auto planned = (manager().*plan)(text);
  FUZZ_CHECK(planned.ok() == before.ok());
  if (!planned) return;
  const auto after = parseConfigObject("settings.json", planned.value());
  FUZZ_CHECK(after.ok());
  for (const auto& [key, value] : before.value().items()) {
    if (key == ownKey1 || key == ownKey2) continue;
    FUZZ_CHECK(after.value().contains(key));
    FUZZ_CHECK(after.value().at(key) == value);
  }
  const auto again = (manager().*plan)(planned.value());
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again.value() == planned.value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkPlan(text, &HookManager::plannedClaudeSettings, "hooks", "statusLine");
  checkPlan(text, &HookManager::plannedCodexHooks, "hooks", "hooks");
  (void)shellWords(text);
  (void)isOwnBridgeCommand(text, "/home/dev/.glimmet/bin/glimmet-event");
  return 0;
}
