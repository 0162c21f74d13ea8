#include "support/x_window_observer.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace glimmet::testing {

namespace {

using Clock = std::chrono::steady_clock;

void pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

}  // namespace

XWindowObserver::XWindowObserver(const std::string& display)
    : display_(XOpenDisplay(display.c_str())) {
  // Glimmet destroys windows while it runs (a companion switched off, a panel closed): one
  // listed by XQueryTree can be gone by the time it is inspected, which Xlib's default handler
  // would make fatal.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

XWindowObserver::~XWindowObserver() {
  if (display_) XCloseDisplay(display_);
}

std::string XWindowObserver::property(unsigned long window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1 << 20, False,
                         AnyPropertyType, &type, &format, &items, &after, &data) != Success ||
      !data)
    return {};
  std::string text;
  if (format == 8) {
    text.assign(reinterpret_cast<char*>(data), items);
  } else if (format == 32 && items > 0) {
    char* atomName = XGetAtomName(display_, reinterpret_cast<Atom*>(data)[0]);
    text = atomName ? atomName : "";
    if (atomName) XFree(atomName);
  }
  XFree(data);
  return text;
}

std::vector<ShownWindow> XWindowObserver::windows() {
  std::vector<ShownWindow> found;
  Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
    if (attributes.map_state != IsViewable) continue;
    const std::string state = property(children[i], "_GLIMMET_STATE");
    if (state.empty()) continue;
    found.push_back({children[i], attributes.x, attributes.y, attributes.width, attributes.height,
                     attributes.override_redirect != 0, Json::parse(state, nullptr, false)});
  }
  if (children) XFree(children);
  return found;
}

std::optional<ShownWindow> XWindowObserver::find(
    const std::function<bool(const ShownWindow&)>& wanted, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    for (auto& window : windows()) {
      if (wanted(window)) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (Clock::now() < deadline);
  return std::nullopt;
}

bool XWindowObserver::gone(const std::function<bool(const ShownWindow&)>& shown, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    const auto all = windows();
    if (std::none_of(all.begin(), all.end(), shown)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (Clock::now() < deadline);
  return false;
}

size_t XWindowObserver::count(const std::function<bool(const ShownWindow&)>& wanted) {
  const auto all = windows();
  return static_cast<size_t>(std::count_if(all.begin(), all.end(), wanted));
}

void XWindowObserver::moveTo(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XFlush(display_);
}

void XWindowObserver::click(int x, int y) {
  moveTo(x, y);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XFlush(display_);
}

void XWindowObserver::drag(int x, int y, int dx, int dy) {
  moveTo(x, y);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XFlush(display_);
  pause();
  const int steps = std::max({std::abs(dx), std::abs(dy), 1}) / 10 + 1;
  for (int i = 1; i <= steps; ++i) {
    moveTo(x + dx * i / steps, y + dy * i / steps);
    pause();
  }
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XFlush(display_);
}

void XWindowObserver::wheel(int x, int y, unsigned button) {
  moveTo(x, y);
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  XFlush(display_);
}

void XWindowObserver::key(unsigned long keysym) {
  const KeyCode code = XKeysymToKeycode(display_, keysym);
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  XFlush(display_);
}

void XWindowObserver::addKeysyms(const std::vector<unsigned long>& keysyms) {
  int first = 0;
  int last = 0;
  XDisplayKeycodes(display_, &first, &last);
  int perCode = 0;
  KeySym* map =
      XGetKeyboardMapping(display_, static_cast<KeyCode>(first), last - first + 1, &perCode);
  if (!map) return;
  const auto isFree = [&](int code) {
    const KeySym* row = map + static_cast<ptrdiff_t>(code - first) * perCode;
    return std::all_of(row, row + perCode, [](KeySym sym) { return sym == NoSymbol; });
  };
  int code = last;  // spare keycodes are taken from the top
  for (const unsigned long keysym : keysyms) {
    if (XKeysymToKeycode(display_, keysym) != 0) continue;
    while (code >= first && !isFree(code)) --code;
    if (code < first) break;
    KeySym bound[2] = {keysym, keysym};
    XChangeKeyboardMapping(display_, code, 2, bound, 1);
    --code;
  }
  XSync(display_, False);
  XFree(map);
}

void XWindowObserver::requestClose(unsigned long window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  XFlush(display_);
}

}  // namespace glimmet::testing
