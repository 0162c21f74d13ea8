// `glimmet run` on the console: inbox messages numbered [m1], [m2], ... answered with typed
// commands, while a bare number still names a waiting request.

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

constexpr double kCommandDeadlineSeconds = 15;

TEST(ConsoleMessageCommands, ActAndChooseWorkOnTheNumbersOfThePrintedInbox) {
  TempDir dir;
  const std::string eventFile = dir.file("events.jsonl");
  const std::string decision = dir.file("answers/decision.json");
  const std::string response = dir.file("answers/response.json");
  writeText(eventFile,
            R"({"event_id":"p1","source":"claude_code","event_type":"permission_request",)"
            R"("session_id":"s1","title":"Run npm test","timestamp":"2026-05-11T12:00:00Z",)"
            R"("action":{"kind":"command","decision_file":")" +
                decision + R"("}})" + "\n" +
                R"({"event_id":"c1","source":"codex","event_type":"waiting_input",)"
                R"("session_id":"s2","title":"Which database?","timestamp":"2026-05-11T12:01:00Z",)"
                R"("options":[{"id":"pg","label":"Postgres"}],)"
                R"("response":{"response_file":")" +
                response + R"("}})" + "\n");
  auto glimmet = ChildProcess::spawn({GLIMMET_BINARY, "run"},
                                     isolatedEnvironment(dir.path(), eventFile), {}, true);
  ASSERT_TRUE(glimmet.waitForOutput("[m2] ", kCommandDeadlineSeconds)) << glimmet.output();
  // Which number each message got in the printed inbox.
  const std::string& printed = glimmet.output();
  const bool permissionFirst = printed.find("Run npm test") < printed.find("Which database?");
  const std::string permission = permissionFirst ? "m1" : "m2";
  const std::string choice = permissionFirst ? "m2" : "m1";

  glimmet.write("choose 1 pg\n");
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] no request #1\n", kCommandDeadlineSeconds))
      << glimmet.output();
  EXPECT_FALSE(std::filesystem::exists(response)) << "a bare number is a request's";

  glimmet.write("act " + permission + " authorize\n");
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] " + permission + ": Authorized request\n",
                                    kCommandDeadlineSeconds))
      << glimmet.output();
  EXPECT_EQ(nlohmann::json::parse(readText(decision)).at("decision"), "allow");

  // The answer reprinted the inbox; both messages are still listed in the same order.
  glimmet.write("choose " + choice + " pg looks right\n");
  ASSERT_TRUE(
      glimmet.waitForOutput("[Glimmet] " + choice + ": Response sent\n", kCommandDeadlineSeconds))
      << glimmet.output();
  const auto payload = nlohmann::json::parse(readText(response));
  EXPECT_EQ(payload.at("option_id"), "pg");
  EXPECT_EQ(payload.at("note"), "looks right");

  glimmet.write("help\n");
  ASSERT_TRUE(glimmet.waitForOutput("choose mN OPTION-ID [NOTE...]", kCommandDeadlineSeconds))
      << glimmet.output();

  ASSERT_EQ(::kill(glimmet.pid(), SIGTERM), 0);
  ASSERT_TRUE(glimmet.waitExit(10));
  EXPECT_EQ(glimmet.exitCode(), 0);
}

}  // namespace
}  // namespace glimmet::testing
