// The terminal side of the jump opener: a folder in a terminal, and the exact tab, session, pane
// or window of a terminal.

#include <cstdlib>

#include "base/text.hpp"
#include "jump/jump_opener.hpp"
#include "platform/file_system.hpp"
#include "platform/window_focus.hpp"

namespace glimmet {

namespace {

std::string exitDetail(const std::string& prefix, const CapturedProcessResult& result) {
  if (result.launchError) return prefix + " launch error: " + *result.launchError;
  std::string detail = prefix + " exit=" + std::to_string(result.exitCode);
  if (!trim(result.stderrText).empty()) {
    detail += " stderr=" + truncatedDiagnostic(result.stderrText, 200);
  }
  return detail;
}

Json targetFields(const JumpTarget& target, const std::string& stage) {
  Json fields = {{"stage", stage}, {"terminal", target.terminal.value_or("")}};
  if (target.windowID) fields["window_id"] = *target.windowID;
  if (target.tabID) fields["tab_id"] = *target.tabID;
  if (target.sessionID) fields["session_id"] = *target.sessionID;
  return fields;
}

// A WINDOWID: decimal, or hexadecimal with 0x.
std::optional<uint64_t> parseWindowNumber(const std::string& text) {
  const std::string value = trim(text);
  if (value.empty()) return std::nullopt;
  char* end = nullptr;
  const bool hex = startsWith(value, "0x") || startsWith(value, "0X");
  const unsigned long long number = std::strtoull(value.c_str(), &end, hex ? 16 : 10);
  if (!end || *end != '\0' || number == 0) return std::nullopt;
  return number;
}

}  // namespace

bool JumpOpener::openTerminalCwd(const std::string& cwd,
                                 const std::optional<std::string>& terminal) {
  Json fields = {{"stage", "open_terminal_cwd"}, {"path", cwd}};
  if (terminal) fields["terminal"] = *terminal;
  if (cwd.empty() || !isDirectory(cwd)) {
    fields["outcome"] = "cwd_missing";
    record(fields);
    return fail("terminal cwd does not exist: " + cwd);
  }
  if (!macOS()) return openLinuxTerminalCwd(cwd, terminal);
  const auto pathExists = [this](const std::string& path) { return exists(path); };
  const auto arguments = terminalOpenArguments(cwd, terminal.value_or(""), pathExists);
  std::vector<std::string> argv = {setup_.programs.open};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const auto result = run(argv);
  fields["command"] = setup_.programs.open;
  fields["arguments"] = arguments;
  addProcessFields(fields, result);
  if (result.success) {
    fields["outcome"] = "ok";
    record(fields);
    return true;
  }
  const std::string application = terminalApplicationName(terminal.value_or(""), pathExists);
  if (terminalAllowsFinderFallback(application)) {
    const auto finder = run({setup_.programs.open, cwd});
    fields["outcome"] = finder.success ? "ok_finder_fallback" : "open_failed";
    record(fields);
    if (finder.success) return true;
  } else {
    fields["outcome"] = "open_failed";
    record(fields);
  }
  return fail(exitDetail("open terminal", result));
}

bool JumpOpener::openLinuxTerminalCwd(const std::string& cwd,
                                      const std::optional<std::string>& terminal) {
  const auto& installed = setup_.programs.terminals;
  // The event's terminal, else the user's $TERMINAL, else the first one installed.
  std::optional<std::string> command;
  std::string program;
  for (const auto& wanted : {terminal, setup_.environment.nonEmptyString("TERMINAL")}) {
    if (!wanted) continue;
    if (auto known = linuxTerminalCommand(*wanted); known && installed.count(*known)) {
      command = known;
      program = installed.at(*known);
      break;
    }
    // A $TERMINAL this table does not know still names a program to run.
    if (wanted->find('/') != std::string::npos && isExecutableFile(*wanted)) {
      command = *wanted;
      program = *wanted;
      break;
    }
  }
  for (const auto& name : linuxTerminalCommands()) {
    if (command) break;
    if (installed.count(name)) {
      command = name;
      program = installed.at(name);
    }
  }
  Json fields = {{"stage", "open_terminal_cwd"}, {"path", cwd}};
  if (terminal) fields["terminal"] = *terminal;
  if (!command) {
    if (terminal && terminalAllowsFinderFallback(terminalApplicationName(
                        *terminal, [this](const std::string& path) { return exists(path); }))) {
      const bool opened =
          openWithDesktop(cwd, "open_terminal_cwd", "path", "folder could not be opened: ");
      fields["outcome"] = opened ? "ok_finder_fallback" : "open_failed";
      record(fields);
      return opened;
    }
    fields["outcome"] = "open_failed";
    record(fields);
    return fail("no terminal program found for " + terminal.value_or("this desktop"));
  }
  const auto argv = linuxTerminalArguments(*command, program, cwd);
  const auto result = launchDetached(argv, cwd);
  fields["command"] = program;
  fields["arguments"] = std::vector<std::string>(argv.begin() + 1, argv.end());
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : "open_failed";
  record(fields);
  return result.success || fail(exitDetail("open terminal", result));
}

bool JumpOpener::focusTerminalWindow(const JumpTarget& target) {
  std::string application = terminalApplicationName(
      target.terminal.value_or(""), [this](const std::string& path) { return exists(path); });
  // "gnome-terminal" is no Apple Terminal: Linux terminals keep their own names.
  if (!macOS()) {
    application = linuxTerminalCommand(target.terminal.value_or("")).value_or(application);
  }
  if (!hasTerminalFocusIdentifiers(target)) return openTerminalApplication(target, application);
  return macOS() ? focusMacTerminal(target, application) : focusLinuxTerminal(target, application);
}

bool JumpOpener::openTerminalApplication(const JumpTarget& target, const std::string& application) {
  Json fields = targetFields(target, "focus_terminal_app");
  if (!macOS()) {
    // Linux has no "bring the app forward" for a terminal; a new window in the folder is the
    // nearest thing.
    const std::string home = setup_.environment.get("HOME").value_or("/");
    const std::string cwd = hasText(target.cwd) && isDirectory(*target.cwd) ? *target.cwd : home;
    return openLinuxTerminalCwd(cwd, target.terminal);
  }
  const bool iterm = application == "iTerm";
  const std::vector<std::string> argv =
      iterm ? std::vector<std::string>{setup_.programs.osascript, "-e", itermActivateScript()}
            : std::vector<std::string>{setup_.programs.open, "-a", application};
  if (iterm) fields["stage"] = "focus_iterm_activate";
  const auto result = run(argv);
  fields["command"] = argv.front();
  fields["arguments"] = std::vector<std::string>(argv.begin() + 1, argv.end());
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : (iterm ? "activate_failed" : "open_failed");
  record(fields);
  if (result.success) return true;
  return fail(exitDetail(iterm ? "iTerm2 activate" : "open " + application, result));
}

bool JumpOpener::focusMacTerminal(const JumpTarget& target, const std::string& application) {
  std::optional<std::string> script;
  std::string stage;
  std::string prefix;
  if (application == "iTerm") {
    script = itermSelectionScript(target.windowID, target.tabID, target.sessionID);
    stage = "focus_iterm_select";
    prefix = "iTerm2 osascript";
  } else if (application == "Terminal") {
    script = terminalSelectionScript(target.windowID, target.tabID);
    stage = "focus_terminal_select";
    prefix = "Terminal osascript";
  }
  if (!script) {
    Json fields = targetFields(target, "focus_terminal_window");
    fields["outcome"] = "unsupported_exact_focus";
    record(fields);
    return fail(application + " exact window focus is not supported");
  }
  Json fields = targetFields(target, stage);
  const auto result = run({setup_.programs.osascript, "-e", *script});
  fields["command"] = setup_.programs.osascript;
  fields["arguments"] = Json::array({"-e", *script});
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : "script_failed";
  record(fields);
  return result.success || fail(exitDetail(prefix, result));
}

bool JumpOpener::runFocusStep(const std::vector<std::string>& argv, const JumpTarget& target,
                              std::vector<std::string>& failures) {
  const auto result = run(argv);
  Json fields = targetFields(target, "focus_terminal_window");
  fields["command"] = argv.front();
  fields["arguments"] = std::vector<std::string>(argv.begin() + 1, argv.end());
  addProcessFields(fields, result);
  fields["outcome"] = result.success ? "ok" : "command_failed";
  record(fields);
  if (!result.success) {
    const auto slash = argv.front().rfind('/');
    failures.push_back(
        exitDetail(argv.front().substr(slash == std::string::npos ? 0 : slash + 1), result));
  }
  return result.success;
}

bool JumpOpener::focusX11Window(const JumpTarget& target, std::vector<std::string>& failures) {
  const std::string display = setup_.environment.get("DISPLAY").value_or("");
  Json fields = targetFields(target, "focus_terminal_window");
  fields["command"] = "_NET_ACTIVE_WINDOW";
  std::optional<uint64_t> window =
      target.x11WindowID ? parseWindowNumber(*target.x11WindowID) : std::nullopt;
  if (target.x11WindowID) fields["x11_window_id"] = *target.x11WindowID;
  if (target.processID) fields["process_id"] = *target.processID;
  std::string lookupError;
  if (!window && target.processID) {
    auto owner = windowOwnedByProcessTree(display, *target.processID);
    if (owner) {
      window = owner.value();
    } else {
      lookupError = owner.error();
    }
  }
  if (!window) {
    const std::string error =
        lookupError.empty() ? "X11 window id is not a number: " + target.x11WindowID.value_or("")
                            : lookupError;
    fields["outcome"] = "command_failed";
    fields["launch_error"] = error;
    record(fields);
    failures.push_back(error);
    return false;
  }
  auto activated = activateWindow(display, *window);
  if (!activated && target.x11WindowID && target.processID) {
    // A stale WINDOWID (the terminal was restarted, tmux reattached elsewhere): the agent's own
    // process still leads to its window.
    if (auto owner = windowOwnedByProcessTree(display, *target.processID)) {
      activated = activateWindow(display, owner.value());
    }
  }
  if (activated) fields["window_id"] = std::to_string(activated.value());
  fields["outcome"] = activated ? "ok" : "command_failed";
  if (!activated) fields["launch_error"] = activated.error();
  record(fields);
  if (!activated) failures.push_back(activated.error());
  return activated.ok();
}

bool JumpOpener::focusLinuxTerminal(const JumpTarget& target, const std::string& application) {
  const auto& programs = setup_.programs;
  std::vector<std::string> failures;
  bool attempted = false;
  bool focused = false;
  // The pane inside the terminal first, then the terminal's window, so the window comes
  // forward already showing the agent.
  if (hasText(target.tmuxPane) && programs.tmux) {
    attempted = true;
    const std::string pane = trim(*target.tmuxPane);
    focused |= runFocusStep({*programs.tmux, "select-window", "-t", pane}, target, failures) &&
               runFocusStep({*programs.tmux, "select-pane", "-t", pane}, target, failures);
  }
  if (hasText(target.kittyWindowID) && programs.kitty) {
    attempted = true;
    // Remote control from outside kitty needs the socket it listens on.
    std::vector<std::string> argv = {*programs.kitty, "@"};
    if (hasText(target.kittyListenOn)) {
      argv.insert(argv.end(), {"--to", trim(*target.kittyListenOn)});
    }
    argv.insert(argv.end(), {"focus-window", "--match", "id:" + trim(*target.kittyWindowID)});
    focused |= runFocusStep(argv, target, failures);
  }
  if (hasText(target.weztermPane) && programs.wezterm) {
    attempted = true;
    focused |= runFocusStep(
        {*programs.wezterm, "cli", "activate-pane", "--pane-id", trim(*target.weztermPane)}, target,
        failures);
  }
  if ((hasText(target.x11WindowID) || target.processID) &&
      setup_.environment.nonEmptyString("DISPLAY")) {
    attempted = true;
    focused |= focusX11Window(target, failures);
  }
  if (!attempted) {
    Json fields = targetFields(target, "focus_terminal_window");
    fields["outcome"] = "unsupported_exact_focus";
    record(fields);
    return fail(application + " exact window focus is not supported");
  }
  return focused || fail(join(failures, "; "));
}

}  // namespace glimmet
