#include "model/event_kinds.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "approvals/audit_writer.hpp"
#include "model/glimmet_event.hpp"
#include "model/reminder_policy.hpp"
#include "model/usage_snapshot.hpp"
#include "store/bridge_event_tail.hpp"
#include "store/event_store.hpp"
#include "store/local_scan.hpp"
#include "support/event_lines.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::eventFrom;

// The texts are spelled out here rather than read from the tables, so that renaming a case's
// text (which would change what older files and other tools mean) fails this test.
template <typename Kind, typename FromRaw>
void expectNames(const std::vector<std::pair<Kind, std::string_view>>& names, FromRaw fromRaw) {
  for (const auto& [kind, raw] : names) {
    EXPECT_EQ(rawValue(kind), raw);
    EXPECT_EQ(fromRaw(raw), kind) << raw;
    EXPECT_EQ(fromRaw(rawValue(kind)), kind) << raw;
  }
}

// Every case before `other` reads back from its own text; `other` has none.
template <typename Kind, typename FromRaw>
void expectEveryCaseRoundTrips(FromRaw fromRaw) {
  for (int i = 0; i < static_cast<int>(Kind::other); ++i) {
    const auto kind = static_cast<Kind>(i);
    EXPECT_FALSE(rawValue(kind).empty()) << i;
    EXPECT_EQ(fromRaw(rawValue(kind)), kind) << rawValue(kind);
  }
  EXPECT_TRUE(rawValue(Kind::other).empty());
}

TEST(EventKindsTest, EveryNameTableRoundTrips) {
  expectEveryCaseRoundTrips<EventType>(eventTypeFromRaw);
  expectEveryCaseRoundTrips<EventStatus>(eventStatusFromRaw);
  expectEveryCaseRoundTrips<EventPhase>(eventPhaseFromRaw);
  expectEveryCaseRoundTrips<EventSeverity>(eventSeverityFromRaw);
  expectEveryCaseRoundTrips<NotifyPolicy>(notifyPolicyFromRaw);

  expectNames<EventType>({{EventType::taskStarted, "task_started"},
                          {EventType::taskUpdated, "task_updated"},
                          {EventType::taskCompleted, "task_completed"},
                          {EventType::taskFailed, "task_failed"},
                          {EventType::taskCancelled, "task_cancelled"},
                          {EventType::cancelled, "cancelled"},
                          {EventType::planning, "planning"},
                          {EventType::thinking, "thinking"},
                          {EventType::working, "working"},
                          {EventType::permissionRequest, "permission_request"},
                          {EventType::waitingInput, "waiting_input"},
                          {EventType::planReady, "plan_ready"},
                          {EventType::rateLimited, "rate_limited"},
                          {EventType::error, "error"},
                          {EventType::integrationNotice, "integration_notice"},
                          {EventType::jumpNotice, "jump_notice"},
                          {EventType::responseReceipt, "response_receipt"}},
                         eventTypeFromRaw);
  expectNames<EventStatus>({{EventStatus::thinking, "thinking"},
                            {EventStatus::running, "running"},
                            {EventStatus::runningTool, "running_tool"},
                            {EventStatus::waitingApproval, "waiting_approval"},
                            {EventStatus::waitingInput, "waiting_input"},
                            {EventStatus::completed, "completed"},
                            {EventStatus::failed, "failed"},
                            {EventStatus::cancelled, "cancelled"},
                            {EventStatus::usage, "usage"},
                            {EventStatus::usageLimited, "usage_limited"}},
                           eventStatusFromRaw);
  expectNames<EventPhase>({{EventPhase::started, "started"},
                           {EventPhase::planning, "planning"},
                           {EventPhase::thinking, "thinking"},
                           {EventPhase::running, "running"},
                           {EventPhase::runningTool, "runningTool"},
                           {EventPhase::waitingHuman, "waitingHuman"},
                           {EventPhase::completed, "completed"},
                           {EventPhase::failed, "failed"},
                           {EventPhase::cancelled, "cancelled"}},
                          eventPhaseFromRaw);
  expectNames<EventSeverity>({{EventSeverity::info, "info"},
                              {EventSeverity::success, "success"},
                              {EventSeverity::warning, "warning"},
                              {EventSeverity::error, "error"},
                              {EventSeverity::critical, "critical"}},
                             eventSeverityFromRaw);
  expectNames<NotifyPolicy>({{NotifyPolicy::immediate, "immediate"},
                             {NotifyPolicy::milestone, "milestone"},
                             {NotifyPolicy::silent, "silent"},
                             {NotifyPolicy::usageOnly, "usage_only"}},
                            notifyPolicyFromRaw);
  expectNames<UsageStatus>({{UsageStatus::ok, "ok"},
                            {UsageStatus::warning, "warning"},
                            {UsageStatus::limited, "limited"},
                            {UsageStatus::error, "error"}},
                           usageStatusFromRaw);
  expectNames<MessageAuditRole>({{MessageAuditRole::clearAll, "clear_all"},
                                 {MessageAuditRole::clearPage, "clear_page"},
                                 {MessageAuditRole::configure, "configure"}},
                                messageAuditRoleFromRaw);
  expectNames<ApprovalAuditRole>({{ApprovalAuditRole::pendingRequest, "pending_request"},
                                  {ApprovalAuditRole::pendingReply, "pending_reply"},
                                  {ApprovalAuditRole::pendingReconcile, "pending_reconcile"}},
                                 approvalAuditRoleFromRaw);
  EXPECT_FALSE(approvalAuditRoleFromRaw("Pending_Reply"));
  EXPECT_FALSE(messageAuditRoleFromRaw("clear all"));
}

TEST(EventKindsTest, UnknownTextsAreKeptVerbatim) {
  // Names are matched exactly: another spelling is an unknown value and keeps its text.
  const EventTypeValue odd("Task_Completed");
  EXPECT_EQ(odd, EventType::other);
  EXPECT_EQ(odd.raw(), "Task_Completed");
  EXPECT_NE(odd, EventTypeValue("task_completed"));
  EXPECT_EQ(EventTypeValue("task_completed"), EventTypeValue(EventType::taskCompleted));
  EXPECT_EQ(EventTypeValue(""), EventTypeValue());
  EXPECT_NE(EventTypeValue("deploy_started"), EventTypeValue("deploy_finished"));

  const auto event = eventFrom(
      R"({"event_id":"u","event_type":"deploy_started","severity":"CRITICAL","phase":"Running"})");
  EXPECT_EQ(event.eventType.raw(), "deploy_started");
  EXPECT_EQ(event.status.raw(), "deploy_started");  // no status: the event type's own text
  EXPECT_EQ(event.severity, EventSeverity::other);  // not "critical": no failure reminder
  EXPECT_EQ(event.severity.raw(), "CRITICAL");
  EXPECT_EQ(event.phase, EventPhase::other);
  EXPECT_EQ(event.phase.raw(), "Running");
  EXPECT_EQ(eventReminderPolicy(event).kind, EventReminderKind::none);

  // A derived phase is the status without underscores, known or not.
  EXPECT_EQ(eventFrom(R"({"event_id":"p","event_type":"x","status":"running"})").phase,
            EventPhase::running);
  EXPECT_EQ(eventFrom(R"({"event_id":"p","event_type":"x","status":"running_tool"})").phase.raw(),
            "runningtool");
  // A non-string type is read as text, and a non-string risk is no risk.
  const auto numeric = eventFrom(R"({"event_id":"n","event_type":7,"action":{"risk":3}})");
  EXPECT_EQ(numeric.eventType.raw(), "7");
  EXPECT_FALSE(numeric.risk);
}

TEST(EventKindsTest, RiskAndNotifyPolicyAreReadAsForgivinglyAsBefore) {
  const auto spaced = eventFrom(R"({"event_id":"r","action":{"risk":" HIGH "}})");
  EXPECT_EQ(spaced.risk, MessageRisk::high);
  EXPECT_FALSE(eventFrom(R"({"event_id":"r","action":{"risk":"catastrophic"}})").risk);

  // The reminder reads the policy in any case; the usage history of the event file, which finds
  // its candidates by the exact text "usage_only", only the exact spelling.
  const auto loose = eventFrom(
      R"({"event_id":"q","event_type":"task_started","notify_policy":"Usage_Only","usage":{"tokens_used":5}})");
  EXPECT_EQ(loose.notifyPolicy, NotifyPolicy::other);
  EXPECT_EQ(loose.notifyPolicy.raw(), "Usage_Only");
  EXPECT_TRUE(eventReminderSuppressesOrdinaryStatus(loose));
  EXPECT_TRUE(bridgeUsageHistoryEvents({loose}).empty());
  const auto exact = eventFrom(
      R"({"event_id":"q","event_type":"task_started","notify_policy":"usage_only","usage":{"tokens_used":5}})");
  EXPECT_EQ(bridgeUsageHistoryEvents({exact}).size(), 1u);
  EXPECT_FALSE(
      eventReminderAllowsReminder(eventFrom(R"({"event_id":"s","notify_policy":"SILENT"})")));
  EXPECT_TRUE(eventReminderAllowsReminder(eventFrom(R"({"event_id":"s","notify_policy":"loud"})")));
}

TEST(EventKindsTest, UnknownTypesAndStatusesAreWrittenBackAsWritten) {
  // Rescans notice an event whose unknown type or status changed.
  const auto before = eventFrom(R"({"event_id":"d","event_type":"deploy","status":"queued"})");
  const auto retyped = eventFrom(R"({"event_id":"d","event_type":"deploy2","status":"queued"})");
  const auto restated = eventFrom(R"({"event_id":"d","event_type":"deploy","status":"queue"})");
  EXPECT_NE(loaderResultFingerprint({before}), loaderResultFingerprint({retyped}));
  EXPECT_NE(loaderResultFingerprint({before}), loaderResultFingerprint({restated}));

  // The audit of a cleared message names its type as the agent wrote it.
  testing::TempDir dir;
  MainLoop loop;
  std::filesystem::create_directories(dir.file("events"));
  testing::writeText(
      dir.file("events/events.jsonl"),
      R"({"event_id":"f","event_type":"deploy_failed","status":"failed","title":"Deploy"})"
      "\n");
  EventStoreOptions options;
  options.eventFile = dir.file("events/events.jsonl");
  options.auditFile = dir.file("audit.jsonl");
  options.isolated = true;
  options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
  EventStore store(loop, options);
  store.reload(true);
  ASSERT_EQ(store.allMessages().size(), 1u);
  EXPECT_EQ(store.clearAll(), 1);
  const Json line = Json::parse(testing::readText(dir.file("audit.jsonl")));
  EXPECT_EQ(line["role"], "clear_all");
  EXPECT_EQ(line["event_type"], "deploy_failed");
}

}  // namespace
}  // namespace glimmet
