#include "integrations/linux_app_launch.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;

std::string makeProgram(const std::string& directory, const std::string& name) {
  const std::string path = directory + "/" + name;
  testing::writeText(path, "#!/bin/sh\nexit 0\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

Environment withPath(const std::string& path) {
  Environment environment;
  environment.set("PATH", path);
  return environment;
}

TEST(LinuxAppLaunchTest, DesktopEntriesOpenThroughGioElseGtkLaunchAndLaunchersDirectly) {
  TempDir root;
  const std::string gioBin = root.path() + "/gio-bin", gtkBin = root.path() + "/gtk-bin";
  std::filesystem::create_directories(gioBin);
  std::filesystem::create_directories(gtkBin);
  const std::string gio = makeProgram(gioBin, "gio");
  const std::string gtkLaunch = makeProgram(gtkBin, "gtk-launch");
  const std::string entry = root.path() + "/applications/dev.warp.Warp.desktop";

  // gio first, wherever it is on PATH; gtk-launch takes the id alone.
  EXPECT_EQ(linuxAppLaunchCommand(entry, withPath(gtkBin + ":" + gioBin)),
            (std::vector<std::string>{gio, "launch", entry}));
  EXPECT_EQ(linuxAppLaunchCommand(entry, withPath(gtkBin)),
            (std::vector<std::string>{gtkLaunch, "dev.warp.Warp"}));
  // Nothing that opens desktop entries: no command, rather than a wrong one.
  EXPECT_EQ(linuxAppLaunchCommand(entry, withPath(root.path() + "/empty")), std::nullopt);

  // A launcher or an AppImage runs as it is; a file that cannot run opens nothing.
  const std::string appImage = makeProgram(root.path(), "Cursor-1.2.3-x86_64.AppImage");
  EXPECT_EQ(linuxAppLaunchCommand(appImage, withPath(gioBin)), std::vector<std::string>{appImage});
  testing::writeText(root.path() + "/notes.txt", "text");
  EXPECT_EQ(linuxAppLaunchCommand(root.path() + "/notes.txt", withPath(gioBin)), std::nullopt);
  EXPECT_EQ(linuxAppLaunchCommand(root.path() + "/missing", withPath(gioBin)), std::nullopt);
}

}  // namespace
}  // namespace glimmet
