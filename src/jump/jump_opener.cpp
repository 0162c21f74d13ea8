#include "jump/jump_opener.hpp"

#include "base/text.hpp"
#include "integrations/linux_app_launch.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

bool blank(const std::optional<std::string>& text) {
  return !text || trim(*text).empty();
}

// "scheme:rest" with a scheme of a letter then letters, digits, "+", "-" or ".".
bool hasURLScheme(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!(letter || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool jumpTargetAllowsRuntimeFallback(const JumpTarget& target) {
  switch (target.kind) {
    case JumpTarget::Kind::cli:
      return false;
    case JumpTarget::Kind::terminalWindow:
      return !contains(toLower(target.terminal.value_or("")), "iterm") &&
             !hasTerminalFocusIdentifiers(target);
    default:
      return true;
  }
}

std::vector<JumpCandidate> jumpOpenCandidates(const ResolvedJumpTarget& target) {
  std::vector<JumpCandidate> candidates;
  if (target.available) candidates.push_back({target, false});
  // Each fallback may have its own; the chain is short, but a loop must not be followed forever.
  const ResolvedJumpTarget* current = &target;
  for (int depth = 0; depth < 4 && current->fallback; ++depth) {
    if (!jumpTargetAllowsRuntimeFallback(current->target)) break;
    current = current->fallback.get();
    if (current->available) candidates.push_back({*current, true});
  }
  return candidates;
}

std::string jumpResultMessage(JumpOutcome outcome, JumpQuality quality,
                              const std::optional<std::string>& detail) {
  switch (outcome) {
    case JumpOutcome::noTarget:
      return "No jump target is available";
    case JumpOutcome::noCandidate:
      return "Jump target is unavailable";
    case JumpOutcome::failed:
      return blank(detail) ? "Jump target could not be opened"
                           : "Jump target could not be opened: " + *detail;
    case JumpOutcome::opened:
      break;
  }
  switch (quality) {
    case JumpQuality::exactWindow:
      return "Jumped to exact window";
    case JumpQuality::sessionLevel:
      return "Jumped to session";
    case JumpQuality::workspaceLevel:
      return "Opened workspace";
    case JumpQuality::appLevel:
      return "Opened app";
    case JumpQuality::unavailable:
      break;
  }
  return "Jump unavailable";
}

JumpOpener::JumpOpener(JumpOpenerSetup setup)
    : setup_(std::move(setup)), diagnostics_(setup_.diagnosticFile) {}

JumpOpener JumpOpener::standard(const Paths& paths, const Environment& environment) {
  JumpOpenerSetup setup;
  setup.programs = JumpPrograms::defaults(kBuildPlatform, environment);
  setup.environment = environment;
  setup.diagnosticFile = jumpDiagnosticFile(paths);
  return JumpOpener(std::move(setup));
}

bool JumpOpener::exists(const std::string& path) const {
  return setup_.pathExists ? setup_.pathExists(path) : fileExists(path) || isDirectory(path);
}

CapturedProcessResult JumpOpener::run(std::vector<std::string> argv) const {
  ProcessRequest request;
  request.argv = std::move(argv);
  request.timeout = setup_.timeout;
  return runCapturedProcess(request);
}

CapturedProcessResult JumpOpener::launchDetached(const std::vector<std::string>& argv,
                                                 const std::string& cwd) const {
  std::vector<std::string> command = {
      setup_.programs.shell, "-c",
      "cd \"$1\" || exit 1; shift; nohup \"$@\" >/dev/null 2>&1 </dev/null &", "sh", cwd};
  command.insert(command.end(), argv.begin(), argv.end());
  return run(std::move(command));
}

bool JumpOpener::fail(std::string detail) {
  lastError_ = std::move(detail);
  return false;
}

bool JumpOpener::open(const ResolvedJumpTarget& resolved) {
  const JumpTarget& target = resolved.target;
  if (!resolved.available) {
    record({{"stage", rawValue(resolved.action)}, {"outcome", "unavailable"}});
    return fail("resolver marked target unavailable: " + resolved.reason.value_or("no reason"));
  }
  switch (resolved.action) {
    case ResolvedJumpAction::openURL:
      return openURL(target.url);
    case ResolvedJumpAction::openFile:
      return openFile(target.path);
    case ResolvedJumpAction::openTerminal:
      return openTerminalCwd(target.cwd.value_or(""), target.terminal);
    case ResolvedJumpAction::openApp:
      return openApp(target);
    case ResolvedJumpAction::focusTerminalWindow:
      return focusTerminalWindow(target);
    case ResolvedJumpAction::openCmux:
      return openCmux(target.sessionID, target.windowID, target.cwd);
    case ResolvedJumpAction::openCLI:
      // The agent's command line lives in a terminal: its folder opens there, where the user
      // resumes the session. Starting the command itself would begin a second session.
      if (target.cwd && !target.cwd->empty()) return openTerminalCwd(*target.cwd, std::nullopt);
      break;
    case ResolvedJumpAction::configure:
      break;
  }
  record({{"stage", rawValue(resolved.action)}, {"outcome", "unavailable"}});
  return fail(std::string("no opener for action ") + rawValue(resolved.action));
}

std::optional<JumpCandidate> JumpOpener::openFirstJumpCandidate(
    const std::vector<JumpCandidate>& candidates) {
  for (const auto& candidate : candidates) {
    if (open(candidate.target)) {
      lastError_.reset();
      return candidate;
    }
  }
  return std::nullopt;
}

MessageJumpResult JumpOpener::openMessageJump(const std::optional<ResolvedJumpTarget>& target) {
  lastError_.reset();
  if (!target) return {false, jumpResultMessage(JumpOutcome::noTarget)};
  const auto candidates = jumpOpenCandidates(*target);
  if (candidates.empty()) return {false, jumpResultMessage(JumpOutcome::noCandidate)};
  if (const auto opened = openFirstJumpCandidate(candidates)) {
    return {true, jumpResultMessage(JumpOutcome::opened, opened->target.quality)};
  }
  return {false, jumpResultMessage(JumpOutcome::failed, JumpQuality::unavailable, lastError_)};
}

bool JumpOpener::openWithDesktop(const std::string& what, const std::string& stage,
                                 const std::string& pathKey, const std::string& failurePrefix) {
  const auto program = macOS() ? std::optional(setup_.programs.open) : setup_.programs.xdgOpen;
  Json fields = {{"stage", stage}, {pathKey, what}};
  if (!program || program->empty()) {
    fields["outcome"] = "open_failed";
    record(fields);
    return fail(failurePrefix + what + " (xdg-open is not installed)");
  }
  const auto result = run({*program, what});
  fields["command"] = *program;
  fields["arguments"] = Json::array({what});
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : "open_failed";
  record(fields);
  return result.success || fail(failurePrefix + what);
}

bool JumpOpener::openURL(const std::string& url) {
  if (!hasURLScheme(trim(url))) {
    record({{"stage", "open_url"}, {"outcome", "open_failed"}, {"path", url}});
    return fail("URL target failed to parse: " + url);
  }
  return openWithDesktop(url, "open_url", "path",
                         macOS() ? "NSWorkspace refused URL: " : "xdg-open refused URL: ");
}

bool JumpOpener::openFile(const std::string& path) {
  return openWithDesktop(path, "open_file", "path", "file path could not be opened: ");
}

bool JumpOpener::openApp(const JumpTarget& target) {
  if (!blank(target.deepLink)) {
    return openWithDesktop(
        *target.deepLink, "open_app_deeplink", "deep_link",
        macOS() ? "NSWorkspace refused deep link: " : "xdg-open refused deep link: ");
  }
  if (!blank(target.appPath)) {
    if (!macOS()) return openLinuxApp(*target.appPath);
    return openWithDesktop(*target.appPath, "open_app", "app_path",
                           "NSWorkspace could not open app at ");
  }
  if (!blank(target.bundleID)) {
    Json fields = {{"stage", "open_app"}, {"bundle_id", *target.bundleID}};
    if (!macOS()) {
      fields["outcome"] = "open_failed";
      record(fields);
      return fail("could not open bundle " + *target.bundleID + " (bundles exist only on macOS)");
    }
    const auto result = run({setup_.programs.open, "-b", *target.bundleID});
    fields["command"] = setup_.programs.open;
    fields["arguments"] = Json::array({"-b", *target.bundleID});
    addProcessFields(fields, result);
    fields["outcome"] = result.success ? "ok" : "open_failed";
    record(fields);
    return result.success || fail("NSWorkspace could not open bundle " + *target.bundleID);
  }
  record({{"stage", "open_app"}, {"outcome", "open_failed"}});
  return fail("app target has no deep link / appPath / bundleID");
}

bool JumpOpener::openLinuxApp(const std::string& location) {
  Json fields = {{"stage", "open_app"}, {"app_path", location}};
  const auto command = linuxAppLaunchCommand(location, setup_.environment);
  if (!command || command->empty()) {
    fields["outcome"] = "open_failed";
    record(fields);
    return fail("could not open app at " + location + " (no launcher for it)");
  }
  // gio and gtk-launch hand the app to the desktop and return; a launcher or an AppImage is the
  // app itself and keeps running.
  const std::string launcher = toLower(command->front());
  const bool handsOver = endsWith(launcher, "/gio") || endsWith(launcher, "/gtk-launch") ||
                         launcher == "gio" || launcher == "gtk-launch";
  const auto result = handsOver
                          ? run(*command)
                          : launchDetached(*command, setup_.environment.get("HOME").value_or("/"));
  fields["command"] = command->front();
  fields["arguments"] = Json(std::vector<std::string>(command->begin() + 1, command->end()));
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : "open_failed";
  record(fields);
  return result.success || fail("could not open app at " + location);
}

}  // namespace glimmet
