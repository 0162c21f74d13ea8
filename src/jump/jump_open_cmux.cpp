// The cmux side of the jump opener: select a workspace or window through the cmux tool, which
// some sandboxes only let run detached or through AppleScript, and bring the cmux app forward.

#include "base/text.hpp"
#include "jump/jump_opener.hpp"

namespace glimmet {

namespace {

constexpr const char* kCmuxBundleID = "com.cmuxterm.app";
constexpr const char* kCmuxAppPath = "/Applications/cmux.app";

}  // namespace

bool JumpOpener::runCmuxStrategyChain(const std::string& tool,
                                      const std::vector<std::string>& args) {
  struct Strategy {
    const char* name;
    std::vector<std::string> argv;
  };
  std::vector<Strategy> strategies;
  std::vector<std::string> direct = {tool};
  direct.insert(direct.end(), args.begin(), args.end());
  strategies.push_back({"direct", direct});
  strategies.push_back(
      {"shell_detached", {setup_.programs.shell, "-c", cmuxShellDetachedScript(tool, args)}});
  // AppleScript's shell runs outside the app's sandbox; Linux has no such thing.
  if (macOS()) {
    strategies.push_back({"osascript_shell",
                          {setup_.programs.osascript, "-e", cmuxOsascriptShellScript(tool, args)}});
  }
  for (const auto& strategy : strategies) {
    const auto result = run(strategy.argv);
    Json fields = {
        {"stage", "open_cmux"},
        {"strategy", strategy.name},
        {"command", strategy.argv.front()},
        {"arguments", std::vector<std::string>(strategy.argv.begin() + 1, strategy.argv.end())}};
    addProcessFields(fields, result);
    fields["outcome"] = result.success ? "ok" : "command_failed";
    record(fields);
    if (result.success) return true;
    lastError_ = "cmux " + std::string(strategy.name) +
                 (result.launchError ? " launch error: " + *result.launchError
                                     : " exit=" + std::to_string(result.exitCode));
  }
  return false;
}

bool JumpOpener::openCmux(const std::optional<std::string>& sessionID,
                          const std::optional<std::string>& windowID,
                          const std::optional<std::string>& cwd) {
  Json fields = {{"stage", "open_cmux"}};
  if (sessionID) fields["session_id"] = *sessionID;
  if (windowID) fields["window_id"] = *windowID;
  if (cwd) fields["path"] = *cwd;
  const bool targeted = hasText(sessionID) || hasText(windowID);
  const auto tool = setup_.programs.cmux();
  if (!tool) {
    const std::string detail = "cmux CLI not found at any of the bundled or PATH locations";
    fields["outcome"] = "command_failed";
    fields["launch_error"] = detail;
    record(fields);
    // A targeted jump that cannot reach its session must not pretend by showing the app.
    if (targeted || !activateCmuxApp()) return fail(detail);
    return true;
  }
  std::vector<std::vector<std::string>> candidates;
  if (hasText(windowID)) candidates.push_back({"focus-window", "--window", trim(*windowID)});
  if (hasText(sessionID))
    candidates.push_back({"select-workspace", "--workspace", trim(*sessionID)});
  for (const auto& args : candidates) {
    if (runCmuxStrategyChain(*tool, args)) {
      activateCmuxApp();
      lastError_.reset();
      return true;
    }
  }
  const bool activated = activateCmuxApp();
  fields["outcome"] = activated ? "ok_activate_fallback" : "activation_fallback_failed";
  record(fields);
  if (activated) {
    lastError_.reset();
    return true;
  }
  return fail("cmux app could not be activated");
}

bool JumpOpener::activateCmuxApp() {
  if (!macOS()) {
    // cmux has no app on Linux to bring forward.
    record({{"stage", "activate_cmux_app"}, {"outcome", "open_failed"}});
    return false;
  }
  for (const auto& arguments :
       {std::vector<std::string>{"-b", kCmuxBundleID}, std::vector<std::string>{kCmuxAppPath}}) {
    if (arguments.front() == kCmuxAppPath && !exists(kCmuxAppPath)) break;
    std::vector<std::string> argv = {setup_.programs.open};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = run(argv);
    Json fields = {{"stage", "activate_cmux_app"},
                   {"command", setup_.programs.open},
                   {"arguments", arguments},
                   {"bundle_id", kCmuxBundleID}};
    addProcessFields(fields, result);
    fields["outcome"] = result.success ? "ok" : "open_failed";
    record(fields);
    if (result.success) return true;
  }
  return false;
}

}  // namespace glimmet
