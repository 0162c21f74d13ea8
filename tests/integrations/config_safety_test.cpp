#include <sys/stat.h>

#include <gtest/gtest.h>

#include <toml++/toml.h>

#include <filesystem>
#include <map>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "hook_test_support.hpp"

namespace glimmet {
namespace {

using testing::backupsOf;
using testing::healthRow;
using testing::readText;
using testing::ticking;
using testing::ToolWorld;

toml::table parseToml(const std::string& path) {
  try {
    return toml::parse_file(path);
  } catch (const toml::parse_error& error) {
    ADD_FAILURE() << path << " is not valid TOML: " << error.description() << "\n"
                  << readText(path);
    return {};
  }
}

std::vector<std::string> notifyOf(const toml::table& config) {
  std::vector<std::string> command;
  if (const auto* array = config["notify"].as_array()) {
    for (const auto& element : *array) command.push_back(element.value_or(std::string()));
  }
  return command;
}

// The notify command the installer writes: the bridge, told where its Glimmet lives.
std::vector<std::string> installedNotify(const HookManager& manager) {
  return manager.codexNotifyCommand();
}

TEST(ConfigSafetyTest, InvalidJsonIsRefusedAndLeftUntouched) {
  struct Case {
    const char* name;
    std::string text;
    std::string why;
  };
  const Case cases[] = {
      {"comment", "{\n  \"model\": \"opus\" // the one I like\n}\n", "line 2"},
      {"trailing comma", "{\n  \"model\": \"opus\",\n  \"theme\": \"dark\",\n}\n", "line 4"},
      // Valid JSON syntax, but no double holds it: the parser reports it apart from syntax errors.
      {"number too large", "{\n  \"limit\": 1e400\n}\n", "a number too large"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    ToolWorld world;
    const HookManager manager = world.manager(ticking(5));
    ToolWorld::makeFile(manager.claudeSettings(), false, test.text);
    const Status claude = manager.install("claude-code");
    ASSERT_FALSE(claude.ok());
    EXPECT_EQ(claude.error(), manager.claudeSettings() + " is not valid JSON (" + test.why + ")");
    EXPECT_EQ(readText(manager.claudeSettings()), test.text);
    EXPECT_TRUE(backupsOf(manager.claudeSettings()).empty());
    EXPECT_FALSE(std::filesystem::exists(manager.claudeStatusLineChain()));

    // Codex's hooks file: refused before the configuration is touched either.
    const std::string config = "model = \"o3\"\n";
    ToolWorld::makeFile(manager.codexConfig(), false, config);
    ToolWorld::makeFile(manager.codexHooks(), false, test.text);
    const Status codex = manager.install("codex-cli");
    ASSERT_FALSE(codex.ok());
    EXPECT_EQ(codex.error(), manager.codexHooks() + " is not valid JSON (" + test.why + ")");
    EXPECT_EQ(readText(manager.codexHooks()), test.text);
    EXPECT_EQ(readText(manager.codexConfig()), config);
    EXPECT_TRUE(backupsOf(manager.codexConfig()).empty());
    EXPECT_TRUE(backupsOf(manager.codexHooks()).empty());
  }
}

TEST(ConfigSafetyTest, UserKeyOrderAndIndentationAreKept) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ToolWorld::makeFile(manager.claudeSettings(), false,
                      "{\n    \"z\": 1,\n    \"a\": {\n        \"y\": true,\n        \"b\": false\n"
                      "    },\n    \"m\": \"last\"\n}\n");
  ASSERT_TRUE(manager.install("claude-code").ok());
  const std::string text = readText(manager.claudeSettings());
  const auto settings = nlohmann::ordered_json::parse(text);
  std::vector<std::string> keys;
  for (const auto& [key, value] : settings.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"z", "a", "m", "hooks", "statusLine"}));
  std::vector<std::string> inner;
  for (const auto& [key, value] : settings["a"].items()) inner.push_back(key);
  EXPECT_EQ(inner, (std::vector<std::string>{"y", "b"}));
  EXPECT_TRUE(text.starts_with("{\n    \"z\": 1,\n    \"a\": {\n        \"y\": true,")) << text;
}

TEST(ConfigSafetyTest, InvalidTomlIsRefusedAndLeftUntouched) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(9));
  const std::string broken = "model = \"o3\"\nnotify = [\"a\"\n\n[features]\nx = true\n";
  ToolWorld::makeFile(manager.codexConfig(), false, broken);
  const Status status = manager.install("codex-cli");
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(status.error().starts_with(manager.codexConfig() + " is not valid TOML (line "))
      << status.error();
  EXPECT_EQ(readText(manager.codexConfig()), broken);
  EXPECT_TRUE(backupsOf(manager.codexConfig()).empty());
  EXPECT_FALSE(std::filesystem::exists(manager.codexHooks()));
  EXPECT_FALSE(std::filesystem::exists(manager.codexNotifyChain()));
}

TEST(ConfigSafetyTest, InlineTableAlreadyNamingTheFlagIsRefusedUntouched) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(3));
  const std::string config = "features = { hooks = false, x = true }\n";
  ToolWorld::makeFile(manager.codexConfig(), false, config);
  const Status status = manager.install("codex-cli");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), manager.codexConfig() +
                                ": cannot set features.hooks safely (features is an inline table)");
  EXPECT_EQ(readText(manager.codexConfig()), config);
  EXPECT_TRUE(backupsOf(manager.codexConfig()).empty());
  EXPECT_FALSE(std::filesystem::exists(manager.codexHooks()));
}

// Each way TOML can spell the same keys ends in a file that parses, with the notify bridge, the
// hooks feature and the user's own values in place.
TEST(ConfigSafetyTest, EveryTomlSpellingIsEditedIntoAValidFile) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> previousNotify;
  };
  const Case cases[] = {
      {"inline table", "model = \"o3\"\nfeatures = { x = true }\n\n[tui]\ntheme = \"dark\"\n", {}},
      {"inline table with a comment", "features = { x = true, y = 2 } # mine {}\n", {}},
      {"empty inline table", "features = {}\n", {}},
      {"dotted keys", "model = \"o3\"\nfeatures.x = true\nfeatures.hooks = false\n\n[tui]\n", {}},
      {"quoted notify key", "\"notify\" = [\"a\"]\n[features]\nx = true\n", {"a"}},
      {"literal quoted notify key", "'notify' = ['a', 'b']\nfeatures.x = true\n", {"a", "b"}},
      {"quoted table header", "[\"features\"]\nx = true\n", {}},
      {"deprecated flag in a dotted key", "features.codex_hooks = true\nfeatures.x = true\n", {}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    ToolWorld world;
    const HookManager manager = world.manager(ticking(1));
    ToolWorld::makeFile(manager.codexConfig(), false, test.text);
    const Status status = manager.install("codex-cli");
    ASSERT_TRUE(status.ok()) << status.error();
    const toml::table config = parseToml(manager.codexConfig());
    EXPECT_EQ(notifyOf(config), installedNotify(manager)) << readText(manager.codexConfig());
    EXPECT_EQ(config["features"]["hooks"].value<bool>(), true) << readText(manager.codexConfig());
    EXPECT_FALSE(config["features"]["codex_hooks"]) << readText(manager.codexConfig());
    if (contains(test.text, "x = true")) {
      EXPECT_EQ(config["features"]["x"].value<bool>(), true);
    }
    if (contains(test.text, "theme")) {
      EXPECT_EQ(config["tui"]["theme"].value<std::string>(), "dark");
    }
    if (contains(test.text, "model")) {
      EXPECT_EQ(config["model"].value<std::string>(), "o3");
    }
    if (contains(test.text, "# mine")) {
      EXPECT_TRUE(contains(readText(manager.codexConfig()), "# mine"));
    }
    if (!test.previousNotify.empty()) {
      const Json chain = Json::parse(readText(manager.codexNotifyChain()));
      EXPECT_EQ(chain["notify"].get<std::vector<std::string>>(), test.previousNotify);
    }
    EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  }
}

struct FileStamp {
  ino_t inode = 0;
  int64_t modified = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return {info.st_ino,
          static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// Every file an install touches, with the directory holding its backups.
std::map<std::string, FileStamp> stampsAfterInstall(const HookManager& manager) {
  std::map<std::string, FileStamp> stamps;
  for (const auto& file : {manager.claudeSettings(), manager.codexConfig(), manager.codexHooks(),
                           manager.opencodePlugin(), manager.claudeStatusLineChain(),
                           manager.codexNotifyChain(), manager.eventCommandPath(),
                           manager.claudeHookPath(), manager.codexHookPath(), manager.wrapPath()}) {
    stamps[file] = stampOf(file);
  }
  return stamps;
}

TEST(ConfigSafetyTest, InstallingTwiceWritesNothingTheSecondTime) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(100));
  ToolWorld::makeFile(manager.claudeSettings(), false,
                      R"({"statusLine":{"type":"command","command":"my-line"}})");
  ToolWorld::makeFile(manager.codexConfig(), false,
                      "notify = [\"my-notify\"]\nfeatures = { x = true }\n");
  ToolWorld::makeFile(manager.codexHooks(), false, "{}\n");
  for (const auto* tool : {"claude-code", "codex-cli", "opencode-cli"}) {
    ASSERT_TRUE(manager.install(tool).ok()) << tool;
  }
  const auto before = stampsAfterInstall(manager);
  const size_t settingsBackups = backupsOf(manager.claudeSettings()).size();
  const size_t configBackups = backupsOf(manager.codexConfig()).size();
  const size_t hooksBackups = backupsOf(manager.codexHooks()).size();

  for (const auto* tool : {"claude-code", "codex-cli", "opencode-cli"}) {
    ASSERT_TRUE(manager.install(tool).ok()) << tool;
  }
  EXPECT_EQ(stampsAfterInstall(manager), before);
  EXPECT_EQ(backupsOf(manager.claudeSettings()).size(), settingsBackups);
  EXPECT_EQ(backupsOf(manager.codexConfig()).size(), configBackups);
  EXPECT_EQ(backupsOf(manager.codexHooks()).size(), hooksBackups);
  EXPECT_TRUE(backupsOf(manager.opencodePlugin()).empty());
}

}  // namespace
}  // namespace glimmet
