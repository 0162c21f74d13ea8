#include "ui/view/expanded_layout.hpp"

#include <algorithm>

#include "base/text.hpp"

namespace glimmet {

using namespace ExpandedMetrics;

namespace {

constexpr double kBodyPadding = 12;
constexpr double kPillHeight = 24;
constexpr double kPillGap = 8;
constexpr double kNoteHeight = 26;
constexpr double kSendWidth = 56;

double rowsHeight(size_t count) {
  if (count == 0) return 0;
  return static_cast<double>(count) * kCardHeight + static_cast<double>(count - 1) * kCardGap;
}

bool isOpen(const PanelCard& card, const std::optional<std::string>& expandedChoiceID) {
  return expandedChoiceID && card.id == *expandedChoiceID && card.hasChoiceBody();
}

double cardSlotHeight(const PanelCard& card, const std::optional<std::string>& expandedChoiceID) {
  return kCardHeight + kCardGap +
         (isOpen(card, expandedChoiceID) ? expandedChoiceExtraHeight(card) : 0);
}

// Pill rows laid out left to right, wrapping at the inner width.
std::vector<Rect> pillRects(const PanelCard& card, const Rect& inner) {
  std::vector<Rect> rects;
  double x = inner.minX();
  double y = inner.minY();
  for (const auto& option : card.options) {
    const double width = choicePillWidth(option.label, inner.width);
    if (x > inner.minX() && x + width > inner.maxX()) {
      x = inner.minX();
      y += kPillHeight + kPillGap;
    }
    rects.push_back({x, y, width, kPillHeight});
    x += width + kPillGap;
  }
  return rects;
}

}  // namespace

double expandedOverlayHeight(size_t messageCount) {
  if (messageCount < 1) return kEmptyHeight;
  const size_t visible = std::min(messageCount, kMaximumVisibleCards);
  return std::min(kFirstRowTop + rowsHeight(visible) + kBottomAllowance, kMaximumHeight);
}

Size expandedOverlaySize(bool hasMessages) {
  return {kWidth, expandedOverlayHeight(hasMessages ? kMaximumVisibleCards : 0)};
}

double messagePageAvailableHeight(double panelHeight) {
  return std::max(0.0, panelHeight - kFooterHeight - kFirstRowTop);
}

Rect messageRect(size_t index, double extraAbove, double panelWidth) {
  return {kCardInset,
          kFirstRowTop + static_cast<double>(index) * (kCardHeight + kCardGap) + extraAbove,
          panelWidth - 2 * kCardInset, kCardHeight};
}

double actionButtonWidth(const std::string& label) {
  return std::min(20 + 5.2 * static_cast<double>(utf8Length(label)), kButtonMaximumWidth);
}

std::vector<Rect> actionButtonRects(const std::vector<CardButton>& buttons, const Rect& card) {
  std::vector<Rect> rects(buttons.size());
  double right = card.maxX() - kButtonRightInset;
  const double y = card.maxY() - kButtonBottomInset - kButtonHeight;
  for (size_t i = buttons.size(); i-- > 0;) {
    const double width = actionButtonWidth(buttons[i].label);
    rects[i] = {right - width, y, width, kButtonHeight};
    right -= width + kButtonGap;
  }
  return rects;
}

double choicePillWidth(const std::string& label, double innerWidth) {
  return std::min(24 + 6.2 * static_cast<double>(utf8Length(label)), innerWidth);
}

double choiceBodyHeight(const PanelCard& card, double panelWidth) {
  const Rect inner{kCardInset + kBodyPadding, 0, panelWidth - 2 * kCardInset - 2 * kBodyPadding, 0};
  double content = 0;
  const auto pills = pillRects(card, inner);
  if (!pills.empty()) content += pills.back().maxY();
  if (card.noteEnabled || card.textInput) content += (pills.empty() ? 0 : kPillGap) + kNoteHeight;
  return std::max(kMinimumChoiceBodyHeight, content + 2 * kBodyPadding);
}

double expandedChoiceExtraHeight(const PanelCard& card) {
  return kCardGap + choiceBodyHeight(card);
}

ChoiceBodyLayout choiceBodyLayout(const PanelCard& card, const Rect& cardRect) {
  ChoiceBodyLayout layout;
  layout.body = {cardRect.minX(), cardRect.maxY() + kCardGap, cardRect.width,
                 choiceBodyHeight(card, cardRect.width + 2 * kCardInset)};
  const Rect inner = layout.body.insetBy(kBodyPadding, kBodyPadding);
  layout.pills = pillRects(card, inner);
  if (card.noteEnabled || card.textInput) {
    const double y = layout.pills.empty() ? inner.minY() : layout.pills.back().maxY() + kPillGap;
    const double sendRoom = card.textInput ? kSendWidth + kPillGap : 0;
    layout.note = Rect{inner.minX(), y, std::max(0.0, inner.width - sendRoom), kNoteHeight};
    if (card.textInput) layout.send = Rect{inner.maxX() - kSendWidth, y, kSendWidth, kNoteHeight};
  }
  return layout;
}

std::vector<size_t> fittedPageMessages(const std::vector<PanelCard>& cards,
                                       const std::optional<std::string>& expandedChoiceID,
                                       size_t baseLimit, double availableHeight) {
  std::vector<size_t> page;
  std::optional<size_t> open;
  for (size_t i = 0; i < cards.size(); ++i) {
    if (isOpen(cards[i], expandedChoiceID)) open = i;
  }
  if (!open) {
    for (size_t i = 0; i < std::min(baseLimit, cards.size()); ++i) page.push_back(i);
    return page;
  }
  // The last card needs no gap below it.
  auto fits = [&](size_t first, size_t last) {
    double used = 0;
    for (size_t i = first; i <= last; ++i) used += cardSlotHeight(cards[i], expandedChoiceID);
    return used - kCardGap <= availableHeight;
  };
  size_t first = 0;
  if (*open >= baseLimit || !fits(0, *open)) {
    // The open choice leads a page of its own further down.
    first = *open;
    while (first > 0 && *open - (first - 1) < baseLimit && fits(first - 1, *open)) --first;
  }
  for (size_t i = first; i < cards.size() && page.size() < baseLimit; ++i) {
    if (!page.empty() && !fits(first, i)) break;
    page.push_back(i);
  }
  return page;
}

double expandedPanelHeight(const std::vector<PanelCard>& cards,
                           const std::optional<std::string>& expandedChoiceID) {
  const double base = expandedOverlayHeight(cards.size());
  for (const auto& card : cards) {
    if (!isOpen(card, expandedChoiceID)) continue;
    const size_t visible = std::min(cards.size(), kPageLimit);
    const double needed =
        kFirstRowTop + rowsHeight(visible) + expandedChoiceExtraHeight(card) + kBottomAllowance;
    return std::min(kMaximumHeight, std::max(base, needed));
  }
  return base;
}

Rect emptyInboxRect(double panelHeight, double panelWidth) {
  const double middle = (kFirstRowTop + (panelHeight - kFooterHeight)) / 2;
  return {kCardInset, middle - 9, panelWidth - 2 * kCardInset, 18};
}

Rect clearAllRect(double panelWidth) {
  return {panelWidth - kToolbarRightInset - kToolbarButtonSize, kToolbarTop, kToolbarButtonSize,
          kToolbarButtonSize};
}

Rect clearPageRect(double panelWidth) {
  return {panelWidth - kToolbarRightInset - kToolbarButtonSize - kToolbarGap - kToolbarButtonSize,
          kToolbarTop, kToolbarButtonSize, kToolbarButtonSize};
}

Rect quitRect(double panelWidth, double panelHeight) {
  return {panelWidth - 33, panelHeight - 25, kQuitSize, kQuitSize};
}

Rect topSettingsRect(double panelWidth) {
  return {panelWidth - kSettingsX, kSettingsY, kSettingsSize, kSettingsSize};
}

Rect settingsHitRect(double panelWidth) {
  return {panelWidth - kSettingsHitWidth, 0, kSettingsHitWidth, kSettingsHitHeight};
}

TopStatusLayout expandedTopStatusLayout(double width) {
  constexpr double x0 = 138;
  TopStatusLayout layout;
  layout.statusDot = {x0, 15, 6, 6};
  layout.toolText = {x0 + 12, 7, std::max(42.0, 62.0 - 12 - 6), 16};
  layout.usageText = {x0 + 62, 7, std::max(40.0, width - x0 - 152), 16};
  return layout;
}

}  // namespace glimmet
