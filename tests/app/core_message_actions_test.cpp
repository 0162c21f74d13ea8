// Message actions through the core's typed commands: the result a front end gets and the
// status banner the panel shows.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/core.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::TempDir;

TEST(CoreMessageActions, ChoicesReportInTheResultAndTheBanner) {
  TempDir dir;
  const std::string response = dir.file("answers/response.json");
  glimmet::testing::writeText(
      dir.file("events.jsonl"),
      R"({"event_id":"c1","source":"codex","event_type":"waiting_input","session_id":"s1",)"
      R"("title":"Which database?","timestamp":"2026-05-11T12:00:00Z",)"
      R"("options":[{"id":"pg","label":"Postgres"}],"response":{"response_file":")" +
          response + R"("}})" + "\n" +
          R"({"event_id":"k1","source":"codex","event_type":"waiting_input","session_id":"s2",)"
          R"("title":"Via socket","timestamp":"2026-05-11T12:01:00Z",)"
          R"("options":[{"id":"a","label":"A"}],"response":{"socket_path":"/tmp/k.sock"}})"
          "\n");
  Environment environment;
  environment.set("HOME", dir.file("home"));
  environment.set("XDG_DATA_HOME", dir.file("data"));
  environment.set("XDG_CONFIG_HOME", dir.file("config"));
  environment.set("GLIMMET_EVENT_FILE", dir.file("events.jsonl"));
  Core core(environment, true);
  core.store().reload(true);
  auto run = [&](AppCommand command) {
    CommandResult result;
    core.send(std::move(command), [&](const CommandResult& done) { result = done; });
    return result;
  };
  auto banner = [&] {
    const auto snapshot = core.snapshot();
    return snapshot->statusBanner ? snapshot->statusBanner->text : std::string("(none)");
  };

  const auto missing = run(Command::PerformMessageAction{"c1", "choose_option:mysql"});
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(banner(), "Response failed: option missing");
  EXPECT_FALSE(std::filesystem::exists(response));

  const auto socket = run(Command::ChooseMessageOption{"k1", "a", "soon"});
  EXPECT_FALSE(socket.ok);
  EXPECT_EQ(socket.message, "This response channel is declared but not implemented in this build.");
  EXPECT_EQ(
      banner(),
      "Response failed: This response channel is declared but not implemented in this build.");

  const auto sent = run(Command::PerformMessageAction{"c1", "choose_option:pg"});
  EXPECT_TRUE(sent.ok);
  EXPECT_EQ(sent.message, "Response sent");
  EXPECT_EQ(banner(), "Response sent");
  EXPECT_TRUE(std::filesystem::exists(response));

  const auto unknown = run(Command::PerformMessageAction{"k1", "dance"});
  EXPECT_EQ(unknown.message, "\"dance\" is not available for this message");
  EXPECT_EQ(banner(), unknown.message);
  EXPECT_EQ(run(Command::SendMessageInput{"gone", "x"}).message, "No message gone");
}

}  // namespace
}  // namespace glimmet
