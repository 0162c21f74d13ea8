#include "jump/jump_derivation.hpp"

#include <algorithm>
#include <memory>

#include "base/text.hpp"
#include "integrations/app_platform_rules.hpp"
#include "integrations/linux_app_locator.hpp"
#include "integrations/property_list.hpp"
#include "jump/url_parts.hpp"
#include "model/tool_catalog.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

using Kind = JumpTarget::Kind;

std::optional<std::string> explicitCwd(const GlimmetEvent& event) {
  return event.hasExplicitCwd ? std::optional(event.cwd) : std::nullopt;
}

bool hasTargetString(const GlimmetEvent& event) {
  return event.jumpTarget && !trim(*event.jumpTarget).empty();
}

JumpTarget appTarget(std::optional<std::string> bundleID, std::optional<std::string> appPath) {
  JumpTarget target;
  target.kind = Kind::app;
  target.bundleID = std::move(bundleID);
  target.appPath = std::move(appPath);
  return target;
}

JumpTarget terminalCwdTarget(std::string cwd, std::optional<std::string> terminal) {
  JumpTarget target;
  target.kind = Kind::terminalCwd;
  target.cwd = std::move(cwd);
  target.terminal = std::move(terminal);
  return target;
}

// The app behind a tool id on Linux: which catalogue row's Linux rule finds it, the bundle id it
// has on macOS (kept on the target for the record), and whether the tool is an editor that
// opens a folder.
struct LinuxAppRow {
  std::vector<std::string_view> toolIDs;
  std::string_view appToolID;
  std::optional<std::string_view> bundleID;
  bool opensFolders = false;
};

const std::vector<LinuxAppRow>& linuxAppRows() {
  static const std::vector<LinuxAppRow> rows = {
      {{"claude-app"}, "claude-app", "com.anthropic.claudefordesktop", false},
      {{"codex-app"}, "codex-app", "com.openai.codex", false},
      {{"cursor-ide"}, "cursor-ide", "com.todesktop.230313mzl4w4u92", true},
      {{"cursor-glass"}, "cursor-glass", std::nullopt, true},
      {{"trae-ide"}, "trae-ide", "cn.trae.app", true},
      {{"trae-solo"}, "trae-solo", "cn.trae.solo.app", false},
      {{"vscode-host", "cline", "roo-code", "copilot-vscode-extension"},
       "vscode-host",
       "com.microsoft.VSCode",
       true},
      {{"kimi-app-web"}, "kimi-app-web", std::nullopt, false},
      {{"windsurf"}, "windsurf", "com.exafunction.windsurf", true},
  };
  return rows;
}

std::optional<std::string> optionalString(std::optional<std::string_view> value) {
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

}  // namespace

JumpDerivation JumpDerivation::makeDefault(const Environment& environment,
                                           std::string homeDirectory, Platform platform) {
  JumpDerivation derivation;
  derivation.resolver = JumpResolver::makeDefault(environment, homeDirectory, platform);
  derivation.bundleIdentifierOf = [](const std::string& path) { return bundleIdentifier(path); };
  auto shared = std::make_shared<const Environment>(environment);
  derivation.linuxAppOf = [shared, homeDirectory](std::string_view toolID) {
    const LinuxAppRule* rule = linuxAppRule(toolID);
    if (!rule || !rule->available) return std::optional<std::string>();
    const AIToolCatalogItem* item = catalogItem(toolID);
    const LinuxAppLocator locator(*shared, {homeDirectory, "", Platform::Linux});
    return locator.locate(*rule, item ? item->commandNames : std::vector<std::string>{});
  };
  derivation.homeDirectory = std::move(homeDirectory);
  return derivation;
}

bool JumpDerivation::isURLJumpTarget(std::string_view text) {
  const auto parts = parseURLParts(text);
  return parts && !parts->scheme.empty();
}

ResolvedJumpTarget JumpDerivation::urlResult(const std::string& text) const {
  JumpTarget target;
  target.kind = Kind::url;
  target.url = text;
  ResolvedJumpTarget result;
  result.target = std::move(target);
  if (resolver.isAllowedURL(text)) {
    result.available = true;
    result.label = "Open link";
    result.quality = JumpResolver::urlJumpQuality(text);
    result.action = ResolvedJumpAction::openURL;
  } else {
    result.label = "Configure";
    result.reason = "URL scheme is not allowed.";
  }
  return result;
}

ResolvedJumpTarget JumpDerivation::fileResult(const std::string& path) const {
  JumpTarget target;
  target.kind = Kind::file;
  target.path = path;
  ResolvedJumpTarget result;
  result.target = std::move(target);
  if (resolver.fileExists && resolver.fileExists(path)) {
    result.available = true;
    result.label = "Open file";
    result.quality = JumpQuality::workspaceLevel;
    result.action = ResolvedJumpAction::openFile;
  } else {
    result.label = "Configure";
    result.reason = "File does not exist.";
  }
  return result;
}

std::optional<ResolvedJumpTarget> JumpDerivation::stringTargetResult(
    const std::string& text) const {
  return isURLJumpTarget(text) ? urlResult(text) : fileResult(text);
}

ResolvedJumpTarget JumpDerivation::appResult(const std::optional<std::string>& bundleID,
                                             const std::optional<std::string>& appPath) const {
  return resolver.resolve(appTarget(bundleID, appPath));
}

std::string JumpDerivation::firstExisting(const std::vector<std::string>& paths) const {
  for (const auto& path : paths) {
    if (resolver.fileExists && resolver.fileExists(path)) return path;
  }
  return paths.empty() ? std::string() : paths.front();
}

std::optional<ResolvedJumpTarget> JumpDerivation::jumpTarget(
    const GlimmetEvent& event, const std::vector<GlimmetEvent>& bridgeEvents) const {
  if (event.typedJumpTarget) return resolver.resolve(*event.typedJumpTarget);
  if (hasTargetString(event)) return stringTargetResult(*event.jumpTarget);

  if (auto known = knownBridgeJumpTarget(event, bridgeEvents)) return known;
  const auto cwd = explicitCwd(event);
  if (toLower(event.source).find("cmux") != std::string::npos ||
      toLower(event.sourceType).find("cmux") != std::string::npos) {
    JumpTarget target;
    target.kind = Kind::cmux;
    target.sessionID = event.sessionId;
    target.cwd = cwd;
    return resolver.resolve(target);
  }
  if (event.terminal && toLower(*event.terminal).find("iterm") != std::string::npos && cwd) {
    JumpTarget target;
    target.kind = Kind::terminalWindow;
    target.terminal = event.terminal;
    target.cwd = event.cwd;
    return resolver.resolve(target);
  }
  const std::string toolID = canonicalToolID(event.source);
  if (auto inferred = inferredAppOrWorkspaceJumpTarget(toolID, event)) return inferred;
  if (auto cli = resolvedCLIJump(cliCommands(toolID), cwd)) return cli;

  if (event.transcriptPath && !event.transcriptPath->empty()) {
    return fileResult(*event.transcriptPath);
  }
  if (cwd) return resolver.resolve(terminalCwdTarget(*cwd, event.terminal));
  return std::nullopt;
}

std::optional<ResolvedJumpTarget> JumpDerivation::knownBridgeJumpTarget(
    const GlimmetEvent& event, const std::vector<GlimmetEvent>& bridgeEvents) const {
  if (event.sourceType != "stable_local_loader" || !event.sessionId) return std::nullopt;
  const GlimmetEvent* newest = nullptr;
  for (const auto& candidate : bridgeEvents) {
    if (candidate.id == event.id || candidate.sessionId != event.sessionId) continue;
    if (!candidate.typedJumpTarget && !hasTargetString(candidate)) continue;
    // Strictly newer only: among equal times the first one listed wins, as a stable sort
    // newest first would have it.
    if (!newest || candidate.timestamp > newest->timestamp) newest = &candidate;
  }
  if (!newest) return std::nullopt;
  if (newest->typedJumpTarget) return resolver.resolve(*newest->typedJumpTarget);
  return stringTargetResult(*newest->jumpTarget);
}

std::optional<ResolvedJumpTarget> JumpDerivation::inferredAppOrWorkspaceJumpTarget(
    const std::string& toolID, const GlimmetEvent& event) const {
  if (resolver.platform == Platform::Linux) return linuxAppOrWorkspaceJumpTarget(toolID, event);
  if (toolID == "claude-app") {
    return appResult("com.anthropic.claudefordesktop", "/Applications/Claude.app");
  }
  if (toolID == "codex-app") return appResult("com.openai.codex", "/Applications/Codex.app");
  if (toolID == "cursor-ide") {
    return resolvedWorkspaceAppJump(event, "Cursor", "com.todesktop.230313mzl4w4u92",
                                    "/Applications/Cursor.app");
  }
  if (toolID == "cursor-glass") {
    const std::string path = "/Applications/Cursor Glass.app";
    const auto bundle = bundleIdentifierOf ? bundleIdentifierOf(path) : std::nullopt;
    return resolvedWorkspaceAppJump(event, "Cursor Glass", bundle, path);
  }
  if (toolID == "trae-ide") {
    const std::string path = firstExisting({"/Applications/Trae.app", "/Applications/Trae CN.app"});
    std::string name = path.substr(path.rfind('/') + 1);
    if (toLower(name).ends_with(".app")) name.resize(name.size() - 4);
    if (name.empty()) name = "Trae";
    return resolvedWorkspaceAppJump(event, name, "cn.trae.app", path);
  }
  if (toolID == "trae-solo") {
    return appResult("cn.trae.solo.app", firstExisting({"/Applications/TRAE SOLO CN.app",
                                                        "/Applications/Trae SOLO.app"}));
  }
  if (toolID == "vscode-host" || toolID == "cline" || toolID == "roo-code" ||
      toolID == "copilot-vscode-extension") {
    return resolvedWorkspaceAppJump(event, "Visual Studio Code", "com.microsoft.VSCode",
                                    "/Applications/Visual Studio Code.app");
  }
  if (toolID == "kimi-app-web") return appResult(std::nullopt, "/Applications/Kimi.app");
  if (toolID == "windsurf") {
    const std::string path =
        firstExisting({"/Applications/Windsurf.app",
                       expandHomePath("~/Applications/Windsurf.app", homeDirectory)});
    const auto bundle = bundleIdentifierOf ? bundleIdentifierOf(path) : std::nullopt;
    return resolvedWorkspaceAppJump(event, "Windsurf", bundle.value_or("com.exafunction.windsurf"),
                                    path);
  }
  return std::nullopt;
}

// Linux has no bundles: an editor opens the folder through its command, and an app is opened
// where its Linux build was found. A tool with no Linux build stays "not installed".
std::optional<ResolvedJumpTarget> JumpDerivation::linuxAppOrWorkspaceJumpTarget(
    const std::string& toolID, const GlimmetEvent& event) const {
  const auto row = std::find_if(linuxAppRows().begin(), linuxAppRows().end(), [&](const auto& r) {
    return std::find(r.toolIDs.begin(), r.toolIDs.end(), toolID) != r.toolIDs.end();
  });
  if (row == linuxAppRows().end()) return std::nullopt;
  const LinuxAppRule* rule = linuxAppRule(row->appToolID);
  const bool hasLinuxBuild = rule && rule->available;
  const auto cwd = explicitCwd(event);
  if (row->opensFolders && cwd && hasLinuxBuild && !rule->launchers.empty()) {
    auto folder = resolver.resolve(terminalCwdTarget(*cwd, std::string(rule->launchers.front())));
    if (folder.available) return folder;
  }
  const auto located =
      hasLinuxBuild && linuxAppOf ? linuxAppOf(row->appToolID) : std::optional<std::string>();
  return appResult(optionalString(row->bundleID), located);
}

ResolvedJumpTarget JumpDerivation::resolvedWorkspaceAppJump(
    const GlimmetEvent& event, const std::string& appName,
    const std::optional<std::string>& bundleID, const std::optional<std::string>& appPath) const {
  if (const auto cwd = explicitCwd(event)) {
    auto folder = resolver.resolve(terminalCwdTarget(*cwd, bundleID.value_or(appName)));
    if (folder.available) return folder;
  }
  return appResult(bundleID, appPath);
}

std::optional<ResolvedJumpTarget> JumpDerivation::resolvedCLIJump(
    const CommandList& commands, const std::optional<std::string>& cwd) const {
  if (commands.empty()) return std::nullopt;
  const auto cliTarget = [&](const std::pair<std::string, std::vector<std::string>>& command) {
    JumpTarget target;
    target.kind = Kind::cli;
    target.command = command.first;
    target.args = command.second;
    target.cwd = cwd;
    return target;
  };
  for (const auto& command : commands) {
    if (resolver.commandExists && resolver.commandExists(command.first)) {
      return resolver.resolve(cliTarget(command));
    }
  }
  return resolver.resolve(cliTarget(commands.front()));
}

JumpDerivation::CommandList JumpDerivation::cliCommands(std::string_view toolID) {
  static const std::vector<std::pair<std::string_view, CommandList>> table = {
      {"claude-code", {{"claude", {}}}},
      {"codex-cli", {{"codex", {}}}},
      {"cursor-agent-cli", {{"cursor-agent", {}}, {"cursor", {}}}},
      {"kilo-code", {{"kilo", {}}}},
      {"pi", {{"pi", {}}}},
      {"factory-droid", {{"factory-droid", {}}, {"droid", {}}}},
      {"trae-agent-cli", {{"trae-cli", {}}, {"trae", {}}}},
      {"gemini-cli", {{"gemini", {}}}},
      {"opencode-cli", {{"opencode", {}}}},
      {"copilot-cli", {{"gh", {"copilot"}}}},
      {"kimi-cli", {{"kimi-cli", {}}, {"kimi", {}}}},
  };
  for (const auto& [id, commands] : table) {
    if (id == toolID) return commands;
  }
  return {};
}

}  // namespace glimmet
