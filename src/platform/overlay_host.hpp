#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/log.hpp"

namespace glimmet {

class MainLoop;

// Rectangles in the display's pixels (root window coordinates on X11), or in points from the
// top left of the primary screen on macOS.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// One monitor as the window system reports it.
struct HostScreen {
  std::string id;    // the monitor's name ("DP-1", "HDMI-A-0", "screen" without XRandR)
  std::string name;  // what the user would call it
  PixelRect frame;
  bool primary = false;
  // Height reserved at the top by a panel or menu bar (its strut), 0 when none.
  int topReservedHeight = 0;
  // On a MacBook with a camera housing: how far the housing reaches down (the safe-area top
  // inset) and where it is, in the same coordinates as `frame`. Other screens have neither.
  double safeAreaTopInset = 0;
  std::optional<PixelRect> notch;
  bool operator==(const HostScreen&) const = default;
};

// What one overlay window shows: premultiplied ARGB pixels, 4 bytes each, native byte order
// (cairo's ARGB32), the parts that take the pointer, and a text describing the state for tests
// and bug reports.
struct HostWindowContent {
  int width = 0;
  int height = 0;
  int stride = 0;
  const unsigned char* pixels = nullptr;
  // Pointer input outside these rectangles (window coordinates) falls through to the windows
  // below; they also shape the window when no compositor draws transparency.
  std::vector<PixelRect> inputRegion;
  std::string stateJson;
};

struct HostPointerEvent {
  enum class Kind { enter, leave, motion, press, release, scroll };
  Kind kind = Kind::motion;
  // Window coordinates, and the same point on the root window.
  double x = 0;
  double y = 0;
  double rootX = 0;
  double rootY = 0;
  int button = 0;  // 1 left, 2 middle, 3 right; scroll: 4 up, 5 down
};

struct HostKeyEvent {
  uint32_t keysym = 0;  // X11 keysym values on every platform (Escape 0xff1b, BackSpace 0xff08)
  std::string text;     // UTF-8 the key types, empty for function keys
  bool control = false;
  bool alt = false;
  bool shift = false;
  bool super = false;
};

// A global key combination: a keysym and modifiers.
struct HostHotKey {
  int id = 0;
  uint32_t keysym = 0;
  bool control = false;
  bool alt = false;
  bool shift = false;
  bool super = false;
};

using HostWindowID = uint64_t;

// A window for a dialog (the text panel): framed by the window manager with `title`, a fixed
// size in pixels, centred on the primary screen, above normal windows, and given the keyboard
// when it appears. Its keys carry the text the input method composed.
struct HostDialogSpec {
  std::string title;
  int width = 0;
  int height = 0;
};

// The window system for the overlay: borderless, always-on-top, transparent windows that never
// take focus unless asked, global hot keys, monitors and full-screen detection. It decides
// nothing; the overlay controller above it does.
class OverlayHost {
 public:
  struct Callbacks {
    // The monitors or their reserved areas changed.
    std::function<void()> screensChanged;
    std::function<void(HostWindowID, const HostPointerEvent&)> pointer;
    std::function<void(HostWindowID, const HostKeyEvent&)> key;
    std::function<void(int hotKeyID)> hotKey;
    // The user closed a dialog window from its frame; it stays until destroyed.
    std::function<void(HostWindowID)> closeRequested;
    // The connection to the window system is gone; the host is unusable afterwards.
    std::function<void(const std::string& reason)> disconnected;
  };

  virtual ~OverlayHost() = default;

  virtual std::vector<HostScreen> screens() = 0;
  virtual std::optional<std::pair<int, int>> pointerLocation() = 0;
  // Ids of the screens that another program's full-screen window covers.
  virtual std::set<std::string> screensWithFullScreenWindows() = 0;
  virtual bool hasCompositor() = 0;

  virtual HostWindowID createWindow(const PixelRect& frame) = 0;
  // The other calls below take these windows too.
  virtual HostWindowID createDialogWindow(const HostDialogSpec& spec) = 0;
  virtual void setFrame(HostWindowID window, const PixelRect& frame) = 0;
  virtual void present(HostWindowID window, const HostWindowContent& content) = 0;
  virtual void setVisible(HostWindowID window, bool visible) = 0;
  // Takes the keyboard while the panel needs keys, and gives it back.
  virtual void setKeyboardFocus(HostWindowID window, bool focused) = 0;
  virtual void destroyWindow(HostWindowID window) = 0;

  // False when another program holds the combination; the failure is logged once.
  virtual bool registerHotKey(const HostHotKey& hotKey) = 0;
};

// Connects to the window system of this session (X11 through DISPLAY on Linux), driven by
// `loop`. Absent, with the reason in `error`, when there is none.
std::unique_ptr<OverlayHost> connectOverlayHost(MainLoop& loop, OverlayHost::Callbacks callbacks,
                                                LogSink log, std::string* error);

}  // namespace glimmet
