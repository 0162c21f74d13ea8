// `glimmet inbox --json` on a 600-line event file mixing every kind of line a bridge writes,
// plus lines no bridge should write. The file comes from make_mixed_events.py next to it; see
// that script for where each kind of line sits.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

using nlohmann::json;

struct Inbox {
  json messages;
  std::map<std::string, json> byTitle;

  const json& titled(const std::string& title) const {
    static const json missing;
    const auto found = byTitle.find(title);
    return found == byTitle.end() ? missing : found->second;
  }
};

class InboxCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    const std::string eventFile = dir_->file("events.jsonl");
    std::filesystem::copy_file(fixturePath("events/mixed-600.jsonl"), eventFile);
    auto child = runToCompletion({GLIMMET_BINARY, "inbox", "--json"},
                                 isolatedEnvironment(dir_->path(), eventFile));
    exitCode_ = child.exitCode();
    inbox_ = new Inbox();
    inbox_->messages = json::parse(child.output(), nullptr, false);
    if (inbox_->messages.is_array()) {
      for (const auto& message : inbox_->messages) {
        const std::string title = message.value("title", "");
        if (inbox_->byTitle.count(title)) duplicateTitles_.insert(title);
        inbox_->byTitle[title] = message;
      }
    }
  }
  static void TearDownTestSuite() {
    delete inbox_;
    delete dir_;
  }

  const json& messages() const { return inbox_->messages; }
  const json& titled(const std::string& title) const { return inbox_->titled(title); }

  // The roles of a message's actions, in order.
  static std::vector<std::string> roles(const json& message) {
    std::vector<std::string> result;
    for (const auto& action : message.at("actions")) result.push_back(action.at("role"));
    return result;
  }
  static std::vector<std::pair<std::string, std::string>> buttons(const json& message) {
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& button : message.at("buttons")) {
      result.emplace_back(button.at("label"), button.at("role"));
    }
    return result;
  }

  static inline TempDir* dir_ = nullptr;
  static inline Inbox* inbox_ = nullptr;
  static inline int exitCode_ = -1;
  static inline std::set<std::string> duplicateTitles_;
};

TEST_F(InboxCommandTest, PrintsEveryMessageOfTheActiveTailOnceNewestFirst) {
  ASSERT_EQ(exitCode_, 0);
  ASSERT_TRUE(messages().is_array()) << "output is not a JSON array";

  // Three old task updates (lines 97 to 99), one collapsed run of steps, four special lines
  // (failed task, command-only approval, high-risk approval, the receipt's choice), 382 recent
  // approvals, choices, completions and status updates, and the one "Response failed" notice.
  EXPECT_EQ(messages().size(), 391u);

  // Timestamps were shuffled against the file order: the inbox must sort by time, not by line.
  std::string previous = "9999";
  for (const auto& message : messages()) {
    const std::string timestamp = message.at("timestamp");
    EXPECT_LE(timestamp, previous) << message.at("title");
    previous = timestamp;
  }

  // No two messages share an event: nothing was read twice.
  std::set<std::string> seenIDs;
  for (const auto& message : messages()) {
    for (const auto& id : message.at("sourceEventIDs")) {
      EXPECT_TRUE(seenIDs.insert(id.get<std::string>()).second) << "event in two messages: " << id;
    }
  }
  // Titles are unique by construction, except for the collapsed steps which show only one.
  EXPECT_TRUE(duplicateTitles_.empty());
}

TEST_F(InboxCommandTest, KeepsExactlyTheNewestFiveHundredEvents) {
  ASSERT_TRUE(messages().is_array());
  // 596 of the 600 lines are events; the newest 500 start at line 97. Lines that are not
  // events must not use up places in the tail.
  for (int line = 1; line <= 96; ++line) {
    char title[32];
    std::snprintf(title, sizeof title, "Old task %03d", line);
    EXPECT_TRUE(titled(title).is_null()) << title << " is older than the active tail";
  }
  for (const char* title : {"Old task 097", "Old task 098", "Old task 099"}) {
    EXPECT_FALSE(titled(title).is_null()) << title << " is within the active tail";
  }
}

TEST_F(InboxCommandTest, SkipsLinesThatAreNotEventsAndUsageOnlyLines) {
  ASSERT_TRUE(messages().is_array());
  EXPECT_TRUE(titled("Line without id").is_null());
  EXPECT_TRUE(titled("Line with numeric id").is_null());
  for (const auto& message : messages()) {
    const std::string title = message.at("title");
    EXPECT_EQ(title.find("Broken"), std::string::npos) << "the invalid UTF-8 line was read";
    EXPECT_EQ(title.rfind("Usage snapshot", 0), std::string::npos)
        << "usage-only line became a message: " << title;
    for (const auto& id : message.at("sourceEventIDs")) {
      const std::string eventID = id;
      EXPECT_EQ(eventID.find("usage-"), std::string::npos) << eventID;
      EXPECT_NE(eventID, "bad-utf8");
      EXPECT_NE(eventID, "not-json");
      // Receipts answer other events; they are not messages themselves.
      EXPECT_NE(eventID, "receipt-failed-choice");
      EXPECT_NE(eventID, "receipt-failed-approve");
      EXPECT_NE(eventID, "receipt-submitted-choice");
    }
  }
  // The neighbours of the broken lines (150, 250, 350, 450) are still read.
  for (const char* title : {"Status 149", "Choose plan 151", "Status 249", "Choose plan 251",
                            "Status 349", "Choose plan 351", "Status 449", "Choose plan 451"}) {
    EXPECT_FALSE(titled(title).is_null()) << title;
  }
}

TEST_F(InboxCommandTest, FailedChoiceReceiptGivesOneResponseFailedNotice) {
  ASSERT_TRUE(messages().is_array());
  int notices = 0;
  for (const auto& message : messages()) {
    if (message.at("title") == "Response failed") ++notices;
  }
  // The failed approve receipt and the submitted choice receipt give none.
  EXPECT_EQ(notices, 1);
  const json& notice = titled("Response failed");
  ASSERT_FALSE(notice.is_null());
  EXPECT_EQ(notice.at("intent"), "integration_notice");
  EXPECT_EQ(notice.at("detail").get<std::string>().find("adapter went away") != std::string::npos,
            true)
      << notice.at("detail");
  EXPECT_EQ(notice.at("sourceEventIDs"),
            json::array({"receipt-failed-choice-596-receipt-failed-choice"}));
  EXPECT_EQ(roles(notice), (std::vector<std::string>{"ignore", "jump"}));
}

TEST_F(InboxCommandTest, CollapsesTheUpdatesOfOneTaskIntoItsNewestStep) {
  ASSERT_TRUE(messages().is_array());
  for (int step = 1; step <= 9; ++step) {
    EXPECT_TRUE(titled("Step " + std::to_string(step)).is_null()) << "Step " << step;
  }
  const json& steps = titled("Step 10");
  ASSERT_FALSE(steps.is_null());
  // Newest first, all ten of them.
  EXPECT_EQ(steps.at("sourceEventIDs"),
            json::array({"step-10", "step-09", "step-08", "step-07", "step-06", "step-05",
                         "step-04", "step-03", "step-02", "step-01"}));
  EXPECT_EQ(steps.at("intent"), "task_status");
  EXPECT_EQ(roles(steps), (std::vector<std::string>{"ignore", "jump"}));
}

TEST_F(InboxCommandTest, EachIntentCarriesItsActions) {
  ASSERT_TRUE(messages().is_array());

  // A permission with a decision file: approve, reject, ignore, jump; shown as Authorize.
  const json& lowRisk = titled("Approve edit 600");
  ASSERT_FALSE(lowRisk.is_null());
  EXPECT_EQ(lowRisk.at("intent"), "permission_request");
  EXPECT_EQ(roles(lowRisk), (std::vector<std::string>{"approve", "reject", "ignore", "jump"}));
  EXPECT_EQ(buttons(lowRisk),
            (std::vector<std::pair<std::string, std::string>>{{"Authorize", "authorize"},
                                                              {"Reject", "reject"},
                                                              {"Ignore", "ignore"},
                                                              {"Jump", "jump"}}));
  EXPECT_FALSE(lowRisk.at("actions")[0].at("requiresConfirmation").get<bool>());
  EXPECT_EQ(lowRisk.at("actions")[0].at("channel"), "decision_file");
  EXPECT_EQ(lowRisk.at("actions")[1].at("channel"), "decision_file");

  // High risk (written " HIGH "): the approval needs confirming, the rejection does not.
  const json& highRisk = titled("Approve edit 595");
  ASSERT_FALSE(highRisk.is_null());
  EXPECT_EQ(highRisk.at("risk"), "high");
  EXPECT_EQ(roles(highRisk), (std::vector<std::string>{"approve", "reject", "ignore", "jump"}));
  EXPECT_TRUE(highRisk.at("actions")[0].at("requiresConfirmation").get<bool>());
  EXPECT_EQ(highRisk.at("actions")[0].at("risk"), "high");
  EXPECT_FALSE(highRisk.at("actions")[1].at("requiresConfirmation").get<bool>());

  // Only a decision command: the interface cannot deliver Approve, so only jump and ignore.
  const json& commandOnly = titled("Run migration");
  ASSERT_FALSE(commandOnly.is_null());
  EXPECT_EQ(roles(commandOnly), (std::vector<std::string>{"jump", "ignore"}));

  // A choice: one action per option in order, in the expanded body, the disabled one off.
  const json& choice = titled("Choose plan 596");
  ASSERT_FALSE(choice.is_null());
  EXPECT_EQ(choice.at("intent"), "choice_request");
  EXPECT_EQ(roles(choice), (std::vector<std::string>{"choose_option", "choose_option",
                                                     "choose_option", "jump", "ignore"}));
  const auto& actions = choice.at("actions");
  const std::vector<std::string> labels = {"Fast path", "Safe path", "Skip"};
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(actions[i].at("label"), labels[i]);
    EXPECT_EQ(actions[i].at("placement"), "expanded_body");
    EXPECT_EQ(actions[i].at("channel"), "response_file");
  }
  EXPECT_TRUE(actions[0].at("enabled").get<bool>());
  EXPECT_EQ(actions[0].at("risk"), "low");
  EXPECT_TRUE(actions[1].at("enabled").get<bool>());
  EXPECT_FALSE(actions[2].at("enabled").get<bool>());
  EXPECT_EQ(actions[2].at("disabledReason"), "Required step");
  EXPECT_EQ(actions[3].at("placement"), "card_footer");
  EXPECT_EQ(choice.at("options"), json::parse(R"([{"id":"fast","label":"Fast path"},
      {"id":"safe","label":"Safe path"},{"id":"skip","label":"Skip"}])"));

  // A completed result: mark read, jump. A failed one: mark read, ignore, configure.
  const json& completed = titled("Completed 597");
  ASSERT_FALSE(completed.is_null());
  EXPECT_EQ(completed.at("intent"), "task_result");
  EXPECT_EQ(roles(completed), (std::vector<std::string>{"mark_read", "jump"}));
  const json& failed = titled("Build failed");
  ASSERT_FALSE(failed.is_null());
  EXPECT_EQ(roles(failed), (std::vector<std::string>{"mark_read", "ignore", "configure"}));

  // A status update: ignore, jump.
  const json& status = titled("Status 599");
  ASSERT_FALSE(status.is_null());
  EXPECT_EQ(status.at("intent"), "task_status");
  EXPECT_EQ(roles(status), (std::vector<std::string>{"ignore", "jump"}));

  // Every message of an intent has that intent's action set, not only the samples above.
  const std::map<std::string, std::vector<std::string>> expected = {
      {"choice_request", {"choose_option", "choose_option", "choose_option", "jump", "ignore"}},
      {"task_status", {"ignore", "jump"}},
      {"integration_notice", {"ignore", "jump"}},
  };
  for (const auto& message : messages()) {
    const auto found = expected.find(message.at("intent"));
    if (found == expected.end()) continue;
    EXPECT_EQ(roles(message), found->second) << message.at("title");
  }
}

// Texts from agents reach `inbox --json` escaped by the JSON writer, and the text a terminal
// shows harmless: no escape sequence, control or broken UTF-8 survives.
TEST(InboxCommandText, ControlCharactersFromEventsNeverReachTheTerminal) {
  TempDir dir;
  const std::string eventFile = dir.file("events.jsonl");
  const std::string title =
      "Deploy \x1b]0;owned\x07 done\x1b[2J\r\n\x7f\xc2\x9b"
      "31m!";
  json event = {{"event_id", "hostile-1"},
                {"source", "codex"},
                {"event_type", "task_failed"},
                {"session_id", "s\x1b[1A"},
                {"title", title},
                {"message", "line one\nline two\x08\x08"},
                {"cwd", "/work/\x1b[31mred"},
                {"timestamp", "2026-05-11T08:08:04Z"}};
  writeText(eventFile, event.dump() + "\n" +
                           "{\"event_id\":\"bad-utf8\",\"source\":\"codex\","
                           "\"event_type\":\"task_failed\",\"title\":\"A \xff\xfe"
                           " B\",\"timestamp\":\"2026-05-11T08:09:04Z\"}\n");
  const auto environment = isolatedEnvironment(dir.path(), eventFile);

  auto text = runToCompletion({GLIMMET_BINARY, "inbox"}, environment);
  ASSERT_EQ(text.exitCode(), 0) << text.output();
  const std::string out = text.output();
  EXPECT_NE(out.find("Deploy "), std::string::npos) << out;
  EXPECT_NE(out.find("line one line two"), std::string::npos) << out;
  for (size_t i = 0; i < out.size(); ++i) {
    const auto byte = static_cast<unsigned char>(out[i]);
    EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7F)) << "byte " << i << ": " << out;
    if (byte == 0xC2 && i + 1 < out.size()) {
      const auto next = static_cast<unsigned char>(out[i + 1]);
      EXPECT_FALSE(next >= 0x80 && next <= 0x9F) << "C1 control at " << i << ": " << out;
    }
    EXPECT_FALSE(byte == 0xFF || byte == 0xFE) << "broken UTF-8 at " << i << ": " << out;
  }

  auto asJson = runToCompletion({GLIMMET_BINARY, "inbox", "--json"}, environment);
  ASSERT_EQ(asJson.exitCode(), 0) << asJson.output();
  for (const char c : asJson.output()) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte == '\n' || byte >= 0x20) << asJson.output();
  }
  const json messages = json::parse(asJson.output(), nullptr, false);
  ASSERT_TRUE(messages.is_array()) << asJson.output();
  bool found = false;
  for (const auto& message : messages) {
    const auto& ids = message.value("sourceEventIDs", json::array());
    if (std::find(ids.begin(), ids.end(), "hostile-1") == ids.end()) continue;
    found = true;
    EXPECT_NE(message.at("title").get<std::string>().find("Deploy "), std::string::npos);
  }
  EXPECT_TRUE(found) << asJson.output();
}

}  // namespace
}  // namespace glimmet::testing
