// Cards of waiting requests and the commands their buttons send: the same typed commands the
// console sends for "allow", "always", "deny", "choose" and "reply".

#include "ui/view/panel_cards.hpp"

#include <gtest/gtest.h>

#include "ui/view_test_support.hpp"

namespace glimmet {
namespace {

using namespace viewtest;

std::vector<std::string> roles(const PanelCard& card) {
  std::vector<std::string> out;
  for (const auto& button : card.buttons) out.push_back(button.role);
  return out;
}

Command::Decide decideOf(const std::optional<AppCommand>& command) {
  EXPECT_TRUE(command);
  if (!command) return {};
  const auto* decide = std::get_if<Command::Decide>(&*command);
  EXPECT_TRUE(decide);
  return decide ? *decide : Command::Decide{};
}

TEST(PanelCards, EachRequestKindGetsTheButtonsItAllows) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {
      waitingRequest("claude", PendingActionKind::permissionRequest, "claude_code", "a"),
      waitingRequest("codex", PendingActionKind::permissionRequest, "codex", "b"),
      waitingRequest("choice", PendingActionKind::waitingChoice, "claude_code", "c"),
      waitingRequest("input", PendingActionKind::waitingInput, "claude_code", "d"),
  };
  const auto cards = panelCards(snapshot, at(65));
  ASSERT_EQ(cards.size(), 4u);
  EXPECT_EQ(roles(cards[0]), (std::vector<std::string>{"authorize", "always", "reject"}));
  // Codex keeps no "always" rule.
  EXPECT_EQ(roles(cards[1]), (std::vector<std::string>{"authorize", "reject"}));
  EXPECT_EQ(roles(cards[2]), (std::vector<std::string>{"choose_option"}));
  ASSERT_EQ(cards[2].options.size(), 2u);
  EXPECT_EQ(cards[2].options[1].optionID, "no");
  EXPECT_EQ(roles(cards[3]), (std::vector<std::string>{"send_input", "reject"}));
  EXPECT_TRUE(cards[3].textInput);
  EXPECT_TRUE(cards[3].noteEnabled);
  EXPECT_EQ(cards[0].buttons[0].label, "Authorize");
  EXPECT_EQ(cards[0].buttons[2].label, "Deny");
  EXPECT_EQ(cards[0].id, "claude");
  EXPECT_FALSE(cards[0].messageID);
  EXPECT_EQ(cards[0].detail, "Run: cargo test");
  EXPECT_EQ(cards[0].tool, "Claude Code");
  EXPECT_EQ(cards[0].time, "1m ago");

  EXPECT_EQ(decideOf(cardCommand(cards[0], "authorize", "")).decision,
            allowDecision(UserDecision::Mode::once));
  EXPECT_EQ(decideOf(cardCommand(cards[0], "always", "")).decision,
            allowDecision(UserDecision::Mode::always));
  EXPECT_EQ(decideOf(cardCommand(cards[0], "reject", "")).decision, denyDecision());
  EXPECT_EQ(decideOf(cardCommand(cards[0], "reject", "")).requestID, "claude");
  EXPECT_EQ(decideOf(cardCommand(cards[2], "choose_option:no", "")).decision, choiceDecision("no"));
  auto withNote = choiceDecision("yes");
  withNote.text = "but be careful";
  EXPECT_EQ(decideOf(cardCommand(cards[2], "choose_option:yes", "  but be careful ")).decision,
            withNote);
  EXPECT_EQ(decideOf(cardCommand(cards[3], "send_input", "ship it")).decision,
            replyDecision("ship it"));
  // Opening the body or an empty reply decides nothing.
  EXPECT_FALSE(cardCommand(cards[2], "choose_option", ""));
  EXPECT_FALSE(cardCommand(cards[3], "send_input", "   "));
}

TEST(PanelCards, TheSessionsMessageCarriesTheRequestInsteadOfASecondCard) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {
      waitingRequest("r1", PendingActionKind::permissionRequest, "claude_code", "sess-1")};
  snapshot.messages = {statusMessage("m0", "Reading"), permissionMessage("p1", "sess-1", "high")};
  const auto cards = panelCards(snapshot, at(0));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].id, "m0");
  const PanelCard& carried = cards[1];
  EXPECT_EQ(carried.id, "p1");
  EXPECT_EQ(carried.requestID, "r1");
  EXPECT_EQ(roles(carried),
            (std::vector<std::string>{"authorize", "always", "reject", "ignore", "jump"}));
  // High risk: Authorize and Always ask twice.
  EXPECT_TRUE(carried.button("authorize")->requiresConfirmation);
  EXPECT_TRUE(carried.button("always")->requiresConfirmation);
  EXPECT_FALSE(carried.button("reject")->requiresConfirmation);
  EXPECT_EQ(decideOf(cardCommand(carried, "authorize", "")).requestID, "r1");
  // Buttons that decide nothing still act on the message.
  const auto hide = cardCommand(carried, "ignore", "");
  ASSERT_TRUE(hide);
  EXPECT_EQ(std::get<Command::Hide>(*hide).messageID, "p1");
  const auto jump = cardCommand(carried, "jump", "");
  ASSERT_TRUE(jump);
  EXPECT_EQ(std::get<Command::PerformMessageAction>(*jump).role, "jump");
  const auto read = cardCommand(cards[0], "mark_read", "");
  ASSERT_TRUE(read);
  EXPECT_EQ(std::get<Command::MarkRead>(*read).messageID, "m0");
}

TEST(PanelCards, MessagesWithoutARequestKeepTheirOwnButtons) {
  AppSnapshot snapshot;
  snapshot.messages = {permissionMessage("p1", "sess-1", "medium"), choiceMessage("c1")};
  const auto cards = panelCards(snapshot, at(0));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(roles(cards[0]), (std::vector<std::string>{"authorize", "reject", "ignore", "jump"}));
  EXPECT_FALSE(cards[0].button("authorize")->requiresConfirmation);
  EXPECT_EQ(cards[0].risk, MessageRisk::medium);
  const auto authorize = cardCommand(cards[0], "authorize", "");
  ASSERT_TRUE(authorize);
  EXPECT_EQ(std::get<Command::PerformMessageAction>(*authorize).messageID, "p1");
  // A choice: a button opens the options; each option is a pill of the body.
  EXPECT_EQ(roles(cards[1]), (std::vector<std::string>{"choose_option", "jump", "ignore"}));
  ASSERT_EQ(cards[1].options.size(), 2u);
  EXPECT_TRUE(cards[1].noteEnabled);
  const auto choose = cardCommand(cards[1], "choose_option:b", "");
  ASSERT_TRUE(choose);
  EXPECT_EQ(std::get<Command::PerformMessageAction>(*choose).role, "choose_option:b");
}

}  // namespace
}  // namespace glimmet
