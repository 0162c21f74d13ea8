#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "jump/fake_machine.hpp"
#include "jump/jump_resolver.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

void expectAvailable(const ResolvedJumpTarget& result, const std::string& label,
                     JumpQuality quality, ResolvedJumpAction action) {
  EXPECT_TRUE(result.available) << result.reason.value_or("");
  EXPECT_EQ(result.label, label);
  EXPECT_EQ(result.quality, quality) << rawValue(result.quality);
  EXPECT_EQ(result.action, action) << rawValue(result.action);
  EXPECT_FALSE(result.reason);
}

void expectUnavailable(const ResolvedJumpTarget& result, const std::string& reason) {
  EXPECT_FALSE(result.available);
  EXPECT_EQ(result.label, "Configure");
  EXPECT_EQ(result.quality, JumpQuality::unavailable);
  EXPECT_EQ(result.action, ResolvedJumpAction::configure);
  EXPECT_EQ(result.reason.value_or("(none)"), reason);
}

TEST(JumpResolverTest, CommandLineFileAndURLTargets) {
  FakeMachine machine;
  machine.addCommand("claude");
  const JumpResolver resolver = machine.resolver();

  expectAvailable(resolver.resolve(cli("claude", machine.folder())), "Open CLI",
                  JumpQuality::sessionLevel, ResolvedJumpAction::openCLI);
  expectAvailable(resolver.resolve(cli("claude")), "Open CLI", JumpQuality::appLevel,
                  ResolvedJumpAction::openCLI);
  // A missing command stays unavailable even with an existing folder to fall back on.
  const auto missingCommand = resolver.resolve(cli("codex", machine.folder()));
  expectUnavailable(missingCommand, "CLI command is not available.");
  EXPECT_FALSE(missingCommand.fallback);
  EXPECT_EQ(missingCommand.target, cli("codex", machine.folder()));
  expectUnavailable(resolver.resolve(cli("")), "CLI command is not available.");

  expectAvailable(resolver.resolve(file(machine.file())), "Open file", JumpQuality::workspaceLevel,
                  ResolvedJumpAction::openFile);
  expectUnavailable(resolver.resolve(file(machine.missing())), "File does not exist.");

  expectAvailable(resolver.resolve(url("https://example.com/a?b=c")), "Open link",
                  JumpQuality::appLevel, ResolvedJumpAction::openURL);
  expectAvailable(resolver.resolve(url("cmux://workspace/abc")), "Open link",
                  JumpQuality::sessionLevel, ResolvedJumpAction::openURL);
  expectAvailable(resolver.resolve(url("file://" + machine.file())), "Open link",
                  JumpQuality::workspaceLevel, ResolvedJumpAction::openURL);
  for (const std::string& text : std::vector<std::string>{
           "https:///no-host", "https:no-host", "javascript:alert(1)", "ftp://example.com/x",
           "file://elsewhere" + machine.file(), "file://" + machine.missing(), "iterm2:", "",
           "https://exa mple.com"}) {
    expectUnavailable(resolver.resolve(url(text)), "URL scheme is not allowed.");
  }
}

TEST(JumpResolverTest, AllowedURLsByScheme) {
  FakeMachine machine;
  const JumpResolver resolver = machine.resolver();
  // http(s) need a host; the scheme is compared in any case.
  EXPECT_TRUE(resolver.isAllowedURL("HTTPS://Example.com"));
  EXPECT_TRUE(resolver.isAllowedURL("http://127.0.0.1:8080/"));
  EXPECT_FALSE(resolver.isAllowedURL("http://:8080/"));
  // A file URL: empty host or localhost, an absolute path that exists (escapes decoded).
  const std::string spaced = machine.path("with space.txt");
  writeText(spaced, "x");
  EXPECT_TRUE(resolver.isAllowedURL("file://" + machine.path("with%20space.txt")));
  EXPECT_TRUE(resolver.isAllowedURL("file://LocalHost" + machine.file()));
  EXPECT_TRUE(resolver.isAllowedURL("file:" + machine.file()));
  EXPECT_FALSE(resolver.isAllowedURL("file://example.com" + machine.file()));
  EXPECT_FALSE(resolver.isAllowedURL("file:notes.txt"));
  // Local app links need a host, a path or a query.
  EXPECT_TRUE(resolver.isAllowedURL("conductor:open"));
  EXPECT_TRUE(resolver.isAllowedURL("iterm2:?session=1"));
  EXPECT_TRUE(resolver.isAllowedURL("CMUX://w"));
  EXPECT_FALSE(resolver.isAllowedURL("cmux://"));
  EXPECT_FALSE(resolver.isAllowedURL("iterm2:?"));
  EXPECT_FALSE(resolver.isAllowedURL("vscode://file/x"));
  EXPECT_FALSE(resolver.isAllowedURL("/just/a/path"));

  EXPECT_EQ(JumpResolver::urlJumpQuality("iterm2:?x"), JumpQuality::sessionLevel);
  EXPECT_EQ(JumpResolver::urlJumpQuality("conductor://x"), JumpQuality::sessionLevel);
  EXPECT_EQ(JumpResolver::urlJumpQuality("file:///x"), JumpQuality::workspaceLevel);
  EXPECT_EQ(JumpResolver::urlJumpQuality("https://x"), JumpQuality::appLevel);
  EXPECT_EQ(JumpResolver::urlJumpQuality("not a url"), JumpQuality::appLevel);
  EXPECT_EQ(JumpResolver::allowedLocalAppSchemes(),
            (std::set<std::string, std::less<>>{"conductor", "cmux", "iterm2"}));
}

TEST(JumpResolverTest, TerminalFolderAndWindowTargets) {
  FakeMachine machine;
  const JumpResolver resolver = machine.resolver();

  expectAvailable(resolver.resolve(terminalCwd(machine.folder())), "Open terminal",
                  JumpQuality::workspaceLevel, ResolvedJumpAction::openTerminal);
  expectUnavailable(resolver.resolve(terminalCwd(machine.missing())),
                    "Workspace folder does not exist.");
  expectUnavailable(resolver.resolve(terminalCwd(machine.file())),
                    "Workspace folder does not exist.");
  expectUnavailable(resolver.resolve(terminalCwd(machine.folder(), "iTerm2")),
                    "Target app is not available.");

  expectUnavailable(resolver.resolve(terminalWindow("iTerm2", "w0t0p0", machine.folder())),
                    "Terminal app is not available.");
  machine.bundles.insert("com.googlecode.iterm2");
  expectAvailable(resolver.resolve(terminalCwd(machine.folder(), "iTerm2")), "Open terminal",
                  JumpQuality::workspaceLevel, ResolvedJumpAction::openTerminal);
  expectAvailable(resolver.resolve(terminalWindow("iTerm2", "w0t0p0")), "Focus window",
                  JumpQuality::exactWindow, ResolvedJumpAction::focusTerminalWindow);
  expectAvailable(resolver.resolve(terminalWindow("iTerm2", "  ")), "Open terminal",
                  JumpQuality::appLevel, ResolvedJumpAction::focusTerminalWindow);

  // A closed session stays unavailable; the folder is only an explicit fallback.
  machine.closedTerminalSessions.insert("w0t0p0");
  const auto gone = resolver.resolve(terminalWindow("iTerm2", "w0t0p0", machine.folder()));
  expectUnavailable(gone, "Terminal session is no longer available.");
  EXPECT_EQ(gone.target.kind, JumpTarget::Kind::terminalWindow);
  ASSERT_TRUE(gone.fallback);
  expectAvailable(*gone.fallback, "Open folder", JumpQuality::workspaceLevel,
                  ResolvedJumpAction::openTerminal);
  EXPECT_EQ(gone.fallback->target, terminalCwd(machine.folder()));
  EXPECT_FALSE(gone.fallback->fallback);
  EXPECT_FALSE(resolver.resolve(terminalWindow("iTerm2", "w0t0p0", machine.missing())).fallback);
  EXPECT_FALSE(resolver.resolve(terminalWindow("iTerm2", "w0t0p0")).fallback);
}

TEST(JumpResolverTest, CmuxTargets) {
  // Command lookups are cached per search path, so each machine keeps its commands.
  FakeMachine bare;
  const JumpResolver withoutCmux = bare.resolver();
  bare.sessions = {"s1"};
  expectUnavailable(withoutCmux.resolve(cmux("s1", std::nullopt, bare.folder())),
                    "cmux CLI is not available.");
  expectUnavailable(withoutCmux.resolve(cmux(std::nullopt, std::nullopt, bare.folder())),
                    "cmux CLI is not available.");

  FakeMachine machine;
  const JumpResolver resolver = machine.resolver();
  machine.addCommand("cmux");
  machine.sessions = {"s1", "win-1"};
  expectAvailable(resolver.resolve(cmux("s1", "win-1", std::nullopt)), "Open cmux",
                  JumpQuality::exactWindow, ResolvedJumpAction::openCmux);
  expectAvailable(resolver.resolve(cmux("s1", std::nullopt, std::nullopt)), "Open cmux",
                  JumpQuality::sessionLevel, ResolvedJumpAction::openCmux);
  expectAvailable(resolver.resolve(cmux(std::nullopt, std::nullopt, machine.folder())), "Open cmux",
                  JumpQuality::workspaceLevel, ResolvedJumpAction::openCmux);
  expectUnavailable(resolver.resolve(cmux(std::nullopt, std::nullopt, std::nullopt)),
                    "cmux CLI is not available.");

  // A targeted session that is gone is never turned into the app, even when it is installed.
  machine.apps.insert("/Applications/cmux.app");
  const auto gone = resolver.resolve(cmux("s2", std::nullopt, machine.folder()));
  expectUnavailable(gone, "cmux session is no longer available.");
  EXPECT_EQ(gone.target, cmux("s2", std::nullopt, machine.folder()));
  ASSERT_TRUE(gone.fallback);
  EXPECT_EQ(gone.fallback->label, "Open folder");
  expectUnavailable(resolver.resolve(cmux(std::nullopt, "win-2", std::nullopt)),
                    "cmux session is no longer available.");

  // Without a session the installed app is opened.
  const auto opened = resolver.resolve(cmux(std::nullopt, std::nullopt, machine.folder()));
  expectAvailable(opened, "Open cmux", JumpQuality::appLevel, ResolvedJumpAction::openApp);
  EXPECT_EQ(opened.target, app(std::nullopt, "/Applications/cmux.app"));
}

TEST(JumpResolverTest, AppTargets) {
  FakeMachine machine;
  const JumpResolver resolver = machine.resolver();
  expectUnavailable(resolver.resolve(app("com.openai.codex", "/Applications/Codex.app")),
                    "App is not installed.");
  expectUnavailable(resolver.resolve(app(std::nullopt, std::nullopt)), "App is not installed.");
  expectUnavailable(resolver.resolve(app("com.openai.codex", std::nullopt, "javascript:x()")),
                    "App link is not allowed.");
  expectUnavailable(resolver.resolve(app("com.openai.codex", std::nullopt, "cmux://w")),
                    "App is not installed.");

  machine.bundles.insert("com.openai.codex");
  machine.apps.insert("/Applications/Kimi.app");
  expectAvailable(resolver.resolve(app("com.openai.codex", "/Applications/Codex.app")), "Open app",
                  JumpQuality::appLevel, ResolvedJumpAction::openApp);
  expectAvailable(resolver.resolve(app(std::nullopt, "/Applications/Kimi.app")), "Open app",
                  JumpQuality::appLevel, ResolvedJumpAction::openApp);
  expectAvailable(resolver.resolve(app("com.openai.codex", std::nullopt, "cmux://w")),
                  "Open app link", JumpQuality::sessionLevel, ResolvedJumpAction::openApp);
  expectUnavailable(resolver.resolve(app("com.openai.codex", std::nullopt, "ftp://x")),
                    "App link is not allowed.");
}

TEST(JumpResolverTest, TerminalAppsOnMacOSByBundleOrPath) {
  FakeMachine machine(Platform::macOS);
  const JumpResolver resolver = machine.resolver();
  for (const char* name :
       {"iTerm.app", "Apple_Terminal", "Cursor", "com.todesktop.230313mzl4w4u92", "vscode",
        "Visual Studio Code", "Trae", "Trae SOLO", "cn.trae.beta", "Kimi"}) {
    EXPECT_FALSE(resolver.terminalAppAvailable(name)) << name;
  }
  // "WarpTerminal" reads as Terminal; names no row knows are left to their opener.
  EXPECT_FALSE(resolver.terminalAppAvailable("WarpTerminal"));
  EXPECT_TRUE(resolver.terminalAppAvailable("ghostty"));

  machine.apps = {"/System/Applications/Utilities/Terminal.app", "/Applications/TRAE SOLO CN.app",
                  "/Applications/Kimi.app"};
  machine.bundles = {"com.todesktop.230313mzl4w4u92", "com.microsoft.VSCode", "cn.trae.beta"};
  EXPECT_TRUE(resolver.terminalAppAvailable("Apple_Terminal"));
  EXPECT_FALSE(resolver.terminalAppAvailable("iTerm2"));
  EXPECT_TRUE(resolver.terminalAppAvailable("com.todesktop.230313mzl4w4u92"));
  EXPECT_TRUE(resolver.terminalAppAvailable("cursor"));
  EXPECT_TRUE(resolver.terminalAppAvailable("com.microsoft.VSCode"));
  EXPECT_TRUE(resolver.terminalAppAvailable("Trae SOLO"));
  EXPECT_FALSE(resolver.terminalAppAvailable("Trae"));  // only SOLO is installed
  EXPECT_TRUE(resolver.terminalAppAvailable("cn.trae.beta"));
  EXPECT_TRUE(resolver.terminalAppAvailable("kimi"));
}

TEST(JumpResolverTest, TerminalAppsOnLinuxByCommand) {
  FakeMachine machine(Platform::Linux);
  const JumpResolver resolver = machine.resolver();
  machine.addCommand("kitty");
  machine.addCommand("code");
  EXPECT_TRUE(resolver.terminalAppAvailable("xterm-kitty"));
  EXPECT_FALSE(resolver.terminalAppAvailable("xterm"));
  EXPECT_FALSE(resolver.terminalAppAvailable("gnome-terminal"));
  EXPECT_TRUE(resolver.terminalAppAvailable("vscode"));
  EXPECT_TRUE(resolver.terminalAppAvailable("com.microsoft.VSCode"));
  EXPECT_FALSE(resolver.terminalAppAvailable("cursor"));
  EXPECT_FALSE(resolver.terminalAppAvailable("com.todesktop.230313mzl4w4u92"));
  EXPECT_FALSE(resolver.terminalAppAvailable("iTerm2"));          // no Linux build
  EXPECT_TRUE(resolver.terminalAppAvailable("ghostty"));          // left to its opener
  EXPECT_FALSE(resolver.terminalAppAvailable("Apple_Terminal"));  // no x-terminal-emulator
  const std::vector<std::string> commands = {
      "gnome-terminal", "konsole",        "wezterm", "alacritty", "xterm",
      "tilix",          "xfce4-terminal", "cursor",  "windsurf",  "trae"};
  FakeMachine full(Platform::Linux);
  const JumpResolver fullResolver = full.resolver();
  for (const auto& command : commands) {
    EXPECT_FALSE(resolver.terminalAppAvailable(command)) << command;
    full.addCommand(command);
    EXPECT_TRUE(fullResolver.terminalAppAvailable(command)) << command;
  }
  // The Linux table decides even when the macOS app "exists".
  machine.apps.insert("/Applications/iTerm.app");
  EXPECT_FALSE(resolver.terminalAppAvailable("iTerm2"));
  expectAvailable(resolver.resolve(terminalCwd(machine.folder(), "kitty")), "Open terminal",
                  JumpQuality::workspaceLevel, ResolvedJumpAction::openTerminal);
}

TEST(JumpResolverTest, DefaultCommandLookupFollowsPathAndCaches) {
  FakeMachine machine;
  const std::string tool = machine.addCommand("some-tool");
  const Environment onPath({{"PATH", "/nonexistent:" + machine.bin()}});
  EXPECT_TRUE(JumpResolver::defaultCommandExists("some-tool", onPath));
  EXPECT_TRUE(JumpResolver::defaultCommandExists(tool, Environment()));
  EXPECT_FALSE(JumpResolver::defaultCommandExists("", onPath));

  // With "/": an executable file, not a folder, not a plain file.
  EXPECT_FALSE(JumpResolver::defaultCommandExists(machine.bin(), onPath));
  EXPECT_FALSE(JumpResolver::defaultCommandExists(machine.file(), onPath));
  std::filesystem::create_directories(machine.path("dirs/folder-tool"));
  EXPECT_FALSE(JumpResolver::defaultCommandExists("folder-tool",
                                                  Environment({{"PATH", machine.path("dirs")}})));
  writeText(machine.bin() + "/plain-tool", "x");
  EXPECT_FALSE(JumpResolver::defaultCommandExists("plain-tool", onPath));

  // Without PATH the usual system folders are searched.
  EXPECT_TRUE(JumpResolver::defaultCommandExists("sh", Environment()));
  EXPECT_FALSE(JumpResolver::defaultCommandExists("some-tool", Environment()));

  // Cached per name and search path: a command that appears later is not seen under the same
  // path, and is under another one.
  EXPECT_FALSE(JumpResolver::defaultCommandExists("late-tool", onPath));
  machine.addCommand("late-tool");
  EXPECT_FALSE(JumpResolver::defaultCommandExists("late-tool", onPath));
  EXPECT_TRUE(JumpResolver::defaultCommandExists(
      "late-tool", Environment({{"PATH", machine.bin() + ":/nonexistent"}})));
}

TEST(JumpResolverTest, DefaultCmuxAndAppChecks) {
  FakeMachine machine;
  const Environment withCmux({{"PATH", machine.bin()}});
  EXPECT_FALSE(JumpResolver::defaultCmuxSessionExists("   ", withCmux));
  EXPECT_FALSE(JumpResolver::defaultCmuxSessionExists("", withCmux));
  const bool systemCmux =
      JumpResolver::defaultCmuxCommandExists(Environment({{"PATH", std::string()}}));
  if (!systemCmux) {
    EXPECT_FALSE(JumpResolver::defaultCmuxSessionExists("abc", withCmux));
  }
  machine.addCommand("cmux");
  const Environment laterPath({{"PATH", machine.bin() + ":"}});
  EXPECT_TRUE(JumpResolver::defaultCmuxCommandExists(laterPath));
  EXPECT_TRUE(JumpResolver::defaultCmuxSessionExists("abc", laterPath));

  // Linux: a bundle id stands for its app's Linux build, found through desktop entries.
  const std::string home = machine.path("home");
  const Environment linux({{"PATH", machine.bin()},
                           {"XDG_DATA_HOME", home + "/.local/share"},
                           {"XDG_DATA_DIRS", machine.path("share")}});
  EXPECT_FALSE(
      JumpResolver::defaultAppBundleExists("com.microsoft.VSCode", linux, home, Platform::Linux));
  machine.addCommand("code");
  EXPECT_TRUE(
      JumpResolver::defaultAppBundleExists("com.microsoft.VSCode", linux, home, Platform::Linux));
  machine.addCommand("claude");
  EXPECT_FALSE(JumpResolver::defaultAppBundleExists("com.anthropic.claudefordesktop", linux, home,
                                                    Platform::Linux));
  EXPECT_FALSE(
      JumpResolver::defaultAppBundleExists("com.example.unknown", linux, home, Platform::Linux));
  EXPECT_FALSE(JumpResolver::defaultAppBundleExists(" ", linux, home, Platform::Linux));
}

// The machine's file checks keep an answer for a while: a message list asks about the same
// folders for every message it rebuilds. Each value is asked once per lifetime, a stale answer
// is asked again, and the real check sees a folder appear once the answer has aged.
TEST(JumpResolverTest, RememberedAnswersAreAskedOncePerLifetimeAndPerValue) {
  std::map<std::string, int> asked;
  bool exists = false;
  auto now = std::chrono::steady_clock::time_point{};
  const auto check = JumpResolver::rememberingAnswers(
      [&](const std::string& value) {
        ++asked[value];
        return exists;
      },
      std::chrono::milliseconds(2000), [&] { return now; });
  EXPECT_FALSE(check("/a"));
  exists = true;
  EXPECT_FALSE(check("/a"));
  EXPECT_TRUE(check("/b"));
  now += std::chrono::milliseconds(1999);
  EXPECT_FALSE(check("/a"));
  EXPECT_EQ(asked, (std::map<std::string, int>{{"/a", 1}, {"/b", 1}}));
  now += std::chrono::milliseconds(1);
  EXPECT_TRUE(check("/a"));
  EXPECT_EQ(asked["/a"], 2);
  EXPECT_FALSE(JumpResolver::rememberingAnswers({}, std::chrono::milliseconds(10))("/a"));

  TempDir dir;
  const auto machine = JumpResolver::makeDefault(Environment{}, dir.path(), Platform::Linux);
  EXPECT_TRUE(machine.directoryExists(dir.path()));
  EXPECT_FALSE(machine.directoryExists(dir.file("later")));
  std::filesystem::create_directory(dir.file("later"));
  EXPECT_TRUE(eventually([&] { return machine.directoryExists(dir.file("later")); }, 5.0));
}

}  // namespace
}  // namespace glimmet::testing
