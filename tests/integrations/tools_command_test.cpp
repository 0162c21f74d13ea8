// Drives the built `glimmet` program as a child, the way a user's shell does, on a temporary
// home whose search path holds none of the tools' commands.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "integrations/app_locations.hpp"
#include "model/tool_catalog.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

struct CommandRun {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};

class ToolsCommandTest : public ::testing::Test {
 protected:
  ToolsCommandTest() {
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(pathDirectory());
  }

  std::string home() const { return dir_.file("home"); }
  std::string pathDirectory() const { return dir_.file("path"); }

  std::string dataDirectory() const { return dir_.file("share"); }

  // Only HOME, PATH and XDG_DATA_DIRS: the developer's own environment and installed
  // applications never reach the child.
  CommandRun glimmet(const std::string& arguments, const std::string& extraEnvironment = "") const {
    const std::string out = dir_.file("out.txt");
    const std::string command = "env -i HOME='" + home() + "' PATH='" + pathDirectory() +
                                "' XDG_DATA_DIRS='" + dataDirectory() + "' " + extraEnvironment +
                                " '" + GLIMMET_BINARY + "' " + arguments + " >'" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(out)};
  }

  Json toolsJson(const std::string& extraEnvironment = "") const {
    const CommandRun run = glimmet("tools --json", extraEnvironment);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return Json::parse(run.output);
  }

  static const Json& row(const Json& rows, std::string_view id) {
    for (const auto& entry : rows) {
      if (entry["id"] == id) return entry;
    }
    ADD_FAILURE() << "no row " << id;
    return rows[0];
  }

  TempDir dir_;
};

TEST_F(ToolsCommandTest, NothingInstalledGivesTwentyFiveMissingRows) {
  const Json rows = toolsJson();
  ASSERT_EQ(rows.size(), 25u);
  size_t unsupported = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& item = aiToolCatalog()[i];
    EXPECT_EQ(rows[i]["id"], item.id);
    EXPECT_EQ(rows[i]["status"], "Not installed") << item.id;
    EXPECT_EQ(rows[i]["detected"], false) << item.id;
    const std::string detail = rows[i]["detail"];
    if (rows[i]["platformSupported"] == false) {
      ++unsupported;
      EXPECT_EQ(detail, "Not available on " + std::string(platformName(kBuildPlatform)));
    } else if (isWrapperTool(item.id)) {
      // Gemini CLI reports through its hooks; the wrapper is its fallback for older versions.
      EXPECT_EQ(detail, item.id == "gemini-cli"
                            ? "Install or repair Gemini CLI hooks"
                            : "Install wrapper bridge to record " + item.name + " runs");
      EXPECT_TRUE(rows[i]["path"].get<std::string>().ends_with(" · glimmet-wrap"));
    }
  }
  EXPECT_EQ(row(rows, "claude-code")["detail"], "Install or repair Claude Code hooks");
  EXPECT_EQ(row(rows, "codex-cli")["detail"], "Install or repair Codex CLI notify and hooks");
  EXPECT_EQ(row(rows, "opencode-cli")["detail"],
            "Install the OpenCode plugin to record session usage");
  EXPECT_EQ(row(rows, "codex-app")["primaryAction"], "");
  EXPECT_EQ(row(rows, "trae-ide")["primaryAction"],
            kBuildPlatform == Platform::macOS ? "Download" : "");
  EXPECT_EQ(unsupported, kBuildPlatform == Platform::macOS ? 0u : 6u);

  const CommandRun text = glimmet("tools");
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_TRUE(contains(text.output,
                       "Claude · Claude Code\n  Not installed — Install or repair Claude Code "
                       "hooks\n  ~/.claude/settings.json\n"))
      << text.output;
  // Three lines per tool (two when it has no build here, so no path), and an action line for
  // each tool whose vendor page offers a download.
  size_t downloads = 0;
  for (const auto& entry : rows) downloads += entry["primaryAction"] == "Download";
  EXPECT_EQ(downloads, kBuildPlatform == Platform::macOS ? 13u : 10u);
  EXPECT_EQ(split(text.output, '\n').size() - 1, 25u * 3 - unsupported + downloads);
}

TEST_F(ToolsCommandTest, LinuxDesktopEntryAndLauncherAreDetected) {
  if (kBuildPlatform != Platform::Linux) GTEST_SKIP() << "Linux rules";
  const std::string dataHome = dir_.file("data-home");
  const std::string cursor = dataHome + "/applications/cursor.desktop";
  std::filesystem::create_directories(dataHome + "/applications");
  writeText(cursor, "[Desktop Entry]\nType=Application\nName=Cursor\nExec=cursor %F\n");
  const std::string code = pathDirectory() + "/code";
  writeText(code, "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(code, std::filesystem::perms::owner_all);
  // A Hidden entry of the system's is an uninstalled application.
  std::filesystem::create_directories(dataDirectory() + "/applications");
  writeText(dataDirectory() + "/applications/windsurf.desktop",
            "[Desktop Entry]\nExec=windsurf\nHidden=true\n");

  const Json rows = toolsJson("XDG_DATA_HOME='" + dataHome + "'");
  ASSERT_EQ(rows.size(), 25u);
  EXPECT_EQ(row(rows, "cursor-ide")["detected"], true);
  EXPECT_EQ(row(rows, "cursor-ide")["path"], cursor);
  EXPECT_EQ(row(rows, "cursor-ide")["primaryAction"], "Jump");
  EXPECT_EQ(row(rows, "vscode-host")["detected"], true);
  EXPECT_EQ(row(rows, "vscode-host")["path"], code);
  EXPECT_EQ(row(rows, "windsurf")["detected"], false);
  EXPECT_EQ(row(rows, "windsurf")["path"], dataHome + "/applications/windsurf.desktop");
  for (const auto& entry : rows) {
    EXPECT_TRUE(entry["platformSupported"].is_boolean()) << entry["id"];
    EXPECT_FALSE(contains(entry["path"].get<std::string>(), "/Applications")) << entry["id"];
    if (entry["platformSupported"] == false) {
      EXPECT_EQ(entry["detail"], "Not available on Linux") << entry["id"];
      EXPECT_EQ(entry["path"], "") << entry["id"];
      EXPECT_EQ(entry["primaryAction"], "") << entry["id"];
    }
  }
  for (const auto* id :
       {"claude-app", "codex-app", "cursor-glass", "trae-ide", "trae-solo", "kimi-app-web"}) {
    EXPECT_EQ(row(rows, id)["platformSupported"], false) << id;
  }
}

TEST_F(ToolsCommandTest, InstallMakesClaudeHealthyAndAnEditedScriptNeedsRepair) {
  const std::string claude = pathDirectory() + "/claude";
  writeText(claude, "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(claude, std::filesystem::perms::owner_all);

  const CommandRun preview = glimmet("install claude-code --preview");
  EXPECT_EQ(preview.exitCode, 0);
  EXPECT_TRUE(preview.output.starts_with("Claude Code bridge install preview\n")) << preview.output;
  EXPECT_TRUE(contains(preview.output, "--- " + home() + "/.claude/settings.json"));
  EXPECT_FALSE(std::filesystem::exists(home() + "/.glimmet"));
  EXPECT_EQ(row(toolsJson(), "claude-code")["status"], "Needs repair");

  const CommandRun install = glimmet("install claude-code");
  EXPECT_EQ(install.exitCode, 0);
  EXPECT_EQ(install.output, "Claude Code bridge installed\n");
  Json rows = toolsJson();
  EXPECT_EQ(row(rows, "claude-code")["status"], "Healthy");
  EXPECT_EQ(row(rows, "claude-code")["detail"], "Hooks write local Glimmet events");
  EXPECT_EQ(row(rows, "claude-code")["primaryAction"], "");

  const std::string statusLine = home() + "/.glimmet/bin/glimmet-claude-statusline";
  writeText(statusLine, readText(statusLine) + "\n# local tweak\n");
  rows = toolsJson();
  EXPECT_EQ(row(rows, "claude-code")["status"], "Needs repair");
  EXPECT_EQ(row(rows, "claude-code")["primaryAction"], "Repair");

  // Repair puts the current text back.
  EXPECT_EQ(glimmet("install claude").output, "Claude Code bridge installed\n");
  EXPECT_EQ(row(toolsJson(), "claude-code")["status"], "Healthy");
}

TEST_F(ToolsCommandTest, FailuresAreReported) {
  writeText(home() + "/.codex", "a file, not a directory");
  const CommandRun failed = glimmet("install codex-cli");
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_TRUE(failed.output.starts_with("Install failed: Cannot create " + home() + "/.codex"))
      << failed.output;
  EXPECT_TRUE(std::filesystem::exists(home() + "/.glimmet/bin/glimmet-event"));

  const CommandRun unknown = glimmet("install no-such-tool");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(contains(unknown.output, "unknown tool no-such-tool"));
  EXPECT_EQ(glimmet("tools --yaml").exitCode, 2);
}

}  // namespace
}  // namespace glimmet
