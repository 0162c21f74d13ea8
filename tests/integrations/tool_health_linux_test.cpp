// The catalogue's desktop applications found the ways Linux installs them, and the macOS rules
// left as they were: both run here, with the platform passed in.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "hook_test_support.hpp"
#include "integrations/desktop_entry.hpp"
#include "integrations/settings_tool_actions.hpp"

namespace glimmet {
namespace {

using testing::healthRow;
using testing::ToolWorld;
using testing::writeText;

constexpr std::string_view kLaunchable = "[Desktop Entry]\nType=Application\nExec=app %F\n";

class LinuxToolWorld : public ToolWorld {
 public:
  LinuxToolWorld() : ToolWorld(Platform::Linux) {}

  std::string dataHome() const { return homeFile(".local/share"); }
  std::string systemData() const { return root() + "/usr/share"; }
  // A desktop entry `<id>.desktop` in `<dataDir>/applications`.
  static std::string addEntry(const std::string& dataDir, std::string_view id,
                              std::string_view text = kLaunchable) {
    const std::string path = dataDir + "/applications/" + std::string(id) + ".desktop";
    makeFile(path, false, text);
    return path;
  }
  bool detected(std::string_view id) const { return manager().isDetected(*catalogItem(id)); }
  std::string path(std::string_view id) const {
    return manager().displayPath(*catalogItem(id), false);
  }
};

TEST(DesktopEntryTest, ReadsOnlyTheMainGroupAndItsFirstValues) {
  const auto entry = parseDesktopEntry(
      "# comment\n[Desktop Entry]\nName=Code\nExec[de]=wrong\n Exec = code --new-window %F \n"
      "Exec=second\nTryExec=code\nHidden=false\nNoDisplay=true\n"
      "[Desktop Action new-empty-window]\nExec=code --new-window\nHidden=true\n"
      "[Desktop Entry]\nHidden=true\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->exec, "code --new-window %F");
  EXPECT_EQ(entry->tryExec, "code");
  EXPECT_FALSE(entry->hidden);
  EXPECT_TRUE(entry->noDisplay);

  EXPECT_FALSE(parseDesktopEntry("Exec=code\n"));
  EXPECT_FALSE(parseDesktopEntry("[Desktop Action x]\nExec=code\n"));
  EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nExec=\xff\xfe\n"));
  EXPECT_FALSE(parseDesktopEntry(""));

  const auto always = [](const std::string&) { return true; };
  const auto never = [](const std::string&) { return false; };
  EXPECT_TRUE(isLaunchableEntry(*parseDesktopEntry(kLaunchable), never));
  EXPECT_FALSE(
      isLaunchableEntry(*parseDesktopEntry("[Desktop Entry]\nType=Application\n"), always));
  EXPECT_FALSE(
      isLaunchableEntry(*parseDesktopEntry("[Desktop Entry]\nType=Link\nExec=x\n"), always));
  EXPECT_FALSE(
      isLaunchableEntry(*parseDesktopEntry("[Desktop Entry]\nExec=x\nHidden=true\n"), always));
  EXPECT_FALSE(
      isLaunchableEntry(*parseDesktopEntry("[Desktop Entry]\nExec=x\nTryExec=gone\n"), never));
  EXPECT_TRUE(
      isLaunchableEntry(*parseDesktopEntry("[Desktop Entry]\nExec=x\nTryExec=here\n"), always));
}

TEST(LinuxToolDetectionTest, DesktopEntriesFollowXdgOrderAndRefuseBrokenOnes) {
  LinuxToolWorld world;
  EXPECT_FALSE(world.detected("cursor-ide"));
  EXPECT_EQ(world.path("cursor-ide"), world.dataHome() + "/applications/cursor.desktop");

  const std::string cursor = LinuxToolWorld::addEntry(world.dataHome(), "cursor");
  EXPECT_TRUE(world.detected("cursor-ide"));
  EXPECT_EQ(world.path("cursor-ide"), cursor);

  // The system's entry counts, unless the user's own copy of the id hides it.
  const std::string code = LinuxToolWorld::addEntry(world.systemData(), "code");
  EXPECT_TRUE(world.detected("vscode-host"));
  EXPECT_EQ(world.path("vscode-host"), code);
  for (const std::string& mask :
       std::vector<std::string>{"[Desktop Entry]\nExec=code\nHidden=true\n",
                                "[Desktop Entry]\nExec=code\nNoDisplay=true\n",
                                "[Desktop Entry]\nExec=code\nTryExec=/nowhere/code\n",
                                "[Desktop Entry]\nName=no command\n", "not a desktop entry\n",
                                std::string("[Desktop Entry]\nExec=\x80\x81\n")}) {
    LinuxToolWorld::addEntry(world.dataHome(), "code", mask);
    EXPECT_FALSE(world.detected("vscode-host")) << mask;
  }
  std::filesystem::remove(world.dataHome() + "/applications/code.desktop");
  EXPECT_TRUE(world.detected("vscode-host"));

  // TryExec is looked up on PATH.
  LinuxToolWorld::addEntry(world.dataHome(), "windsurf",
                           "[Desktop Entry]\nExec=windsurf\nTryExec=windsurf-bin\n");
  EXPECT_FALSE(world.detected("windsurf"));
  world.addCommand("windsurf-bin");
  EXPECT_TRUE(world.detected("windsurf"));

  // Entries that cannot be read as text: a folder, a FIFO, a file far too large.
  std::filesystem::create_directories(world.dataHome() + "/applications/dev.warp.Warp.desktop");
  EXPECT_FALSE(world.detected("warp"));
  LinuxToolWorld other;
  const std::string fifo = other.dataHome() + "/applications/cursor.desktop";
  std::filesystem::create_directories(other.dataHome() + "/applications");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(other.detected("cursor-ide"));
  LinuxToolWorld::addEntry(other.dataHome(), "code",
                           std::string(kLaunchable) + std::string(1 << 20, '#'));
  EXPECT_FALSE(other.detected("vscode-host"));
}

TEST(LinuxToolDetectionTest, LaunchersFlatpakSnapAndAppImages) {
  {
    LinuxToolWorld world;
    world.addCommand("warp-terminal");
    EXPECT_TRUE(world.detected("warp"));
    EXPECT_EQ(world.path("warp"), world.pathDirectory() + "/warp-terminal");
    // A launcher left behind by an uninstall, and one that cannot run.
    std::filesystem::create_symlink(world.root() + "/opt/windsurf/windsurf",
                                    world.pathDirectory() + "/windsurf");
    EXPECT_FALSE(world.detected("windsurf"));
    ToolWorld::makeFile(world.pathDirectory() + "/code", false, "#!/bin/sh\n");
    EXPECT_FALSE(world.detected("vscode-host"));
  }
  {
    LinuxToolWorld world;
    const std::string user =
        world.dataHome() + "/flatpak/exports/share/applications/com.visualstudio.code.desktop";
    ToolWorld::makeFile(user, false, kLaunchable);
    EXPECT_TRUE(world.detected("vscode-host"));
    EXPECT_EQ(world.path("vscode-host"), user);
  }
  {
    LinuxToolWorld world;
    const std::string system =
        world.root() + "/var/lib/flatpak/exports/share/applications/com.visualstudio.code.desktop";
    ToolWorld::makeFile(system, false, kLaunchable);
    EXPECT_TRUE(world.detected("vscode-host"));
  }
  {
    LinuxToolWorld world;
    const std::string snapEntry =
        world.root() + "/var/lib/snapd/desktop/applications/code_code.desktop";
    ToolWorld::makeFile(snapEntry, false, "[Desktop Entry]\nExec=code\nHidden=true\n");
    EXPECT_FALSE(world.detected("vscode-host"));
    ToolWorld::makeFile(world.root() + "/snap/bin/code", true, "#!/bin/sh\n");
    EXPECT_TRUE(world.detected("vscode-host"));
    EXPECT_EQ(world.path("vscode-host"), world.root() + "/snap/bin/code");
    ToolWorld::makeFile(snapEntry, false, kLaunchable);
    EXPECT_EQ(world.path("vscode-host"), snapEntry);
  }
  {
    LinuxToolWorld world;
    ToolWorld::makeFile(world.homeFile("Applications/Cursor-1.2.3-x86_64.AppImage"), false);
    ToolWorld::makeFile(world.homeFile("Applications/cursor.AppImage.zs-old"), true);
    EXPECT_FALSE(world.detected("cursor-ide"));
    ToolWorld::makeFile(world.homeFile(".local/bin/Cursor-1.2.3-x86_64.AppImage"), true);
    EXPECT_TRUE(world.detected("cursor-ide"));
    EXPECT_EQ(world.path("cursor-ide"), world.homeFile(".local/bin/Cursor-1.2.3-x86_64.AppImage"));
    ToolWorld::makeFile(world.homeFile("Applications/Warp-x86_64.AppImage"), true);
    EXPECT_TRUE(world.detected("warp"));
    // Windsurf ships no AppImage; its name alone proves nothing.
    ToolWorld::makeFile(world.homeFile("Applications/Windsurf.AppImage"), true);
    EXPECT_FALSE(world.detected("windsurf"));
  }
}

TEST(LinuxToolDetectionTest, HugeOrOddXdgDataDirsNeverCrashNorInvent) {
  LinuxToolWorld world;
  const std::string far = world.root() + "/far";
  LinuxToolWorld::addEntry(far, "cursor");
  std::string dirs;
  for (int i = 0; i < 200000; ++i)
    dirs += i % 3 == 0 ? "relative/share:" : "::/nonexistent/" + std::to_string(i) + ":";
  world.setEnvironment("XDG_DATA_DIRS", dirs + far);
  const auto started = std::chrono::steady_clock::now();
  const auto rows = world.manager().health();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_EQ(rows.size(), 25u);
  // Far past any real desktop's list: not looked at.
  EXPECT_FALSE(healthRow(rows, "cursor-ide").detected);

  world.setEnvironment("XDG_DATA_DIRS", "relative:" + far + "/:" + far);
  EXPECT_TRUE(world.detected("cursor-ide"));
  EXPECT_EQ(world.path("cursor-ide"), far + "/applications/cursor.desktop");
  // A relative XDG_DATA_HOME is ignored too, in favour of ~/.local/share.
  world.setEnvironment("XDG_DATA_HOME", "share");
  LinuxToolWorld::addEntry(world.dataHome(), "cursor", "[Desktop Entry]\nHidden=true\n");
  EXPECT_FALSE(world.detected("cursor-ide"));
}

TEST(LinuxToolDetectionTest, RowsWithoutALinuxBuildSaySoAndOfferNothing) {
  LinuxToolWorld world;
  // Everything the macOS rules would take as installed, and the command Trae SOLO ships there.
  for (const auto& item : aiToolCatalog()) {
    for (const auto& app : item.appPaths) world.addApp(app);
  }
  world.addCommand("trae-solo");
  const auto rows = world.manager().health();
  for (const std::string id :
       {"claude-app", "codex-app", "cursor-glass", "trae-ide", "trae-solo", "kimi-app-web"}) {
    const auto row = healthRow(rows, id);
    EXPECT_FALSE(row.platformSupported) << id;
    EXPECT_FALSE(row.detected) << id;
    EXPECT_EQ(row.status, HookStatus::missing) << id;
    EXPECT_EQ(row.detail, "Not available on Linux") << id;
    EXPECT_EQ(row.path, "") << id;
    EXPECT_FALSE(row.jumpTarget) << id;
    EXPECT_EQ(settingsToolPrimaryAction(row), SettingsToolPrimaryAction::none) << id;
  }
  for (const auto& row : rows) {
    EXPECT_EQ(row.path.find("/Applications"), std::string::npos) << row.id << " " << row.path;
    if (row.jumpTarget) {
      EXPECT_EQ(row.jumpTarget->find("/Applications"), std::string::npos) << row.id;
    }
  }
  // The bundles do not make the Linux rows installed either.
  EXPECT_FALSE(healthRow(rows, "cursor-ide").detected);
  EXPECT_FALSE(healthRow(rows, "warp").detected);
  EXPECT_TRUE(healthRow(rows, "warp").platformSupported);
  // A missing Windsurf still leads to its download page; a found one is a Jump to its entry.
  EXPECT_EQ(settingsToolPrimaryAction(healthRow(rows, "windsurf")),
            SettingsToolPrimaryAction::download);
  const std::string entry = LinuxToolWorld::addEntry(world.dataHome(), "windsurf");
  const auto windsurf = healthRow(world.manager().health(), "windsurf");
  EXPECT_TRUE(windsurf.detected);
  EXPECT_EQ(windsurf.path, entry);
  EXPECT_EQ(settingsToolPrimaryAction(windsurf), SettingsToolPrimaryAction::jump);
  LinuxToolWorld::addEntry(world.dataHome(), "cursor");
  EXPECT_EQ(healthRow(world.manager().health(), "cursor-ide").jumpTarget,
            world.dataHome() + "/applications/cursor.desktop");
}

TEST(LinuxToolDetectionTest, MacOSRulesIgnoreLinuxInstallsAndKeepTheirOwn) {
  ToolWorld world(Platform::macOS);
  LinuxToolWorld::addEntry(world.homeFile(".local/share"), "cursor");
  LinuxToolWorld::addEntry(world.root() + "/usr/share", "windsurf");
  world.addCommand("warp-terminal");
  ToolWorld::makeFile(world.homeFile("Applications/Warp-x86_64.AppImage"), true);
  auto rows = world.manager().health();
  for (const auto& row : rows) EXPECT_TRUE(row.platformSupported) << row.id;
  EXPECT_FALSE(healthRow(rows, "cursor-ide").detected);
  EXPECT_FALSE(healthRow(rows, "windsurf").detected);
  EXPECT_FALSE(healthRow(rows, "warp").detected);
  EXPECT_EQ(healthRow(rows, "cursor-ide").path, "/Applications/Cursor.app");
  EXPECT_EQ(healthRow(rows, "claude-app").detail, "Install Claude App to enable Jump only");
  EXPECT_EQ(healthRow(rows, "codex-app").jumpTarget, "/Applications/Codex.app");

  world.addApp("/Applications/Warp.app");
  world.addApp("/Applications/Claude.app");
  rows = world.manager().health();
  EXPECT_TRUE(healthRow(rows, "warp").detected);
  EXPECT_EQ(healthRow(rows, "warp").path, "/Applications/Warp.app");
  EXPECT_TRUE(healthRow(rows, "claude-app").detected);
  EXPECT_EQ(world.manager().softwareLogoAppPath("claude-code"), "/Applications/Claude.app");
  EXPECT_FALSE(LinuxToolWorld().manager().softwareLogoAppPath("claude-code"));
}

TEST(LinuxToolDetectionTest, ExtensionsAreFoundInEveryLinuxEditorFolder) {
  const struct {
    std::string folder;
    std::string extension;
    std::string tool;
  } cases[] = {
      {".vscode-oss/extensions", "saoudrizwan.claude-dev-3.1.0", "cline"},
      {".windsurf/extensions", "rooveterinaryinc.roo-cline-3.0.0", "roo-code"},
      {".var/app/com.visualstudio.code/data/vscode/extensions", "github.copilot-1.2.3",
       "copilot-vscode-extension"},
      {".var/app/com.vscodium.codium/data/codium/extensions", "kilocode.kilo-code-4.0.0",
       "kilo-code"},
      {"snap/codium/current/.vscode-oss/extensions", "github.copilot-chat-0.1",
       "copilot-vscode-extension"},
  };
  for (const auto& c : cases) {
    LinuxToolWorld onLinux;
    ToolWorld mac(Platform::macOS);
    for (const std::string& home : {onLinux.home(), mac.home()}) {
      std::filesystem::create_directories(home + "/" + c.folder + "/" + c.extension);
    }
    EXPECT_TRUE(onLinux.detected(c.tool)) << c.folder;
    // The macOS rules look in ~/.vscode and ~/.cursor only.
    EXPECT_FALSE(mac.manager().isDetected(*catalogItem(c.tool))) << c.folder;
  }
}

}  // namespace
}  // namespace glimmet
