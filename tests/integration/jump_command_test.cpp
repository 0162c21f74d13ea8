// `glimmet jump ID --dry-run` and the jumps `glimmet inbox --json` shows, run as the real
// program on an event file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

using nlohmann::json;

class JumpCommandTest : public ::testing::Test {
 protected:
  JumpCommandTest() {
    writeText(dir_.file("notes.txt"), "notes\n");
    const std::string existing = dir_.file("notes.txt");
    const std::vector<json> events = {
        {{"event_id", "to-file"},
         {"source", "some-agent"},
         {"event_type", "task_completed"},
         {"title", "Existing file"},
         {"timestamp", "2026-05-11T08:00:00Z"},
         {"jump_target", {{"kind", "file"}, {"path", existing}, {"line", 12}}}},
        {{"event_id", "to-missing"},
         {"source", "some-agent"},
         {"event_type", "task_completed"},
         {"title", "Missing file"},
         {"timestamp", "2026-05-11T08:01:00Z"},
         {"jump_target", dir_.file("missing.txt")}},
        {{"event_id", "to-script"},
         {"source", "some-agent"},
         {"event_type", "task_completed"},
         {"title", "Script link"},
         {"timestamp", "2026-05-11T08:02:00Z"},
         {"jump_target", "javascript:alert(1)"}},
        {{"event_id", "nowhere"},
         {"source", "some-agent"},
         {"event_type", "task_completed"},
         {"title", "No target"},
         {"timestamp", "2026-05-11T08:03:00Z"}},
    };
    std::string lines;
    for (const auto& event : events) lines += event.dump() + "\n";
    writeText(dir_.file("events.jsonl"), lines);
  }

  struct Result {
    int exitCode;
    std::string output;
  };
  // `searchPath` goes in front of the usual PATH, for stand-ins of the desktop's programs.
  Result run(std::vector<std::string> args, const std::string& searchPath = {}) const {
    args.insert(args.begin(), GLIMMET_BINARY);
    auto environment = isolatedEnvironment(dir_.path(), dir_.file("events.jsonl"));
    for (auto& entry : environment) {
      if (entry.starts_with("PATH=") && !searchPath.empty()) {
        entry = "PATH=" + searchPath + ":" + entry.substr(5);
      }
    }
    auto child = runToCompletion(args, environment);
    return {child.exitCode(), child.output()};
  }
  json jumpJSON(const std::string& id) const {
    const auto result = run({"jump", id, "--dry-run", "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return json::parse(result.output, nullptr, false);
  }

  TempDir dir_;
};

TEST_F(JumpCommandTest, DryRunPrintsTheDerivedJump) {
  EXPECT_EQ(jumpJSON("to-file"), json::parse(R"({"available": true, "label": "Open file",
      "quality": "workspace_level", "action": "open_file",
      "target": {"kind": "file", "path": ")" +
                                             dir_.file("notes.txt") + R"(", "line": 12}})"));
  EXPECT_EQ(jumpJSON("to-missing"), json::parse(R"({"available": false, "label": "Configure",
      "quality": "unavailable", "action": "configure", "reason": "File does not exist.",
      "target": {"kind": "file", "path": ")" + dir_.file("missing.txt") +
                                                R"("}})"));
  EXPECT_EQ(jumpJSON("to-script"), json::parse(R"j({"available": false, "label": "Configure",
      "quality": "unavailable", "action": "configure", "reason": "URL scheme is not allowed.",
      "target": {"kind": "url", "url": "javascript:alert(1)"}})j"));

  const auto text = run({"jump", "to-file", "--dry-run"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.output.find("label: Open file\n"), std::string::npos) << text.output;
  EXPECT_NE(text.output.find("quality: workspace_level\n"), std::string::npos) << text.output;
  EXPECT_NE(text.output.find("action: open_file\n"), std::string::npos) << text.output;
  EXPECT_EQ(text.output.find("reason:"), std::string::npos) << text.output;
  EXPECT_NE(run({"jump", "to-missing", "--dry-run"}).output.find("reason: File does not exist.\n"),
            std::string::npos);

  const auto none = run({"jump", "nowhere", "--dry-run"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.output.find("No jump target is available"), std::string::npos) << none.output;
  const auto unknown = run({"jump", "no-such-event", "--dry-run", "--json"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.output.find("no event no-such-event"), std::string::npos) << unknown.output;

  EXPECT_EQ(run({"jump", "--dry-run"}).exitCode, 2);
  EXPECT_EQ(run({"jump", "to-file", "--dry-run", "--fast"}).exitCode, 2);
}

// Without --dry-run the jump opens as the Jump button would: the file through xdg-open, which a
// stand-in first on PATH records; a target the resolver refused opens nothing.
TEST_F(JumpCommandTest, JumpOpensTheFileWithTheDesktopOpener) {
  TempDir bin;
  const std::string log = bin.file("calls.log");
  writeText(bin.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + log + "'\n");
  ASSERT_EQ(::chmod(bin.file("xdg-open").c_str(), 0755), 0);

  const auto opened = run({"jump", "to-file"}, bin.path());
  EXPECT_EQ(opened.exitCode, 0) << opened.output;
  EXPECT_NE(opened.output.find("Opened workspace\n"), std::string::npos) << opened.output;
  EXPECT_EQ(readText(log), dir_.file("notes.txt") + "\n");

  const auto refused = run({"jump", "to-script"}, bin.path());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("Jump target is unavailable"), std::string::npos) << refused.output;
  EXPECT_EQ(readText(log), dir_.file("notes.txt") + "\n");
}

TEST_F(JumpCommandTest, InboxShowsEachMessagesJump) {
  const auto result = run({"inbox", "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const json messages = json::parse(result.output, nullptr, false);
  ASSERT_TRUE(messages.is_array()) << result.output;
  std::map<std::string, json> jumps;
  for (const auto& message : messages) jumps[message.at("title")] = message.at("jump");
  EXPECT_EQ(jumps.at("Existing file"), json::parse(R"({"available": true, "label": "Open file",
      "quality": "workspace_level", "action": "open_file"})"));
  EXPECT_EQ(jumps.at("Script link").at("reason"), "URL scheme is not allowed.");
  EXPECT_EQ(jumps.at("Missing file").at("label"), "Configure");
  EXPECT_TRUE(jumps.at("No target").is_null());
}

}  // namespace
}  // namespace glimmet::testing
