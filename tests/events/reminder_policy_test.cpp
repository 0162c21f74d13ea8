#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "model/companion_status.hpp"
#include "model/glimmet_event.hpp"
#include "model/reminder_policy.hpp"
#include "support/event_lines.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::eventFrom;

EventReminderPolicy policyOf(const std::string& line) {
  return eventReminderPolicy(eventFrom(line));
}

using Kind = EventReminderKind;

constexpr EventReminderPolicy alerting(Kind kind) {
  return {true, true, true, kind};
}
constexpr EventReminderPolicy quiet(Kind kind) {
  return {false, false, true, kind};
}
constexpr EventReminderPolicy kDropped{false, false, false, Kind::none};

TEST(ReminderPolicyTest, ApprovalsAlertUnlessSilencedOrUnanswerable) {
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "action": {"kind": "Bash", "decision_file": "/tmp/d"}})"),
            alerting(Kind::approval));
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "notify_policy": "silent", "action": {"decision_file": "/tmp/d"}})"),
            quiet(Kind::approval));
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "notify_policy": " Usage_Only ", "action": {"decision_command": "ok"}})"),
            quiet(Kind::approval));

  // No way to answer and nothing said about what is asked: not worth a message.
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request"})"), kDropped);
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "action": {"risk": "high"}})"),
            kDropped);
  // Any one of a named action, a decision command or a file channel makes it an approval.
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "action": {"kind": "exec"}})")
                .kind,
            Kind::approval);
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "action": {"decision_command": "agent ok"}})")
                .kind,
            Kind::approval);
  EXPECT_EQ(policyOf(R"({"event_id": "a", "event_type": "permission_request",
    "response": {"response_file": "/tmp/r"}})")
                .kind,
            Kind::approval);
}

TEST(ReminderPolicyTest, QuestionsRemindOnlyWhenTheyCanBeAnswered) {
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "response_file": "/tmp/r", "options": [{"id": "a", "label": "A"}]})"),
            alerting(Kind::choice));
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "plan_ready", "notify_policy": "silent",
    "response_command": "reply", "options": [{"id": "a", "label": "A"}]})"),
            quiet(Kind::choice));
  // Nothing here can answer them (Claude Code's Notification hook, for one): they only say
  // what the agent is doing.
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "options": [{"id": "a", "label": "A"}]})"),
            quiet(Kind::status));
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "plan_ready"})"), quiet(Kind::status));
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "raw_event_name": "Notification", "message": "Claude needs your permission"})"),
            quiet(Kind::status));
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "notify_policy": "usage_only"})"),
            kDropped);
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "response_file": "/tmp/r"})"),
            alerting(Kind::input));
  // A command channel is neither a choice nor a file-answered input; nothing later claims it.
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input",
    "response_command": "reply"})"),
            kDropped);
  // ...unless its phase says the agent is simply running.
  EXPECT_EQ(policyOf(R"({"event_id": "q", "event_type": "waiting_input", "phase": "running",
    "response_command": "reply"})"),
            quiet(Kind::status));
}

TEST(ReminderPolicyTest, FailuresRateLimitsAndStatusAreListedQuietly) {
  EXPECT_EQ(policyOf(R"({"event_id": "r", "event_type": "rate_limited"})"), quiet(Kind::rateLimit));
  EXPECT_EQ(policyOf(R"({"event_id": "r", "event_type": "task_updated",
    "usage": {"rate_limit_label": "Usage API error"}})"),
            quiet(Kind::rateLimit));
  // Usage alone outranks a failure only when the usage itself is failing.
  EXPECT_EQ(policyOf(R"({"event_id": "r", "event_type": "task_failed",
    "usage": {"rate_limit_label": "OK"}})"),
            quiet(Kind::failure));
  EXPECT_EQ(policyOf(R"({"event_id": "f", "event_type": "error"})"), quiet(Kind::failure));
  EXPECT_EQ(policyOf(R"({"event_id": "f", "event_type": "task_updated",
    "severity": "critical"})"),
            quiet(Kind::failure));
  EXPECT_EQ(policyOf(R"({"event_id": "f", "event_type": "tool_done", "status": "failed"})"),
            quiet(Kind::failure));

  EXPECT_EQ(policyOf(R"({"event_id": "s", "event_type": "working"})"), quiet(Kind::status));
  EXPECT_EQ(policyOf(R"({"event_id": "s", "event_type": "progress", "status": "running"})"),
            quiet(Kind::status));
  EXPECT_EQ(policyOf(R"({"event_id": "s", "event_type": "task_updated",
    "notify_policy": "usage_only"})"),
            kDropped);
  EXPECT_EQ(policyOf(R"({"event_id": "s", "event_type": "thinking"})"), kDropped);
  EXPECT_EQ(policyOf(R"({"event_id": "s", "event_type": "response_receipt",
    "receipt": {"target_event_id": "x", "action": "approve", "status": "applied"}})"),
            kDropped);
}

TEST(ReminderPolicyTest, CompletionsAlertOnlyWhenTheyTellTheUserSomething) {
  const auto completion = [](const std::string& fields) {
    return eventFrom(
        R"({"event_id": "c", "source": "claude-code", "event_type": "task_completed", )" + fields +
        "}");
  };
  const auto alerts = [&](const std::string& fields) {
    return eventReminderPolicy(completion(fields)).alerts;
  };

  EXPECT_FALSE(alerts(R"("raw_event_name": "SessionEnd", "completion_snippet": "All done")"));
  EXPECT_FALSE(alerts(R"("hook_event_name": "session_end", "preview": {"agent": "Fixed it"})"));

  EXPECT_TRUE(alerts(R"("hook_event_name": "Stop", "preview": {"user": "fix the parser"})"));
  EXPECT_TRUE(alerts(R"("hook_event_name": "task-completed", "message": "Renamed 3 files")"));
  EXPECT_FALSE(alerts(R"("hook_event_name": "Stop")"));
  EXPECT_FALSE(alerts(R"("hook_event_name": "Stop", "message": "Claude Code completed")"));
  EXPECT_FALSE(alerts(R"("hook_event_name": "TaskCompleted", "message": "Completed turn.")"));

  // Hooks other than Stop vouch for nothing but an explicit snippet.
  EXPECT_FALSE(alerts(R"("message": "Renamed 3 files")"));
  EXPECT_TRUE(alerts(R"("assistant_message": "Renamed 3 files")"));
  EXPECT_FALSE(alerts(R"("notify_policy": "silent", "completion_snippet": "Renamed 3 files")"));

  // A quiet completion is still listed.
  EXPECT_EQ(eventReminderPolicy(completion(R"("hook_event_name": "Stop")")),
            quiet(Kind::completion));
  EXPECT_EQ(policyOf(R"({"event_id": "c", "event_type": "step", "status": "completed",
    "completion_snippet": "Built"})"),
            alerting(Kind::completion));
}

TEST(ReminderPolicyTest, StockCompletionTextsAreRecognizedPerTool) {
  for (const char* text : {"  ", "turn complete.", "Completed turn."}) {
    EXPECT_TRUE(isBoilerplateCompletionMessage(text, "codex")) << '"' << text << '"';
  }
  EXPECT_TRUE(isBoilerplateCompletionMessage("Codex CLI turn finished", "codex"));
  EXPECT_TRUE(isBoilerplateCompletionMessage("aider completed", "aider"));
  EXPECT_FALSE(isBoilerplateCompletionMessage("Claude Code finished", "codex"));
  EXPECT_FALSE(isBoilerplateCompletionMessage("Task completed: migrated 4 tables", "codex"));
  EXPECT_FALSE(isBoilerplateCompletionMessage("Finished the refactor", "codex"));
}

std::string running(const std::string& id, const std::string& session) {
  return fmt::format(
      R"({{"event_id": "{}", "event_type": "task_updated", "session_id": "{}",
          "source": "codex", "message": "working on {}"}})",
      id, session, session);
}

const std::string kApproval = R"({"event_id": "approve", "event_type": "permission_request",
  "title": "Run: make", "action": {"kind": "Bash", "decision_file": "/tmp/d"}})";
const std::string kFailure = R"({"event_id": "failed", "event_type": "task_failed"})";
const std::string kRemindingDone = R"({"event_id": "done", "event_type": "task_completed",
  "hook_event_name": "Stop", "message": "Shipped it", "completion_snippet": "Shipped it"})";
const std::string kQuietDone = R"({"event_id": "quiet-done", "event_type": "task_completed",
  "hook_event_name": "Stop"})";

PetState petFor(const std::vector<std::string>& lines, bool usageError = false,
                bool socketPending = false) {
  std::vector<GlimmetEvent> events;
  for (const auto& line : lines) events.push_back(eventFrom(line));
  return PetStateResolver::resolve(events, usageError, socketPending);
}

TEST(PetStateTest, ApprovalOutranksErrorWhichOutranksEverythingElse) {
  EXPECT_EQ(petFor({kFailure, kApproval}), PetState::approval);
  EXPECT_EQ(petFor({running("r", "1"), kFailure}), PetState::error);
  EXPECT_EQ(petFor({kFailure}, /*usageError=*/true), PetState::error);
  EXPECT_EQ(petFor({running("r", "1"), kRemindingDone}, /*usageError=*/true), PetState::tired);
  EXPECT_EQ(petFor({running("r", "1"), R"({"event_id": "l", "event_type": "rate_limited"})"}),
            PetState::tired);
  EXPECT_EQ(petFor({kRemindingDone, running("r", "1")}), PetState::working);
  EXPECT_EQ(petFor({kRemindingDone}), PetState::done);
  EXPECT_EQ(petFor({kQuietDone}), PetState::idle);
  EXPECT_EQ(petFor({}), PetState::idle);
  EXPECT_EQ(petFor({}, false, /*socketPending=*/true), PetState::approval);
  // A silenced question still means the pet waits for the user.
  EXPECT_EQ(petFor({kFailure, R"({"event_id": "q", "event_type": "waiting_input",
    "notify_policy": "silent", "response_file": "/tmp/r",
    "options": [{"id": "a", "label": "A"}]})"}),
            PetState::approval);
  EXPECT_STREQ(rawValue(PetState::tired), "tired");
}

TEST(CompanionTickerTest, ApprovalsThenRunningTasksThenRemindingCompletions) {
  std::vector<GlimmetEvent> candidates;
  for (const auto& line :
       {kRemindingDone, running("run-a", "a"), kQuietDone, kApproval, kFailure,
        running("run-b", "b"),
        std::string(R"({"event_id": "silent-ask", "event_type": "permission_request",
          "notify_policy": "silent", "action": {"decision_file": "/tmp/d"}})"),
        std::string(R"({"event_id": "usage", "event_type": "task_updated",
          "notify_policy": "usage_only"})")}) {
    candidates.push_back(eventFrom(line));
  }

  const auto items = companionTickerItems(candidates);
  std::vector<std::string> ids;
  std::vector<CompanionStatusKind> kinds;
  for (const auto& item : items) {
    ids.push_back(item.event.id);
    kinds.push_back(item.kind);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"approve", "run-a", "run-b", "done"}));
  EXPECT_EQ(kinds, (std::vector<CompanionStatusKind>{
                       CompanionStatusKind::approval, CompanionStatusKind::working,
                       CompanionStatusKind::working, CompanionStatusKind::finished}));
  EXPECT_EQ(items[0].label, "Run: make");
  EXPECT_EQ(items[1].label, "working on a");
  EXPECT_EQ(items[3].label, "Shipped it");

  const auto status = companionStatusItem(candidates);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->event.id, "approve");

  candidates.erase(candidates.begin() + 3);  // the approval
  EXPECT_EQ(companionStatusItem(candidates)->event.id, "run-a");
  EXPECT_FALSE(companionStatusItem({eventFrom(kQuietDone), eventFrom(kFailure)}).has_value());
  EXPECT_STREQ(rawValue(CompanionStatusKind::finished), "finished");
}

TEST(CompanionTickerTest, CandidatesAreTheNewest200AndLabelsPreferWhatWasSaid) {
  std::vector<GlimmetEvent> sorted;
  for (int index = 0; index < 250; ++index) {
    sorted.push_back(eventFrom(running("e" + std::to_string(index), std::to_string(index))));
  }
  const auto candidates = companionCandidateEvents(sorted);
  ASSERT_EQ(candidates.size(), kCompanionCandidateLimit);
  EXPECT_EQ(candidates.front().id, "e0");
  EXPECT_EQ(candidates.back().id, "e199");
  EXPECT_EQ(companionCandidateEvents({}).size(), 0u);

  const auto said = eventFrom(R"({"event_id": "l", "title": "Codex event",
    "message": "line one\nline two", "preview": {"agent": "  agent said\n so  "}})");
  EXPECT_EQ(companionEventText(said), "agent said so");
  EXPECT_EQ(shortCompanionLabel(said), "agent said so");
  EXPECT_EQ(companionEventText(eventFrom(R"({"event_id": "l", "message": "line one\nline two",
    "user_message": "please fix"})")),
            "please fix");
  EXPECT_EQ(companionEventText(eventFrom(R"({"event_id": "l", "message": "line one\nline two"})")),
            "line one line two");
  EXPECT_EQ(shortCompanionLabel(eventFrom(R"({"event_id": "l", "source": "gemini"})")),
            "Gemini CLI event");
}

TEST(CompanionJumpTest, OpensTheTranscriptThenAnExplicitWorkingDirectory) {
  testing::TempDir dir;
  const std::string transcript = dir.file("session.jsonl");
  testing::writeText(transcript, "{}\n");
  const auto exists = [](const std::string& path) { return std::filesystem::exists(path); };
  const auto event = [&](const std::string& fields) {
    return eventFrom(R"({"event_id": "j")" + fields + "}");
  };

  EXPECT_EQ(companionJumpTarget(event(R"(, "transcript_path": ")" + transcript + R"(", "cwd": ")" +
                                      dir.path() + R"(")"),
                                exists),
            transcript);
  EXPECT_EQ(companionJumpTarget(event(R"(, "transcript_path": ")" + dir.file("gone.jsonl") +
                                      R"(", "cwd": ")" + dir.path() + R"(")"),
                                exists),
            dir.path());
  EXPECT_EQ(companionJumpTarget(event(R"(, "cwd": ")" + dir.file("removed") + R"(")"), exists),
            std::nullopt);
  // The home directory an event merely defaulted to is no place to jump to.
  const auto home = event("");
  EXPECT_EQ(companionJumpTarget(home, [](const std::string&) { return true; }), std::nullopt);
  EXPECT_EQ(companionJumpTarget(event(R"(, "cwd": ")" + dir.path() + R"(")"), {}), std::nullopt);
}

}  // namespace
}  // namespace glimmet
