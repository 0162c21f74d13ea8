#pragma once

// Carries out a resolved jump: focuses the exact terminal tab or pane, selects a cmux workspace,
// opens a folder in a terminal, or opens a URL, file or app. Both desktops' ways are here,
// chosen by the platform passed in, so that either can be exercised with fake programs.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "base/environment.hpp"
#include "base/json_values.hpp"
#include "integrations/app_locations.hpp"
#include "jump/jump_diagnostics.hpp"
#include "jump/jump_programs.hpp"
#include "jump/jump_text.hpp"
#include "model/jump_target.hpp"
#include "platform/captured_process.hpp"

namespace glimmet {

struct JumpOpenerSetup {
  Platform platform = kBuildPlatform;
  JumpPrograms programs;
  // DISPLAY for X11 focus, TERMINAL for the preferred terminal, PATH for app launchers.
  Environment environment;
  std::string diagnosticFile;  // empty: no diagnostics
  PathExists pathExists;       // unset: the file system
  // Every program a jump runs is short-lived; one that hangs must not hold the interface.
  std::chrono::milliseconds timeout{5000};
};

// One thing to try for a jump: the resolved target, or a weaker fallback of it.
struct JumpCandidate {
  ResolvedJumpTarget target;
  bool isFallback = false;
};

// Whether a failed or unavailable target may give way to its resolved fallback: never for a
// command line, and for a terminal window only when it names no window to be exact about.
bool jumpTargetAllowsRuntimeFallback(const JumpTarget& target);
// The target when available, then its permitted fallbacks, in order.
std::vector<JumpCandidate> jumpOpenCandidates(const ResolvedJumpTarget& target);

enum class JumpOutcome { noTarget, noCandidate, failed, opened };
// The Jump button's result text; `quality` is that of the candidate that opened.
std::string jumpResultMessage(JumpOutcome outcome, JumpQuality quality = JumpQuality::unavailable,
                              const std::optional<std::string>& detail = std::nullopt);

struct MessageJumpResult {
  bool ok = false;
  std::string message;
};

class JumpOpener {
 public:
  explicit JumpOpener(JumpOpenerSetup setup);
  // The real programs, diagnostics in the application-support folder.
  static JumpOpener standard(const Paths& paths, const Environment& environment);

  // Opens by the target's action; false with `lastJumpOpenError` set when it did not.
  bool open(const ResolvedJumpTarget& target);
  // Tries each in order; the candidate that opened, if any.
  std::optional<JumpCandidate> openFirstJumpCandidate(const std::vector<JumpCandidate>& candidates);
  // A message's Jump button: every candidate of the target, and the text to show.
  MessageJumpResult openMessageJump(const std::optional<ResolvedJumpTarget>& target);

  // A terminalWindow target: the exact tab, session, pane or window, else the terminal app.
  bool focusTerminalWindow(const JumpTarget& target);
  bool openCmux(const std::optional<std::string>& sessionID,
                const std::optional<std::string>& windowID, const std::optional<std::string>& cwd);
  bool activateCmuxApp();

  // The detail of the last failed open, for the banner and the audit.
  const std::optional<std::string>& lastJumpOpenError() const { return lastError_; }
  std::optional<std::string> takeLastJumpOpenError() { return std::exchange(lastError_, {}); }

 private:
  bool macOS() const { return setup_.platform == Platform::macOS; }
  bool exists(const std::string& path) const;
  CapturedProcessResult run(std::vector<std::string> argv) const;
  // Starts a long-lived program (a terminal, an app) in `cwd` without waiting for it.
  CapturedProcessResult launchDetached(const std::vector<std::string>& argv,
                                       const std::string& cwd) const;
  bool fail(std::string detail);
  void record(Json fields) const { diagnostics_.record(std::move(fields)); }

  bool openURL(const std::string& url);
  bool openFile(const std::string& path);
  bool openApp(const JumpTarget& target);
  bool openLinuxApp(const std::string& location);
  bool openTerminalCwd(const std::string& cwd, const std::optional<std::string>& terminal);
  bool openLinuxTerminalCwd(const std::string& cwd, const std::optional<std::string>& terminal);
  // `open` on macOS, xdg-open on Linux: a URL, a file or a folder.
  bool openWithDesktop(const std::string& what, const std::string& stage,
                       const std::string& pathKey, const std::string& failurePrefix);

  bool focusMacTerminal(const JumpTarget& target, const std::string& application);
  bool focusLinuxTerminal(const JumpTarget& target, const std::string& application);
  bool openTerminalApplication(const JumpTarget& target, const std::string& application);
  bool runFocusStep(const std::vector<std::string>& argv, const JumpTarget& target,
                    std::vector<std::string>& failures);
  bool focusX11Window(const JumpTarget& target, std::vector<std::string>& failures);

  bool runCmuxStrategyChain(const std::string& tool, const std::vector<std::string>& args);

  JumpOpenerSetup setup_;
  JumpDiagnostics diagnostics_;
  std::optional<std::string> lastError_;
};

}  // namespace glimmet
