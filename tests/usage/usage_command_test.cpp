// `glimmet usage` run as a child on a temporary home whose event file holds bridge lines with
// usage objects, and whose search path holds a stand-in `codex` command and nothing else.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "base/time.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

using nlohmann::json;

class UsageCommandTest : public ::testing::Test {
 protected:
  UsageCommandTest() {
    std::filesystem::create_directories(dir_.file("home"));
    std::filesystem::create_directories(dir_.file("bin"));
    std::filesystem::create_directories(dir_.file("share"));
    writeText(dir_.file("bin/codex"), "#!/bin/sh\nexit 0\n");
    ::chmod(dir_.file("bin/codex").c_str(), 0755);
    const std::string now = formatIso8601(systemNow());
    // Codex CLI's rollout figures, with the notify bridge never installed; Claude Code's usage
    // from its hooks, with Claude Code not installed at all.
    const json rollout = {{"event_id", "rollout-1"},
                          {"source", "codex"},
                          {"session_id", "s1"},
                          {"notify_policy", "usage_only"},
                          {"timestamp", now},
                          {"usage",
                           {{"data_source", "rollout"},
                            {"observed_at", now},
                            {"five_hour_percent", 42},
                            {"weekly_percent", 18},
                            {"limit_5h_reset", "2099-01-03T10:00:00Z"},
                            {"input_tokens", 1500}}}};
    const json hook = {
        {"event_id", "hook-1"}, {"source", "claude-code"},
        {"session_id", "s2"},   {"notify_policy", "usage_only"},
        {"timestamp", now},     {"usage", {{"five_hour_percent", 10}, {"context_percent", 20}}}};
    writeText(eventFile(), rollout.dump() + "\n" + hook.dump() + "\n");
  }

  std::string eventFile() const { return dir_.file("events.jsonl"); }

  std::pair<int, std::string> glimmet(const std::vector<std::string>& args,
                                      const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> argv = {GLIMMET_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    auto environment = isolatedEnvironment(dir_.path(), eventFile());
    environment.back() = "PATH=" + dir_.file("bin");
    environment.push_back("XDG_DATA_DIRS=" + dir_.file("share"));
    environment.push_back("TZ=UTC");
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto child = runToCompletion(argv, environment);
    return {child.exitCode(), child.output()};
  }

  static const json& row(const json& rows, const std::string& id) {
    for (const auto& entry : rows) {
      if (entry.at("toolID") == id) return entry;
    }
    ADD_FAILURE() << "no row " << id;
    static const json none;
    return none;
  }

  TempDir dir_;
};

TEST_F(UsageCommandTest, JsonShowsEveryToolWithItsReasonSnapshotAndLabels) {
  const auto [exitCode, output] = glimmet({"usage", "--json"});
  ASSERT_EQ(exitCode, 0) << output;
  const json rows = json::parse(output, nullptr, false);
  ASSERT_TRUE(rows.is_array()) << output;
  EXPECT_EQ(rows.size(), 25u);

  // The only eligible tool comes first.
  const json& codex = rows.at(0);
  EXPECT_EQ(codex.at("toolID"), "codex-cli");
  EXPECT_EQ(codex.at("eligible"), true);
  EXPECT_EQ(codex.at("reason"), "eligible");
  EXPECT_EQ(codex.at("badge"), "Rollout usage active");
  EXPECT_EQ(codex.at("integrationHealthy"), false);
  EXPECT_EQ(codex.at("source"), "rollout");
  EXPECT_EQ(codex.at("stale"), false);
  EXPECT_EQ(codex.at("fiveHourPercent"), 42.0);
  EXPECT_EQ(codex.at("weeklyPercent"), 18.0);
  EXPECT_EQ(codex.at("label"), "5h 42% used · 7d 18% used");
  EXPECT_EQ(codex.at("topQuota"), "5h 42% · 7d 18%");
  EXPECT_EQ(codex.at("resetLabel"), "Jan 3, 2099");
  EXPECT_EQ(codex.at("tokensLabel"), "1.5k in");
  EXPECT_TRUE(codex.at("contextPercent").is_null());
  EXPECT_TRUE(codex.at("observedAt").is_string());

  const json& claude = row(rows, "claude-code");
  EXPECT_EQ(claude.at("eligible"), false);
  EXPECT_EQ(claude.at("reason"), "integrationMissing");
  EXPECT_EQ(claude.at("badge"), "Install tool first");
  for (const char* key : {"source", "observedAt", "label", "resetLabel", "fiveHourPercent",
                          "weeklyPercent", "contextPercent", "tokensLabel"}) {
    EXPECT_TRUE(claude.at(key).is_null()) << key;
  }
  EXPECT_EQ(row(rows, "claude-app").at("reason"), "jumpOnly");
  for (const auto& entry : rows) {
    if (entry.at("toolID") != "codex-cli") {
      EXPECT_EQ(entry.at("eligible"), false) << entry;
    }
  }
}

TEST_F(UsageCommandTest, TextNamesTheCarouselAndTheUserCanSwitchAToolOff) {
  auto [exitCode, output] = glimmet({"usage"});
  ASSERT_EQ(exitCode, 0) << output;
  EXPECT_EQ(output.rfind("Usage carousel: Codex\n", 0), 0u) << output;
  EXPECT_NE(output.find("Codex CLI (codex-cli) — Rollout usage active\n  eligible · "
                        "officialPush\n  5h 42% used · 7d 18% used · resets Jan 3, 2099\n"
                        "  rollout, observed "),
            std::string::npos)
      << output;

  std::filesystem::create_directories(dir_.file("config/Glimmet"));
  writeText(dir_.file("config/Glimmet/defaults.json"), R"({"disabledToolIDs":["codex-cli"]})");
  std::tie(exitCode, output) = glimmet({"usage"});
  ASSERT_EQ(exitCode, 0) << output;
  EXPECT_EQ(output.rfind("Usage carousel: empty (no tool is eligible)\n", 0), 0u) << output;
  EXPECT_NE(output.find("Codex CLI (codex-cli) — Disabled in Glimmet\n  notEnabled"),
            std::string::npos)
      << output;

  std::tie(exitCode, output) = glimmet({"usage", "--yaml"});
  EXPECT_EQ(exitCode, 2);
  EXPECT_NE(output.find("unknown option --yaml"), std::string::npos) << output;
}

// Gemini CLI's own chat transcripts, in its home or in the one GEMINI_CLI_HOME names: token
// figures only, and with Gemini CLI installed they are live usage without any wrapper.
TEST_F(UsageCommandTest, GeminiTranscriptGivesTokenFiguresWithoutQuota) {
  writeText(dir_.file("bin/gemini"), "#!/bin/sh\nexit 0\n");
  ::chmod(dir_.file("bin/gemini").c_str(), 0755);
  const std::string now = formatIso8601(systemNow() - std::chrono::seconds{60});
  const json metadata = {{"sessionId", "5d1e"},
                         {"projectHash", std::string(64, 'b')},
                         {"startTime", now},
                         {"lastUpdated", now},
                         {"kind", "main"}};
  const auto reply = [&](const char* id, int input) {
    return json{{"id", id},
                {"timestamp", now},
                {"type", "gemini"},
                {"content", "done"},
                {"tokens",
                 {{"input", input},
                  {"output", 300},
                  {"cached", 1000},
                  {"thoughts", 40},
                  {"tool", 0},
                  {"total", input + 340}}},
                {"model", "gemini-2.5-pro"}};
  };
  // The first reply is written twice, the second time complete with its usage.
  const std::string transcript = metadata.dump() + "\n" + reply("m1", 1).dump() + "\n" +
                                 reply("m1", 2000).dump() + "\n" + reply("m2", 500).dump() + "\n";
  const auto tokensRow = [this](const std::vector<std::string>& environment) {
    const auto [exitCode, output] = glimmet({"usage", "--json"}, environment);
    EXPECT_EQ(exitCode, 0) << output;
    const json rows = json::parse(output, nullptr, false);
    EXPECT_TRUE(rows.is_array()) << output;
    return rows.is_array() ? row(rows, "gemini-cli") : json();
  };

  const std::string chats = dir_.file("home/.gemini/tmp/app/chats");
  std::filesystem::create_directories(chats);
  writeText(chats + "/session-2026-12-06T10-00-5d1e0000.jsonl", transcript);
  json gemini = tokensRow({});
  EXPECT_EQ(gemini.at("eligible"), true) << gemini;
  EXPECT_EQ(gemini.at("reason"), "eligible");
  EXPECT_EQ(gemini.at("badge"), "Transcript usage active");
  EXPECT_EQ(gemini.at("source"), "transcript");
  EXPECT_EQ(gemini.at("stale"), false);
  EXPECT_EQ(gemini.at("tokensLabel"), "2.5k in");
  EXPECT_EQ(gemini.at("tokensDetail"), "600 out · 2.0k cache read · 80 reasoning · 3.2k total");
  for (const char* key :
       {"fiveHourPercent", "dailyPercent", "weeklyPercent", "topQuota", "resetLabel"}) {
    EXPECT_TRUE(gemini.at(key).is_null()) << key;
  }

  std::filesystem::remove_all(dir_.file("home/.gemini"));
  EXPECT_TRUE(tokensRow({}).at("tokensLabel").is_null());
  const std::string moved = dir_.file("profile/.gemini/tmp/app/chats");
  std::filesystem::create_directories(moved);
  writeText(moved + "/session-2026-12-06T10-00-5d1e0000.jsonl", transcript);
  gemini = tokensRow({"GEMINI_CLI_HOME=" + dir_.file("profile")});
  EXPECT_EQ(gemini.at("tokensLabel"), "2.5k in") << gemini;
}

}  // namespace
}  // namespace glimmet::testing
