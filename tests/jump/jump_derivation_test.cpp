#include "jump/jump_derivation.hpp"

#include <gtest/gtest.h>

#include "jump/fake_machine.hpp"

namespace glimmet::testing {
namespace {

using Kind = JumpTarget::Kind;

GlimmetEvent event(std::string id, std::string source) {
  GlimmetEvent event;
  event.id = std::move(id);
  event.source = std::move(source);
  event.sourceType = "claude_hook";
  event.cwd = "/home/someone";
  event.timestamp = Timestamp(std::chrono::seconds(1'780'000'000));
  return event;
}

GlimmetEvent withCwd(GlimmetEvent event, std::string cwd) {
  event.cwd = std::move(cwd);
  event.hasExplicitCwd = true;
  return event;
}

JumpDerivation derivationOf(const FakeMachine& machine) {
  JumpDerivation derivation;
  derivation.resolver = machine.resolver();
  derivation.homeDirectory = machine.path("home");
  return derivation;
}

const std::vector<GlimmetEvent> kNoBridgeEvents;

TEST(JumpDerivationTest, StatedTargetsComeFirst) {
  FakeMachine machine;
  machine.addCommand("cmux");
  machine.sessions.insert("s1");
  const JumpDerivation derivation = derivationOf(machine);

  auto typed = event("e1", "claude-code");
  typed.typedJumpTarget = cmux("s1", std::nullopt, std::nullopt);
  typed.jumpTarget = "https://example.com";
  typed.transcriptPath = machine.file();
  const auto typedResult = derivation.jumpTarget(typed, kNoBridgeEvents);
  ASSERT_TRUE(typedResult);
  EXPECT_EQ(typedResult->target.kind, Kind::cmux);
  EXPECT_EQ(typedResult->quality, JumpQuality::sessionLevel);

  auto text = event("e2", "claude-code");
  text.jumpTarget = "relative/missing.txt";
  const auto missing = derivation.jumpTarget(text, kNoBridgeEvents);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->label, "Configure");
  EXPECT_EQ(missing->reason, "File does not exist.");
  EXPECT_EQ(missing->target, file("relative/missing.txt"));

  text.jumpTarget = "https://example.com/run/1";
  EXPECT_EQ(derivation.jumpTarget(text, kNoBridgeEvents)->label, "Open link");
  text.jumpTarget = "ftp://example.com/x";
  EXPECT_EQ(derivation.jumpTarget(text, kNoBridgeEvents)->reason, "URL scheme is not allowed.");
  EXPECT_EQ(derivation.jumpTarget(text, kNoBridgeEvents)->target.url, "ftp://example.com/x");
  text.jumpTarget = machine.file();
  EXPECT_EQ(derivation.jumpTarget(text, kNoBridgeEvents)->label, "Open file");
  // Blank text says nothing; the later rules decide.
  text.jumpTarget = "  ";
  text.transcriptPath = machine.file();
  text.source = "unknown-tool";
  EXPECT_EQ(derivation.jumpTarget(text, kNoBridgeEvents)->target.path, machine.file());

  EXPECT_TRUE(JumpDerivation::isURLJumpTarget("cmux://x"));
  EXPECT_FALSE(JumpDerivation::isURLJumpTarget("/tmp/a:b"));
  EXPECT_FALSE(JumpDerivation::isURLJumpTarget("a b:c"));
}

TEST(JumpDerivationTest, AnExactTargetThatIsGoneIsNotReplacedByAWeakerOne) {
  FakeMachine machine;
  machine.bundles.insert("com.googlecode.iterm2");
  machine.closedTerminalSessions.insert("old");
  machine.addCommand("claude");
  const JumpDerivation derivation = derivationOf(machine);

  auto gone = withCwd(event("e1", "claude-code"), machine.folder());
  gone.typedJumpTarget = terminalWindow("iTerm2", "old", machine.folder());
  gone.transcriptPath = machine.file();
  const auto result = derivation.jumpTarget(gone, kNoBridgeEvents);
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->available);
  EXPECT_EQ(result->reason, "Terminal session is no longer available.");
  EXPECT_EQ(result->target.kind, Kind::terminalWindow);
  ASSERT_TRUE(result->fallback);
  EXPECT_EQ(result->fallback->label, "Open folder");

  auto command = withCwd(event("e2", "claude-code"), machine.folder());
  command.typedJumpTarget = cli("not-installed");
  const auto cli = derivation.jumpTarget(command, kNoBridgeEvents);
  EXPECT_EQ(cli->reason, "CLI command is not available.");
  EXPECT_FALSE(cli->fallback);
}

TEST(JumpDerivationTest, LocalLoaderEventsBorrowTheTargetOfTheirSessionsBridgeEvent) {
  FakeMachine machine;
  machine.bundles.insert("com.googlecode.iterm2");
  const JumpDerivation derivation = derivationOf(machine);

  auto rollout = event("rollout-1", "codex");
  rollout.sourceType = "stable_local_loader";
  rollout.sessionId = "sess";

  auto older = event("bridge-1", "codex");
  older.sessionId = "sess";
  older.typedJumpTarget = terminalWindow("iTerm2", std::nullopt, std::nullopt, "w-old");
  auto newer = older;
  newer.id = "bridge-2";
  newer.timestamp += std::chrono::seconds(5);
  newer.typedJumpTarget->windowID = "w-new";
  auto tieLater = newer;  // same time, listed later: the first listed wins
  tieLater.id = "bridge-3";
  tieLater.typedJumpTarget->windowID = "w-tie";
  auto otherSession = newer;
  otherSession.id = "bridge-4";
  otherSession.sessionId = "other";
  otherSession.timestamp += std::chrono::seconds(60);
  auto self = rollout;  // the event itself never counts
  self.timestamp += std::chrono::seconds(90);
  self.jumpTarget = "https://example.com";
  auto blank = newer;
  blank.id = "bridge-5";
  blank.timestamp += std::chrono::seconds(30);
  blank.typedJumpTarget.reset();
  blank.jumpTarget = "   ";

  const std::vector<GlimmetEvent> bridge = {older, newer, tieLater, otherSession, self, blank};
  const auto borrowed = derivation.jumpTarget(rollout, bridge);
  ASSERT_TRUE(borrowed);
  EXPECT_EQ(borrowed->label, "Focus window");
  EXPECT_EQ(borrowed->quality, JumpQuality::exactWindow);
  EXPECT_EQ(borrowed->target.windowID, "w-new");

  // A string target of a bridge event is read as the event's own would be.
  auto linked = blank;
  linked.jumpTarget = "cmux://workspace/1";
  EXPECT_EQ(derivation.jumpTarget(rollout, {older, linked})->target.url, "cmux://workspace/1");

  // Hook events do not borrow, and without a bridge target the later rules decide.
  auto hook = rollout;
  hook.sourceType = "codex_hook";
  EXPECT_EQ(derivation.jumpTarget(hook, bridge)->reason, "CLI command is not available.");
  EXPECT_EQ(derivation.jumpTarget(rollout, {otherSession})->reason,
            "CLI command is not available.");
  EXPECT_FALSE(derivation.knownBridgeJumpTarget(rollout, {otherSession, self}));
}

TEST(JumpDerivationTest, SourceAndTerminalImplyCmuxOrITerm) {
  FakeMachine machine;
  machine.addCommand("cmux");
  machine.sessions.insert("sess");
  machine.bundles.insert("com.googlecode.iterm2");
  const JumpDerivation derivation = derivationOf(machine);

  auto viaCmux = withCwd(event("e1", "claude-code"), machine.folder());
  viaCmux.sourceType = "claude_hook_cmux";
  viaCmux.terminal = "iTerm2";
  viaCmux.sessionId = "sess";
  const auto viaSession = derivation.jumpTarget(viaCmux, kNoBridgeEvents);
  EXPECT_EQ(viaSession->target, cmux("sess", std::nullopt, machine.folder()));
  EXPECT_EQ(viaSession->label, "Open cmux");
  EXPECT_EQ(viaSession->quality, JumpQuality::sessionLevel);

  auto inITerm = withCwd(event("e2", "claude-code"), machine.folder());
  inITerm.terminal = "iTerm2";
  const auto iterm = derivation.jumpTarget(inITerm, kNoBridgeEvents);
  EXPECT_EQ(iterm->label, "Open terminal");
  EXPECT_EQ(iterm->quality, JumpQuality::appLevel);
  EXPECT_EQ(iterm->action, ResolvedJumpAction::focusTerminalWindow);
  EXPECT_EQ(iterm->target.kind, Kind::terminalWindow);

  // iTerm2 without an explicit folder goes on to the tool's command line.
  inITerm.hasExplicitCwd = false;
  EXPECT_EQ(derivation.jumpTarget(inITerm, kNoBridgeEvents)->target.kind, Kind::cli);
}

TEST(JumpDerivationTest, AppsAndEditorWorkspacesOnMacOS) {
  FakeMachine machine(Platform::macOS);
  machine.bundles = {"com.todesktop.230313mzl4w4u92", "com.codeium.windsurf"};
  JumpDerivation derivation = derivationOf(machine);
  std::vector<std::string> bundlesRead;
  derivation.bundleIdentifierOf = [&](const std::string& path) -> std::optional<std::string> {
    bundlesRead.push_back(path);
    if (path == machine.path("home") + "/Applications/Windsurf.app") return "com.codeium.windsurf";
    return std::nullopt;
  };

  const auto inCursor =
      derivation.jumpTarget(withCwd(event("e1", "cursor"), machine.folder()), kNoBridgeEvents);
  EXPECT_EQ(inCursor->label, "Open terminal");
  EXPECT_EQ(inCursor->quality, JumpQuality::workspaceLevel);
  EXPECT_EQ(inCursor->target, terminalCwd(machine.folder(), "com.todesktop.230313mzl4w4u92"));
  const auto cursorApp = derivation.jumpTarget(event("e2", "cursor"), kNoBridgeEvents);
  EXPECT_EQ(cursorApp->label, "Open app");
  EXPECT_EQ(cursorApp->target.appPath, "/Applications/Cursor.app");
  // A folder that is gone falls back to the editor itself.
  EXPECT_EQ(
      derivation.jumpTarget(withCwd(event("e3", "cursor"), machine.missing()), kNoBridgeEvents)
          ->label,
      "Open app");

  const auto claudeApp = derivation.jumpTarget(event("e4", "claude-app"), kNoBridgeEvents);
  EXPECT_EQ(claudeApp->reason, "App is not installed.");
  EXPECT_EQ(claudeApp->target, app("com.anthropic.claudefordesktop", "/Applications/Claude.app"));

  // Windsurf lives in ~/Applications here; its bundle id is read from there.
  derivation.resolver.fileExists = [&](const std::string& path) {
    return path == machine.path("home") + "/Applications/Windsurf.app" ||
           path == "/Applications/TRAE SOLO CN.app";
  };
  const auto windsurf = derivation.jumpTarget(event("e5", "windsurf"), kNoBridgeEvents);
  EXPECT_EQ(windsurf->label, "Open app");
  EXPECT_EQ(windsurf->target.bundleID, "com.codeium.windsurf");
  EXPECT_EQ(windsurf->target.appPath, machine.path("home") + "/Applications/Windsurf.app");
  const auto solo = derivation.jumpTarget(event("e6", "trae solo"), kNoBridgeEvents);
  EXPECT_EQ(solo->target.appPath, "/Applications/TRAE SOLO CN.app");
  EXPECT_EQ(solo->target.bundleID, "cn.trae.solo.app");
  const auto glass = derivation.jumpTarget(event("e7", "cursor glass"), kNoBridgeEvents);
  EXPECT_EQ(glass->target.bundleID, std::nullopt);
  EXPECT_EQ(glass->target.appPath, "/Applications/Cursor Glass.app");
  EXPECT_EQ(bundlesRead,
            (std::vector<std::string>{machine.path("home") + "/Applications/Windsurf.app",
                                      "/Applications/Cursor Glass.app"}));
  const auto kimi = derivation.jumpTarget(event("e8", "kimi"), kNoBridgeEvents);
  EXPECT_EQ(kimi->target, app(std::nullopt, "/Applications/Kimi.app"));
  const auto cline = derivation.jumpTarget(event("e9", "cline"), kNoBridgeEvents);
  EXPECT_EQ(cline->target.bundleID, "com.microsoft.VSCode");
}

TEST(JumpDerivationTest, CommandLineTranscriptAndFolder) {
  FakeMachine machine;
  const JumpDerivation derivation = derivationOf(machine);

  const auto codex = derivation.jumpTarget(event("e1", "codex"), kNoBridgeEvents);
  ASSERT_TRUE(codex);
  EXPECT_EQ(codex->reason, "CLI command is not available.");
  EXPECT_EQ(codex->target.command, "codex");

  machine.addCommand("droid");
  const auto droid = derivation.jumpTarget(withCwd(event("e2", "factory droid"), machine.folder()),
                                           kNoBridgeEvents);
  EXPECT_EQ(droid->label, "Open CLI");
  EXPECT_EQ(droid->target.command, "droid");
  EXPECT_EQ(droid->quality, JumpQuality::sessionLevel);
  const auto unavailable =
      derivation.resolvedCLIJump({{"factory-droid", {}}, {"not-there", {}}}, std::nullopt);
  EXPECT_EQ(unavailable->target.command, "factory-droid");
  EXPECT_FALSE(derivation.resolvedCLIJump({}, std::nullopt));

  machine.addCommand("gh");
  const auto copilot = derivation.jumpTarget(event("e3", "copilot-cli"), kNoBridgeEvents);
  EXPECT_EQ(copilot->target.command, "gh");
  EXPECT_EQ(copilot->target.args, std::vector<std::string>{"copilot"});
  EXPECT_EQ(copilot->quality, JumpQuality::appLevel);

  auto unknown = event("e4", "some-new-agent");
  EXPECT_FALSE(derivation.jumpTarget(unknown, kNoBridgeEvents));
  unknown.transcriptPath = machine.missing();
  EXPECT_EQ(derivation.jumpTarget(unknown, kNoBridgeEvents)->reason, "File does not exist.");
  unknown.transcriptPath = machine.file();
  EXPECT_EQ(derivation.jumpTarget(unknown, kNoBridgeEvents)->label, "Open file");
  unknown.transcriptPath.reset();
  unknown = withCwd(unknown, machine.folder());
  unknown.terminal = "ghostty";
  const auto folder = derivation.jumpTarget(unknown, kNoBridgeEvents);
  EXPECT_EQ(folder->target, terminalCwd(machine.folder(), "ghostty"));
  EXPECT_EQ(folder->label, "Open terminal");
}

TEST(JumpDerivationTest, EditorsAndAppsOnLinux) {
  // Command lookups are cached per search path: `editors` has its commands from the start.
  FakeMachine machine(Platform::Linux);
  FakeMachine editors(Platform::Linux);
  editors.addCommand("cursor");
  editors.addCommand("code");
  const std::string entry = machine.path("cursor.desktop");
  std::vector<std::string> located;
  const auto linuxAppOf = [&](std::string_view toolID) -> std::optional<std::string> {
    located.emplace_back(toolID);
    if (toolID == "cursor-ide") return entry;
    return std::nullopt;
  };
  JumpDerivation derivation = derivationOf(machine);
  derivation.linuxAppOf = linuxAppOf;
  JumpDerivation withEditors = derivationOf(editors);
  withEditors.linuxAppOf = linuxAppOf;
  machine.apps.insert(entry);

  // The folder opens in the editor's command when it is on PATH; else the desktop app opens.
  const auto inFolder =
      derivation.jumpTarget(withCwd(event("e1", "cursor"), machine.folder()), kNoBridgeEvents);
  EXPECT_EQ(inFolder->label, "Open app");
  EXPECT_EQ(inFolder->target.appPath, entry);
  const auto inEditor =
      withEditors.jumpTarget(withCwd(event("e2", "cursor"), editors.folder()), kNoBridgeEvents);
  EXPECT_EQ(inEditor->label, "Open terminal");
  EXPECT_EQ(inEditor->target, terminalCwd(editors.folder(), "cursor"));
  EXPECT_EQ(inEditor->quality, JumpQuality::workspaceLevel);

  // VS Code extensions open VS Code; found nowhere, it is not installed.
  const auto roo =
      derivation.jumpTarget(withCwd(event("e3", "roo code"), machine.folder()), kNoBridgeEvents);
  EXPECT_EQ(roo->reason, "App is not installed.");
  EXPECT_EQ(roo->target.bundleID, "com.microsoft.VSCode");
  EXPECT_EQ(
      withEditors.jumpTarget(withCwd(event("e4", "roo code"), editors.folder()), kNoBridgeEvents)
          ->target.terminal,
      "code");

  // Apps without a Linux build are not looked for.
  located.clear();
  EXPECT_EQ(derivation.jumpTarget(event("e5", "claude-app"), kNoBridgeEvents)->reason,
            "App is not installed.");
  EXPECT_EQ(derivation.jumpTarget(withCwd(event("e6", "trae"), machine.folder()), kNoBridgeEvents)
                ->reason,
            "App is not installed.");
  EXPECT_TRUE(located.empty());
  EXPECT_EQ(derivation.jumpTarget(event("e7", "windsurf"), kNoBridgeEvents)->reason,
            "App is not installed.");
  EXPECT_EQ(located, std::vector<std::string>{"windsurf"});
}

}  // namespace
}  // namespace glimmet::testing
