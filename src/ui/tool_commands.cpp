#include "ui/tool_commands.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "base/json_values.hpp"
#include "integrations/hook_manager.hpp"
#include "integrations/settings_tool_actions.hpp"

namespace glimmet {

namespace {

constexpr const char* kToolsUsage =
    "Usage: glimmet tools [--json]\n"
    "\n"
    "Lists every supported AI tool with its integration health: product, name, status,\n"
    "detail, path and the action that fixes it. --json prints the same as a JSON array.\n";

constexpr const char* kInstallUsage =
    "Usage: glimmet install <tool-id> [--preview]\n"
    "\n"
    "Installs Glimmet's bridge scripts and the tool's hooks (claude-code, codex-cli,\n"
    "opencode-cli, or any wrapper tool). Configuration files are backed up first as\n"
    "<name>.glimmet-backup-<seconds>. --preview shows the planned changes and writes nothing.\n";

void printArgumentError(std::string_view command, std::string_view message, std::string_view arg,
                        const char* usage) {
  std::fputs(fmt::format("glimmet {}: {} {}\n\n{}", command, message, arg, usage).c_str(), stderr);
}

Json healthToJson(const ToolHealth& health) {
  return Json{{"id", health.id},
              {"product", health.product},
              {"name", health.name},
              {"status", std::string(hookStatusRawValue(health.status))},
              {"detail", health.detail},
              {"detected", health.detected},
              {"path", health.path},
              {"primaryAction", settingsToolActionTitle(health)},
              {"platformSupported", health.platformSupported}};
}

// One block per tool: "Product · Name", then the status, detail, path and action, indented. A
// tool that does not run here has no path to show.
std::string formatHealth(const std::vector<ToolHealth>& rows) {
  std::string out;
  for (const auto& health : rows) {
    const std::string action = settingsToolActionTitle(health);
    out += fmt::format("{} · {}\n  {} — {}\n", health.product, health.name,
                       hookStatusRawValue(health.status), health.detail);
    if (!health.path.empty()) out += fmt::format("  {}\n", health.path);
    if (!action.empty()) out += fmt::format("  Action: {}\n", action);
  }
  return out;
}

}  // namespace

int runToolsCommand(const std::vector<std::string_view>& args) {
  bool json = false;
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kToolsUsage, stdout);
      return 0;
    }
    if (arg != "--json") {
      printArgumentError("tools", "unknown option", arg, kToolsUsage);
      return 2;
    }
    json = true;
  }
  const auto rows = HookManager::forProcess().health();
  if (json) {
    Json array = Json::array();
    for (const auto& health : rows) array.push_back(healthToJson(health));
    std::puts(array.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
  } else {
    std::fputs(formatHealth(rows).c_str(), stdout);
  }
  return 0;
}

int runInstallCommand(const std::vector<std::string_view>& args) {
  bool preview = false;
  std::optional<std::string> toolID;
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kInstallUsage, stdout);
      return 0;
    }
    if (arg == "--preview") {
      preview = true;
    } else if (arg.starts_with("-") || toolID) {
      printArgumentError("install", "unexpected argument", arg, kInstallUsage);
      return 2;
    } else {
      toolID = std::string(arg);
    }
  }
  if (!toolID) {
    std::fputs(kInstallUsage, stderr);
    return 2;
  }
  const AIToolCatalogItem* item = catalogItem(installToolID(*toolID));
  if (!item) {
    printArgumentError("install", "unknown tool", *toolID,
                       "Run `glimmet tools --json` for the tool ids.\n");
    return 2;
  }

  const HookManager manager = HookManager::forProcess();
  if (preview) {
    const auto [title, body] = manager.installationPreview(item->id);
    std::fputs(fmt::format("{}\nReview the planned bridge script and config changes below.\n\n{}\n",
                           title, body)
                   .c_str(),
               stdout);
    return 0;
  }
  if (auto status = manager.install(item->id); !status) {
    std::fputs(fmt::format("Install failed: {}\n", status.error()).c_str(), stderr);
    return 1;
  }
  std::fputs(fmt::format("{} bridge installed\n", item->name).c_str(), stdout);
  return 0;
}

}  // namespace glimmet
