// The panel's fixed geometry: heights, cards, buttons, the choice body, the toolbar.

#include "ui/view/expanded_layout.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

PanelCard cardWith(std::vector<std::string> labels) {
  PanelCard card;
  card.id = "m";
  for (auto& label : labels) card.buttons.push_back({label, "jump"});
  return card;
}

TEST(ExpandedLayout, HeightGrowsWithTheFirstThreeMessages) {
  EXPECT_EQ(expandedOverlayHeight(0), 260);
  EXPECT_EQ(expandedOverlayHeight(1), 317);
  EXPECT_EQ(expandedOverlayHeight(2), 409);
  EXPECT_EQ(expandedOverlayHeight(3), 501);
  EXPECT_EQ(expandedOverlayHeight(7), 501);
  EXPECT_EQ(expandedOverlaySize(false), (Size{540, 260}));
  EXPECT_EQ(expandedOverlaySize(true), (Size{540, 501}));
  EXPECT_EQ(messagePageAvailableHeight(501), 281);
  EXPECT_EQ(messagePageAvailableHeight(100), 0);
}

TEST(ExpandedLayout, CardsAndButtons) {
  EXPECT_EQ(messageRect(0, 0), (Rect{12, 190, 516, 84}));
  EXPECT_EQ(messageRect(2, 0), (Rect{12, 374, 516, 84}));
  EXPECT_EQ(messageRect(1, 104), (Rect{12, 386, 516, 84}));

  const Rect card = messageRect(0, 0);
  // "Authorize" 20 + 9 x 5.2 = 66.8; "Deny" 40.8; a long label stops at 78.
  const auto rects = actionButtonRects(cardWith({"Authorize", "Deny"}).buttons, card);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_NEAR(rects[1].maxX(), card.maxX() - 12, 1e-9);
  EXPECT_NEAR(rects[1].width, 40.8, 1e-9);
  EXPECT_NEAR(rects[0].width, 66.8, 1e-9);
  EXPECT_NEAR(rects[0].maxX(), rects[1].minX() - 5, 1e-9);
  EXPECT_EQ(rects[0].height, 20);
  EXPECT_EQ(rects[0].maxY(), card.maxY() - 10);
  EXPECT_EQ(actionButtonWidth("A very long button label"), 78);
  EXPECT_NEAR(actionButtonWidth("Jump"), 40.8, 1e-9);
  // Characters, not bytes: four letters of Cyrillic are as wide as four of Latin.
  EXPECT_NEAR(actionButtonWidth("Пуск"), 40.8, 1e-9);
}

TEST(ExpandedLayout, ToolbarSettingsQuitAndEmptyLine) {
  EXPECT_EQ(clearAllRect(), (Rect{504, 162, 22, 22}));
  EXPECT_EQ(clearPageRect(), (Rect{476, 162, 22, 22}));
  EXPECT_EQ(topSettingsRect(), (Rect{505, 5, 24, 24}));
  EXPECT_EQ(settingsHitRect(), (Rect{468, 0, 72, 42}));
  EXPECT_EQ(quitRect(540, 260), (Rect{507, 235, 20, 20}));
  // Centred between the first row top (190) and the footer (260 - 30).
  EXPECT_EQ(emptyInboxRect(260), (Rect{12, 201, 516, 18}));
  EXPECT_EQ(emptyInboxRect(260).midY(), (190 + 230) / 2.0);
  const auto top = expandedTopStatusLayout(540);
  EXPECT_EQ(top.statusDot.x, 138);
  EXPECT_EQ(top.statusDot.y, 15);
  EXPECT_EQ(top.toolText, (Rect{150, 7, 44, 16}));
  EXPECT_EQ(top.usageText, (Rect{200, 7, 250, 16}));
  EXPECT_EQ(expandedTopStatusLayout(200).usageText.width, 40);
}

TEST(ExpandedLayout, ChoiceBodyAndThePageItLeaves) {
  PanelCard choice;
  choice.id = "choice";
  choice.noteEnabled = true;
  choice.options = {{"a", "Plan A", true, {}}, {"b", "Plan B", true, {}}};
  PanelCard plain;
  plain.id = "plain";
  EXPECT_EQ(choiceBodyHeight(choice), 96);  // two pills and a note fit the minimum
  EXPECT_EQ(expandedChoiceExtraHeight(choice), 104);

  const Rect card = messageRect(0, 0);
  const auto body = choiceBodyLayout(choice, card);
  EXPECT_EQ(body.body, (Rect{12, 282, 516, 96}));
  ASSERT_EQ(body.pills.size(), 2u);
  ASSERT_TRUE(body.note);
  EXPECT_FALSE(body.send);
  for (const auto& pill : body.pills) {
    EXPECT_GE(pill.minX(), body.body.minX());
    EXPECT_LE(pill.maxX(), body.body.maxX());
    EXPECT_LE(pill.maxY(), body.note->minY());
  }
  EXPECT_LE(body.note->maxY(), body.body.maxY());

  // Many options wrap into rows and grow the body past 96.
  PanelCard many = choice;
  for (int i = 0; i < 30; ++i)
    many.options.push_back({"o" + std::to_string(i), "Option " + std::to_string(i), true, {}});
  EXPECT_GT(choiceBodyHeight(many), 96);
  for (const auto& pill : choiceBodyLayout(many, card).pills) {
    EXPECT_LE(pill.maxX(), card.maxX() - 12);
  }
  // A label longer than the body is cut to the body's inner width.
  PanelCard wide = choice;
  wide.options = {{"w", std::string(400, 'W'), true, {}}};
  EXPECT_EQ(choiceBodyLayout(wide, card).pills[0].width, 516 - 24);

  const std::vector<PanelCard> cards{plain, choice, plain, plain, plain};
  EXPECT_EQ(fittedPageMessages(cards, std::nullopt, 3, 281), (std::vector<size_t>{0, 1, 2}));
  // Open: 92 + 188 fits 281; a third card does not.
  EXPECT_EQ(fittedPageMessages(cards, std::string("choice"), 3, 281), (std::vector<size_t>{0, 1}));
  // An open choice further down stays on the page.
  std::vector<PanelCard> lower{plain, plain, plain, plain, choice};
  const auto page = fittedPageMessages(lower, std::string("choice"), 3, 281);
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(page.back(), 4u);
  EXPECT_EQ(page.size(), 2u);
  // With one card and an open choice the panel grows to hold the body.
  EXPECT_EQ(expandedPanelHeight({choice}, std::string("choice")), 190 + 84 + 104 + 43);
  EXPECT_EQ(expandedPanelHeight(cards, std::string("choice")), 501);
  EXPECT_EQ(expandedPanelHeight({choice}, std::nullopt), 317);
}

}  // namespace
}  // namespace glimmet
