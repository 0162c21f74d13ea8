#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "model/glimmet_event.hpp"
#include "model/island_message.hpp"
#include "model/message_grouping.hpp"
#include "model/message_normalizer.hpp"
#include "model/reminder_policy.hpp"
#include "model/tool_catalog.hpp"
#include "support/event_lines.hpp"

namespace glimmet {
namespace {

using testing::eventFrom;

UserFacingMessage messageOf(const std::string& line) {
  return MessageNormalizer::normalize({eventFrom(line)}, {});
}

std::vector<std::string> labels(const std::vector<MessageActionSpec>& actions) {
  std::vector<std::string> result;
  for (const auto& action : actions) result.push_back(action.label);
  return result;
}

std::vector<MessageActionRole> roles(const std::vector<MessageActionSpec>& actions) {
  std::vector<MessageActionRole> result;
  for (const auto& action : actions) result.push_back(action.role);
  return result;
}

Timestamp at(const std::string& text) {
  return eventFrom(R"({"event_id":"t","timestamp":")" + text + R"("})").timestamp;
}

using Role = MessageActionRole;

// High risk, command-only approvals, the three-option choice and the failed/completed action
// sets are checked end to end by the inbox command test; these are the cases it does not hold.
TEST(MessageNormalizerTest, OnlyHighRiskApprovalsNeedConfirmingAndUnanswerableOnesOnlyJump) {
  const auto medium = messageOf(R"({"event_id": "p2", "event_type": "permission_request",
    "action": {"risk": "medium", "decision_file": "/tmp/d"}})");
  EXPECT_EQ(medium.actions[0].risk, MessageRisk::medium);
  EXPECT_FALSE(medium.actions[0].requiresConfirmation);

  const auto unknownRisk = messageOf(R"({"event_id": "p3", "event_type": "permission_request",
    "action": {"risk": "catastrophic", "decision_file": "/tmp/d"}})");
  EXPECT_FALSE(unknownRisk.risk.has_value());
  EXPECT_FALSE(unknownRisk.actions[0].risk.has_value());
  EXPECT_FALSE(unknownRisk.actions[0].requiresConfirmation);

  // Found in a local rollout: nothing to answer through at all.
  const auto bare = messageOf(R"({"event_id": "c2", "event_type": "permission_request",
    "source": "codex", "action": {"kind": "exec"}})");
  EXPECT_EQ(bare.intent, MessageIntent::permissionRequest);
  EXPECT_EQ(roles(bare.actions), (std::vector<Role>{Role::jump, Role::ignore}));
}

TEST(MessageNormalizerTest, SubmitNeedsAButtonWhenOneClickIsNotTheWholeAnswer) {
  const auto oneClick = messageOf(R"({"event_id": "q1", "event_type": "waiting_input",
    "response_file": "/tmp/answer.json", "options": [{"id": "pg", "label": "Postgres"},
      {"label": "no id, dropped"}]})");
  ASSERT_TRUE(oneClick.interaction.has_value());
  EXPECT_EQ(oneClick.interaction->kind, MessageInteraction::Kind::choice);
  EXPECT_EQ(oneClick.interaction->options.size(), 1u);
  EXPECT_EQ(oneClick.interaction->submit.behavior, MessageSubmitKind::selectImmediately);
  EXPECT_EQ(oneClick.interaction->submit.channel,
            ResponseChannel::responseFile("/tmp/answer.json"));
  EXPECT_EQ(oneClick.interaction->submit.fallback, MessageSubmitFallback::jump);
  EXPECT_EQ(oneClick.interaction->note.maxLength, 500);

  const auto withNote = messageOf(R"({"event_id": "n1", "event_type": "plan_ready",
    "response": {"response_command": "answer", "note_enabled": "yes", "note_max_length": "80"},
    "options": [{"id": "go", "label": "Go"}]})");
  ASSERT_TRUE(withNote.interaction.has_value());
  EXPECT_EQ(withNote.intent, MessageIntent::choiceRequest);
  EXPECT_EQ(withNote.interaction->submit.behavior, MessageSubmitKind::sendButton);
  EXPECT_TRUE(withNote.interaction->note.enabled);
  EXPECT_EQ(withNote.interaction->note.maxLength, 80);
  EXPECT_EQ(withNote.interaction->submit.channel, ResponseChannel::responseCommand("answer"));

  const auto multiple = messageOf(R"({"event_id": "n2", "event_type": "waiting_input",
    "selection_mode": "multiple", "response_file": "/tmp/a",
    "options": [{"id": "a", "label": "A"}, {"id": "b", "label": "B"}]})");
  ASSERT_TRUE(multiple.interaction.has_value());
  EXPECT_EQ(multiple.interaction->selectionMode, MessageSelectionMode::multiple);
  EXPECT_EQ(multiple.interaction->submit.behavior, MessageSubmitKind::sendButton);
}

TEST(MessageNormalizerTest, HumanRequestsAnswerOnlyThroughResponseChannels) {
  // A decision file belongs to approvals; a question that names one has no way to be answered,
  // so it only tells what the agent is doing.
  const auto choice = messageOf(R"({"event_id": "d1", "event_type": "waiting_input",
    "decision_file": "/tmp/d", "options": [{"id": "a", "label": "A"}]})");
  EXPECT_EQ(choice.intent, MessageIntent::taskStatus);
  EXPECT_EQ(choice.category, MessageCategory::lifecycle);
  EXPECT_FALSE(choice.interaction.has_value());
  EXPECT_EQ(roles(choice.actions), (std::vector<Role>{Role::ignore, Role::jump}));

  const auto socket = messageOf(R"({"event_id": "d2", "event_type": "waiting_input",
    "socket_path": "/tmp/agent.sock", "message": "Name the branch"})");
  EXPECT_EQ(socket.intent, MessageIntent::inputRequest);
  EXPECT_EQ(socket.badge, "Human");
  ASSERT_TRUE(socket.interaction.has_value());
  EXPECT_EQ(socket.interaction->kind, MessageInteraction::Kind::textInput);
  EXPECT_EQ(socket.interaction->submit.behavior, MessageSubmitKind::sendButton);
  EXPECT_EQ(socket.interaction->submit.channel,
            ResponseChannel::localSocket("/tmp/agent.sock", "line_json"));
  EXPECT_EQ(roles(socket.actions), (std::vector<Role>{Role::ignore, Role::jump}));

  const auto plan = messageOf(R"({"event_id": "d3", "event_type": "plan_ready",
    "response_file": "/tmp/r"})");
  EXPECT_EQ(plan.intent, MessageIntent::planReview);
  EXPECT_EQ(plan.badge, "Plan");
  EXPECT_FALSE(plan.interaction.has_value());
  EXPECT_EQ(roles(plan.actions), (std::vector<Role>{Role::ignore, Role::jump}));

  // Without any channel a plan or a question is what the agent is doing, not a request here.
  const auto unanswerablePlan = messageOf(R"({"event_id": "d4", "event_type": "plan_ready",
    "options": [{"id": "go", "label": "Go"}]})");
  EXPECT_EQ(unanswerablePlan.intent, MessageIntent::taskStatus);
  EXPECT_EQ(unanswerablePlan.badge, "Plan");
  EXPECT_EQ(roles(unanswerablePlan.actions), (std::vector<Role>{Role::ignore, Role::jump}));
  const auto waiting = messageOf(R"({"event_id": "d5", "event_type": "waiting_input"})");
  EXPECT_EQ(waiting.intent, MessageIntent::taskStatus);
  EXPECT_EQ(waiting.badge, "Waiting");
  EXPECT_LT(waiting.priority, plan.priority);
}

TEST(MessageNormalizerTest, ResultsUsageAndNoticesGetTheirBadgesAndActions) {
  const auto failed = messageOf(R"({"event_id": "r1", "event_type": "task_failed"})");
  const auto done = messageOf(R"({"event_id": "r2", "event_type": "task_completed"})");
  EXPECT_EQ(failed.badge, "Failed");
  EXPECT_EQ(labels(failed.actions), (std::vector<std::string>{"Mark Read", "Ignore", "Configure"}));
  EXPECT_EQ(done.badge, "Done");

  const auto rateLimited = messageOf(R"({"event_id": "r4", "event_type": "rate_limited"})");
  EXPECT_EQ(rateLimited.intent, MessageIntent::usageAlert);
  EXPECT_EQ(rateLimited.category, MessageCategory::usage);
  EXPECT_EQ(rateLimited.badge, "Rate Limit");
  EXPECT_EQ(roles(rateLimited.actions),
            (std::vector<Role>{Role::markRead, Role::ignore, Role::configure}));

  const auto paused = messageOf(R"({"event_id": "r5", "event_type": "task_updated",
    "status": "usage_limited", "title": "Codex paused by usage limit"})");
  EXPECT_EQ(paused.intent, MessageIntent::usageAlert);
  EXPECT_EQ(paused.badge, "Usage");

  const auto jump = messageOf(R"({"event_id": "r6", "event_type": "jump_notice"})");
  EXPECT_EQ(jump.category, MessageCategory::workspace);
  EXPECT_EQ(jump.badge, "Jump");
  EXPECT_EQ(roles(jump.actions), (std::vector<Role>{Role::ignore, Role::jump}));

  const auto setup = messageOf(R"({"event_id": "r7", "event_type": "integration_notice"})");
  EXPECT_EQ(setup.category, MessageCategory::integration);
  EXPECT_EQ(setup.badge, "Setup");

  const auto running = messageOf(R"({"event_id": "r8", "event_type": "task_updated"})");
  EXPECT_EQ(running.intent, MessageIntent::taskStatus);
  EXPECT_EQ(roles(running.actions), (std::vector<Role>{Role::ignore, Role::jump}));

  // Everything waiting for the user sorts before everything that merely happened.
  const auto plan = messageOf(R"({"event_id": "r9", "event_type": "plan_ready",
    "response_file": "/tmp/r"})");
  for (const auto* lifecycle : {&failed, &done, &rateLimited, &jump, &setup, &running}) {
    EXPECT_GT(plan.priority, lifecycle->priority) << lifecycle->badge;
  }
  EXPECT_GT(messageOf(R"({"event_id": "a", "event_type": "permission_request"})").priority,
            plan.priority);
  EXPECT_GT(failed.priority, done.priority);
}

TEST(MessageNormalizerTest, FailuresAndCancellationsAreLabelledAsThePetSeesThem) {
  const auto failedTask = makeIslandMessage(
      {eventFrom(R"({"event_id": "f0", "event_type": "task_failed"})")}, {}, {}, Timestamp{});
  for (const std::string fields : {R"("event_type": "error")", R"("status": "failed")",
                                   R"("event_type": "tool_run", "severity": "critical")"}) {
    const auto event = eventFrom(R"({"event_id": "f", )" + fields + "}");
    EXPECT_EQ(eventReminderPolicy(event).kind, EventReminderKind::failure) << fields;
    const auto message = makeIslandMessage({event}, {}, {}, Timestamp{});
    ASSERT_TRUE(message.normalized.has_value());
    EXPECT_EQ(message.normalized->intent, MessageIntent::taskResult) << fields;
    EXPECT_EQ(message.badge, "Failed") << fields;
    EXPECT_EQ(labels(message.normalized->actions),
              (std::vector<std::string>{"Mark Read", "Ignore", "Configure"}))
        << fields;
    EXPECT_EQ(message.accent, failedTask.accent) << fields;
    EXPECT_EQ(message.normalized->priority, failedTask.normalized->priority) << fields;
  }

  const auto cancelledTask = makeIslandMessage(
      {eventFrom(R"({"event_id": "c0", "event_type": "task_cancelled"})")}, {}, {}, Timestamp{});
  for (const std::string fields : {R"("event_type": "cancelled")", R"("status": "cancelled")",
                                   R"("event_type": "task_completed", "status": "cancelled")"}) {
    const auto event = eventFrom(R"({"event_id": "c", )" + fields + "}");
    // Neither running nor done for the pet; a notice in the inbox.
    EXPECT_EQ(eventReminderPolicy(event).kind, EventReminderKind::none) << fields;
    const std::vector<GlimmetEvent> alone{event};
    EXPECT_EQ(groupVisibleEvents(alone, {}).groups.size(), 1u) << fields;
    const auto message = makeIslandMessage({event}, {}, {}, Timestamp{});
    EXPECT_EQ(message.normalized->intent, MessageIntent::taskResult) << fields;
    EXPECT_EQ(message.badge, "Cancelled") << fields;
    EXPECT_EQ(message.accent, cancelledTask.accent) << fields;
  }
  // A rate limit that reports its status as failed is still about quota.
  const auto limited = messageOf(R"({"event_id": "l", "event_type": "rate_limited",
    "status": "failed"})");
  EXPECT_EQ(limited.badge, "Rate Limit");
}

TEST(MessageNormalizerTest, DetailLocatesTheAgentAndShortensLongSessionIDs) {
  auto event = eventFrom(R"({"event_id": "s1", "source": "claude-code", "tool_name": "Bash",
    "message": "npm test - watch", "pid": 4242, "terminal": "iTerm2",
    "session_id": "abcdefghijkl"})");
  EXPECT_EQ(MessageNormalizer::detailText(event),
            "Bash · npm test · watch · pid: 4242 · terminal: iTerm2 · session: abcdefghijkl");

  event = eventFrom(R"({"event_id": "s2", "cwd": "/work/shop - web",
    "session_id": "abcdefghijklm"})");
  EXPECT_EQ(MessageNormalizer::detailText(event), "shop · web · session: abcdefgh...");

  event = eventFrom(R"({"event_id": "s3", "project": "glimmet"})");
  EXPECT_EQ(MessageNormalizer::detailText(event), "glimmet");
}

std::string taskUpdate(int index) {
  return fmt::format(
      R"({{"event_id": "u{0}", "source": "codex", "event_type": "task_updated",
          "session_id": "sess-1", "title": "Step {0}", "message": "running step {0}",
          "tool_name": "Tool{0}", "timestamp": "2026-05-11T12:00:{0:02}Z"}})",
      index);
}

TEST(MessageGroupingTest, UpdatesOfOneSessionCollapseIntoTheirNewest) {
  std::vector<GlimmetEvent> events;
  for (int index : {3, 0, 9, 5, 1, 8, 2, 7, 4, 6}) events.push_back(eventFrom(taskUpdate(index)));

  const auto grouped = groupVisibleEvents(events, {});
  ASSERT_EQ(grouped.groups.size(), 1u);
  ASSERT_EQ(grouped.sortedVisible.size(), 10u);
  const auto group = grouped.eventsOf(grouped.groups[0]);
  ASSERT_EQ(group.size(), 10u);
  for (size_t index = 0; index < group.size(); ++index) {
    EXPECT_EQ(group[index].id, "u" + std::to_string(9 - index));
  }

  std::set<std::string> readIDs;
  for (const auto& event : events) readIDs.insert(event.id);
  readIDs.erase("u0");
  const auto message = MessageNormalizer::normalize(group, readIDs);
  EXPECT_EQ(message.id, "u9");
  EXPECT_EQ(message.title, "Step 9");
  EXPECT_EQ(message.detail, "Tool9 · running step 9 · session: sess-1");
  EXPECT_EQ(message.timestamp, "2026-05-11T12:00:09Z");
  EXPECT_EQ(message.sourceEventIDs.front(), "u9");
  EXPECT_EQ(message.sourceEventIDs.back(), "u0");
  EXPECT_EQ(message.readState, MessageReadState::unread);

  readIDs.insert("u0");
  EXPECT_EQ(MessageNormalizer::normalize(group, readIDs).readState, MessageReadState::read);
}

TEST(MessageGroupingTest, DifferentRequestsStaySeparateAndRepeatsJoin) {
  const std::string base = R"("source": "claude-code", "session_id": "s", "cwd": "/w",
    "event_type": "permission_request", "action": {"kind": "Bash", "decision_file": "/tmp/d"})";
  const auto first = eventFrom(R"({"event_id": "a", "title": "Run: ls", )" + base +
                               R"(, "timestamp": "2026-05-11T12:00:01Z"})");
  const auto other = eventFrom(R"({"event_id": "b", "title": "Run: rm", )" + base +
                               R"(, "timestamp": "2026-05-11T12:00:02Z"})");
  const auto repeat = eventFrom(R"({"event_id": "c", "title": " RUN: ls ", )" + base +
                                R"(, "timestamp": "2026-05-11T12:00:03Z"})");
  const auto running = eventFrom(R"({"event_id": "d", "source": "claude-code",
    "session_id": "s", "cwd": "/w", "event_type": "task_updated",
    "timestamp": "2026-05-11T12:00:04Z"})");

  EXPECT_EQ(messageGroupKey(first), messageGroupKey(repeat));
  EXPECT_NE(messageGroupKey(first), messageGroupKey(other));
  EXPECT_EQ(messageGroupKey(running), "task|claude code|claude code|s");
  EXPECT_EQ(messageGroupKey(first), "human_loop|claude code|claude code|s|/w|run: ls|bash|");

  const std::vector<GlimmetEvent> events{first, other, repeat, running};
  const auto grouped = groupVisibleEvents(events, {});
  ASSERT_EQ(grouped.groups.size(), 3u);
  EXPECT_EQ(grouped.idsOf(grouped.groups[0]), std::vector<std::string>{"d"});
  EXPECT_EQ(grouped.idsOf(grouped.groups[1]), (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(grouped.idsOf(grouped.groups[2]), std::vector<std::string>{"b"});

  // Questions are told apart by their text, or by their title when they have none.
  const auto question = eventFrom(R"({"event_id": "q1", "event_type": "waiting_input",
    "session_id": "s", "title": "Codex needs input", "message": "Name the branch",
    "response_file": "/tmp/r"})");
  const auto untitled = eventFrom(R"({"event_id": "q2", "event_type": "waiting_input",
    "session_id": "s", "title": "Codex needs input", "response_file": "/tmp/r"})");
  EXPECT_EQ(messageGroupKey(question), "human_loop|unknown|unknown|s|name the branch");
  EXPECT_EQ(messageGroupKey(untitled), "human_loop|unknown|unknown|s|codex needs input");
}

TEST(MessageGroupingTest, HiddenUsageOnlyAndUnlistedEventsNeverBecomeMessages) {
  const std::vector<GlimmetEvent> events = {
      eventFrom(R"({"event_id": "hidden", "event_type": "task_failed", "session_id": "1"})"),
      eventFrom(R"({"event_id": "usage", "event_type": "task_updated", "session_id": "2",
        "notify_policy": "usage_only", "usage": {"rate_limit_label": "OK"}})"),
      eventFrom(R"({"event_id": "answer-by-command", "event_type": "waiting_input",
        "session_id": "3", "response_command": "reply"})"),
      eventFrom(R"({"event_id": "receipt", "event_type": "response_receipt",
        "receipt": {"target_event_id": "x", "action": "approve", "status": "applied"}})"),
      eventFrom(R"({"event_id": "kept", "event_type": "task_failed", "session_id": "4"})"),
  };
  const auto grouped = groupVisibleEvents(events, {"hidden"});
  ASSERT_EQ(grouped.sortedVisible.size(), 1u);
  EXPECT_EQ(grouped.sortedVisible[0]->id, "kept");
  ASSERT_EQ(grouped.groups.size(), 1u);
}

TEST(MessageGroupingTest, GroupsFollowTheirNewestEventAndEqualTimesFavourTheLaterLine) {
  const auto event = [](const std::string& id, const std::string& session,
                        const std::string& time) {
    return eventFrom(R"({"event_id": ")" + id + R"(", "event_type": "task_updated",
      "session_id": ")" +
                     session + R"(", "timestamp": ")" + time + R"("})");
  };
  const std::vector<GlimmetEvent> events{
      event("a1", "a", "2026-05-11T12:00:01Z"), event("b1", "b", "2026-05-11T12:00:02Z"),
      event("a2", "a", "2026-05-11T12:00:03Z"), event("c1", "c", "2026-05-11T12:00:02Z"),
      event("old", "d", "not a date")};
  const auto grouped = groupVisibleEvents(events, {});
  std::vector<std::string> order;
  for (const GlimmetEvent* visible : grouped.sortedVisible) order.push_back(visible->id);
  EXPECT_EQ(order, (std::vector<std::string>{"a2", "c1", "b1", "a1", "old"}));
  ASSERT_EQ(grouped.groups.size(), 4u);
  EXPECT_EQ(grouped.sortedVisible[grouped.groups[0][0]]->id, "a2");
  EXPECT_EQ(grouped.sortedVisible[grouped.groups[0][1]]->id, "a1");
  EXPECT_EQ(grouped.sortedVisible[grouped.groups[1][0]]->id, "c1");
  EXPECT_EQ(grouped.sortedVisible[grouped.groups[2][0]]->id, "b1");
  EXPECT_EQ(grouped.sortedVisible[grouped.groups[3][0]]->id, "old");

  // A task whose lines share one time, or have none, is represented by its last line.
  for (const std::string time : {R"(, "timestamp": "2026-05-11T12:00:00Z")", ""}) {
    const auto started = eventFrom(R"({"event_id": "s", "event_type": "task_started",
      "session_id": "t")" + time + "}");
    const auto finished = eventFrom(R"({"event_id": "f", "event_type": "task_completed",
      "session_id": "t")" + time + "}");
    const std::vector<GlimmetEvent> lines{started, finished};
    const auto task = groupVisibleEvents(lines, {});
    ASSERT_EQ(task.groups.size(), 1u);
    EXPECT_EQ(task.sortedVisible[task.groups[0][0]]->id, "f") << time;
    ASSERT_EQ(task.representatives.size(), 1u);
    EXPECT_EQ(task.representatives[0]->id, "f") << time;
  }
}

TEST(MessageGroupingTest, ABareNotificationRepeatsTheRequestBeforeIt) {
  const auto event = [](const std::string& id, const std::string& fields, int second) {
    return eventFrom(fmt::format(R"({{"event_id": "{}", "source": "claude_code",
      "session_id": "s", "timestamp": "2026-05-11T12:00:0{}Z", {}}})",
                                 id, second, fields));
  };
  const auto permission =
      event("p", R"("event_type": "permission_request", "action": {"kind": "shell"})", 1);
  const auto notification = event("n", R"("event_type": "waiting_input")", 2);
  const auto ran = event("r", R"("event_type": "task_updated")", 3);

  const std::vector<GlimmetEvent> asked{permission, notification};
  auto grouped = groupVisibleEvents(asked, {});
  ASSERT_EQ(grouped.representatives.size(), 1u);
  EXPECT_EQ(grouped.representatives[0]->id, "p");
  EXPECT_EQ(grouped.groups.size(), 2u);  // the notification is listed, as status

  const std::vector<GlimmetEvent> movedOn{permission, notification, ran};
  grouped = groupVisibleEvents(movedOn, {});
  ASSERT_EQ(grouped.representatives.size(), 1u);
  EXPECT_EQ(grouped.representatives[0]->id, "r");

  // Without a request before it, the notification is what the task is doing.
  const std::vector<GlimmetEvent> unasked{event("u", R"("event_type": "task_updated")", 1),
                                          notification};
  grouped = groupVisibleEvents(unasked, {});
  ASSERT_EQ(grouped.representatives.size(), 1u);
  EXPECT_EQ(grouped.representatives[0]->id, "n");
}

TEST(MessageGroupingTest, EventsWithoutSessionOrDirectoryAreTheirOwnTasks) {
  // Neither names a session or a working directory: both would default to the home folder.
  const auto first = eventFrom(R"({"event_id": "n1", "source": "gemini",
    "event_type": "task_failed", "title": "Lint failed"})");
  const auto second = eventFrom(R"({"event_id": "n2", "source": "gemini",
    "event_type": "task_completed", "title": "Deployed"})");
  EXPECT_NE(messageGroupKey(first), messageGroupKey(second));
  const std::vector<GlimmetEvent> both{first, second};
  const auto grouped = groupVisibleEvents(both, {});
  ASSERT_EQ(grouped.groups.size(), 2u);
  EXPECT_EQ(grouped.representatives.size(), 2u);

  // A working directory, a session or the agent's own task key still joins them.
  for (const std::string identity :
       {R"("cwd": "/work/app")", R"("session_id": "s")", R"("task_key": "deploy")"}) {
    const auto a = eventFrom(R"({"event_id": "a", "source": "gemini", )" + identity + "}");
    const auto b = eventFrom(R"({"event_id": "b", "source": "gemini", )" + identity + "}");
    EXPECT_EQ(messageGroupKey(a), messageGroupKey(b)) << identity;
  }
}

TEST(IslandMessageTest, RelativeTimeBoundaries) {
  const Timestamp now = at("2026-05-11T12:00:00Z");
  const auto ago = [&](const std::string& time) {
    return relativeTime(eventFrom(R"({"event_id": "t", "timestamp": ")" + time + R"("})"), now);
  };
  EXPECT_EQ(ago("2026-05-11T12:00:00Z"), "0s ago");
  EXPECT_EQ(ago("2026-05-11T11:59:01Z"), "59s ago");
  EXPECT_EQ(ago("2026-05-11T11:59:00.500Z"), "59s ago");
  EXPECT_EQ(ago("2026-05-11T11:59:00Z"), "1m ago");
  EXPECT_EQ(ago("2026-05-11T11:00:01Z"), "59m ago");
  EXPECT_EQ(ago("2026-05-11T11:00:00Z"), "1h ago");
  EXPECT_EQ(ago("2026-05-10T12:00:01Z"), "23h ago");
  EXPECT_EQ(ago("2026-05-10T12:00:00Z"), "1d ago");
  EXPECT_EQ(ago("2026-05-09T11:00:00Z"), "2d ago");
  EXPECT_EQ(ago("2026-05-11T12:05:00Z"), "0s ago");
  EXPECT_EQ(ago("yesterday"), "now");
  EXPECT_EQ(ago("0001-01-01T00:00:00Z"), "now");
  EXPECT_EQ(relativeTime(eventFrom(R"({"event_id": "none"})"), now), "now");
}

TEST(IslandMessageTest, ButtonsCarryWireRolesAndApproveIsShownAsAuthorize) {
  const auto event = eventFrom(R"({"event_id": "p", "source": "claude-code",
    "event_type": "permission_request", "title": "Run: rm -rf build",
    "timestamp": "2026-05-11T11:55:00Z",
    "action": {"kind": "Bash", "risk": "high", "decision_file": "/tmp/decide.json"}})");
  int resolved = 0;
  const JumpLookup jumpFor = [&](const GlimmetEvent& target) {
    ++resolved;
    ResolvedJumpTarget jump;
    jump.available = true;
    jump.label = "jump to " + target.id;
    return std::optional<ResolvedJumpTarget>(jump);
  };
  const auto message = makeIslandMessage({event}, {}, jumpFor, at("2026-05-11T12:00:00Z"));

  EXPECT_EQ(message.buttons, (std::vector<IslandButton>{{"Authorize", "authorize"},
                                                        {"Reject", "reject"},
                                                        {"Ignore", "ignore"},
                                                        {"Jump", "jump"}}));
  EXPECT_EQ(message.tool, "Claude Code");
  EXPECT_EQ(message.toolColor, toolColor("claude-code"));
  EXPECT_EQ(message.badge, "Approval");
  EXPECT_EQ(message.title, "Run: rm -rf build");
  EXPECT_EQ(message.time, "5m ago");
  EXPECT_EQ(message.risk, MessageRisk::high);
  EXPECT_EQ(message.responseChannel, ResponseChannel::decisionFile("/tmp/decide.json"));
  EXPECT_EQ(resolved, 1);
  ASSERT_TRUE(message.jump.has_value());
  EXPECT_EQ(message.jump->label, "jump to p");
  ASSERT_TRUE(message.normalized.has_value());
  ASSERT_TRUE(message.normalized->jump.has_value());
  EXPECT_TRUE(message.normalized->actions[0].requiresConfirmation);
  EXPECT_NE(message.accent, message.fill);

  // A lower risk of the same request is drawn differently.
  const auto calm = eventFrom(R"({"event_id": "p2", "event_type": "permission_request",
    "action": {"kind": "Bash", "risk": "low", "decision_file": "/tmp/d"}})");
  EXPECT_NE(makeIslandMessage({calm}, {}, {}, at("2026-05-11T12:00:00Z")).accent, message.accent);

  const auto choice = eventFrom(R"({"event_id": "c", "event_type": "waiting_input",
    "response_file": "/tmp/a", "options": [{"id": "y", "label": "Yes"}]})");
  const auto choiceMessage = makeIslandMessage({choice}, {}, {}, at("2026-05-11T12:00:00Z"));
  EXPECT_EQ(choiceMessage.buttons,
            (std::vector<IslandButton>{
                {"Yes", "choose_option"}, {"Jump", "jump"}, {"Ignore", "ignore"}}));
  EXPECT_FALSE(choiceMessage.jump.has_value());
  EXPECT_EQ(choiceMessage.choiceOptions.size(), 1u);
  EXPECT_EQ(choiceMessage.responseChannel, ResponseChannel::responseFile("/tmp/a"));
}

}  // namespace
}  // namespace glimmet
