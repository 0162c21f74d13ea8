#include "ui/view/overlay_events.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "ui/view/hover_rules.hpp"
#include "ui/view/usage_rotation.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace TargetRole;

Timestamp after(Timestamp now, double seconds) {
  return now + std::chrono::duration_cast<Timestamp::duration>(Seconds(seconds));
}

OverlayIntent redraw() {
  OverlayIntent intent;
  intent.redraw = true;
  return intent;
}

OverlayIntent send(AppCommand command) {
  OverlayIntent intent;
  intent.kind = OverlayIntent::Kind::sendCommand;
  intent.command = std::move(command);
  intent.redraw = true;
  return intent;
}

void showBanner(OverlayViewState& state, std::string text, Color color, Timestamp now) {
  state.banner = ViewBanner{std::move(text), color, after(now, kViewBannerSeconds)};
}

// Disarms a pending confirmation and the banner that asked for it.
bool disarm(OverlayViewState& state) {
  if (!state.pendingConfirmation) return false;
  state.pendingConfirmation.reset();
  if (state.banner && !state.banner->expiresAt) state.banner.reset();
  return true;
}

void removeLastCharacter(std::string& text) {
  if (text.empty()) return;
  size_t end = text.size() - 1;
  // Step back over UTF-8 continuation bytes to the start of the last character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.erase(end);
}

// Typed text without control characters (a pasted line feed or escape never reaches a reply).
std::string printable(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  return out;
}

void openChoice(OverlayViewState& state, const PanelCard& card) {
  if (state.expandedChoiceMessageID != card.id) state.activeChoiceNote.clear();
  state.expandedChoiceMessageID = card.id;
  state.choiceNoteFocusedMessageID.reset();
  if (card.noteEnabled) state.choiceNoteFocusedMessageID = card.id;
}

OverlayIntent cardClick(OverlayViewState& state, const ClickTarget& target,
                        const CardFrame& cardFrame) {
  const PanelCard& card = cardFrame.card;
  const std::string& role = target.role;
  if (role == kChoiceBody) return {};
  if (role == kNote) {
    if (!card.noteEnabled) return {};
    state.choiceNoteFocusedMessageID = card.id;
    return redraw();
  }
  if (role == kChooseOption) {
    if (state.expandedChoiceMessageID == card.id) {
      clearChoiceState(state);
    } else {
      openChoice(state, card);
    }
    return redraw();
  }
  if (role == kSendInput && card.textInput && state.expandedChoiceMessageID != card.id) {
    openChoice(state, card);
    return redraw();
  }
  const bool bodyIsOpen = state.expandedChoiceMessageID == card.id;
  const std::string note = bodyIsOpen && card.noteEnabled ? state.activeChoiceNote : "";
  if (const CardButton* button = card.button(role); button && button->requiresConfirmation) {
    const PendingConfirmation clicked{card.id, role};
    if (state.pendingConfirmation != clicked) {
      state.pendingConfirmation = clicked;
      state.banner = ViewBanner{"Click " + button->label + " again to confirm",
                                ViewColors::kApprovalAmber, std::nullopt};
      return redraw();
    }
    disarm(state);
  }
  auto command = cardCommand(card, role, note);
  if (!command) {
    if (role == kSendInput && card.noteEnabled) state.choiceNoteFocusedMessageID = card.id;
    return redraw();
  }
  if (bodyIsOpen) clearChoiceState(state);
  return send(std::move(*command));
}

}  // namespace

OverlayIntent setMode(OverlayViewState& state, OverlayMode mode) {
  if (state.mode == mode) return {};
  if (state.mode == OverlayMode::expanded) {
    clearChoiceState(state);
    disarm(state);
    state.hoverPoint.reset();
  }
  state.mode = mode;
  state.expandDueAt.reset();
  state.collapseDueAt.reset();
  OverlayIntent intent;
  intent.kind = OverlayIntent::Kind::setMode;
  intent.mode = mode;
  intent.redraw = true;
  return intent;
}

OverlayIntent handle(OverlayViewState& state, const PointerEntered&, Timestamp now) {
  state.expandDueAt.reset();
  state.collapseDueAt.reset();
  if (state.mode == OverlayMode::collapsed) {
    state.expandDueAt = after(now, HoverTiming::kExpandDelaySeconds);
  }
  return {};
}

OverlayIntent handle(OverlayViewState& state, const PointerLeft& event, Timestamp now) {
  if (shouldExpandAfterHoverDelay(state.mode, event.hover.windowFrame, event.hover.mouseLocation,
                                  event.hover.openingPanelSize)) {
    return redraw();
  }
  state.expandDueAt.reset();
  state.hoverPoint.reset();
  if (state.mode == OverlayMode::expanded && !state.debugLockExpanded) {
    state.collapseDueAt = after(now, HoverTiming::kCollapseDelaySeconds);
  }
  return redraw();
}

OverlayIntent handle(OverlayViewState& state, const PointerMoved& event, Timestamp) {
  if (state.mode != OverlayMode::expanded) {
    const bool had = state.hoverPoint.has_value();
    state.hoverPoint.reset();
    return had ? redraw() : OverlayIntent{};
  }
  if (state.hoverPoint == event.location) return {};
  state.hoverPoint = event.location;
  return redraw();
}

OverlayIntent handle(OverlayViewState& state, const Click& event, const OverlayFrame& frame,
                     Timestamp now) {
  if (state.mode == OverlayMode::collapsed) return setMode(state, OverlayMode::expanded);
  const ClickTarget* target = expandedClickTarget(frame, event.location);
  const bool confirming = target && state.pendingConfirmation &&
                          state.pendingConfirmation->cardID == target->messageID &&
                          state.pendingConfirmation->role == target->role;
  const bool disarmed = !confirming && disarm(state);
  if (!target) return disarmed ? redraw() : OverlayIntent{};
  const std::string& role = target->role;
  if (role == kQuit) {
    OverlayIntent intent;
    intent.kind = OverlayIntent::Kind::quit;
    return intent;
  }
  if (role == kSettings) {
    OverlayIntent intent = setMode(state, OverlayMode::settings);
    intent.kind = OverlayIntent::Kind::openSettings;
    intent.mode = OverlayMode::settings;
    intent.redraw = true;
    return intent;
  }
  if (role == kUsageTool) {
    state.activeUsageTool = target->messageID;
    state.usageRotationPinnedByUser = true;
    return redraw();
  }
  if (role == kClearPage || role == kClearAll) {
    std::vector<std::string> ids;
    for (const auto& card : frame.expanded.cards) {
      if (card.card.messageID) ids.push_back(*card.card.messageID);
    }
    if (!frame.expanded.clearEnabled || (role == kClearPage && ids.empty())) {
      showBanner(state, kNothingToClearText, ViewColors::kSecondaryText, now);
      return redraw();
    }
    clearChoiceState(state);
    if (role == kClearAll) return send(Command::ClearAll{});
    return send(Command::ClearPage{std::move(ids)});
  }
  const CardFrame* card = frame.card(target->messageID);
  if (!card) return redraw();
  return cardClick(state, *target, *card);
}

OverlayIntent handle(OverlayViewState& state, const KeyPress& event, const OverlayFrame& frame,
                     Timestamp) {
  if (event.key == KeyPress::Key::escape) {
    if (clearChoiceState(state)) {
      disarm(state);
      return redraw();
    }
    disarm(state);
    return setMode(state, OverlayMode::collapsed);
  }
  if (state.mode != OverlayMode::expanded || !state.choiceNoteFocusedMessageID) return {};
  const CardFrame* card = frame.card(*state.choiceNoteFocusedMessageID);
  if (!card || !card->card.noteEnabled) return {};
  if (event.command || event.control) return {};
  if (event.key == KeyPress::Key::backspace) {
    if (state.activeChoiceNote.empty()) return {};
    removeLastCharacter(state.activeChoiceNote);
    return redraw();
  }
  if (event.key != KeyPress::Key::text) return {};
  const std::string typed = printable(event.text);
  if (typed.empty()) return {};
  const size_t room = card->card.noteMaxLength > utf8Length(state.activeChoiceNote)
                          ? card->card.noteMaxLength - utf8Length(state.activeChoiceNote)
                          : 0;
  if (room == 0) return {};
  state.activeChoiceNote += utf8Prefix(typed, room);
  return redraw();
}

OverlayIntent handle(OverlayViewState& state, const Tick& event, size_t tickerCount,
                     Timestamp now) {
  OverlayIntent intent;
  if (state.expandDueAt && now >= *state.expandDueAt) {
    state.expandDueAt.reset();
    if (shouldExpandAfterHoverDelay(state.mode, event.hover.windowFrame, event.hover.mouseLocation,
                                    event.hover.openingPanelSize)) {
      intent = setMode(state, OverlayMode::expanded);
    }
  }
  if (state.collapseDueAt && now >= *state.collapseDueAt) {
    state.collapseDueAt.reset();
    const bool stays = !event.hover.windowFrame ||
                       shouldStayExpanded(*event.hover.windowFrame, event.hover.mouseLocation);
    if (state.mode == OverlayMode::expanded && !stays && !state.debugLockExpanded) {
      intent = setMode(state, OverlayMode::collapsed);
    }
  }
  if (state.banner && state.banner->expiresAt && now >= *state.banner->expiresAt) {
    state.banner.reset();
    intent.redraw = true;
  }
  if (state.mode == OverlayMode::collapsed &&
      rotateCollapsedTickerIfNeeded(state.ticker, tickerCount, now)) {
    intent.redraw = true;
  }
  // Only the open panel shows one brand at a time; the capsule's queue has them all.
  if (state.mode == OverlayMode::expanded &&
      rotateUsageToolIfNeeded(state, event.usageTools, now)) {
    intent.redraw = true;
  }
  return intent;
}

OverlayIntent handle(OverlayViewState& state, const ToggleRequested&, Timestamp) {
  return setMode(
      state, state.mode == OverlayMode::collapsed ? OverlayMode::expanded : OverlayMode::collapsed);
}

std::optional<Timestamp> nextWakeTime(const OverlayViewState& state, size_t tickerCount,
                                      Timestamp now, size_t usageToolCount) {
  std::optional<Timestamp> wake;
  auto consider = [&](const std::optional<Timestamp>& time) {
    if (time && (!wake || *time < *wake)) wake = time;
  };
  consider(state.expandDueAt);
  consider(state.collapseDueAt);
  if (state.banner) consider(state.banner->expiresAt);
  if (state.mode == OverlayMode::collapsed && tickerCount >= 2) {
    // A queue that just grew starts its clock on the next tick.
    consider(state.ticker.lastRotationAt ? nextTickerRotation(state.ticker, tickerCount)
                                         : std::optional<Timestamp>(now));
  }
  if (state.mode == OverlayMode::expanded) consider(nextUsageRotation(state, usageToolCount, now));
  return wake;
}

}  // namespace glimmet
