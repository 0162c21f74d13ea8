#include "integrations/app_locations.hpp"

#include "base/text.hpp"
#include "model/tool_names.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

std::string_view platformName(Platform platform) {
  return platform == Platform::macOS ? "macOS" : "Linux";
}

std::optional<std::string> executableInPath(std::string_view name, const Environment& environment) {
  if (name.empty() || contains(name, "/")) return std::nullopt;
  const std::string searchPath = environment.get("PATH").value_or(std::string(kDefaultSearchPath));
  for (const auto& directory : split(searchPath, ':')) {
    if (directory.empty()) continue;
    std::string candidate = directory;
    if (candidate.back() != '/') candidate += '/';
    candidate += name;
    if (isExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

std::string expandHomePath(std::string_view path, const std::string& homeDirectory) {
  if (!startsWith(path, "~/")) return std::string(path);
  std::string expanded = homeDirectory;
  if (expanded.empty() || expanded.back() != '/') expanded += '/';
  expanded += path.substr(2);
  return expanded;
}

std::string probePath(std::string_view path, const AppLocationRoots& roots) {
  if (startsWith(path, "~/")) return expandHomePath(path, roots.homeDirectory);
  if (startsWith(path, "/")) return roots.systemRoot + std::string(path);
  return std::string(path);
}

std::optional<std::string> preferredExistingAppPath(const std::vector<std::string>& paths,
                                                    const AppLocationRoots& roots) {
  if (paths.empty()) return std::nullopt;
  for (const auto& path : paths) {
    if (fileExists(probePath(path, roots))) return expandHomePath(path, roots.homeDirectory);
  }
  return expandHomePath(paths.front(), roots.homeDirectory);
}

std::optional<std::string> softwareLogoAppPath(std::string_view toolID,
                                               const AppLocationRoots& roots) {
  if (roots.platform != Platform::macOS) return std::nullopt;
  const std::string id = canonicalToolID(toolID);
  if (id == "claude-app" || id == "claude-code") return "/Applications/Claude.app";
  if (id == "codex-app" || id == "codex-cli") return "/Applications/Codex.app";
  if (id == "cursor-ide" || id == "cursor-agent-cli") return "/Applications/Cursor.app";
  if (id == "cursor-glass") {
    return preferredExistingAppPath({"/Applications/Cursor Glass.app", "/Applications/Cursor.app"},
                                    roots);
  }
  if (id == "trae-ide" || id == "trae-agent-cli") {
    return preferredExistingAppPath({"/Applications/Trae.app", "/Applications/Trae CN.app"}, roots);
  }
  if (id == "trae-solo") {
    return preferredExistingAppPath(
        {"/Applications/TRAE SOLO CN.app", "/Applications/Trae SOLO.app"}, roots);
  }
  if (id == "kimi-app-web" || id == "kimi-cli") return "/Applications/Kimi.app";
  return std::nullopt;
}

}  // namespace glimmet
