#include "model/paths.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

Environment environmentWith(std::map<std::string, std::string, std::less<>> variables) {
  return Environment(std::move(variables));
}

TEST(PathsTest, DefaultsComeFromTheHomeDirectoryAndBlankOverridesAreIgnored) {
  const auto env = environmentWith(
      {{"HOME", "/home/dev"}, {"GLIMMET_EVENT_FILE", "  \n "}, {"GLIMMET_HOME", ""}});
  const Paths paths = resolvePaths(env, false);
  EXPECT_EQ(paths.eventFile, "/home/dev/.local/share/Glimmet/events.jsonl");
  EXPECT_EQ(paths.socketPath, "/home/dev/.glimmet/glimmet.sock");
  EXPECT_EQ(paths.opencodeConfigRoot, "/home/dev/.config/opencode");

  const auto overridden = environmentWith({{"HOME", "/home/dev"},
                                           {"XDG_DATA_HOME", "/data"},
                                           {"XDG_CONFIG_HOME", "/cfg"},
                                           {"GLIMMET_EVENT_FILE", " /tmp/e.jsonl\n"},
                                           {"GLIMMET_HOME", "/g"},
                                           {"GLIMMET_CODEX_SESSIONS_DIR", "/codex"}});
  const Paths custom = resolvePaths(overridden, false);
  EXPECT_EQ(custom.eventFile, "/tmp/e.jsonl");
  EXPECT_EQ(custom.appSupportDirectory, "/data/Glimmet");
  EXPECT_EQ(custom.socketPath, "/g/glimmet.sock");
  EXPECT_EQ(custom.bridgeDirectory, "/g/bin");
  EXPECT_EQ(
      resolvePaths(environmentWith({{"HOME", "/h"}, {"GLIMMET_BIN", " /opt/glimmet/bin "}}), false)
          .bridgeDirectory,
      "/opt/glimmet/bin");
  EXPECT_EQ(custom.codexSessionsRoot, "/codex");
  EXPECT_EQ(custom.opencodeConfigRoot, "/cfg/opencode");
  EXPECT_EQ(resolvePaths(
                environmentWith(
                    {{"HOME", "/h"}, {"OPENCODE_CONFIG_DIR", "/oc"}, {"XDG_CONFIG_HOME", "/cfg"}}),
                false)
                .opencodeConfigRoot,
            "/oc");
}

TEST(PathsTest, IsolationKeepsOffTheUsersToolDirectories) {
  const auto test = environmentWith({{"HOME", "/home/dev"},
                                     {"GLIMMET_TEST_MODE", "1"},
                                     {"GLIMMET_CLAUDE_PROJECTS_DIR", "/fixtures/claude"}});
  EXPECT_TRUE(isolationFlagFromEnvironment(test));
  const Paths paths = resolvePaths(test, true);
  EXPECT_FALSE(paths.codexSessionsRoot);
  EXPECT_FALSE(paths.cursorProjectsRoot);
  EXPECT_FALSE(paths.traeTrajectoryRoot);
  EXPECT_FALSE(paths.traeLogsRoot);
  EXPECT_EQ(paths.claudeProjectsRoot, "/fixtures/claude");

  EXPECT_FALSE(isolationFlagFromEnvironment(
      environmentWith({{"GLIMMET_TEST_MODE", "1"}, {"GLIMMET_RENDER_LIVE_DATA", "1"}})));
  EXPECT_TRUE(isolationFlagFromEnvironment(environmentWith({{"GLIMMET_RENDER_FIXTURES", ""}})));
  EXPECT_TRUE(isolationFlagFromEnvironment(environmentWith({{"GLIMMET_RUN_SELF_TESTS", "1"}})));
  EXPECT_FALSE(isolationFlagFromEnvironment(environmentWith({{"GLIMMET_TEST_MODE", "true"}})));
}

TEST(PathsTest, TraeLogsRootIsTheNewestCandidateAndTheEarlierOneWinsTies) {
  testing::TempDir home;
  const std::string solo = home.file("Library/Application Support/Trae SOLO/logs");
  const std::string trae = home.file("Library/Application Support/Trae/logs");
  EXPECT_FALSE(defaultTraeLogsRoot(home.path()));
  std::filesystem::create_directories(solo);
  std::filesystem::create_directories(trae);
  const auto setTime = [](const std::string& path, time_t seconds) {
    utimbuf times{seconds, seconds};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  };
  setTime(solo, 1'700'000'000);
  setTime(trae, 1'700'000'100);
  EXPECT_EQ(defaultTraeLogsRoot(home.path()), trae);
  setTime(trae, 1'700'000'000);
  EXPECT_EQ(defaultTraeLogsRoot(home.path()), solo);
}

TEST(PathsTest, HelpersForNamesAndPackageIdentifiers) {
  EXPECT_EQ(basename("/"), "Workspace");
  EXPECT_EQ(basename("/w/project/"), "project");
  EXPECT_TRUE(isSafePackageID("cat-2.v1_x"));
  for (const char* unsafe : {"", "-cat", "Cat", "my cat", "../cat"}) {
    EXPECT_FALSE(isSafePackageID(unsafe)) << unsafe;
  }
}

}  // namespace
}  // namespace glimmet
