#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.hpp"
#include "usage/hotplug_loader.hpp"

namespace glimmet {
namespace {

using namespace std::chrono_literals;
using testing::fixturePath;
using testing::readText;
using testing::TempDir;
using testing::writeText;

std::string inDirectory(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  return path;
}

TEST(LocalHotplugLoader, CombinesTheThreeToolsInOrder) {
  TempDir root;
  const auto now = systemNow();
  // The pending call's time moved to now, so the real rollout counts as a fresh wait.
  std::string rollout = readText(fixturePath("hotplug/codex-escalation-pending.rollout.jsonl"));
  rollout +=
      Json{{"timestamp", formatIso8601(now - 1min)},
           {"type", "response_item"},
           {"payload",
            {{"type", "function_call"},
             {"name", "exec_command"},
             {"arguments", R"({"cmd":"rm -rf build","sandbox_permissions":"require_escalated"})"},
             {"call_id", "call_now"}}}}
          .dump() +
      "\n";
  writeText(inDirectory(root.file("sessions/2026/12/05/rollout-2026-12-05T17-23-21-"
                                  "01a2473b-58e4-7632-b261-91d4b0aff75a.jsonl")),
            rollout);
  writeText(inDirectory(root.file("cursor/Users-dev-shop/agent-transcripts/c1.jsonl")),
            readText(fixturePath("hotplug/cursor-agent-transcript.jsonl")));
  writeText(inDirectory(root.file("trae/window1/renderer.log")),
            formatIso8601(now - 1min) +
                R"( [info] [TraeCodeCompleteShown] params: {"agent_id":"ide","session_id":"t"})" +
                "\n");

  LocalToolRoots roots;
  roots.codexSessionsRoot = root.file("sessions");
  roots.claudeProjectsRoot = root.file("claude");
  roots.cursorProjectsRoot = root.file("cursor");
  roots.traeLogsRoot = root.file("trae");
  const auto events = loadLocalHotplugEvents(roots, now);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].id, "hotplug-codex-permission-call_now");
  EXPECT_EQ(events[0].message, "rm -rf build");
  EXPECT_EQ(events[1].source, "cursor-ide");
  EXPECT_EQ(events[2].source, "trae-ide");

  // Missing and unset roots contribute nothing and break nothing.
  LocalToolRoots missing;
  missing.codexSessionsRoot = root.file("no-sessions");
  missing.traeLogsRoot = root.file("renderer.log");
  EXPECT_TRUE(loadLocalHotplugEvents(missing, now).empty());
  EXPECT_TRUE(loadLocalHotplugEvents(LocalToolRoots{}, now).empty());
}

}  // namespace
}  // namespace glimmet
