#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/view/geometry.hpp"
#include "ui/view/panel_cards.hpp"

namespace glimmet {

namespace ExpandedMetrics {
inline constexpr double kWidth = 540;
inline constexpr double kEmptyHeight = 260;
inline constexpr double kMaximumHeight = 501;
inline constexpr double kFirstRowTop = 190;
inline constexpr double kCardHeight = 84;
inline constexpr double kCardGap = 8;
inline constexpr double kCardInset = 12;
inline constexpr double kFooterHeight = 30;
// Below the last card: the footer and 13 points of air.
inline constexpr double kBottomAllowance = 43;
inline constexpr size_t kMaximumVisibleCards = 5;
// The cards that fit a full-height panel.
inline constexpr size_t kPageLimit = 3;
inline constexpr double kToolbarButtonSize = 22;
inline constexpr double kToolbarTop = 162;
inline constexpr double kToolbarRightInset = 14;
inline constexpr double kToolbarGap = 6;
inline constexpr double kMinimumChoiceBodyHeight = 96;
inline constexpr double kButtonHeight = 20;
inline constexpr double kButtonGap = 5;
inline constexpr double kButtonRightInset = 12;
inline constexpr double kButtonBottomInset = 10;
inline constexpr double kButtonMaximumWidth = 78;
inline constexpr double kSettingsX = 35;  // from the right edge
inline constexpr double kSettingsY = 5;
inline constexpr double kSettingsSize = 24;
inline constexpr double kSettingsHitWidth = 72;
inline constexpr double kSettingsHitHeight = 42;
inline constexpr double kQuitSize = 20;
inline constexpr double kCornerRadius = 22;
}  // namespace ExpandedMetrics

double expandedOverlayHeight(size_t messageCount);
Size expandedOverlaySize(bool hasMessages);
double messagePageAvailableHeight(double panelHeight);

// Card `index` on the page, `extraAbove` the height of expanded choice bodies above it.
Rect messageRect(size_t index, double extraAbove, double panelWidth = ExpandedMetrics::kWidth);
// Compact text capsules, right-aligned at the card's bottom right, in the order of `buttons`.
double actionButtonWidth(const std::string& label);
std::vector<Rect> actionButtonRects(const std::vector<CardButton>& buttons, const Rect& card);

// The open choice body of a card: option pills in rows, then the note (or reply) field; for a
// text request a Send button beside the field.
struct ChoiceBodyLayout {
  Rect body;
  std::vector<Rect> pills;
  std::optional<Rect> note;
  std::optional<Rect> send;
};
double choiceBodyHeight(const PanelCard& card, double panelWidth = ExpandedMetrics::kWidth);
// Extra height an open choice adds below its card: the gap and the body.
double expandedChoiceExtraHeight(const PanelCard& card);
ChoiceBodyLayout choiceBodyLayout(const PanelCard& card, const Rect& cardRect);
double choicePillWidth(const std::string& label, double innerWidth);

// The cards of the first page: `baseLimit` cards, or fewer when an open choice needs the room;
// an open choice further down stays on the page. Indices into `cards`.
std::vector<size_t> fittedPageMessages(const std::vector<PanelCard>& cards,
                                       const std::optional<std::string>& expandedChoiceID,
                                       size_t baseLimit, double availableHeight);
// The panel height: by card count, grown (up to the maximum) for an open choice.
double expandedPanelHeight(const std::vector<PanelCard>& cards,
                           const std::optional<std::string>& expandedChoiceID);

Rect emptyInboxRect(double panelHeight, double panelWidth = ExpandedMetrics::kWidth);
Rect clearAllRect(double panelWidth = ExpandedMetrics::kWidth);
Rect clearPageRect(double panelWidth = ExpandedMetrics::kWidth);
Rect quitRect(double panelWidth, double panelHeight);
Rect topSettingsRect(double panelWidth = ExpandedMetrics::kWidth);
Rect settingsHitRect(double panelWidth = ExpandedMetrics::kWidth);

struct TopStatusLayout {
  Rect statusDot;
  Rect toolText;
  Rect usageText;
};
TopStatusLayout expandedTopStatusLayout(double width);

// The quota text of the top row is expandedTopQuotaText(UsageSnapshot) of the model.

}  // namespace glimmet
