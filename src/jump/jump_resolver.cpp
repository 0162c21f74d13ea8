#include "jump/jump_resolver.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/text.hpp"
#include "integrations/app_platform_rules.hpp"
#include "integrations/linux_app_locator.hpp"
#include "integrations/property_list.hpp"
#include "jump/url_parts.hpp"
#include "model/tool_catalog.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

using Kind = JumpTarget::Kind;

bool ask(const JumpResolver::Predicate& predicate, const std::string& value) {
  return predicate && predicate(value);
}

bool isBlank(const std::optional<std::string>& value) {
  return !value || trim(*value).empty();
}

ResolvedJumpTarget availableResult(JumpTarget target, std::string label, JumpQuality quality,
                                   ResolvedJumpAction action) {
  ResolvedJumpTarget result;
  result.available = true;
  result.target = std::move(target);
  result.label = std::move(label);
  result.quality = quality;
  result.action = action;
  return result;
}

ResolvedJumpTarget unavailableResult(JumpTarget target, std::string reason,
                                     std::optional<ResolvedJumpTarget> fallback = std::nullopt) {
  ResolvedJumpTarget result;
  result.target = std::move(target);
  result.label = "Configure";
  result.reason = std::move(reason);
  result.quality = JumpQuality::unavailable;
  result.action = ResolvedJumpAction::configure;
  if (fallback) result.fallback = std::make_shared<const ResolvedJumpTarget>(std::move(*fallback));
  return result;
}

// One terminal or editor application: the words that name it, and where it is found on each
// desktop. A name matches a row when it contains one of the words or is one of its bundle ids.
struct TerminalAppRow {
  std::vector<std::string_view> words;
  std::vector<std::string_view> bundleIDs;
  std::vector<std::string_view> paths;  // macOS application bundles
  std::string_view bundlePrefix;        // any bundle id beginning with it names the row too
};

const std::vector<TerminalAppRow>& macTerminalApps() {
  static const std::vector<TerminalAppRow> rows = {
      {{"iterm"}, {"com.googlecode.iterm2"}, {"/Applications/iTerm.app"}, {}},
      {{"terminal"}, {"com.apple.Terminal"}, {"/System/Applications/Utilities/Terminal.app"}, {}},
      {{"cursor"}, {"com.todesktop.230313mzl4w4u92"}, {"/Applications/Cursor.app"}, {}},
      {{"visual studio code", "vscode"},
       {"com.microsoft.VSCode"},
       {"/Applications/Visual Studio Code.app"},
       {}},
      {{"trae solo", "trae-solo", "trae_solo", "cn.trae.solo"},
       {"cn.trae.solo.app"},
       {"/Applications/Trae SOLO.app", "/Applications/TRAE SOLO CN.app"},
       {}},
      {{"trae"},
       {"cn.trae.app"},
       {"/Applications/Trae.app", "/Applications/Trae CN.app"},
       "cn.trae."},
      {{"kimi"}, {}, {"/Applications/Kimi.app"}, {}},
  };
  return rows;
}

// On Linux a terminal or editor is there when its command is on the search path. The rows run
// from the most specific name, so "xfce4-terminal" is not taken for a generic terminal and
// "xterm-kitty" is kitty. iTerm2 and Kimi have no Linux build: their rows find nothing.
struct LinuxTerminalRow {
  std::vector<std::string_view> words;
  std::vector<std::string_view> bundleIDs;
  std::vector<std::string_view> commands;
};

const std::vector<LinuxTerminalRow>& linuxTerminalApps() {
  static const std::vector<LinuxTerminalRow> rows = {
      {{"gnome-terminal"}, {}, {"gnome-terminal"}},
      {{"xfce4-terminal"}, {}, {"xfce4-terminal"}},
      {{"konsole"}, {}, {"konsole"}},
      {{"kitty"}, {}, {"kitty"}},
      {{"wezterm"}, {}, {"wezterm"}},
      {{"alacritty"}, {}, {"alacritty"}},
      {{"tilix"}, {}, {"tilix"}},
      {{"xterm"}, {}, {"xterm"}},
      {{"cursor"}, {"com.todesktop.230313mzl4w4u92"}, {"cursor"}},
      {{"visual studio code", "vscode", "code"}, {"com.microsoft.VSCode"}, {"code"}},
      {{"windsurf"}, {"com.exafunction.windsurf"}, {"windsurf"}},
      {{"trae"}, {"cn.trae.app", "cn.trae.solo.app"}, {"trae"}},
      {{"iterm"}, {"com.googlecode.iterm2"}, {}},
      {{"kimi"}, {}, {}},
      {{"terminal"}, {"com.apple.Terminal"}, {"x-terminal-emulator"}},
  };
  return rows;
}

template <typename Row>
bool rowMatches(const Row& row, const std::string& lower) {
  for (const auto word : row.words) {
    if (lower.find(word) != std::string::npos) return true;
  }
  for (const auto id : row.bundleIDs) {
    if (toLower(id) == lower) return true;
  }
  return false;
}

std::string searchPathOf(const Environment& environment) {
  return environment.get("PATH").value_or(std::string(JumpResolver::kDefaultSearchPath));
}

bool lookUpCommand(const std::string& name, const std::string& searchPath) {
  if (name.empty()) return false;
  if (name.find('/') != std::string::npos) return isExecutableFile(name);
  std::string_view rest = searchPath;
  while (true) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    // An empty entry is the current directory, as the shell reads PATH.
    const std::string candidate = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
    if (isExecutableFile(candidate)) return true;
    if (colon == std::string_view::npos) return false;
    rest = rest.substr(colon + 1);
  }
}

const std::vector<std::pair<std::string_view, std::string_view>>& bundleToolIDs() {
  static const std::vector<std::pair<std::string_view, std::string_view>> table = {
      {"com.anthropic.claudefordesktop", "claude-app"},
      {"com.openai.codex", "codex-app"},
      {"com.todesktop.230313mzl4w4u92", "cursor-ide"},
      {"cn.trae.app", "trae-ide"},
      {"cn.trae.solo.app", "trae-solo"},
      {"com.microsoft.VSCode", "vscode-host"},
      {"com.exafunction.windsurf", "windsurf"},
      {"dev.warp.Warp", "warp"},
  };
  return table;
}

bool macAppBundleExists(const std::string& bundleID, const std::string& homeDirectory) {
  static std::mutex mutex;
  static std::map<std::string, bool, std::less<>> cache;
  std::lock_guard lock(mutex);
  if (const auto found = cache.find(bundleID); found != cache.end()) return found->second;
  bool exists = false;
  const std::vector<std::string> folders = {
      "/Applications", "/Applications/Utilities", "/System/Applications",
      "/System/Applications/Utilities", homeDirectory + "/Applications"};
  for (const auto& folder : folders) {
    const auto names = directoryEntryNames(folder);
    if (!names) continue;
    for (const auto& name : *names) {
      if (!name.ends_with(".app")) continue;
      std::string appPath = folder;
      appPath.append("/").append(name);
      if (bundleIdentifier(appPath) == bundleID) {
        exists = true;
        break;
      }
    }
    if (exists) break;
  }
  cache.emplace(bundleID, exists);
  return exists;
}

}  // namespace

std::optional<std::string_view> toolIDForBundleID(std::string_view bundleID) {
  for (const auto& [bundle, toolID] : bundleToolIDs()) {
    if (toLower(bundle) == toLower(bundleID)) return toolID;
  }
  return std::nullopt;
}

const std::set<std::string, std::less<>>& JumpResolver::allowedLocalAppSchemes() {
  static const std::set<std::string, std::less<>> schemes = {"conductor", "cmux", "iterm2"};
  return schemes;
}

bool JumpResolver::isAllowedURL(std::string_view text) const {
  const auto parts = parseURLParts(text);
  if (!parts || parts->scheme.empty()) return false;
  const std::string& scheme = parts->scheme;
  if (scheme == "http" || scheme == "https") return !parts->host.empty();
  if (scheme == "file") {
    if (!parts->host.empty() && toLower(parts->host) != "localhost") return false;
    const std::string path = parts->decodedPath();
    return !path.empty() && path.front() == '/' && ask(fileExists, path);
  }
  if (allowedLocalAppSchemes().contains(scheme)) {
    return !parts->host.empty() || !parts->path.empty() || (parts->query && !parts->query->empty());
  }
  return false;
}

JumpQuality JumpResolver::urlJumpQuality(std::string_view text) {
  const auto parts = parseURLParts(text);
  if (!parts) return JumpQuality::appLevel;
  if (allowedLocalAppSchemes().contains(parts->scheme)) return JumpQuality::sessionLevel;
  if (parts->scheme == "file") return JumpQuality::workspaceLevel;
  return JumpQuality::appLevel;
}

std::optional<ResolvedJumpTarget> JumpResolver::fallbackTerminalCwd(
    const std::optional<std::string>& cwd) const {
  if (!cwd || !ask(directoryExists, *cwd)) return std::nullopt;
  JumpTarget target;
  target.kind = Kind::terminalCwd;
  target.cwd = *cwd;
  return availableResult(std::move(target), "Open folder", JumpQuality::workspaceLevel,
                         ResolvedJumpAction::openTerminal);
}

bool JumpResolver::terminalAppAvailable(std::string_view terminal) const {
  const std::string lower = toLower(terminal);
  if (platform == Platform::Linux) {
    for (const auto& row : linuxTerminalApps()) {
      if (!rowMatches(row, lower)) continue;
      for (const auto command : row.commands) {
        if (ask(commandExists, std::string(command))) return true;
      }
      return false;
    }
    return true;
  }
  for (const auto& row : macTerminalApps()) {
    const bool prefixed = !row.bundlePrefix.empty() && lower.starts_with(row.bundlePrefix);
    if (!prefixed && !rowMatches(row, lower)) continue;
    if (prefixed && ask(appBundleExists, std::string(terminal))) return true;
    for (const auto id : row.bundleIDs) {
      if (ask(appBundleExists, std::string(id))) return true;
    }
    for (const auto path : row.paths) {
      if (ask(appExists, std::string(path))) return true;
    }
    return false;
  }
  return true;
}

bool JumpResolver::cmuxCommandAvailable() const {
  for (const auto path : kCmuxCommandPaths) {
    if (ask(commandExists, std::string(path))) return true;
  }
  return ask(commandExists, "cmux");
}

ResolvedJumpTarget JumpResolver::resolve(const JumpTarget& target) const {
  switch (target.kind) {
    case Kind::cli:
      if (ask(commandExists, target.command)) {
        return availableResult(target, "Open CLI",
                               target.cwd ? JumpQuality::sessionLevel : JumpQuality::appLevel,
                               ResolvedJumpAction::openCLI);
      }
      return unavailableResult(target, "CLI command is not available.");

    case Kind::url:
      if (isAllowedURL(target.url)) {
        return availableResult(target, "Open link", urlJumpQuality(target.url),
                               ResolvedJumpAction::openURL);
      }
      return unavailableResult(target, "URL scheme is not allowed.");

    case Kind::file:
      if (ask(fileExists, target.path)) {
        return availableResult(target, "Open file", JumpQuality::workspaceLevel,
                               ResolvedJumpAction::openFile);
      }
      return unavailableResult(target, "File does not exist.");

    case Kind::terminalCwd: {
      if (!ask(directoryExists, target.cwd.value_or(""))) {
        return unavailableResult(target, "Workspace folder does not exist.");
      }
      if (!isBlank(target.terminal) && !terminalAppAvailable(*target.terminal)) {
        return unavailableResult(target, "Target app is not available.");
      }
      return availableResult(target, "Open terminal", JumpQuality::workspaceLevel,
                             ResolvedJumpAction::openTerminal);
    }

    case Kind::terminalWindow: {
      if (!terminalAppAvailable(target.terminal.value_or(""))) {
        return unavailableResult(target, "Terminal app is not available.");
      }
      if (!hasTerminalFocusIdentifiers(target)) {
        return availableResult(target, "Open terminal", JumpQuality::appLevel,
                               ResolvedJumpAction::focusTerminalWindow);
      }
      if (terminalSessionExists && !terminalSessionExists(target)) {
        return unavailableResult(target, "Terminal session is no longer available.",
                                 fallbackTerminalCwd(target.cwd));
      }
      return availableResult(target, "Focus window", JumpQuality::exactWindow,
                             ResolvedJumpAction::focusTerminalWindow);
    }

    case Kind::cmux: {
      // A named window or session must be the one opened; only a target naming neither may
      // become the cmux app.
      if (!isBlank(target.windowID) || !isBlank(target.sessionID)) {
        if (!cmuxCommandAvailable()) return unavailableResult(target, "cmux CLI is not available.");
        const bool byWindow = !isBlank(target.windowID);
        if (ask(cmuxSessionExists, byWindow ? *target.windowID : *target.sessionID)) {
          return availableResult(target, "Open cmux",
                                 byWindow ? JumpQuality::exactWindow : JumpQuality::sessionLevel,
                                 ResolvedJumpAction::openCmux);
        }
        return unavailableResult(target, "cmux session is no longer available.",
                                 fallbackTerminalCwd(target.cwd));
      }
      if (ask(appExists, std::string(kCmuxAppPath))) {
        JumpTarget app;
        app.kind = Kind::app;
        app.appPath = std::string(kCmuxAppPath);
        return availableResult(std::move(app), "Open cmux", JumpQuality::appLevel,
                               ResolvedJumpAction::openApp);
      }
      if (!isBlank(target.cwd) && cmuxCommandAvailable()) {
        return availableResult(target, "Open cmux", JumpQuality::workspaceLevel,
                               ResolvedJumpAction::openCmux);
      }
      return unavailableResult(target, "cmux CLI is not available.");
    }

    case Kind::app: {
      const bool exists = (target.bundleID && ask(appBundleExists, *target.bundleID)) ||
                          (target.appPath && ask(appExists, *target.appPath));
      if (target.deepLink) {
        if (!isAllowedURL(*target.deepLink)) {
          return unavailableResult(target, "App link is not allowed.");
        }
        if (exists) {
          return availableResult(target, "Open app link", JumpQuality::sessionLevel,
                                 ResolvedJumpAction::openApp);
        }
      } else if (exists) {
        return availableResult(target, "Open app", JumpQuality::appLevel,
                               ResolvedJumpAction::openApp);
      }
      return unavailableResult(target, "App is not installed.");
    }
  }
  return unavailableResult(target, "App is not installed.");
}

bool JumpResolver::defaultCommandExists(const std::string& name, const Environment& environment) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, bool> cache;
  auto key = std::make_pair(name, searchPathOf(environment));
  {
    std::lock_guard lock(mutex);
    if (const auto found = cache.find(key); found != cache.end()) return found->second;
  }
  // Looked up outside the lock: a slow file system must not hold up other lookups.
  const bool exists = lookUpCommand(key.first, key.second);
  std::lock_guard lock(mutex);
  cache.emplace(std::move(key), exists);
  return exists;
}

bool JumpResolver::defaultCmuxCommandExists(const Environment& environment) {
  for (const auto path : kCmuxCommandPaths) {
    if (isExecutableFile(std::string(path))) return true;
  }
  return defaultCommandExists("cmux", environment);
}

bool JumpResolver::defaultCmuxSessionExists(const std::string& id, const Environment& environment) {
  // The session itself is looked for when it is opened.
  return !trim(id).empty() && defaultCmuxCommandExists(environment);
}

bool JumpResolver::defaultAppBundleExists(const std::string& bundleID,
                                          const Environment& environment,
                                          const std::string& homeDirectory, Platform platform) {
  if (trim(bundleID).empty()) return false;
  if (platform == Platform::macOS) return macAppBundleExists(bundleID, homeDirectory);
  const auto toolID = toolIDForBundleID(bundleID);
  const LinuxAppRule* rule = toolID ? linuxAppRule(*toolID) : nullptr;
  if (!rule || !rule->available) return false;
  const AIToolCatalogItem* item = catalogItem(*toolID);
  const LinuxAppLocator locator(environment, {homeDirectory, "", Platform::Linux});
  return locator.locate(*rule, item ? item->commandNames : std::vector<std::string>{}).has_value();
}

JumpResolver::Predicate JumpResolver::rememberingAnswers(Predicate check,
                                                         std::chrono::milliseconds lifetime,
                                                         SteadyClock clock) {
  struct Memory {
    std::mutex mutex;
    std::map<std::string, std::pair<bool, std::chrono::steady_clock::time_point>, std::less<>>
        answers;
  };
  auto memory = std::make_shared<Memory>();
  return [memory, check = std::move(check), lifetime,
          clock = std::move(clock)](const std::string& value) {
    const auto now = clock();
    std::lock_guard lock(memory->mutex);
    // Old answers go as the map is used, so it holds only what was asked lately.
    std::erase_if(memory->answers,
                  [&](const auto& entry) { return now - entry.second.second >= lifetime; });
    if (const auto found = memory->answers.find(value); found != memory->answers.end()) {
      return found->second.first;
    }
    const bool answer = check && check(value);
    memory->answers.emplace(value, std::make_pair(answer, now));
    return answer;
  };
}

JumpResolver JumpResolver::makeDefault(const Environment& environment, std::string homeDirectory,
                                       Platform platform) {
  auto shared = std::make_shared<const Environment>(environment);
  auto home = std::make_shared<const std::string>(std::move(homeDirectory));
  JumpResolver resolver;
  resolver.platform = platform;
  constexpr std::chrono::milliseconds kRemembered{2000};
  resolver.fileExists = rememberingAnswers(
      [](const std::string& path) { return glimmet::fileExists(path); }, kRemembered);
  resolver.directoryExists =
      rememberingAnswers([](const std::string& path) { return isDirectory(path); }, kRemembered);
  resolver.commandExists = [shared](const std::string& name) {
    return defaultCommandExists(name, *shared);
  };
  resolver.appExists = [](const std::string& path) { return glimmet::fileExists(path); };
  resolver.appBundleExists = [shared, home, platform](const std::string& bundleID) {
    return defaultAppBundleExists(bundleID, *shared, *home, platform);
  };
  resolver.cmuxSessionExists = [shared](const std::string& id) {
    return defaultCmuxSessionExists(id, *shared);
  };
  return resolver;
}

}  // namespace glimmet
