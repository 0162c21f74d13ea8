#include "jump/jump_opener.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/text.hpp"
#include "jump/fake_programs.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::FakePrograms;
using testing::TempDir;
using Call = std::vector<std::string>;

struct Harness {
  FakePrograms fakes;
  TempDir work;
  JumpOpenerSetup setup;

  explicit Harness(Platform platform) {
    setup.platform = platform;
    setup.programs.shell = "/bin/sh";
    setup.programs.osascript = fakes.path("osascript");
    setup.programs.open = fakes.path("open");
    setup.diagnosticFile = work.file("support/jump_diagnostic.jsonl");
    setup.pathExists = [](const std::string&) { return false; };
  }
  JumpOpener opener() const { return JumpOpener(setup); }
  std::vector<Json> diagnostics() const {
    std::vector<Json> lines;
    for (const auto& line : split(testing::readText(setup.diagnosticFile), '\n')) {
      if (!line.empty()) lines.push_back(Json::parse(line));
    }
    return lines;
  }
};

JumpTarget folderTarget(std::string cwd, std::optional<std::string> terminal = std::nullopt) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::terminalCwd;
  target.cwd = std::move(cwd);
  target.terminal = std::move(terminal);
  return target;
}

JumpTarget terminalWindow(std::string terminal) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::terminalWindow;
  target.terminal = std::move(terminal);
  return target;
}

JumpTarget link(JumpTarget::Kind kind, std::string text) {
  JumpTarget target;
  target.kind = kind;
  if (kind == JumpTarget::Kind::url) target.url = text;
  if (kind == JumpTarget::Kind::file) target.path = text;
  if (kind == JumpTarget::Kind::app) target.deepLink = text;
  return target;
}

JumpTarget app(std::optional<std::string> appPath, std::optional<std::string> bundleID) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::app;
  target.appPath = std::move(appPath);
  target.bundleID = std::move(bundleID);
  return target;
}

ResolvedJumpTarget resolved(JumpTarget target, ResolvedJumpAction action, JumpQuality quality) {
  ResolvedJumpTarget result;
  result.available = true;
  result.target = std::move(target);
  result.action = action;
  result.quality = quality;
  return result;
}

TEST(JumpOpenerCmux, ThreeFailedStrategiesActivateTheApp) {
  Harness h(Platform::macOS);
  const std::string cmux = h.fakes.add("cmux", "echo 'no such workspace' >&2; exit 3");
  h.fakes.add("osascript", "exit 1");
  h.fakes.add("open");
  h.setup.programs.cmuxCandidates = {h.work.file("missing/cmux"), cmux};
  auto opener = h.opener();

  EXPECT_TRUE(opener.openCmux(std::string("abc-123"), std::nullopt, std::nullopt));
  EXPECT_FALSE(opener.lastJumpOpenError());
  const Call args = {"select-workspace", "--workspace", "abc-123"};
  const auto calls = h.fakes.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], (Call{"cmux", "select-workspace", "--workspace", "abc-123"}));
  EXPECT_EQ(calls[1], calls[0]);  // again, from the detached shell
  EXPECT_EQ(calls[2], (Call{"osascript", "-e", cmuxOsascriptShellScript(cmux, args)}));
  EXPECT_EQ(calls[3], (Call{"open", "-b", "com.cmuxterm.app"}));

  const auto lines = h.diagnostics();
  std::vector<std::string> strategies;
  for (const auto& line : lines) {
    if (line.contains("strategy")) strategies.push_back(line["strategy"]);
  }
  EXPECT_EQ(strategies, (std::vector<std::string>{"direct", "shell_detached", "osascript_shell"}));
  EXPECT_EQ(lines.front()["stderr"], "no such workspace");
  EXPECT_EQ(lines.front()["exit_code"], 3);
  EXPECT_EQ(lines[1]["arguments"], Json::array({"-c", cmuxShellDetachedScript(cmux, args)}));
  EXPECT_EQ(lines.back()["outcome"], "ok_activate_fallback");
}

TEST(JumpOpenerCmux, MissingToolAndFirstSuccess) {
  Harness h(Platform::macOS);
  h.fakes.add("open");
  h.setup.programs.cmuxCandidates = {h.work.file("nope")};
  {
    auto opener = h.opener();
    EXPECT_FALSE(opener.openCmux(std::string("abc"), std::nullopt, std::nullopt));
    EXPECT_EQ(opener.lastJumpOpenError(),
              "cmux CLI not found at any of the bundled or PATH locations");
    EXPECT_TRUE(h.fakes.calls().empty()) << "a targeted jump must not activate the app";
    // Without a target, showing the app is all there is to do.
    EXPECT_TRUE(opener.openCmux(std::nullopt, std::nullopt, std::string("/w")));
    EXPECT_EQ(h.fakes.calls(), (std::vector<Call>{{"open", "-b", "com.cmuxterm.app"}}));
  }
  const std::string cmux = h.fakes.add("cmux");
  h.setup.programs.cmuxCandidates = {cmux};
  auto opener = h.opener();
  EXPECT_TRUE(opener.openCmux(std::string("ws"), std::string("win"), std::nullopt));
  const auto calls = h.fakes.calls();
  ASSERT_EQ(calls.size(), 3u);
  // The window is the more exact; once it is focused, the workspace is not tried.
  EXPECT_EQ(calls[1], (Call{"cmux", "focus-window", "--window", "win"}));
  EXPECT_EQ(calls[2], (Call{"open", "-b", "com.cmuxterm.app"}));
}

TEST(JumpOpenerCmux, LinuxRunsTwoStrategiesAndHasNoAppToShow) {
  Harness h(Platform::Linux);
  h.setup.programs.cmuxOnPath = h.fakes.add("cmux", "exit 1");
  auto opener = h.opener();
  EXPECT_FALSE(opener.openCmux(std::string("ws"), std::nullopt, std::nullopt));
  EXPECT_EQ(h.fakes.calls().size(), 2u);
  EXPECT_EQ(opener.lastJumpOpenError(), "cmux app could not be activated");
  EXPECT_EQ(h.diagnostics().back()["outcome"], "activation_fallback_failed");
}

TEST(JumpOpenerTerminal, MacFocusAndFolderOpening) {
  Harness h(Platform::macOS);
  h.fakes.add("osascript", "echo 'execution error: session not found (-2700)' >&2; exit 1");
  // `open -a` fails (no such app); opening a folder alone works.
  h.fakes.add("open", "[ \"$1\" = -a ] && exit 1; exit 0");
  auto opener = h.opener();

  JumpTarget iterm = terminalWindow("iTerm2");
  iterm.sessionID = "w0t0p0:S1";
  EXPECT_FALSE(opener.focusTerminalWindow(iterm));
  EXPECT_EQ(opener.lastJumpOpenError(),
            "iTerm2 osascript exit=1 stderr=execution error: session not found (-2700)");
  EXPECT_EQ(h.fakes.calls().back(),
            (Call{"osascript", "-e", *itermSelectionScript(std::nullopt, std::nullopt, "S1")}));
  EXPECT_EQ(h.diagnostics().back()["stage"], "focus_iterm_select");
  EXPECT_EQ(h.diagnostics().back()["outcome"], "script_failed");

  JumpTarget warp = terminalWindow("Warp");
  warp.windowID = "12";
  const size_t before = h.fakes.calls().size();
  EXPECT_FALSE(opener.focusTerminalWindow(warp));
  EXPECT_EQ(opener.lastJumpOpenError(), "Warp exact window focus is not supported");
  EXPECT_EQ(h.fakes.calls().size(), before);
  EXPECT_EQ(h.diagnostics().back()["outcome"], "unsupported_exact_focus");

  EXPECT_FALSE(
      opener.open(resolved(folderTarget(h.work.file("gone"), "iTerm2"),
                           ResolvedJumpAction::openTerminal, JumpQuality::workspaceLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "terminal cwd does not exist: " + h.work.file("gone"));
  EXPECT_EQ(h.diagnostics().back()["outcome"], "cwd_missing");

  // An editor that will not open the folder leaves it to Finder; a terminal reports.
  EXPECT_TRUE(opener.open(resolved(folderTarget(h.work.path(), "Cursor"),
                                   ResolvedJumpAction::openTerminal, JumpQuality::workspaceLevel)));
  EXPECT_EQ(h.diagnostics().back()["outcome"], "ok_finder_fallback");
  EXPECT_FALSE(
      opener.open(resolved(folderTarget(h.work.path(), "Ghostty"), ResolvedJumpAction::openTerminal,
                           JumpQuality::workspaceLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "open terminal exit=1");
  const auto calls = h.fakes.calls();
  EXPECT_EQ(calls[calls.size() - 3], (Call{"open", "-a", "Cursor", h.work.path()}));
  EXPECT_EQ(calls[calls.size() - 2], (Call{"open", h.work.path()}));
  EXPECT_EQ(calls.back(), (Call{"open", "-a", "Ghostty", h.work.path()}));
}

TEST(JumpOpenerTerminal, LinuxPaneFocusArgumentShapes) {
  Harness h(Platform::Linux);
  h.setup.programs.tmux = h.fakes.add("tmux");
  h.setup.programs.kitty = h.fakes.add("kitty");
  h.setup.programs.wezterm = h.fakes.add("wezterm", "exit 2");
  auto opener = h.opener();
  JumpTarget target = terminalWindow("kitty");
  target.tmuxPane = "%3";
  target.kittyWindowID = "2";
  target.kittyListenOn = "unix:/tmp/kitty-9";
  target.weztermPane = "5";
  // WezTerm fails, the others focus: the jump reached the agent.
  EXPECT_TRUE(opener.focusTerminalWindow(target));
  EXPECT_EQ(h.fakes.calls(),
            (std::vector<Call>{
                {"tmux", "select-window", "-t", "%3"},
                {"tmux", "select-pane", "-t", "%3"},
                {"kitty", "@", "--to", "unix:/tmp/kitty-9", "focus-window", "--match", "id:2"},
                {"wezterm", "cli", "activate-pane", "--pane-id", "5"},
            }));
  target.tmuxPane.reset();
  target.kittyWindowID.reset();
  EXPECT_FALSE(opener.focusTerminalWindow(target));
  EXPECT_EQ(opener.lastJumpOpenError(), "wezterm exit=2");

  // No DISPLAY: a WINDOWID cannot be used, and the Mac ids mean nothing here.
  JumpTarget x11 = terminalWindow("gnome-terminal");
  x11.x11WindowID = "0x1400003";
  x11.sessionID = "S1";
  EXPECT_FALSE(opener.focusTerminalWindow(x11));
  EXPECT_EQ(opener.lastJumpOpenError(), "gnome-terminal exact window focus is not supported");
  JumpTarget warp = terminalWindow("Warp");
  warp.windowID = "12";
  EXPECT_FALSE(opener.focusTerminalWindow(warp));
  EXPECT_EQ(opener.lastJumpOpenError(), "Warp exact window focus is not supported");
  EXPECT_EQ(h.diagnostics().back()["outcome"], "unsupported_exact_focus");
}

TEST(JumpOpenerTerminal, LinuxFolderInTheChosenTerminal) {
  Harness h(Platform::Linux);
  const std::string pwdRecorder = "pwd > \"$0.cwd\"";
  h.setup.programs.terminals = {{"konsole", h.fakes.add("konsole", pwdRecorder)},
                                {"xterm", h.fakes.add("xterm", pwdRecorder)},
                                {"gnome-terminal", h.fakes.add("gnome-terminal", pwdRecorder)}};
  const std::string folder = h.work.path();
  auto openIn = [&](std::optional<std::string> terminal) {
    return h.opener().open(resolved(folderTarget(folder, std::move(terminal)),
                                    ResolvedJumpAction::openTerminal, JumpQuality::workspaceLevel));
  };
  EXPECT_TRUE(openIn("Konsole"));
  EXPECT_EQ(h.fakes.awaitCalls(1).back(), (Call{"konsole", "--workdir", folder}));
  // Unknown to this desktop: $TERMINAL decides.
  h.setup.environment.set("TERMINAL", "xterm");
  EXPECT_TRUE(openIn("Warp"));
  EXPECT_EQ(h.fakes.awaitCalls(2).back(), (Call{"xterm"}));
  // The fake records its call before it runs its body, which writes the folder it started in.
  const std::string cwdFile = h.fakes.path("xterm.cwd");
  EXPECT_TRUE(testing::eventually([&] { return !trim(testing::readText(cwdFile)).empty(); }, 5));
  EXPECT_EQ(trim(testing::readText(cwdFile)), folder);
  // Neither: the first installed, in the order of preference.
  h.setup.environment = Environment();
  EXPECT_TRUE(openIn(std::nullopt));
  EXPECT_EQ(h.fakes.awaitCalls(3).back(),
            (Call{"gnome-terminal", "--working-directory=" + folder}));
  h.setup.programs.terminals.clear();
  EXPECT_FALSE(openIn("xterm"));
  auto opener = h.opener();
  EXPECT_FALSE(opener.open(resolved(folderTarget("/no/such"), ResolvedJumpAction::openTerminal,
                                    JumpQuality::workspaceLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "terminal cwd does not exist: /no/such");
}

TEST(JumpOpenerDesktop, UrlsFilesAndAppsThroughTheDesktopOpener) {
  Harness linux(Platform::Linux);
  linux.setup.programs.xdgOpen =
      linux.fakes.add("xdg-open", "[ \"$1\" = bad:x ] && exit 4; exit 0");
  auto opener = linux.opener();
  EXPECT_TRUE(opener.open(resolved(link(JumpTarget::Kind::url, "https://example.com/a"),
                                   ResolvedJumpAction::openURL, JumpQuality::appLevel)));
  EXPECT_FALSE(opener.open(resolved(link(JumpTarget::Kind::url, "not a url"),
                                    ResolvedJumpAction::openURL, JumpQuality::appLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "URL target failed to parse: not a url");
  EXPECT_FALSE(opener.open(resolved(link(JumpTarget::Kind::url, "bad:x"),
                                    ResolvedJumpAction::openURL, JumpQuality::appLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "xdg-open refused URL: bad:x");
  EXPECT_TRUE(opener.open(resolved(link(JumpTarget::Kind::file, "/etc/hosts"),
                                   ResolvedJumpAction::openFile, JumpQuality::workspaceLevel)));
  EXPECT_TRUE(opener.open(resolved(link(JumpTarget::Kind::app, "cmux://ws/1"),
                                   ResolvedJumpAction::openApp, JumpQuality::sessionLevel)));
  EXPECT_EQ(linux.fakes.calls(), (std::vector<Call>{{"xdg-open", "https://example.com/a"},
                                                    {"xdg-open", "bad:x"},
                                                    {"xdg-open", "/etc/hosts"},
                                                    {"xdg-open", "cmux://ws/1"}}));
  EXPECT_FALSE(opener.open(resolved(app(std::nullopt, std::nullopt), ResolvedJumpAction::openApp,
                                    JumpQuality::appLevel)));
  EXPECT_EQ(opener.lastJumpOpenError(), "app target has no deep link / appPath / bundleID");

  Harness mac(Platform::macOS);
  mac.fakes.add("open", "[ \"$1\" = -b ] && exit 1; exit 0");
  auto macOpener = mac.opener();
  EXPECT_TRUE(macOpener.open(resolved(app("/Applications/X.app", std::nullopt),
                                      ResolvedJumpAction::openApp, JumpQuality::appLevel)));
  EXPECT_FALSE(macOpener.open(
      resolved(app(std::nullopt, "com.x.y"), ResolvedJumpAction::openApp, JumpQuality::appLevel)));
  EXPECT_EQ(macOpener.lastJumpOpenError(), "NSWorkspace could not open bundle com.x.y");
  EXPECT_EQ(mac.fakes.calls(),
            (std::vector<Call>{{"open", "/Applications/X.app"}, {"open", "-b", "com.x.y"}}));
}

TEST(JumpOpenerMessages, CandidatesFallbacksAndResultTexts) {
  Harness h(Platform::Linux);
  h.setup.programs.terminals = {{"xterm", h.fakes.add("xterm")}};
  auto opener = h.opener();
  EXPECT_EQ(opener.openMessageJump(std::nullopt).message, "No jump target is available");

  ResolvedJumpTarget folder = resolved(
      folderTarget(h.work.path()), ResolvedJumpAction::openTerminal, JumpQuality::workspaceLevel);
  ResolvedJumpTarget gone;  // an identified window that is gone
  gone.target = terminalWindow("xterm");
  gone.target.windowID = "9";
  gone.reason = "Terminal session is no longer available.";
  gone.fallback = std::make_shared<const ResolvedJumpTarget>(folder);
  EXPECT_TRUE(jumpOpenCandidates(gone).empty()) << "an exact jump is never downgraded";
  EXPECT_EQ(opener.openMessageJump(gone).message, "Jump target is unavailable");

  // A terminal without ids, and cmux, may fall back.
  ResolvedJumpTarget plain = gone;
  plain.target.windowID.reset();
  EXPECT_TRUE(jumpTargetAllowsRuntimeFallback(plain.target));
  plain.target.terminal = "iTerm2";
  EXPECT_FALSE(jumpTargetAllowsRuntimeFallback(plain.target));
  plain.target.terminal = "xterm";
  plain.target.processID = 42;
  EXPECT_FALSE(jumpTargetAllowsRuntimeFallback(plain.target));
  EXPECT_FALSE(jumpTargetAllowsRuntimeFallback(link(JumpTarget::Kind::cli, "")));

  JumpTarget session;
  session.kind = JumpTarget::Kind::cmux;
  session.sessionID = "s";
  ResolvedJumpTarget cmux =
      resolved(session, ResolvedJumpAction::openCmux, JumpQuality::sessionLevel);
  cmux.fallback = std::make_shared<const ResolvedJumpTarget>(folder);
  const auto candidates = jumpOpenCandidates(cmux);
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_FALSE(candidates[0].isFallback);
  EXPECT_TRUE(candidates[1].isFallback);
  // No cmux on Linux here: the folder opens, at its own quality.
  const auto result = opener.openMessageJump(cmux);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "Opened workspace");

  ResolvedJumpTarget missing = folder;
  missing.target.cwd = "/no/such";
  const auto failed = opener.openMessageJump(missing);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.message,
            "Jump target could not be opened: terminal cwd does not exist: /no/such");
  EXPECT_EQ(jumpResultMessage(JumpOutcome::failed), "Jump target could not be opened");
  EXPECT_EQ(jumpResultMessage(JumpOutcome::opened, JumpQuality::exactWindow),
            "Jumped to exact window");
  EXPECT_EQ(jumpResultMessage(JumpOutcome::opened, JumpQuality::sessionLevel), "Jumped to session");
  EXPECT_EQ(jumpResultMessage(JumpOutcome::opened, JumpQuality::appLevel), "Opened app");

  EXPECT_FALSE(opener.open(gone));
  EXPECT_EQ(opener.lastJumpOpenError(),
            "resolver marked target unavailable: Terminal session is no longer available.");
}

TEST(JumpDiagnostics, SortedKeysTimestampCutOutputAndPrivateFile) {
  TempDir dir;
  const std::string file = dir.file("support/jump_diagnostic.jsonl");
  JumpDiagnostics diagnostics(file, [] { return Timestamp{std::chrono::seconds{1778500860}}; });
  Json fields = {{"stage", "open_cmux"}, {"outcome", "ok"}, {"arguments", Json::array({"-b"})}};
  CapturedProcessResult result;
  result.exitCode = 2;
  result.stdoutText = "  " + std::string(500, 'x') + "\n";
  result.launchError = "no such file";
  addProcessFields(fields, result);
  diagnostics.record(fields);
  diagnostics.record({{"stage", "b"}, {"a", 1}});
  const auto lines = split(testing::readText(file), '\n');
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[2].empty());
  EXPECT_EQ(lines[1], R"({"a":1,"stage":"b","timestamp":"2026-05-11T12:01:00Z"})");
  EXPECT_EQ(lines[0].rfind(R"({"arguments":["-b"],"exit_code":2,"launch_error":"no such file",)"
                           R"("outcome":"ok","stage":"open_cmux","stderr":"","stdout":"xxx)",
                           0),
            0u);
  EXPECT_EQ(Json::parse(lines[0])["stdout"], std::string(397, 'x') + "...");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(dir.file("support").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A folder that cannot be made: nothing written, nothing thrown.
  JumpDiagnostics("/proc/nope/jump_diagnostic.jsonl").record({{"stage", "x"}});
}

}  // namespace
}  // namespace glimmet
