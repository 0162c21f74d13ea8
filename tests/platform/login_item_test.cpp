// Opening at login on Linux: the XDG autostart entry that starts Glimmet with the session.

#include "platform/login_item.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::TempDir;

TEST(LoginItemTest, TheAutostartEntryComesAndGoesWithTheSwitchAndQuotesOddPaths) {
  TempDir home;
  const Environment environment(
      {{"HOME", home.path()}, {"XDG_CONFIG_HOME", home.path() + "/config"}});
  const std::string entry = home.path() + "/config/autostart/glimmet.desktop";
  EXPECT_FALSE(isOpenAtLogin(environment));
  // Off while off: nothing to do, and no folder made for it.
  ASSERT_TRUE(setOpenAtLogin(false, "/opt/glimmet/glimmet", environment));
  EXPECT_FALSE(std::filesystem::exists(home.path() + "/config"));

  ASSERT_TRUE(setOpenAtLogin(true, "/opt/my apps/glimmet", environment));
  EXPECT_TRUE(isOpenAtLogin(environment));
  const std::string text = readText(entry);
  EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=Glimmet\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/my apps/glimmet\" run\n"), std::string::npos) << text;
  struct stat info {};
  ASSERT_EQ(::stat(entry.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  // On while on rewrites the same entry.
  ASSERT_TRUE(setOpenAtLogin(true, "/opt/my apps/glimmet", environment));
  EXPECT_EQ(readText(entry), text);

  ASSERT_TRUE(setOpenAtLogin(false, "/opt/my apps/glimmet", environment));
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_FALSE(isOpenAtLogin(environment));

  // The characters a desktop entry's quoted argument escapes, and a doubled percent sign.
  EXPECT_NE(autostartDesktopEntry(R"(/x/a"b`c$d\e%f)").find(R"(Exec="/x/a\"b\`c\$d\\e%%f" run)"),
            std::string::npos)
      << autostartDesktopEntry(R"(/x/a"b`c$d\e%f)");
}

TEST(LoginItemTest, AFolderThatCannotBeMadeIsAClearFailure) {
  TempDir home;
  testing::writeText(home.file("config"), "a file where the configuration folder should be");
  const Environment environment(
      {{"HOME", home.path()}, {"XDG_CONFIG_HOME", home.path() + "/config"}});
  const Status status = setOpenAtLogin(true, "/usr/bin/glimmet", environment);
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().find("config"), std::string::npos) << status.error();
  EXPECT_FALSE(isOpenAtLogin(environment));
}

}  // namespace
}  // namespace glimmet
