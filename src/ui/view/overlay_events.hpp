#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_command.hpp"
#include "base/time.hpp"
#include "ui/view/overlay_frame.hpp"
#include "ui/view/overlay_view_state.hpp"

namespace glimmet {

// What the host should do after an event: redraw, send a command to the core, resize for a new
// mode, open the settings, quit.
struct OverlayIntent {
  enum class Kind { none, sendCommand, setMode, openSettings, quit };
  Kind kind = Kind::none;
  std::optional<AppCommand> command;
  OverlayMode mode = OverlayMode::collapsed;
  bool redraw = false;
};

// Where the window and the pointer are, in screen coordinates (y downwards), read by the host at
// the moment of the event.
struct HoverContext {
  std::optional<Rect> windowFrame;
  Point mouseLocation;
  // The size the panel opens to (540 by the height for the current inbox).
  Size openingPanelSize;
};

struct PointerEntered {};
struct PointerLeft {
  HoverContext hover;
};
// In window coordinates.
struct PointerMoved {
  Point location;
};
struct Click {
  Point location;  // window coordinates
};
struct KeyPress {
  enum class Key { escape, backspace, text, other };
  Key key = Key::other;
  std::string text;  // typed characters, for `text`
  bool command = false;
  bool control = false;
};
// The host's wake-up: a due hover decision, ticker rotation or banner expiry.
struct Tick {
  // Not an aggregate, so that ticks without a usage carousel can leave it out.
  explicit Tick(HoverContext hover = {}, std::vector<std::string> usageTools = {})
      : hover(hover), usageTools(std::move(usageTools)) {}
  HoverContext hover;
  // The usage carousel's brands now, for the top row's rotation.
  std::vector<std::string> usageTools;
};
// The toggle hot key.
struct ToggleRequested {};

inline constexpr double kViewBannerSeconds = 2.0;
inline constexpr const char* kNothingToClearText = "No messages to clear";

OverlayIntent handle(OverlayViewState& state, const PointerEntered& event, Timestamp now);
OverlayIntent handle(OverlayViewState& state, const PointerLeft& event, Timestamp now);
OverlayIntent handle(OverlayViewState& state, const PointerMoved& event, Timestamp now);
// `frame` is the frame on screen, laid out from the same state.
OverlayIntent handle(OverlayViewState& state, const Click& event, const OverlayFrame& frame,
                     Timestamp now);
OverlayIntent handle(OverlayViewState& state, const KeyPress& event, const OverlayFrame& frame,
                     Timestamp now);
// `tickerCount` is the length of the ticker queue now.
OverlayIntent handle(OverlayViewState& state, const Tick& event, size_t tickerCount, Timestamp now);
OverlayIntent handle(OverlayViewState& state, const ToggleRequested& event, Timestamp now);

// Moves to `mode`, leaving the choice state and hover work behind; the intent to resize.
OverlayIntent setMode(OverlayViewState& state, OverlayMode mode);

// When the view next needs a Tick: a hover decision, the ticker's next turn (collapsed, two or
// more entries), a banner's end. None when nothing will change by itself.
// While expanded, the top row's next usage brand (two or more brands, none pinned).
std::optional<Timestamp> nextWakeTime(const OverlayViewState& state, size_t tickerCount,
                                      Timestamp now, size_t usageToolCount = 0);

}  // namespace glimmet
