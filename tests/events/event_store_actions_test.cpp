// The buttons of a message as the store runs them: which channel an answer takes, what is
// marked, persisted and audited, and the texts the user reads.

#include <gtest/gtest.h>

#include <filesystem>

#include <fmt/format.h>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "store/event_store.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

class EventStoreActionsTest : public ::testing::Test {
 protected:
  EventStoreActionsTest() { std::filesystem::create_directories(dir.file("events")); }

  std::unique_ptr<EventStore> makeStore(
      const std::string& lines,
      std::function<MessageActionOutcome(const IslandMessage&)> openJump = {},
      JumpFunction jumpFor = {}) {
    writeText(dir.file("events/events.jsonl"), lines);
    EventStoreOptions options;
    options.eventFile = dir.file("events/events.jsonl");
    options.auditFile = dir.file("support/audit.jsonl");
    options.clock = [this] { return now; };
    options.userDefaults = &defaults;
    options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
    options.openJump = std::move(openJump);
    options.jumpFor = std::move(jumpFor);
    std::filesystem::create_directories(dir.file("support"));
    auto store = std::make_unique<EventStore>(loop, std::move(options));
    store->onChange = [this] { ++publishes; };
    store->reload(true);
    return store;
  }

  IslandMessage message(EventStore& store, const std::string& id) {
    for (const auto& message : store.allMessages()) {
      if (message.event.id == id) return message;
    }
    ADD_FAILURE() << "no message " << id;
    return {};
  }

  std::vector<Json> auditLines() {
    std::vector<Json> lines;
    if (!std::filesystem::exists(dir.file("support/audit.jsonl"))) return lines;
    for (const auto& line : split(readText(dir.file("support/audit.jsonl")), '\n')) {
      if (!line.empty()) lines.push_back(Json::parse(line));
    }
    return lines;
  }

  std::vector<std::string> persistedReads() {
    return JsonFileUserDefaults(dir.file("defaults.json")).stringArrayValue("readEventIDs");
  }

  TempDir dir;
  MainLoop loop;
  Timestamp now = *parseInternetDateTime("2026-05-11T12:05:00Z", false);
  JsonFileUserDefaults defaults{dir.file("defaults.json")};
  int publishes = 0;
};

std::string permission(const std::string& id, const std::string& action) {
  return fmt::format(
             R"({{"event_id":"{}","source":"claude_code","event_type":"permission_request",)"
             R"("session_id":"s-{}","title":"Run npm test","timestamp":"2026-05-11T12:00:00Z",)"
             R"("action":{}}})",
             id, id, action) +
         "\n";
}

TEST_F(EventStoreActionsTest, AuthorizeAndRejectAnswerThroughTheDecisionChannel) {
  const std::string decision = dir.file("answers/p1.json");
  auto store =
      makeStore(permission("p1", R"({"kind":"command","decision_file":")" + decision + R"("})") +
                permission("p2", R"({"kind":"command","decision_command":"touch /tmp/never"})") +
                permission("p3", R"({"kind":"command"})"));

  const int before = publishes;
  const auto authorized = store->perform("authorize", message(*store, "p1"));
  EXPECT_TRUE(authorized.succeeded);
  EXPECT_EQ(authorized.message, "Authorized request");
  const Json payload = Json::parse(readText(decision));
  EXPECT_EQ(payload.at("decision"), "allow");
  EXPECT_EQ(payload.at("action"), "approve");
  EXPECT_EQ(payload.at("event_id"), "p1");
  EXPECT_EQ(store->responseReceipts().latestReceipt("p1")->status,
            ResponseReceiptStatus::submitted);
  EXPECT_EQ(message(*store, "p1").normalized->readState, MessageReadState::read);
  EXPECT_EQ(persistedReads(), std::vector<std::string>{"p1"});
  EXPECT_EQ(publishes, before + 1) << "one revision for one answer";

  const auto rejected = store->perform("reject", message(*store, "p1"));
  EXPECT_EQ(rejected.message, "Rejected request");
  EXPECT_EQ(Json::parse(readText(decision)).at("decision"), "deny");

  // A decision command alone: the store's dispatcher is never trusted.
  const auto command = store->perform("authorize", message(*store, "p2"));
  EXPECT_FALSE(command.succeeded);
  EXPECT_EQ(command.message, "Command response channels require a trusted adapter.");
  EXPECT_EQ(store->responseReceipts().latestReceipt("p2")->status, ResponseReceiptStatus::failed);
  EXPECT_EQ(message(*store, "p2").normalized->readState, MessageReadState::unread);

  const auto nothing = store->perform("reject", message(*store, "p3"));
  EXPECT_EQ(nothing.message, "No response channel is available.");

  const auto lines = auditLines();
  ASSERT_EQ(lines.size(), 2u) << "only the failures are audited";
  EXPECT_EQ(lines[0].at("role"), "authorize_failed");
  EXPECT_EQ(lines[0].at("event_id"), "p2");
  EXPECT_EQ(lines[0].at("error"), "Command response channels require a trusted adapter.");
  EXPECT_EQ(lines[1].at("role"), "reject_failed");
  EXPECT_EQ(lines[1].at("error"), "No response channel is available.");
  EXPECT_EQ(lines[1].at("timestamp"), "2026-05-11T12:05:00Z");
}

TEST_F(EventStoreActionsTest, ChoicesAndInputsGoThroughTheMessagesResponseChannel) {
  const std::string response = dir.file("answers/c1.json");
  const std::string choice =
      R"({"event_id":"c1","source":"codex","event_type":"waiting_input","session_id":"s-c1",)"
      R"("title":"Which database?","timestamp":"2026-05-11T12:00:00Z",)"
      R"("options":[{"id":"pg","label":"Postgres"},{"id":"lite","label":"SQLite"}],)"
      R"("response":{"response_file":")" +
      response + R"("}})" + "\n";
  const std::string input =
      R"({"event_id":"i1","source":"codex","event_type":"waiting_input","session_id":"s-i1",)"
      R"("title":"Commit message?","timestamp":"2026-05-11T12:01:00Z",)"
      R"("response":{"response_file":")" +
      dir.file("answers/i1.json") + R"("}})" + "\n";
  const std::string socket =
      R"({"event_id":"k1","source":"codex","event_type":"waiting_input","session_id":"s-k1",)"
      R"("title":"Via socket","timestamp":"2026-05-11T12:02:00Z",)"
      R"("options":[{"id":"a","label":"A"}],"response":{"socket_path":"/tmp/k.sock"}})"
      "\n";
  auto store = makeStore(choice + input + socket);

  const MessageOption sqlite{"lite", "SQLite", std::nullopt, std::nullopt, std::nullopt};
  const auto sent = store->performChoice(message(*store, "c1"), sqlite, "  ");
  EXPECT_TRUE(sent.succeeded);
  EXPECT_EQ(sent.message, "Response sent");
  const Json payload = Json::parse(readText(response));
  EXPECT_EQ(payload.at("option_id"), "lite");
  EXPECT_EQ(payload.at("option_label"), "SQLite");
  EXPECT_FALSE(payload.contains("note"));
  EXPECT_EQ(message(*store, "c1").normalized->readState, MessageReadState::read);

  const auto failed = store->performChoice(
      message(*store, "k1"), {"a", "A", std::nullopt, std::nullopt, std::nullopt}, "later");
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.message, "This response channel is declared but not implemented in this build.");

  EXPECT_EQ(store->perform("send_input", message(*store, "i1"), " \n").message, "Input is empty");
  EXPECT_FALSE(std::filesystem::exists(dir.file("answers/i1.json")));
  const auto typed = store->perform("send_input", message(*store, "i1"), "fix: naïve");
  EXPECT_TRUE(typed.succeeded);
  EXPECT_EQ(Json::parse(readText(dir.file("answers/i1.json"))).at("note"), "fix: naïve");
  EXPECT_EQ(Json::parse(readText(dir.file("answers/i1.json"))).at("action"), "send_input");

  const auto lines = auditLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at("role"), "choose_option");
  EXPECT_EQ(lines[0].at("option_id"), "lite");
  EXPECT_EQ(lines[0].at("note_present"), false);
  EXPECT_EQ(lines[0].at("note_length"), 2);
  EXPECT_EQ(lines[1].at("role"), "choose_option_failed");
  EXPECT_EQ(lines[1].at("option_id"), "a");
  EXPECT_EQ(lines[1].at("error"),
            "This response channel is declared but not implemented in this build.");
  EXPECT_EQ(lines[2].at("role"), "send_input");
  EXPECT_EQ(lines[2].at("note_length"), 10) << "characters, not bytes";
  EXPECT_FALSE(lines[2].contains("note")) << "the typed text stays out of the log";
}

TEST_F(EventStoreActionsTest, MarksJumpsAndConfigure) {
  const std::string done =
      R"({"event_id":"d1","source":"codex","event_type":"task_completed","session_id":"s-d1",)"
      R"("title":"Done","timestamp":"2026-05-11T12:00:00Z","cwd":"/tmp"})"
      "\n";
  const std::string other =
      R"({"event_id":"d2","source":"codex","event_type":"task_failed","session_id":"s-d2",)"
      R"("title":"Broke","timestamp":"2026-05-11T12:01:00Z","cwd":"/tmp"})"
      "\n";
  int opened = 0;
  bool openSucceeds = true;
  auto store = makeStore(
      done + other,
      [&](const IslandMessage& message) {
        ++opened;
        if (!openSucceeds) return MessageActionOutcome{false, "Jump target could not be opened: x"};
        EXPECT_EQ(message.event.id, "d1");
        return MessageActionOutcome{true, "Opened app"};
      },
      [](const GlimmetEvent& event) -> std::optional<ResolvedJumpTarget> {
        if (event.id != "d1") return std::nullopt;
        ResolvedJumpTarget target;
        target.available = true;
        target.quality = JumpQuality::appLevel;
        return target;
      });

  EXPECT_EQ(store->perform("jump", message(*store, "d2")).message, "No jump target is available");
  EXPECT_EQ(opened, 0);
  const auto jumped = store->perform("jump", message(*store, "d1"));
  EXPECT_TRUE(jumped.succeeded);
  EXPECT_EQ(jumped.message, "Opened app");
  EXPECT_EQ(message(*store, "d1").normalized->readState, MessageReadState::read);
  openSucceeds = false;
  EXPECT_EQ(store->perform("jump", message(*store, "d1")).message,
            "Jump target could not be opened: x");

  EXPECT_EQ(store->perform("mark_read", message(*store, "d2")).message, "Marked read");
  EXPECT_EQ(persistedReads(), (std::vector<std::string>{"d1", "d2"}));
  EXPECT_TRUE(store->perform("configure", message(*store, "d2")).succeeded);
  EXPECT_EQ(store->perform("ignore", message(*store, "d2")).message, "Ignored");
  EXPECT_EQ(store->allMessages().size(), 1u);
  const auto unknown = store->perform("dance", message(*store, "d1"));
  EXPECT_FALSE(unknown.succeeded);
  EXPECT_EQ(unknown.message, "\"dance\" is not available for this message");

  const auto lines = auditLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("role"), "jump_failed");
  EXPECT_EQ(lines[0].at("error"), "Jump target could not be opened: x");
  EXPECT_EQ(lines[1].at("role"), "configure");

  // Without an opener a jump cannot open anything.
  auto bare = makeStore(done, {}, [](const GlimmetEvent&) {
    ResolvedJumpTarget target;
    target.available = true;
    return std::optional<ResolvedJumpTarget>(target);
  });
  EXPECT_EQ(bare->perform("jump", message(*bare, "d1")).message, "Jump target could not be opened");
}

}  // namespace
}  // namespace glimmet
