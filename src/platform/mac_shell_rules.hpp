#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/overlay_host.hpp"

namespace glimmet {

// Every decision the macOS shell makes, as plain functions the Linux build compiles and tests:
// the AppKit files only gather facts from the system and call these.

// A rectangle in AppKit's screen coordinates: points, origin at the bottom left of the primary
// screen, y growing upwards.
struct CocoaRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const CocoaRect&) const = default;
};

// One NSScreen as AppKit describes it.
struct CocoaScreenFacts {
  std::string id;  // the NSScreenNumber, as text
  std::string localizedName;
  CocoaRect frame;
  CocoaRect visibleFrame;
  double safeAreaTopInset = 0;  // safeAreaInsets.top; 0 on a screen without a notch
  std::optional<CocoaRect> auxiliaryTopLeftArea;
  std::optional<CocoaRect> auxiliaryTopRightArea;
  double backingScaleFactor = 1;
};

// Between AppKit's coordinates and the top-left-origin ones of HostScreen and PixelRect, given
// the primary screen's height (the first NSScreen's frame height).
PixelRect topLeftRect(const CocoaRect& rect, double primaryScreenHeight);
CocoaRect cocoaRect(const PixelRect& rect, double primaryScreenHeight);

// The camera housing between the two auxiliary top areas, in top-left coordinates; none on a
// screen without a safe-area inset or without both areas.
std::optional<PixelRect> notchRect(const CocoaScreenFacts& screen, double primaryScreenHeight);

// The screen as the overlay controller sees it: top-left frame, the menu bar's height as the
// reserved top, the notch and its inset.
HostScreen hostScreenFromCocoa(const CocoaScreenFacts& screen, bool primary,
                               double primaryScreenHeight);

// NSWindow levels: the overlay above the menu bar (1000), settings and dialogs at the normal
// level, the companion floating above normal windows.
enum class MacWindowRole { overlay, settings, dialog, companion };
int macWindowLevel(MacWindowRole role);

// An accessory app (no Dock icon) unless the user asked for the Dock or a debug run wants a
// regular app.
enum class MacActivationPolicy { accessory, regular };
MacActivationPolicy macActivationPolicy(bool showInDockMode, bool debugRegular);
// At launch a start in the settings window is a regular app too, so that the window can take
// the keyboard and show in the Dock while it is open.
MacActivationPolicy macLaunchActivationPolicy(bool showInDockMode, bool debugRegular,
                                              bool startsInSettings);

// A hot key as Carbon's RegisterEventHotKey takes it: a virtual key code (kVK_…) and a
// modifier mask (cmdKey 0x100, shiftKey 0x200, optionKey 0x800, controlKey 0x1000). The Super
// modifier is the Command key. None for a keysym without a key code here.
struct CarbonHotKey {
  uint32_t keyCode = 0;
  uint32_t modifiers = 0;
  bool operator==(const CarbonHotKey&) const = default;
};
std::optional<CarbonHotKey> carbonHotKey(const HostHotKey& hotKey);

// The X11 keysym the view core expects for a key of an NSEvent: function keys by their virtual
// key code (Escape, Return, keypad Enter, Delete as BackSpace, forward delete, arrows, Home,
// End, Tab), else the keysym of the typed character (Latin-1 as itself, other Unicode as
// 0x01000000 + code point), 0 when there is none.
uint32_t keysymForMacKey(uint16_t keyCode, char32_t firstCharacter);

// One on-screen window of CGWindowListCopyWindowInfo.
struct WindowSnapshot {
  int ownerPID = 0;
  int layer = 0;
  double alpha = 1;
  bool isOnScreen = true;
  PixelRect bounds;
};
// The displays covered by another app's full-screen window: owner not this process, layer 0,
// alpha above 0.01 and on screen, non-empty bounds covering at least 98 % of the display's
// area. Displays with no area are skipped.
std::set<std::string> displayIDsWithFullScreenWindows(
    const std::vector<WindowSnapshot>& windows, const std::map<std::string, PixelRect>& displays,
    int currentProcessID);

// What the app starts after launching, in order; the isolated run leaves out the first-run
// flow and the automatic update check.
enum class LaunchStep {
  notificationCategories,
  auditReconciliation,
  socketServer,
  eventMonitoring,
  surfaces,
  hotKeys,
  refreshLoop,
  firstRunFlow,
  automaticUpdateCheck,
};
std::vector<LaunchStep> macLaunchSequence(bool isolated);
const char* rawValue(LaunchStep step);

}  // namespace glimmet
