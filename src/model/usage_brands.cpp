#include "model/usage_brands.hpp"

#include <optional>

#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

struct UsageBrand {
  std::string_view name;
  std::vector<std::string> toolIDs;
};

// Tried in order on the lower-cased name. "Claude Dev" is Cline's old name, not a Claude tool.
std::optional<UsageBrand> brandOf(std::string_view tool) {
  const std::string name = toLower(tool);
  if (contains(name, "claude") &&
      !contains(replaceAll(replaceAll(name, "_", "-"), " ", "-"), "claude-dev")) {
    return UsageBrand{"Claude", {"claude-code", "claude-app"}};
  }
  if (contains(name, "codex")) return UsageBrand{"Codex", {"codex-cli", "codex-app"}};
  if (contains(name, "cursor")) return UsageBrand{"Cursor", {"cursor-ide", "cursor-agent-cli"}};
  if (contains(name, "trae")) {
    return UsageBrand{"Trae", {"trae-ide", "trae-agent-cli", "trae-solo"}};
  }
  if (contains(name, "opencode")) return UsageBrand{"OpenCode", {"opencode-cli"}};
  return std::nullopt;
}

}  // namespace

std::vector<std::string> usageToolIDs(std::string_view brandOrTool) {
  if (auto brand = brandOf(brandOrTool)) return std::move(brand->toolIDs);
  return {canonicalToolID(brandOrTool)};
}

std::string usageBrandName(std::string_view tool) {
  if (const auto brand = brandOf(tool)) return std::string(brand->name);
  return toolDisplayName(tool);
}

}  // namespace glimmet
