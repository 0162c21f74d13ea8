#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/json_values.hpp"

// Xlib's Display and Window without its macros (None, Bool, Status), which would rewrite
// gtest's names in the files that include this one.
struct _XDisplay;

namespace glimmet::testing {

// One of Glimmet's mapped windows as a second X client sees it.
struct ShownWindow {
  unsigned long id = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool overrideRedirect = false;
  Json state;  // the window's _GLIMMET_STATE
};

// A second client of a test's X server that looks at Glimmet's windows and moves, clicks and
// drags the pointer through XTest as a user would.
class XWindowObserver {
 public:
  explicit XWindowObserver(const std::string& display);
  ~XWindowObserver();
  XWindowObserver(const XWindowObserver&) = delete;
  XWindowObserver& operator=(const XWindowObserver&) = delete;

  bool connected() const { return display_ != nullptr; }

  // A text property of `window` (a string, or the name of the first atom of an atom list).
  std::string property(unsigned long window, const char* name);
  // Every mapped top-level window that carries a _GLIMMET_STATE, in stacking order.
  std::vector<ShownWindow> windows();
  // The first window `wanted` accepts within `seconds`.
  std::optional<ShownWindow> find(const std::function<bool(const ShownWindow&)>& wanted,
                                  double seconds);
  // Whether no window matches `shown` within `seconds`.
  bool gone(const std::function<bool(const ShownWindow&)>& shown, double seconds);
  // How many windows match now.
  size_t count(const std::function<bool(const ShownWindow&)>& wanted);

  void moveTo(int x, int y);
  void click(int x, int y);
  // Presses at (x, y), moves in small steps by (dx, dy) as a hand would, and releases.
  void drag(int x, int y, int dx, int dy);
  // A wheel step: button 4 up, 5 down.
  void wheel(int x, int y, unsigned button);
  // Presses and releases the key of an X keysym (XK_Return, XK_Escape).
  void key(unsigned long keysym);
  // Gives each keysym the keyboard lacks a spare keycode of its own. xdotool otherwise binds a
  // scratch keycode for each such character and unbinds it right after sending it, and a
  // client that looks the key up a moment later finds nothing there.
  void addKeysyms(const std::vector<unsigned long>& keysyms);
  // What a window manager sends when the user clicks the frame's close box.
  void requestClose(unsigned long window);

 private:
  _XDisplay* display_;
};

// The window's state says it is of `kind` ("companion", "textPanel", ...).
inline std::function<bool(const ShownWindow&)> windowOfKind(std::string kind) {
  return [kind = std::move(kind)](const ShownWindow& window) {
    return window.state.is_object() && window.state.value("kind", "") == kind;
  };
}

}  // namespace glimmet::testing
