#include "ui/view/overlay_frame.hpp"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "ui/view/usage_rotation.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace TargetRole;

CollapsedFrame layoutCollapsed(const CollapsedTickerDisplay& ticker, int waitingCount,
                               DisplayKind kind, double height, PetState petState) {
  CollapsedFrame frame;
  frame.bounds = {0, 0, CollapsedMetrics::kWidth, height};
  frame.body = collapsedBodyRect(kind, frame.bounds);
  frame.pet = petRect(kind, height);
  if (kind == DisplayKind::macBookPhysical) {
    frame.cutout = macBookCutoutRect(frame.body);
    frame.statusRect = macBookCollapsedStatusRect(frame.body, *frame.cutout);
    frame.statusWord = macBookCollapsedStatusLabel(ticker, petState);
    frame.statusColor = macBookCollapsedStatusColor(ticker, petState);
    return frame;
  }
  const double textY = externalCollapsedTextY(frame.body);
  frame.toolLogo = externalCollapsedToolLogoRect(frame.body);
  frame.logoTool = ticker.tool;
  frame.logoColor =
      ticker.kind == CollapsedTickerKind::idle ? ViewColors::kIdleWhite : ticker.accent;
  frame.text = ticker.label;
  frame.deadline = ticker.deadlineLabel;
  frame.deadlineRect = externalCollapsedDeadlineRect(frame.body, textY);
  // An approval entry shows how many wait in all, so the capsule says "more than one" at a glance.
  frame.showsBadge = ticker.showsApprovalBadge || ticker.kind == CollapsedTickerKind::approval;
  frame.badgeCount =
      ticker.kind == CollapsedTickerKind::approval ? waitingCount : ticker.approvalCount;
  frame.badgeRect = externalCollapsedBadgeRect(frame.body);
  if (ticker.kind == CollapsedTickerKind::usage) {
    frame.textRect = externalCollapsedUsageTextRect(
        frame.body, textY, frame.deadline ? std::optional<Rect>(frame.deadlineRect) : std::nullopt);
  } else if (frame.deadline) {
    frame.textRect = externalCollapsedStatusTextRect(frame.body, textY, frame.deadlineRect);
  } else {
    frame.textRect = externalCollapsedStatusTextRect(frame.body, textY, frame.showsBadge);
  }
  return frame;
}

ButtonStyle styleOf(const CardButton& button) {
  if (button.role == kAuthorize || button.role == kAlways || button.role == kSendInput) {
    return ButtonStyle::primary;
  }
  if (button.role == kReject) return ButtonStyle::destructive;
  return ButtonStyle::plain;
}

std::optional<std::string> riskLabel(const std::optional<MessageRisk>& risk) {
  if (risk == MessageRisk::high) return "High risk";
  if (risk == MessageRisk::medium) return "Medium risk";
  return std::nullopt;
}

std::string detailLine(const PanelCard& card) {
  if (!card.detail.empty()) return card.detail;
  if (!card.previewUser.empty()) return "User: " + card.previewUser;
  return card.previewAgent;
}

CardFrame layoutCard(const PanelCard& card, const Rect& rect, const OverlayViewState& state) {
  CardFrame frame;
  frame.card = card;
  frame.rect = rect;
  frame.toolLogo = {rect.minX() + 12, rect.minY() + 10, 16, 16};
  frame.toolText = {rect.minX() + 34, rect.minY() + 10, 200, 16};
  frame.metaText = {rect.maxX() - 12 - 200, rect.minY() + 10, 200, 16};
  frame.titleText = {rect.minX() + 12, rect.minY() + 30, rect.width - 24, 18};
  frame.riskLabel = riskLabel(card.risk);
  const auto buttonRects = actionButtonRects(card.buttons, rect);
  double detailEnd = rect.maxX() - 12;
  for (size_t i = 0; i < card.buttons.size(); ++i) {
    const bool armed = state.pendingConfirmation && state.pendingConfirmation->cardID == card.id &&
                       state.pendingConfirmation->role == card.buttons[i].role;
    frame.buttons.push_back({card.buttons[i], buttonRects[i], styleOf(card.buttons[i]), armed});
    detailEnd = std::min(detailEnd, buttonRects[i].minX() - 8);
  }
  const double detailX = rect.minX() + 12;
  frame.detailText = {detailX, rect.minY() + 54, std::max(0.0, detailEnd - detailX), 16};
  frame.detailLine = detailLine(card);
  if (state.expandedChoiceMessageID == card.id && card.hasChoiceBody()) {
    ChoiceBodyFrame choice;
    choice.layout = choiceBodyLayout(card, rect);
    choice.noteText = state.activeChoiceNote;
    choice.noteFocused = state.choiceNoteFocusedMessageID == card.id;
    frame.choice = std::move(choice);
  }
  return frame;
}

std::string headline(const std::vector<PanelCard>& cards) {
  size_t waiting = 0;
  for (const auto& card : cards) waiting += card.asksUser ? 1 : 0;
  if (waiting == 1) return "1 agent waiting for you";
  if (waiting > 1) return cappedCount(waiting) + " agents waiting for you";
  if (cards.empty()) return "All clear";
  return cards.size() == 1 ? "1 message" : cappedCount(cards.size()) + " messages";
}

std::string counters(const std::vector<PanelCard>& cards) {
  size_t unread = 0;
  size_t approvals = 0;
  for (const auto& card : cards) {
    unread += card.unread ? 1 : 0;
    approvals += card.asksUser ? 1 : 0;
  }
  if (cards.empty()) return {};
  std::string text = cappedCount(unread) + " unread";
  if (approvals > 0) text += " · " + cappedCount(approvals) + " to answer";
  return text;
}

void addPanelTargets(OverlayFrame& frame) {
  ExpandedFrame& panel = frame.expanded;
  auto& targets = frame.targets;
  targets.push_back({kQuit, {}, panel.quit});
  if (!panel.usageTool.empty()) {
    // The brand's name steps to the next brand, its quota text keeps this one; both pin it.
    if (panel.nextUsageTool != panel.usageTool && !panel.status.toolText.isEmpty()) {
      targets.push_back({kUsageTool, panel.nextUsageTool, panel.status.toolText});
    }
    targets.push_back({kUsageTool, panel.usageTool, panel.status.usageText});
  }
  targets.push_back({kSettings, {}, settingsHitRect(panel.panel.width)});
  targets.push_back({kClearPage, {}, panel.clearPage});
  targets.push_back({kClearAll, {}, panel.clearAll});
  for (const auto& card : panel.cards) {
    if (!card.choice) continue;
    const auto& layout = card.choice->layout;
    for (size_t i = 0; i < layout.pills.size(); ++i) {
      if (!card.card.options[i].enabled) continue;
      targets.push_back(
          {kChooseOptionPrefix + card.card.options[i].optionID, card.card.id, layout.pills[i]});
    }
    if (layout.note) targets.push_back({kNote, card.card.id, *layout.note});
    if (layout.send) targets.push_back({kSendInput, card.card.id, *layout.send});
    targets.push_back({kChoiceBody, card.card.id, layout.body});
  }
  for (const auto& card : panel.cards) {
    for (const auto& button : card.buttons) {
      targets.push_back({button.button.role, card.card.id, button.rect});
    }
  }
}

ExpandedFrame layoutExpanded(const AppSnapshot& snapshot, const OverlayViewState& state,
                             const std::vector<PanelCard>& cards, DisplayKind kind,
                             const CollapsedTickerDisplay& ticker, Timestamp /*now*/) {
  using namespace ExpandedMetrics;
  ExpandedFrame frame;
  const double height = expandedPanelHeight(cards, state.expandedChoiceMessageID);
  frame.panel = {0, 0, kWidth, height};
  frame.pet = {16, 6, 20, 20};
  frame.appName = {42, 7, 90, 16};
  frame.status = expandedTopStatusLayout(kWidth);
  if (kind == DisplayKind::macBookPhysical) {
    // The housing covers the top centre: the quota goes right of it, the logo left of it.
    const Rect cutout = macBookCutoutRect({kWidth / 2 - 161, 0, 322, 32});
    frame.compactToolLogo = Rect{frame.status.statusDot.minX() - 22, 7, 16, 16};
    frame.status.toolText = {};
    const double usageX = cutout.maxX() + 8;
    frame.status.usageText = {usageX, 7, std::max(40.0, kWidth - kSettingsHitWidth - usageX), 16};
  }
  frame.statusDotColor = macBookCollapsedStatusColor(ticker, snapshot.petState);
  frame.toolText = ticker.tool;
  if (const UsageCarouselEntry* usage =
          activeUsageEntry(snapshot.usageCarousel, state.activeUsageTool)) {
    // The top row speaks for one brand at a time; a token-only tool shows its own summary.
    frame.toolText = usage->brand;
    frame.usageText = expandedTopQuotaText(usage->snapshot).value_or(usage->snapshot.label);
    frame.usageTool = usage->brand;
    frame.nextUsageTool = nextUsageTool(usageCarouselBrands(snapshot), usage->brand);
  }
  frame.settingsButton = topSettingsRect(kWidth);
  frame.headline = {kCardInset, 50, kWidth - 2 * kCardInset, 24};
  frame.headlineText = headline(cards);
  frame.subline = {kCardInset, 78, kWidth - 2 * kCardInset, 18};
  frame.sublineText = cards.empty() ? "Agents will show up here." : ticker.label;
  frame.clearPage = clearPageRect(kWidth);
  frame.clearAll = clearAllRect(kWidth);
  frame.counters = {kCardInset, kToolbarTop, frame.clearPage.minX() - 8 - kCardInset,
                    kToolbarButtonSize};
  frame.countersText = counters(cards);
  frame.clearEnabled = !snapshot.messages.empty();
  frame.quit = quitRect(kWidth, height);
  if (cards.empty()) {
    frame.emptyInbox = emptyInboxRect(height);
    frame.emptyText = kEmptyInboxText;
    return frame;
  }
  const auto page = fittedPageMessages(cards, state.expandedChoiceMessageID, kPageLimit,
                                       messagePageAvailableHeight(height));
  double extraAbove = 0;
  for (size_t slot = 0; slot < page.size(); ++slot) {
    const PanelCard& card = cards[page[slot]];
    CardFrame cardFrame = layoutCard(card, messageRect(slot, extraAbove), state);
    if (cardFrame.choice) extraAbove += expandedChoiceExtraHeight(card);
    frame.cards.push_back(std::move(cardFrame));
  }
  return frame;
}

}  // namespace

const CardFrame* OverlayFrame::card(const std::string& id) const {
  for (const auto& candidate : expanded.cards) {
    if (candidate.card.id == id) return &candidate;
  }
  return nullptr;
}

std::string cappedCount(size_t count) {
  return count > 99 ? "99+" : std::to_string(count);
}

OverlayFrame layoutOverlay(const AppSnapshot& snapshot, const OverlayViewState& state,
                           DisplayKind displayKind, double collapsedHeight, Timestamp now) {
  OverlayFrame frame;
  frame.mode = state.mode;
  frame.displayKind = displayKind;
  frame.petState = snapshot.petState;
  const auto items = collapsedTickerItems(snapshot);
  frame.ticker = collapsedTickerDisplay(items, state.ticker.index);
  frame.tickerCount = items.size();
  frame.usageTools = usageCarouselBrands(snapshot);
  switch (state.mode) {
    case OverlayMode::collapsed:
      frame.size = {CollapsedMetrics::kWidth, collapsedHeight};
      frame.collapsed = layoutCollapsed(
          frame.ticker,
          static_cast<int>(std::count_if(items.begin(), items.end(),
                                         [](const CollapsedTickerDisplay& item) {
                                           return item.kind == CollapsedTickerKind::approval;
                                         })),
          displayKind, collapsedHeight, snapshot.petState);
      break;
    case OverlayMode::expanded: {
      const auto cards = panelCards(snapshot, now);
      frame.expanded = layoutExpanded(snapshot, state, cards, displayKind, frame.ticker, now);
      frame.size = {frame.expanded.panel.width, frame.expanded.panel.height};
      addPanelTargets(frame);
      break;
    }
    case OverlayMode::settings:
      frame.size = {kSettingsWidth, kSettingsHeight};
      frame.expanded.panel = {0, 0, kSettingsWidth, kSettingsHeight};
      frame.expanded.quit = quitRect(kSettingsWidth, kSettingsHeight);
      frame.expanded.settingsButton = topSettingsRect(kSettingsWidth);
      frame.targets.push_back({kQuit, {}, frame.expanded.quit});
      frame.targets.push_back({kSettings, {}, settingsHitRect(kSettingsWidth)});
      break;
  }
  if (state.mode != OverlayMode::collapsed) {
    const Rect bannerRect{ExpandedMetrics::kCardInset, 128,
                          frame.size.width - 2 * ExpandedMetrics::kCardInset, 22};
    if (state.banner && (!state.banner->expiresAt || now < *state.banner->expiresAt)) {
      frame.banner = FrameBanner{state.banner->text, state.banner->color, bannerRect};
    } else if (snapshot.statusBanner) {
      frame.banner = FrameBanner{snapshot.statusBanner->text, toColor(snapshot.statusBanner->color),
                                 bannerRect};
    }
  }
  return frame;
}

Size expandedSizeFor(const AppSnapshot& snapshot, const OverlayViewState& state, Timestamp now) {
  return {ExpandedMetrics::kWidth,
          expandedPanelHeight(panelCards(snapshot, now), state.expandedChoiceMessageID)};
}

const ClickTarget* expandedClickTarget(const OverlayFrame& frame, Point point) {
  for (const auto& target : frame.targets) {
    if (target.rect.contains(point)) return &target;
  }
  return nullptr;
}

std::string overlayStateJson(const OverlayFrame& frame, const std::string& screen) {
  nlohmann::json targets = nlohmann::json::array();
  for (const auto& target : frame.targets) {
    nlohmann::json entry{
        {"role", target.role},
        {"rect", {target.rect.x, target.rect.y, target.rect.width, target.rect.height}}};
    if (!target.messageID.empty()) entry["messageID"] = target.messageID;
    targets.push_back(std::move(entry));
  }
  nlohmann::json state{{"mode", rawValue(frame.mode)},
                       {"screen", screen},
                       {"size", {frame.size.width, frame.size.height}},
                       {"ticker",
                        {{"kind", rawValue(frame.ticker.kind)},
                         {"text", frame.ticker.label},
                         {"tool", frame.ticker.tool}}},
                       {"targets", std::move(targets)}};
  if (frame.mode == OverlayMode::expanded) {
    const Rect& pet = frame.expanded.pet;
    state["pet"] = {pet.x, pet.y, pet.width, pet.height};
  }
  // Agent text may hold invalid UTF-8 in spite of upstream cleaning; never throw over it.
  return state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace glimmet
