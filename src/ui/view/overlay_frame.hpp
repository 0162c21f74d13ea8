#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_snapshot.hpp"
#include "base/time.hpp"
#include "model/pet_choice.hpp"
#include "ui/view/collapsed_geometry.hpp"
#include "ui/view/collapsed_ticker.hpp"
#include "ui/view/expanded_layout.hpp"
#include "ui/view/overlay_view_state.hpp"
#include "ui/view/panel_cards.hpp"

namespace glimmet {

// One clickable area of the frame. `messageID` names the card (a message's id, or a request's
// for a card of a request alone); empty for the panel's own buttons.
struct ClickTarget {
  std::string role;
  std::string messageID;
  Rect rect;
  bool operator==(const ClickTarget&) const = default;
};

struct CollapsedFrame {
  Rect bounds;
  Rect body;
  std::optional<Rect> cutout;  // MacBook only
  Rect pet;
  // External capsule.
  Rect toolLogo;
  std::string logoTool;
  Color logoColor;
  std::string text;
  Rect textRect;
  std::optional<std::string> deadline;
  Rect deadlineRect;
  bool showsBadge = false;
  Rect badgeRect;
  int badgeCount = 0;
  // MacBook capsule.
  std::string statusWord;
  Color statusColor;
  Rect statusRect;
};

enum class ButtonStyle { plain, primary, destructive };

struct CardButtonFrame {
  CardButton button;
  Rect rect;
  ButtonStyle style = ButtonStyle::plain;
  bool armed = false;  // clicked once, waiting for the confirming click
};

struct ChoiceBodyFrame {
  ChoiceBodyLayout layout;
  std::string noteText;
  bool noteFocused = false;
};

struct CardFrame {
  PanelCard card;
  Rect rect;
  Rect toolLogo;
  Rect toolText;
  Rect metaText;  // badge and time, right-aligned
  Rect titleText;
  Rect detailText;
  std::string detailLine;
  std::optional<std::string> riskLabel;
  std::vector<CardButtonFrame> buttons;
  std::optional<ChoiceBodyFrame> choice;
};

struct ExpandedFrame {
  Rect panel;
  // Top row.
  Rect pet;
  Rect appName;
  std::optional<Rect> compactToolLogo;  // MacBook: the logo stands in for the app name
  TopStatusLayout status;
  Color statusDotColor;
  std::string toolText;
  std::string usageText;
  // The usage brand the top row shows and the one a click on its name moves to; empty without
  // a usage carousel.
  std::string usageTool;
  std::string nextUsageTool;
  Rect settingsButton;
  // Summary under the top row.
  Rect headline;
  std::string headlineText;
  Rect subline;
  std::string sublineText;
  Rect counters;
  std::string countersText;
  Rect clearPage;
  Rect clearAll;
  bool clearEnabled = false;
  Rect quit;
  std::optional<Rect> emptyInbox;
  std::string emptyText;
  std::vector<CardFrame> cards;
};

struct FrameBanner {
  std::string text;
  Color color;
  Rect rect;
};

// Everything one surface shows at one moment; the painter draws only what is here.
struct OverlayFrame {
  OverlayMode mode = OverlayMode::collapsed;
  DisplayKind displayKind = DisplayKind::externalVirtual;
  Size size;
  std::vector<ClickTarget> targets;  // in hit-test order: the first that contains a point wins
  CollapsedTickerDisplay ticker;
  size_t tickerCount = 1;
  // The usage carousel's brands, in order: what the top row rotates through.
  std::vector<std::string> usageTools;
  PetState petState = PetState::idle;
  // The pet the user chose ("selectedPetID"), drawn at `petClockMs` of the animation clock.
  PetChoice pet = defaultPetChoice();
  int64_t petClockMs = 0;
  bool reduceMotion = true;
  CollapsedFrame collapsed;
  ExpandedFrame expanded;
  std::optional<FrameBanner> banner;

  const CardFrame* card(const std::string& id) const;
};

inline constexpr const char* kEmptyInboxText = "No messages yet";
inline constexpr double kSettingsWidth = 860;
inline constexpr double kSettingsHeight = 780;

OverlayFrame layoutOverlay(const AppSnapshot& snapshot, const OverlayViewState& state,
                           DisplayKind displayKind, double collapsedHeight, Timestamp now);

// The size the panel opens to for this inbox: what the hover rules measure the pointer against
// before the panel exists.
Size expandedSizeFor(const AppSnapshot& snapshot, const OverlayViewState& state, Timestamp now);

// The first target of the frame containing `point`, in the panel's hit-test order.
const ClickTarget* expandedClickTarget(const OverlayFrame& frame, Point point);

// {"mode","screen","size","ticker":{"kind","text","tool"},"targets":[{"role","messageID"?,
// "rect":[x,y,w,h]}]}, keys sorted.
std::string overlayStateJson(const OverlayFrame& frame, const std::string& screen);

// "99+" above 99.
std::string cappedCount(size_t count);

}  // namespace glimmet
