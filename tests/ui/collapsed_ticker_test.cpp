// The capsule's ticker: which entries, in which order, with which words, and when it turns.

#include "ui/view/collapsed_ticker.hpp"

#include <gtest/gtest.h>

#include "ui/view/view_colors.hpp"
#include "ui/view_test_support.hpp"

namespace glimmet {
namespace {

using namespace viewtest;

std::vector<std::string> labels(const std::vector<CollapsedTickerDisplay>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(std::string(rawValue(item.kind)) + ":" + item.label);
  return out;
}

UsageMetric metric(std::string label, std::string suffix = {}) {
  UsageMetric m;
  m.label = std::move(label);
  m.suffix = std::move(suffix);
  return m;
}

TEST(CollapsedTicker, EmptyInboxIsOneAllClearEntry) {
  const auto items = collapsedTickerItems(AppSnapshot{});
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].kind, CollapsedTickerKind::idle);
  EXPECT_EQ(items[0].label, "All clear");
  EXPECT_EQ(items[0].tool, "Glimmet");
  EXPECT_EQ(items[0].accent, Color::white(0.58));
  EXPECT_FALSE(items[0].showsApprovalBadge);
}

TEST(CollapsedTicker, ApprovalsFirstThenMessagesCompletionsUsage) {
  AppSnapshot snapshot;
  // Inbox order, newest first: a completion, a status, an approval, a usage report.
  snapshot.messages = {
      completionMessage("c1", R"(,"completion_snippet":"Refactored the parser")"),
      statusMessage("m1", "Reading files"),
      permissionMessage("p1", "sess-9"),
      messageFromLine(R"({"event_id":"u1","source":"claude-code","notify_policy":"usage_only",)"
                      R"("title":"Usage","usage":{"five_hour_percent":5}})"),
  };
  UsageSnapshot usage;
  usage.tool = "Claude Code";
  usage.toolID = "claude-code";
  usage.fiveHour = metric("42% used", "12:56 PM");
  usage.weekly = metric("18% used");
  snapshot.usageCarousel = {{"Claude", usage}};
  const auto items = collapsedTickerItems(snapshot);
  EXPECT_EQ(labels(items),
            (std::vector<std::string>{"approval:Need approve", "message:Reading files",
                                      "completion:Refactored the parser",
                                      "usage:5h 42% used · 7d 18% used"}));
  EXPECT_EQ(items[0].accent, Color::rgb(245, 179, 1));
  EXPECT_EQ(items[0].accent.red, 0.9607843137254902);
  EXPECT_FALSE(items[0].showsApprovalBadge);
  // Ordinary messages carry the pending count.
  EXPECT_TRUE(items[1].showsApprovalBadge);
  EXPECT_EQ(items[1].approvalCount, 1);
  EXPECT_FALSE(items[2].showsApprovalBadge);
  EXPECT_EQ(items[3].deadlineLabel, "Resets 12:56 PM");
  EXPECT_EQ(items[3].tool, "Claude");
}

TEST(CollapsedTicker, CompletionPlaceholdersReadDone) {
  AppSnapshot snapshot;
  snapshot.messages = {
      completionMessage("c1", R"(,"message":"Lifecycle event captured locally.")"),
      completionMessage(
          "c2",
          R"(,"message":"Turn complete. Prompt and response text were not stored by Glimmet.")"),
      completionMessage("c3", R"(,"message":"Tests pass")"),
      completionMessage("c4", R"(,"completion_snippet":"","message":"")"),
  };
  EXPECT_EQ(labels(collapsedTickerItems(snapshot)),
            (std::vector<std::string>{"completion:Done", "completion:Done", "completion:Tests pass",
                                      "completion:Done"}));
}

TEST(CollapsedTicker, WaitingRequestsCountAsApprovalsOnce) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {waitingRequest("r1", PendingActionKind::permissionRequest)};
  auto items = collapsedTickerItems(snapshot);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].kind, CollapsedTickerKind::approval);
  EXPECT_EQ(items[0].label, "Need approve");
  EXPECT_EQ(items[0].tool, "Claude Code");

  // The inbox message of the same session reports the same question: still one entry.
  snapshot.messages = {permissionMessage("p1", "sess-1"), statusMessage("m1", "Working")};
  items = collapsedTickerItems(snapshot);
  EXPECT_EQ(labels(items), (std::vector<std::string>{"approval:Need approve", "message:Working"}));
  EXPECT_EQ(items[1].approvalCount, 1);

  // Another session's request is a second question.
  snapshot.waitingRequests.push_back(
      waitingRequest("r2", PendingActionKind::permissionRequest, "codex", "other"));
  items = collapsedTickerItems(snapshot);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].tool, "Codex CLI");
  EXPECT_EQ(items[2].approvalCount, 2);
}

TEST(CollapsedTicker, UsageLabelsAndResetAccessory) {
  UsageSnapshot usage;
  usage.label = "Claude usage";
  EXPECT_EQ(collapsedUsageDeadlineLabel(usage), std::nullopt);
  EXPECT_EQ(collapsedUsageLabel(usage, std::nullopt), "Claude usage");

  usage.fiveHour = metric("42% used", "  12:56 PM\n");
  auto deadline = collapsedUsageDeadlineLabel(usage);
  EXPECT_EQ(deadline, "Resets 12:56 PM");
  EXPECT_EQ(collapsedUsageLabel(usage, deadline), "42% used");
  EXPECT_EQ(collapsedUsageLabel(usage, std::nullopt), "5h limit · 42% used");

  usage.fiveHour = metric("42% used", "resets at 1 PM");
  EXPECT_EQ(collapsedUsageDeadlineLabel(usage), "resets at 1 PM");
  usage.fiveHour = metric("42% used", "   ");
  usage.weekly = metric("18% used", "May 14");
  EXPECT_EQ(collapsedUsageDeadlineLabel(usage), "Resets May 14");

  usage.rateLimit = metric("blocked", "3:00 PM");
  deadline = collapsedUsageDeadlineLabel(usage);
  EXPECT_EQ(collapsedUsageLabel(usage, deadline), "blocked");
  EXPECT_EQ(collapsedUsageLabel(usage, std::nullopt), "Usage limit · blocked");

  UsageSnapshot daily;
  daily.label = "own label";
  daily.daily = metric("12k tokens");
  EXPECT_EQ(collapsedUsageLabel(daily, std::nullopt), "own label");
  EXPECT_EQ(collapsedUsageLabel(daily, std::string("Resets 1 PM")), "12k tokens");
}

TEST(CollapsedTicker, RotatesEveryFourSecondsOnlyWithTwoOrMore) {
  TickerRotation rotation;
  EXPECT_FALSE(rotateCollapsedTickerIfNeeded(rotation, 1, at(0)));
  EXPECT_FALSE(rotateCollapsedTickerIfNeeded(rotation, 1, at(100)));
  EXPECT_EQ(rotation.index, 0u);
  EXPECT_EQ(nextTickerRotation(rotation, 1), std::nullopt);

  // A second entry arrives: the first gets its full four seconds.
  EXPECT_FALSE(rotateCollapsedTickerIfNeeded(rotation, 2, at(200)));
  EXPECT_EQ(nextTickerRotation(rotation, 2), at(204));
  EXPECT_FALSE(rotateCollapsedTickerIfNeeded(rotation, 2, at(203.99)));
  EXPECT_TRUE(rotateCollapsedTickerIfNeeded(rotation, 2, at(204)));
  EXPECT_EQ(rotation.index, 1u);
  EXPECT_TRUE(rotateCollapsedTickerIfNeeded(rotation, 2, at(208)));
  EXPECT_EQ(rotation.index, 0u);
  EXPECT_TRUE(rotateCollapsedTickerIfNeeded(rotation, 2, at(212)));
  EXPECT_EQ(rotation.index, 1u);

  // The queue shrinks below the index: back to the first entry.
  rotation.index = 4;
  const std::vector<CollapsedTickerDisplay> two(2);
  EXPECT_EQ(&collapsedTickerDisplay(two, rotation.index), &two[0]);
  EXPECT_TRUE(rotateCollapsedTickerIfNeeded(rotation, 3, at(213)));
  EXPECT_EQ(rotation.index, 0u);
  EXPECT_TRUE(rotateCollapsedTickerIfNeeded(rotation, 1, at(214)) || rotation.index == 0);
  EXPECT_EQ(rotation.index, 0u);
}

TEST(CollapsedTicker, MemoRebuildsOnlyWhenItsInputsChange) {
  CollapsedTickerMemo memo;
  AppSnapshot snapshot;
  snapshot.storeRevision = 3;
  snapshot.messages = {statusMessage("m1", "One")};
  EXPECT_EQ(memo.items(snapshot)[0].label, "One");
  snapshot.revision = 9;  // a banner, say: nothing the ticker reads
  snapshot.messages = {statusMessage("m1", "Stale")};
  EXPECT_EQ(memo.items(snapshot)[0].label, "One");
  EXPECT_EQ(memo.rebuildCount(), 1);
  snapshot.waitingRequests = {waitingRequest("r1", PendingActionKind::permissionRequest)};
  EXPECT_EQ(memo.items(snapshot)[0].label, "Need approve");
  snapshot.storeRevision = 4;
  EXPECT_EQ(memo.items(snapshot).size(), 2u);
  EXPECT_EQ(memo.rebuildCount(), 3);
}

TEST(CollapsedTicker, MacBookWordsAndColours) {
  auto entry = [](CollapsedTickerKind kind, std::string label, Color accent = Color::rgb(1, 2, 3)) {
    CollapsedTickerDisplay display;
    display.kind = kind;
    display.label = std::move(label);
    display.accent = accent;
    return display;
  };
  using K = CollapsedTickerKind;
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::approval, "Need approve"), PetState::idle),
            "Approve");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::message, "I reviewed it"), PetState::idle),
            "review");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::message, "— ! ?"), PetState::idle), "Msg");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::completion, "x"), PetState::idle), "Done");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::completion, "Refactored"), PetState::idle),
            "Refact");
  EXPECT_EQ(
      macBookCollapsedStatusLabel(entry(K::usage, "5h 42% used · 7d 18% used"), PetState::idle),
      "5h 42%");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "weekly: 18% used"), PetState::idle),
            "7d 18%");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "5 hour limit · 90% used"), PetState::idle),
            "5h 90%");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "Blocked until 3 PM"), PetState::idle),
            "Limit");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "Usage limit · reached"), PetState::idle),
            "Limit");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "used 37%"), PetState::idle), "37%");
  // "1.2k" splits at the point; "2k" is the first piece longer than one character.
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, "1.2k tokens"), PetState::idle), "2k");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::usage, ""), PetState::tired), "Tired");
  EXPECT_EQ(macBookCollapsedStatusLabel(entry(K::idle, "All clear"), PetState::working), "Busy");
  EXPECT_EQ(compactMacBookStatusWord("Élan vital"), "Élan");
  EXPECT_EQ(compactMacBookStatusWord("a b"), std::nullopt);
  EXPECT_EQ(shortPetStateLabel(PetState::approval), "Wait");
  EXPECT_EQ(shortPetStateLabel(PetState::error), "Error");

  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::approval, ""), PetState::idle),
            Color::rgb(245, 179, 1));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::usage, "Usage LIMIT"), PetState::idle),
            Color::rgb(255, 155, 61));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::usage, "42% used"), PetState::idle),
            Color::rgb(1, 2, 3));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::message, "x"), PetState::idle),
            Color::rgb(1, 2, 3));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::idle, ""), PetState::idle), Color::white(0.58));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::idle, ""), PetState::working),
            Color::rgb(139, 92, 246));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::idle, ""), PetState::done),
            Color::rgb(0, 214, 163));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::idle, ""), PetState::error),
            Color::rgb(255, 77, 94));
  EXPECT_EQ(macBookCollapsedStatusColor(entry(K::idle, ""), PetState::tired),
            Color::rgb(255, 155, 61));
}

}  // namespace
}  // namespace glimmet
