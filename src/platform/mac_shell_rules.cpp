#include "platform/mac_shell_rules.hpp"

#include <algorithm>
#include <cmath>

namespace glimmet {

namespace {

// Carbon's modifier masks (Events.h: cmdKey, shiftKey, optionKey, controlKey).
constexpr uint32_t kCarbonCmdKey = 0x100;
constexpr uint32_t kCarbonShiftKey = 0x200;
constexpr uint32_t kCarbonOptionKey = 0x800;
constexpr uint32_t kCarbonControlKey = 0x1000;

// Carbon virtual key codes (Events.h, kVK_…) of the keys that do not depend on the layout.
constexpr uint16_t kVKReturn = 36;
constexpr uint16_t kVKTab = 48;
constexpr uint16_t kVKSpace = 49;
constexpr uint16_t kVKDelete = 51;
constexpr uint16_t kVKEscape = 53;
constexpr uint16_t kVKKeypadEnter = 76;
constexpr uint16_t kVKHome = 115;
constexpr uint16_t kVKForwardDelete = 117;
constexpr uint16_t kVKEnd = 119;
constexpr uint16_t kVKLeftArrow = 123;
constexpr uint16_t kVKRightArrow = 124;
constexpr uint16_t kVKDownArrow = 125;
constexpr uint16_t kVKUpArrow = 126;

// The X11 keysyms the view core reads for the same keys.
struct FunctionKey {
  uint16_t keyCode;
  uint32_t keysym;
};
constexpr FunctionKey kFunctionKeys[] = {
    {kVKEscape, 0xff1b},     {kVKReturn, 0xff0d},        {kVKKeypadEnter, 0xff8d},
    {kVKDelete, 0xff08},     {kVKForwardDelete, 0xffff}, {kVKLeftArrow, 0xff51},
    {kVKRightArrow, 0xff53}, {kVKDownArrow, 0xff54},     {kVKUpArrow, 0xff52},
    {kVKHome, 0xff50},       {kVKEnd, 0xff57},           {kVKTab, 0xff09},
};

// The ANSI key codes of the letters a…z and the digits 0…9, by their position on a US
// keyboard: the hot keys are physical keys, whatever the layout types on them.
constexpr uint16_t kLetterKeyCodes[26] = {0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                          45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};
constexpr uint16_t kDigitKeyCodes[10] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};

// The Unicode private-use block where NSEvent reports function keys (NSUpArrowFunctionKey …).
constexpr char32_t kFirstFunctionKeyCharacter = 0xF700;
constexpr char32_t kLastFunctionKeyCharacter = 0xF8FF;

int roundedEdge(double value) {
  return static_cast<int>(std::lround(value));
}

bool hasArea(const CocoaRect& rect) {
  return rect.width > 0 && rect.height > 0;
}

int64_t area(const PixelRect& rect) {
  return static_cast<int64_t>(rect.width) * static_cast<int64_t>(rect.height);
}

int64_t intersectionArea(const PixelRect& a, const PixelRect& b) {
  const int64_t left = std::max<int64_t>(a.x, b.x);
  const int64_t top = std::max<int64_t>(a.y, b.y);
  const int64_t right = std::min<int64_t>(int64_t{a.x} + a.width, int64_t{b.x} + b.width);
  const int64_t bottom = std::min<int64_t>(int64_t{a.y} + a.height, int64_t{b.y} + b.height);
  if (right <= left || bottom <= top) return 0;
  return (right - left) * (bottom - top);
}

}  // namespace

PixelRect topLeftRect(const CocoaRect& rect, double primaryScreenHeight) {
  // Each edge is rounded on its own so that windows sharing an edge still share it.
  const int left = roundedEdge(rect.x);
  const int right = roundedEdge(rect.x + rect.width);
  const int top = roundedEdge(primaryScreenHeight - (rect.y + rect.height));
  const int bottom = roundedEdge(primaryScreenHeight - rect.y);
  return {left, top, right - left, bottom - top};
}

CocoaRect cocoaRect(const PixelRect& rect, double primaryScreenHeight) {
  return {static_cast<double>(rect.x),
          primaryScreenHeight - (static_cast<double>(rect.y) + rect.height),
          static_cast<double>(rect.width), static_cast<double>(rect.height)};
}

std::optional<PixelRect> notchRect(const CocoaScreenFacts& screen, double primaryScreenHeight) {
  if (screen.safeAreaTopInset <= 0) return std::nullopt;
  if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea) return std::nullopt;
  const CocoaRect& left = *screen.auxiliaryTopLeftArea;
  const CocoaRect& right = *screen.auxiliaryTopRightArea;
  // Objective-C hands an unobscured corner over as NSZeroRect.
  if (!hasArea(left) || !hasArea(right)) return std::nullopt;
  const double housingLeft = left.x + left.width;
  const double housingRight = right.x;
  if (housingRight <= housingLeft) return std::nullopt;
  const double screenTop = screen.frame.y + screen.frame.height;
  const CocoaRect housing{housingLeft, screenTop - screen.safeAreaTopInset,
                          housingRight - housingLeft, screen.safeAreaTopInset};
  return topLeftRect(housing, primaryScreenHeight);
}

HostScreen hostScreenFromCocoa(const CocoaScreenFacts& screen, bool primary,
                               double primaryScreenHeight) {
  HostScreen host;
  host.id = screen.id;
  host.name = screen.localizedName;
  host.frame = topLeftRect(screen.frame, primaryScreenHeight);
  host.primary = primary;
  // The menu bar is what visibleFrame leaves out at the top; a part of a point still covers
  // the whole point. The tolerance keeps floating-point noise from adding one.
  const double menuBar =
      (screen.frame.y + screen.frame.height) - (screen.visibleFrame.y + screen.visibleFrame.height);
  host.topReservedHeight = menuBar > 0 ? static_cast<int>(std::ceil(menuBar - 1e-6)) : 0;
  host.notch = notchRect(screen, primaryScreenHeight);
  host.safeAreaTopInset = std::max(screen.safeAreaTopInset, 0.0);
  return host;
}

int macWindowLevel(MacWindowRole role) {
  switch (role) {
    case MacWindowRole::overlay:
      return 1000;  // NSScreenSaverWindowLevel: above the menu bar and full-screen apps
    case MacWindowRole::companion:
      return 3;  // NSFloatingWindowLevel
    case MacWindowRole::settings:
    case MacWindowRole::dialog:
      break;
  }
  return 0;  // NSNormalWindowLevel
}

MacActivationPolicy macActivationPolicy(bool showInDockMode, bool debugRegular) {
  return showInDockMode || debugRegular ? MacActivationPolicy::regular
                                        : MacActivationPolicy::accessory;
}

MacActivationPolicy macLaunchActivationPolicy(bool showInDockMode, bool debugRegular,
                                              bool startsInSettings) {
  if (startsInSettings) return MacActivationPolicy::regular;
  return macActivationPolicy(showInDockMode, debugRegular);
}

std::optional<CarbonHotKey> carbonHotKey(const HostHotKey& hotKey) {
  std::optional<uint32_t> keyCode;
  const uint32_t keysym = hotKey.keysym;
  if (keysym >= 'a' && keysym <= 'z') {
    keyCode = kLetterKeyCodes[keysym - 'a'];
  } else if (keysym >= 'A' && keysym <= 'Z') {
    keyCode = kLetterKeyCodes[keysym - 'A'];
  } else if (keysym >= '0' && keysym <= '9') {
    keyCode = kDigitKeyCodes[keysym - '0'];
  } else if (keysym == ' ') {
    keyCode = kVKSpace;
  } else {
    for (const auto& key : kFunctionKeys) {
      if (key.keysym == keysym) keyCode = key.keyCode;
    }
  }
  if (!keyCode) return std::nullopt;
  uint32_t modifiers = 0;
  if (hotKey.control) modifiers |= kCarbonControlKey;
  if (hotKey.alt) modifiers |= kCarbonOptionKey;
  if (hotKey.shift) modifiers |= kCarbonShiftKey;
  if (hotKey.super) modifiers |= kCarbonCmdKey;
  return CarbonHotKey{*keyCode, modifiers};
}

uint32_t keysymForMacKey(uint16_t keyCode, char32_t firstCharacter) {
  for (const auto& key : kFunctionKeys) {
    if (key.keyCode == keyCode) return key.keysym;
  }
  const char32_t c = firstCharacter;
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;  // control characters
  if (c >= 0xD800 && c <= 0xDFFF) return 0;           // a lone surrogate
  if (c > 0x10FFFF) return 0;
  if (c >= kFirstFunctionKeyCharacter && c <= kLastFunctionKeyCharacter) return 0;
  if (c <= 0xFF) return static_cast<uint32_t>(c);  // Latin-1 keysyms are their code points
  return 0x01000000u + static_cast<uint32_t>(c);
}

std::set<std::string> displayIDsWithFullScreenWindows(
    const std::vector<WindowSnapshot>& windows, const std::map<std::string, PixelRect>& displays,
    int currentProcessID) {
  std::set<std::string> covered;
  for (const auto& [id, display] : displays) {
    const int64_t displayArea = area(display);
    if (display.width <= 0 || display.height <= 0) continue;
    for (const auto& window : windows) {
      if (window.ownerPID == currentProcessID || window.layer != 0) continue;
      if (!(window.alpha > 0.01) || !window.isOnScreen) continue;
      if (window.bounds.width <= 0 || window.bounds.height <= 0) continue;
      // At least 98 % of the display, in whole numbers so that 98 % exactly counts.
      if (intersectionArea(window.bounds, display) * 100 >= displayArea * 98) {
        covered.insert(id);
        break;
      }
    }
  }
  return covered;
}

std::vector<LaunchStep> macLaunchSequence(bool isolated) {
  std::vector<LaunchStep> steps = {
      LaunchStep::notificationCategories,
      LaunchStep::auditReconciliation,
      LaunchStep::socketServer,
      LaunchStep::eventMonitoring,
      LaunchStep::surfaces,
      LaunchStep::hotKeys,
      LaunchStep::refreshLoop,
  };
  // An isolated run asks the user nothing and reaches for no network on its own.
  if (!isolated) {
    steps.push_back(LaunchStep::firstRunFlow);
    steps.push_back(LaunchStep::automaticUpdateCheck);
  }
  return steps;
}

const char* rawValue(LaunchStep step) {
  switch (step) {
    case LaunchStep::notificationCategories:
      return "notificationCategories";
    case LaunchStep::auditReconciliation:
      return "auditReconciliation";
    case LaunchStep::socketServer:
      return "socketServer";
    case LaunchStep::eventMonitoring:
      return "eventMonitoring";
    case LaunchStep::surfaces:
      return "surfaces";
    case LaunchStep::hotKeys:
      return "hotKeys";
    case LaunchStep::refreshLoop:
      return "refreshLoop";
    case LaunchStep::firstRunFlow:
      return "firstRunFlow";
    case LaunchStep::automaticUpdateCheck:
      break;
  }
  return "automaticUpdateCheck";
}

}  // namespace glimmet
