#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <unistd.h>
#include <uv.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <optional>

#include "platform/linux/x11_connection.hpp"
#include "platform/linux/x11_dialog_window.hpp"
#include "platform/linux/x11_key_text.hpp"
#include "platform/linux/x11_overlay_window.hpp"
#include "platform/linux/x11_screens.hpp"
#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "platform/posix/polled_fd.hpp"

namespace glimmet {

namespace {

// A burst of monitor and panel changes (one xrandr call sends several) is told as one.
constexpr Seconds kScreenChangeCoalescing{0.05};

constexpr unsigned int kHotKeyModifiers = ControlMask | Mod1Mask | ShiftMask | Mod4Mask;

unsigned int modifierMask(bool control, bool alt, bool shift, bool super) {
  return (control ? ControlMask : 0u) | (alt ? Mod1Mask : 0u) | (shift ? ShiftMask : 0u) |
         (super ? Mod4Mask : 0u);
}

struct GrabbedHotKey {
  HostHotKey hotKey;
  KeyCode keycode = 0;
  unsigned int modifiers = 0;
};

class X11OverlayHost final : public OverlayHost {
 public:
  X11OverlayHost(MainLoop& loop, Callbacks callbacks, LogSink log,
                 std::unique_ptr<X11Connection> connection)
      : loop_(loop),
        callbacks_(std::move(callbacks)),
        log_(std::move(log)),
        x_(std::move(connection)) {}

  ~X11OverlayHost() override {
    x_->setLossObserver({});
    windows_.clear();
    dialogs_.clear();
    if (!x_->isLost()) {
      if (im_) XCloseIM(im_);
      for (const auto& grabbed : hotKeys_) ungrab(grabbed);
      XFlush(x_->display());
    }
  }

  bool start(std::string* error);

  std::vector<HostScreen> screens() override {
    if (x_->isLost()) return {};
    return readScreens(*x_, hasMonitors_);
  }

  std::optional<std::pair<int, int>> pointerLocation() override {
    if (x_->isLost()) return std::nullopt;
    Window root = None;
    Window child = None;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int state = 0;
    if (!XQueryPointer(x_->display(), x_->root(), &root, &child, &rootX, &rootY, &windowX, &windowY,
                       &state) ||
        x_->isLost()) {
      return std::nullopt;
    }
    return std::make_pair(rootX, rootY);
  }

  std::set<std::string> screensWithFullScreenWindows() override {
    if (x_->isLost()) return {};
    return readFullScreenScreens(*x_, screens());
  }

  bool hasCompositor() override {
    if (x_->isLost()) return false;
    const bool owned = XGetSelectionOwner(x_->display(), compositorSelection_) != None;
    if (x_->isLost()) return false;
    compositorMayHaveChanged(owned);
    return compositor_;
  }

  HostWindowID createWindow(const PixelRect& frame) override {
    if (x_->isLost()) return 0;
    auto window = std::make_unique<X11OverlayWindow>(*x_, frame);
    const HostWindowID id = window->id();
    windows_[id] = std::move(window);
    return id;
  }

  HostWindowID createDialogWindow(const HostDialogSpec& spec) override;

  void setFrame(HostWindowID window, const PixelRect& frame) override {
    if (auto* found = find(window)) found->setFrame(frame);
    if (auto* dialog = findDialog(window)) dialog->setFrame(frame);
  }

  void present(HostWindowID window, const HostWindowContent& content) override {
    if (auto* found = find(window)) found->present(content, !compositor_);
    if (auto* dialog = findDialog(window)) dialog->present(content);
  }

  void setVisible(HostWindowID window, bool visible) override {
    if (auto* found = find(window)) found->setVisible(visible);
    if (auto* dialog = findDialog(window)) dialog->setVisible(visible);
  }

  void setKeyboardFocus(HostWindowID window, bool focused) override;

  void destroyWindow(HostWindowID window) override {
    if (focusedWindow_ == window) setKeyboardFocus(window, false);
    inside_.erase(window);
    if (pendingMotion_ && pendingMotion_->first == window) pendingMotion_.reset();
    windows_.erase(window);
    dialogs_.erase(window);
  }

  bool registerHotKey(const HostHotKey& hotKey) override;

 private:
  X11OverlayWindow* find(HostWindowID window) {
    if (x_->isLost()) return nullptr;
    auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : found->second.get();
  }
  X11DialogWindow* findDialog(HostWindowID window) {
    if (x_->isLost()) return nullptr;
    auto found = dialogs_.find(window);
    return found == dialogs_.end() ? nullptr : found->second.get();
  }
  bool isOurs(Window window) const {
    return windows_.count(window) > 0 || dialogs_.count(window) > 0;
  }
  XIM inputMethod();
  HostKeyEvent keyEvent(XKeyEvent& key);

  std::vector<unsigned int> lockVariants() const {
    std::vector<unsigned int> variants{0, LockMask};
    if (numLockMask_) {
      variants.push_back(numLockMask_);
      variants.push_back(numLockMask_ | LockMask);
    }
    return variants;
  }
  void ungrab(const GrabbedHotKey& grabbed) {
    for (unsigned int variant : lockVariants()) {
      XUngrabKey(x_->display(), grabbed.keycode, grabbed.modifiers | variant, x_->root());
    }
  }
  unsigned int findNumLockMask();

  void beforeSleep();
  void drain();
  void translate(XEvent& event, std::vector<std::function<void()>>& out);
  void translateCrossing(const XCrossingEvent& crossing, std::vector<std::function<void()>>& out);
  void flushMotion(std::vector<std::function<void()>>& out);
  void emitPointer(std::vector<std::function<void()>>& out, HostWindowID window,
                   const HostPointerEvent& event) {
    out.emplace_back([this, window, event] {
      if (callbacks_.pointer) callbacks_.pointer(window, event);
    });
  }
  void screensMayHaveChanged();
  void compositorMayHaveChanged(bool present);
  void raiseWindows();
  void connectionLost();

  MainLoop& loop_;
  Callbacks callbacks_;
  LogSink log_;
  std::unique_ptr<X11Connection> x_;
  PolledFd connectionWatch_;
  UvHandle<uv_prepare_t> beforeSleep_;
  std::map<HostWindowID, std::unique_ptr<X11OverlayWindow>> windows_;
  std::map<HostWindowID, std::unique_ptr<X11DialogWindow>> dialogs_;
  XIM im_ = nullptr;
  bool imOpened_ = false;
  std::set<HostWindowID> inside_;
  std::optional<std::pair<HostWindowID, HostPointerEvent>> pendingMotion_;
  std::vector<GrabbedHotKey> hotKeys_;
  std::set<std::string> reportedHotKeys_;
  KeyCode heldHotKey_ = 0;
  unsigned int numLockMask_ = 0;
  bool hasMonitors_ = false;
  int randrEventBase_ = -1;
  int fixesEventBase_ = -1;
  Atom compositorSelection_ = None;
  bool compositor_ = false;
  bool raiseWanted_ = false;
  bool drainPosted_ = false;
  WorkItem screensChangedSoon_;
  HostWindowID focusedWindow_ = 0;
  Window focusBefore_ = None;
  bool disconnectReported_ = false;
  // Expires with the host, so that callbacks that destroy it stop the dispatch.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

bool X11OverlayHost::start(std::string* error) {
  Display* display = x_->display();
  x_->setLossObserver([this] { connectionLost(); });

  int randrError = 0;
  int major = 0;
  int minor = 0;
  if (XRRQueryExtension(display, &randrEventBase_, &randrError) &&
      XRRQueryVersion(display, &major, &minor)) {
    hasMonitors_ = major > 1 || (major == 1 && minor >= 5);
    XRRSelectInput(display, x_->root(),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
  } else {
    randrEventBase_ = -1;
  }

  compositorSelection_ = x_->atom(("_NET_WM_CM_S" + std::to_string(x_->screen())).c_str());
  int fixesError = 0;
  if (XFixesQueryExtension(display, &fixesEventBase_, &fixesError)) {
    XFixesSelectSelectionInput(display, x_->root(), compositorSelection_,
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
  } else {
    fixesEventBase_ = -1;
  }
  compositor_ = XGetSelectionOwner(display, compositorSelection_) != None;

  // Root: panels coming and going, monitors added or removed (XRandR sends the root a
  // ConfigureNotify for those), and windows mapped or restacked above the overlay.
  XSelectInput(display, x_->root(),
               PropertyChangeMask | StructureNotifyMask | SubstructureNotifyMask);
  // A held hot key then repeats as presses alone, which are easy to tell from a new press.
  XkbSetDetectableAutoRepeat(display, True, nullptr);
  numLockMask_ = findNumLockMask();

  // Xlib owns the connection's descriptor; the loop watches a copy of it.
  const int watched = ::dup(ConnectionNumber(display));
  const int rc =
      startPolling(connectionWatch_, static_cast<uv_loop_t*>(loop_.nativeHandle()),
                   UniqueFd(watched), UV_READABLE, this, [](uv_poll_t* handle, int, int) {
                     if (auto* host = static_cast<X11OverlayHost*>(handle->data)) host->drain();
                   });
  if (watched < 0 || rc != 0) {
    if (error) *error = "cannot watch the X connection on the main loop";
    return false;
  }
  // Xlib buffers requests, and reads events into its own queue during round trips and
  // flushes, where the descriptor no longer shows them. Before the loop sleeps, the requests go
  // out and queued events are handed to the loop as posted work, which wakes it at once.
  beforeSleep_.init([&](uv_prepare_t* handle) {
    int result = uv_prepare_init(static_cast<uv_loop_t*>(loop_.nativeHandle()), handle);
    if (result != 0) return result;
    handle->data = this;
    uv_unref(reinterpret_cast<uv_handle_t*>(handle));
    return uv_prepare_start(handle, [](uv_prepare_t* prepared) {
      if (auto* host = static_cast<X11OverlayHost*>(prepared->data)) host->beforeSleep();
    });
  });
  XFlush(display);
  return !x_->isLost();
}

unsigned int X11OverlayHost::findNumLockMask() {
  unsigned int mask = 0;
  XModifierKeymap* map = XGetModifierMapping(x_->display());
  if (!map) return 0;
  const KeyCode numLock = XKeysymToKeycode(x_->display(), XK_Num_Lock);
  for (int modifier = 0; numLock && modifier < 8; ++modifier) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) mask = 1u << modifier;
    }
  }
  XFreeModifiermap(map);
  return mask;
}

bool X11OverlayHost::registerHotKey(const HostHotKey& hotKey) {
  if (x_->isLost()) return false;
  const std::string name =
      describeHotKey(hotKey.keysym, hotKey.control, hotKey.alt, hotKey.shift, hotKey.super);
  auto previous = std::find_if(hotKeys_.begin(), hotKeys_.end(),
                               [&](const GrabbedHotKey& g) { return g.hotKey.id == hotKey.id; });
  if (previous != hotKeys_.end()) {
    ungrab(*previous);
    hotKeys_.erase(previous);
  }
  GrabbedHotKey grabbed{hotKey, XKeysymToKeycode(x_->display(), hotKey.keysym),
                        modifierMask(hotKey.control, hotKey.alt, hotKey.shift, hotKey.super)};
  if (grabbed.keycode == 0) {
    if (reportedHotKeys_.insert(name).second) {
      writeLog(log_, "[Glimmet] hot key " + name + " has no key on this keyboard");
    }
    return false;
  }
  const auto errors = x_->collectErrors([&] {
    for (unsigned int variant : lockVariants()) {
      XGrabKey(x_->display(), grabbed.keycode, grabbed.modifiers | variant, x_->root(), False,
               GrabModeAsync, GrabModeAsync);
    }
  });
  if (std::find(errors.begin(), errors.end(), BadAccess) != errors.end()) {
    // Only our own grabs are released; the other program keeps its combination.
    ungrab(grabbed);
    if (reportedHotKeys_.insert(name).second) {
      writeLog(log_, "[Glimmet] hot key " + name + " is taken by another program");
    }
    return false;
  }
  if (x_->isLost()) return false;
  hotKeys_.push_back(grabbed);
  return true;
}

XIM X11OverlayHost::inputMethod() {
  if (imOpened_) return im_;
  imOpened_ = true;
  // Compose sequences and input methods follow the user's locale; a process still in the C
  // locale takes it from the environment, for character types only. Where the environment
  // names none either, UTF-8 is still what every text of Glimmet is in, so C.UTF-8 stands in:
  // in plain C an input method hands over no accented letter at all.
  const auto isPlainC = [](const char* locale) {
    return !locale || std::string(locale) == "C" || std::string(locale) == "POSIX";
  };
  if (isPlainC(std::setlocale(LC_CTYPE, nullptr))) {
    const char* fromEnvironment = std::setlocale(LC_CTYPE, "");
    if (isPlainC(fromEnvironment) || !XSupportsLocale()) {
      if (!std::setlocale(LC_CTYPE, "C.UTF-8") || !XSupportsLocale()) {
        std::setlocale(LC_CTYPE, "C");
      }
    }
  }
  XSetLocaleModifiers("");
  im_ = XOpenIM(x_->display(), nullptr, nullptr, nullptr);
  if (!im_) {
    // XMODIFIERS names an input method that is not running: Xlib's own one still composes.
    XSetLocaleModifiers("@im=none");
    im_ = XOpenIM(x_->display(), nullptr, nullptr, nullptr);
  }
  if (!im_) writeLog(log_, "[Glimmet] no input method: typed text is read key by key");
  return im_;
}

HostWindowID X11OverlayHost::createDialogWindow(const HostDialogSpec& spec) {
  if (x_->isLost()) return 0;
  PixelRect frame{0, 0, spec.width, spec.height};
  const auto all = screens();
  auto primary = std::find_if(all.begin(), all.end(), [](const auto& s) { return s.primary; });
  if (primary == all.end() && !all.empty()) primary = all.begin();
  if (primary != all.end()) {
    frame.x = primary->frame.x + (primary->frame.width - spec.width) / 2;
    frame.y = primary->frame.y + (primary->frame.height - spec.height) / 2;
  }
  auto dialog = std::make_unique<X11DialogWindow>(*x_, frame, spec.title, inputMethod());
  const HostWindowID id = dialog->id();
  dialogs_[id] = std::move(dialog);
  return id;
}

HostKeyEvent X11OverlayHost::keyEvent(XKeyEvent& key) {
  HostKeyEvent typed;
  typed.control = (key.state & ControlMask) != 0;
  typed.alt = (key.state & Mod1Mask) != 0;
  typed.shift = (key.state & ShiftMask) != 0;
  typed.super = (key.state & Mod4Mask) != 0;
  KeySym keysym = NoSymbol;
  X11DialogWindow* dialog = findDialog(key.window);
  if (XIC ic = dialog ? dialog->inputContext() : nullptr) {
    std::string buffer(64, '\0');
    Status status = 0;
    int length = Xutf8LookupString(ic, &key, buffer.data(), static_cast<int>(buffer.size()),
                                   &keysym, &status);
    if (status == XBufferOverflow) {
      buffer.resize(static_cast<size_t>(length));
      length = Xutf8LookupString(ic, &key, buffer.data(), static_cast<int>(buffer.size()), &keysym,
                                 &status);
    }
    if (status != XLookupKeySym && status != XLookupBoth) keysym = NoSymbol;
    typed.keysym = static_cast<uint32_t>(keysym);
    if ((status == XLookupChars || status == XLookupBoth) && length > 0) {
      buffer.resize(static_cast<size_t>(length));
      // Control characters come from function keys and Ctrl combinations, which the keysym
      // already names.
      if (static_cast<unsigned char>(buffer[0]) >= 0x20 && buffer != "\x7f") typed.text = buffer;
    } else if (!typed.control && !typed.alt && !typed.super) {
      typed.text = textForKeysym(typed.keysym);
    }
    return typed;
  }
  char ignored[32];
  XLookupString(&key, ignored, sizeof(ignored), &keysym, nullptr);
  typed.keysym = static_cast<uint32_t>(keysym);
  // A combination with Ctrl, Alt or Super is a command, not typing.
  if (!typed.control && !typed.alt && !typed.super) typed.text = textForKeysym(typed.keysym);
  return typed;
}

void X11OverlayHost::setKeyboardFocus(HostWindowID window, bool focused) {
  if (auto* dialog = findDialog(window)) {
    if (focused) dialog->focus();
    return;
  }
  if (!find(window)) return;
  Display* display = x_->display();
  if (focused) {
    if (focusedWindow_ == 0) {
      int revert = 0;
      XGetInputFocus(display, &focusBefore_, &revert);
    }
    focusedWindow_ = window;
    // Fails harmlessly (BadMatch) while the window is unmapped.
    x_->collectErrors([&] {
      XSetInputFocus(display, static_cast<Window>(window), RevertToPointerRoot, CurrentTime);
    });
    return;
  }
  if (focusedWindow_ != window) return;
  focusedWindow_ = 0;
  const Window before = std::exchange(focusBefore_, None);
  const auto errors = x_->collectErrors([&] {
    if (before != None && before != static_cast<Window>(window)) {
      XSetInputFocus(display, before, RevertToPointerRoot, CurrentTime);
    } else {
      XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    }
  });
  // The window that had the keys is gone: the pointer decides again.
  if (!errors.empty()) XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
}

void X11OverlayHost::beforeSleep() {
  if (x_->isLost() || drainPosted_) return;
  XFlush(x_->display());
  if (x_->isLost() || XEventsQueued(x_->display(), QueuedAlready) == 0) return;
  drainPosted_ = true;
  std::weak_ptr<int> alive = alive_;
  loop_.post([this, alive] {
    if (alive.expired()) return;
    drainPosted_ = false;
    drain();
  });
}

void X11OverlayHost::drain() {
  if (x_->isLost()) return;
  std::vector<std::function<void()>> out;
  Display* display = x_->display();
  while (!x_->isLost() && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    // The input method's own traffic, and keys it keeps while composing.
    if (im_ && XFilterEvent(&event, None)) continue;
    translate(event, out);
  }
  flushMotion(out);
  if (raiseWanted_ && !x_->isLost()) raiseWindows();
  if (!x_->isLost()) XFlush(display);
  std::weak_ptr<int> alive = alive_;
  for (auto& deliver : out) {
    deliver();
    if (alive.expired()) return;
  }
}

void X11OverlayHost::flushMotion(std::vector<std::function<void()>>& out) {
  if (!pendingMotion_) return;
  emitPointer(out, pendingMotion_->first, pendingMotion_->second);
  pendingMotion_.reset();
}

void X11OverlayHost::translate(XEvent& event, std::vector<std::function<void()>>& out) {
  if (randrEventBase_ >= 0 && (event.type == randrEventBase_ + RRScreenChangeNotify ||
                               event.type == randrEventBase_ + RRNotify)) {
    XRRUpdateConfiguration(&event);
    screensMayHaveChanged();
    return;
  }
  if (fixesEventBase_ >= 0 && event.type == fixesEventBase_ + XFixesSelectionNotify) {
    const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    compositorMayHaveChanged(notify.subtype == XFixesSetSelectionOwnerNotify &&
                             notify.owner != None);
    return;
  }
  switch (event.type) {
    case PropertyNotify:
      if (event.xproperty.window == x_->root() &&
          (event.xproperty.atom == x_->atom("_NET_CLIENT_LIST") ||
           event.xproperty.atom == x_->atom("_NET_WORKAREA"))) {
        screensMayHaveChanged();
      }
      return;
    case MapNotify:
      if (auto* dialog = findDialog(event.xmap.window)) dialog->focus();
      if (event.xmap.event == x_->root() && !isOurs(event.xmap.window)) raiseWanted_ = true;
      return;
    case FocusIn:
    case FocusOut:
      if (auto* dialog = findDialog(event.xfocus.window))
        dialog->focusChanged(event.type == FocusIn);
      return;
    case ClientMessage:
      if (findDialog(event.xclient.window) && event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == x_->atom("WM_DELETE_WINDOW")) {
        const HostWindowID window = event.xclient.window;
        out.emplace_back([this, window] {
          if (callbacks_.closeRequested) callbacks_.closeRequested(window);
        });
      }
      return;
    case ConfigureNotify:
      if (event.xconfigure.window == x_->root()) {
        // The root's own configuration: XRandR tells monitor changes this way.
        XRRUpdateConfiguration(&event);
        screensMayHaveChanged();
      } else if (event.xconfigure.event == x_->root() && !isOurs(event.xconfigure.window)) {
        raiseWanted_ = true;
      }
      return;
    case Expose:
      if (event.xexpose.count == 0) {
        if (auto* window = find(event.xexpose.window)) window->repaint();
        if (auto* dialog = findDialog(event.xexpose.window)) dialog->repaint();
      }
      return;
    case MappingNotify:
      XRefreshKeyboardMapping(&event.xmapping);
      numLockMask_ = findNumLockMask();
      return;
    default:
      break;
  }

  if (event.type == MotionNotify) {
    const XMotionEvent& motion = event.xmotion;
    if (!isOurs(motion.window)) return;
    if (pendingMotion_ && pendingMotion_->first != motion.window) flushMotion(out);
    HostPointerEvent pointer;
    pointer.kind = HostPointerEvent::Kind::motion;
    pointer.x = motion.x;
    pointer.y = motion.y;
    pointer.rootX = motion.x_root;
    pointer.rootY = motion.y_root;
    pendingMotion_ = std::make_pair(HostWindowID{motion.window}, pointer);
    return;
  }
  flushMotion(out);

  switch (event.type) {
    case EnterNotify:
    case LeaveNotify:
      translateCrossing(event.xcrossing, out);
      return;
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& button = event.xbutton;
      if (!isOurs(button.window)) return;
      HostPointerEvent pointer;
      const bool wheel = button.button >= 4 && button.button <= 7;
      if (wheel && event.type == ButtonRelease) return;  // a wheel step is told once
      pointer.kind = wheel ? HostPointerEvent::Kind::scroll
                           : (event.type == ButtonPress ? HostPointerEvent::Kind::press
                                                        : HostPointerEvent::Kind::release);
      pointer.x = button.x;
      pointer.y = button.y;
      pointer.rootX = button.x_root;
      pointer.rootY = button.y_root;
      pointer.button = static_cast<int>(button.button);
      emitPointer(out, button.window, pointer);
      return;
    }
    case KeyPress:
    case KeyRelease: {
      XKeyEvent& key = event.xkey;
      if (key.window == x_->root()) {
        if (event.type == KeyRelease) {
          if (key.keycode == heldHotKey_) heldHotKey_ = 0;
          return;
        }
        if (key.keycode == heldHotKey_) return;  // auto-repeat of a held combination
        const unsigned int modifiers = key.state & kHotKeyModifiers;
        for (const GrabbedHotKey& grabbed : hotKeys_) {
          if (grabbed.keycode == key.keycode && grabbed.modifiers == modifiers) {
            heldHotKey_ = static_cast<KeyCode>(key.keycode);
            const int id = grabbed.hotKey.id;
            out.emplace_back([this, id] {
              if (callbacks_.hotKey) callbacks_.hotKey(id);
            });
            return;
          }
        }
        return;
      }
      if (event.type != KeyPress || !isOurs(key.window)) return;
      const HostKeyEvent typed = keyEvent(key);
      // Shift or Ctrl alone is part of a later key; a key the input method swallowed is none.
      if (typed.text.empty() && (typed.keysym == NoSymbol || IsModifierKey(typed.keysym))) return;
      const HostWindowID window = key.window;
      out.emplace_back([this, window, typed] {
        if (callbacks_.key) callbacks_.key(window, typed);
      });
      return;
    }
    default:
      return;
  }
}

void X11OverlayHost::translateCrossing(const XCrossingEvent& crossing,
                                       std::vector<std::function<void()>>& out) {
  if (!isOurs(crossing.window)) return;
  // Crossings caused by another client's grab say nothing about where the pointer is, and ones
  // to or from a child cannot happen on a window without children.
  if (crossing.mode == NotifyGrab || crossing.detail == NotifyInferior) return;
  const HostWindowID window = crossing.window;
  const bool entering = crossing.type == EnterNotify;
  if (entering == (inside_.count(window) > 0)) return;
  if (entering) {
    inside_.insert(window);
  } else {
    inside_.erase(window);
  }
  HostPointerEvent pointer;
  pointer.kind = entering ? HostPointerEvent::Kind::enter : HostPointerEvent::Kind::leave;
  pointer.x = crossing.x;
  pointer.y = crossing.y;
  pointer.rootX = crossing.x_root;
  pointer.rootY = crossing.y_root;
  emitPointer(out, window, pointer);
}

void X11OverlayHost::screensMayHaveChanged() {
  if (screensChangedSoon_.isPending()) return;
  screensChangedSoon_ = loop_.schedule(kScreenChangeCoalescing, [this] {
    if (!x_->isLost() && callbacks_.screensChanged) callbacks_.screensChanged();
  });
}

void X11OverlayHost::compositorMayHaveChanged(bool present) {
  if (present == compositor_) return;
  compositor_ = present;
  for (auto& [id, window] : windows_) window->setClippedToPicture(!compositor_);
}

void X11OverlayHost::raiseWindows() {
  raiseWanted_ = false;
  for (auto& [id, window] : windows_) {
    if (window->isVisible()) XRaiseWindow(x_->display(), window->id());
  }
}

void X11OverlayHost::connectionLost() {
  // Runs inside the Xlib call that failed: stop watching, and tell the owner from the loop.
  if (disconnectReported_) return;
  disconnectReported_ = true;
  connectionWatch_.reset();
  beforeSleep_.reset();
  screensChangedSoon_.cancel();
  pendingMotion_.reset();
  std::weak_ptr<int> alive = alive_;
  loop_.post([this, alive, reason = x_->lossReason()] {
    if (alive.expired()) return;
    if (callbacks_.disconnected) callbacks_.disconnected(reason);
  });
}

}  // namespace

std::unique_ptr<OverlayHost> connectOverlayHost(MainLoop& loop, OverlayHost::Callbacks callbacks,
                                                LogSink log, std::string* error) {
  auto connection = X11Connection::open(nullptr, log, error);
  if (!connection) return nullptr;
  auto host = std::make_unique<X11OverlayHost>(loop, std::move(callbacks), std::move(log),
                                               std::move(connection));
  if (!host->start(error)) return nullptr;
  return host;
}

}  // namespace glimmet
