#include "approvals/audit_writer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "approvals/pending_action_store.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::splitLines;
using testing::TempDir;

Timestamp at(int64_t secondsSinceEpoch, int64_t extraMicroseconds = 0) {
  return Timestamp(std::chrono::seconds(secondsSinceEpoch)) +
         std::chrono::microseconds(extraMicroseconds);
}

PendingAction sampleAction(std::string id) {
  PendingAction action;
  action.requestID = std::move(id);
  action.agent = "codex";
  action.sessionID = "s9";
  action.agentPID = static_cast<int32_t>(::getpid());
  action.kind = PendingActionKind::waitingChoice;
  action.createdAt = at(1772366400);  // 2026-03-01T12:00:00Z
  action.timeoutSeconds = 1;
  action.payload.command = "ls";
  return action;
}

TEST(AuditWriter, WritesSortedKeyLinesWithLatency) {
  TempDir dir;
  const std::string file = dir.path() + "/nested/.glimmet/audit.jsonl";
  Timestamp now = at(1772366405, 678900);
  AuditWriter writer(file, [&] { return now; });
  auto action = sampleAction("r1");
  writer.recordRequest(action);
  action.status = PendingActionStatus::answered;
  HookReply reply = storeReply("r1", "choice");
  writer.recordReply(action, reply);
  action.status = PendingActionStatus::timedOut;
  writer.recordReply(action, std::nullopt);
  EXPECT_EQ(
      readText(file),
      R"({"agent":"codex","command":"ls","cwd":"","kind":"waiting_choice","request_id":"r1",)"
      R"("role":"pending_request","session_id":"s9","timestamp":"2026-03-01T12:00:00Z","tool":""})"
      "\n"
      R"({"decision":"choice","latency_ms":5678,"mode":"once","request_id":"r1",)"
      R"("role":"pending_reply","status":"answered","timestamp":"2026-03-01T12:00:05Z"})"
      "\n"
      R"({"latency_ms":5678,"request_id":"r1","role":"pending_reply","status":"timedOut",)"
      R"("timestamp":"2026-03-01T12:00:05Z"})"
      "\n");
}

TEST(AuditWriter, ReconcileMarksEachRequestOnceAcrossLaunches) {
  TempDir dir;
  const std::string file = dir.file("audit.jsonl");
  AuditWriter writer(file, [] { return at(1772370000); });
  writer.reconcileOnLaunch();  // no file yet: nothing, and no file is made
  EXPECT_FALSE(std::filesystem::exists(file));

  auto answered = sampleAction("answered");
  writer.recordRequest(answered);
  testing::appendText(file, "this line is not json\n{\"role\":7,\"request_id\":\"x\"}\n\n");
  answered.status = PendingActionStatus::answered;
  writer.recordReply(answered, std::nullopt);
  auto dropped = sampleAction("dropped");
  dropped.agent = "claude_code";
  dropped.kind = PendingActionKind::permissionRequest;
  writer.recordRequest(dropped);

  writer.reconcileOnLaunch();
  auto lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(
      lines[6],
      R"({"original_agent":"codex","original_kind":"waiting_choice","request_id":"answered",)"
      R"("role":"pending_reconcile","status":"applied_after_crash","timestamp":"2026-03-01T13:00:00Z"})");
  EXPECT_EQ(lines[7],
            R"({"original_agent":"claude_code","original_kind":"permission_request",)"
            R"("request_id":"dropped","role":"pending_reconcile","status":"dropped_on_restart",)"
            R"("timestamp":"2026-03-01T13:00:00Z"})");

  writer.reconcileOnLaunch();
  EXPECT_EQ(splitLines(readText(file)).size(), 8u);

  // A request seen after the last launch is reconciled at the next one, alone.
  writer.recordRequest(sampleAction("later"));
  writer.reconcileOnLaunch();
  lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_NE(lines[9].find(R"("request_id":"later")"), std::string::npos);
  EXPECT_NE(lines[9].find(R"("status":"dropped_on_restart")"), std::string::npos);
}

}  // namespace
}  // namespace glimmet
