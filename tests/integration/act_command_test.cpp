// `glimmet act`, run as a child process on a real event file: answers written where the
// agent waits for them, marks that outlive the process, and the exit codes scripts rely on.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

using nlohmann::json;

class ActCommandTest : public ::testing::Test {
 protected:
  struct Result {
    int exitCode;
    std::string output;  // standard output and error together
  };
  Result run(std::vector<std::string> args) const {
    args.insert(args.begin(), GLIMMET_BINARY);
    auto child = runToCompletion(args, isolatedEnvironment(dir_.path(), dir_.file("events.jsonl")));
    return {child.exitCode(), child.output()};
  }
  json inbox() const { return json::parse(run({"inbox", "--json"}).output, nullptr, false); }
  std::vector<json> auditLines() const {
    std::vector<json> lines;
    const std::string path = dir_.file("data/Glimmet/audit.jsonl");
    if (!std::filesystem::exists(path)) return lines;
    for (const auto& line : splitLines(readText(path))) lines.push_back(json::parse(line));
    return lines;
  }
  std::vector<std::string> entries(const std::string& directory) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir_;
};

TEST_F(ActCommandTest, AuthorizeWritesTheDecisionFileAndMarksTheMessageRead) {
  const std::string decision = dir_.file("agent/answers/decision.json");
  writeText(dir_.file("events.jsonl"),
            R"({"event_id":"p1","source":"claude_code","event_type":"permission_request",)"
            R"("session_id":"s1","title":"Run npm test","timestamp":"2026-05-11T12:00:00Z",)"
            R"("action":{"kind":"command","decision_file":")" +
                decision + R"("}})" + "\n" +
                R"({"event_id":"p2","source":"claude_code","event_type":"permission_request",)"
                R"("session_id":"s2","title":"Deploy","timestamp":"2026-05-11T12:01:00Z",)"
                R"("action":{"kind":"command","decision_command":"touch )" +
                dir_.file("ran") + R"("}})" + "\n");

  const auto authorized = run({"act", "p1", "authorize"});
  EXPECT_EQ(authorized.exitCode, 0) << authorized.output;
  EXPECT_EQ(authorized.output, "Authorized request\n");
  const json payload = json::parse(readText(decision));
  EXPECT_EQ(payload.at("decision"), "allow");
  EXPECT_EQ(payload.at("action"), "approve");
  EXPECT_EQ(payload.at("event_id"), "p1");
  EXPECT_EQ(entries(dir_.file("agent/answers")), std::vector<std::string>{"decision.json"});

  // The read mark persisted: a later process sees the message read.
  const json messages = inbox();
  ASSERT_TRUE(messages.is_array()) << messages;
  bool sawP1 = false;
  for (const auto& message : messages) {
    if (message.at("sourceEventIDs") != json::array({"p1"})) continue;
    sawP1 = true;
    EXPECT_EQ(message.at("readState"), "read") << message;
  }
  EXPECT_TRUE(sawP1) << messages;

  const auto command = run({"act", "p2", "authorize"});
  EXPECT_EQ(command.exitCode, 1);
  EXPECT_EQ(command.output, "Command response channels require a trusted adapter.\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("ran")));
  const auto lines = auditLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("role"), "authorize_failed");
  EXPECT_EQ(lines[0].at("event_id"), "p2");

  // An answer the file system refuses: the system's reason, and a failure exit.
  std::filesystem::remove(decision);
  std::filesystem::create_directories(decision);
  const auto refused = run({"act", "p1", "reject"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("Is a directory"), std::string::npos) << refused.output;
}

TEST_F(ActCommandTest, ChoicesTakeAnOptionAndANoteAndMistakesAreUsageErrors) {
  const std::string response = dir_.file("agent/response.json");
  writeText(dir_.file("events.jsonl"),
            R"({"event_id":"c1","source":"codex","event_type":"waiting_input","session_id":"s1",)"
            R"("title":"Which database?","timestamp":"2026-05-11T12:00:00Z",)"
            R"("options":[{"id":"pg","label":"Postgres"},{"id":"lite","label":"SQLite"}],)"
            R"("response":{"response_file":")" +
                response + R"("}})" + "\n" +
                R"({"event_id":"k1","source":"codex","event_type":"waiting_input",)"
                R"("session_id":"s2","title":"Via socket","timestamp":"2026-05-11T12:01:00Z",)"
                R"("options":[{"id":"a","label":"A"}],"response":{"socket_path":"/tmp/k.sock"}})"
                "\n");

  EXPECT_EQ(run({"act", "c1", "choose_option"}).exitCode, 2) << "an option is required";
  EXPECT_EQ(run({"act", "c1", "send_input"}).exitCode, 2) << "a text is required";
  EXPECT_EQ(run({"act", "c1"}).exitCode, 2);
  EXPECT_EQ(run({"act", "c1", "authorize", "--bogus"}).exitCode, 2);
  EXPECT_EQ(run({"act", "c1", "choose_option", "--option"}).exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(response));

  const auto missing = run({"act", "no-such-event", "mark_read"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("no-such-event"), std::string::npos) << missing.output;

  const auto unknownOption = run({"act", "c1", "choose_option", "--option", "mysql"});
  EXPECT_EQ(unknownOption.exitCode, 1);
  EXPECT_EQ(unknownOption.output, "The message offers no option \"mysql\"\n");

  const auto sent = run({"act", "c1", "choose_option", "--option", "lite", "--note", "   "});
  EXPECT_EQ(sent.exitCode, 0) << sent.output;
  EXPECT_EQ(sent.output, "Response sent\n");
  const json payload = json::parse(readText(response));
  EXPECT_EQ(payload.at("option_id"), "lite");
  EXPECT_EQ(payload.at("option_label"), "SQLite");
  EXPECT_FALSE(payload.contains("note")) << payload;

  const auto socket = run({"act", "k1", "choose_option", "--option", "a"});
  EXPECT_EQ(socket.exitCode, 1);
  EXPECT_EQ(socket.output,
            "This response channel is declared but not implemented in this build.\n");

  const auto lines = auditLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("role"), "choose_option");
  EXPECT_EQ(lines[0].at("note_present"), false);
  EXPECT_EQ(lines[1].at("role"), "choose_option_failed");
}

}  // namespace
}  // namespace glimmet::testing
