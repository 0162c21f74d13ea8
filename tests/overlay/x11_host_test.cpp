#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "support/xvfb.hpp"

// After gtest: Xlib's macros (None, Bool, Status) would otherwise leak into it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace glimmet {
namespace {

using testing::Xvfb;

struct Recorded {
  std::vector<std::pair<HostWindowID, HostPointerEvent>> pointer;
  std::vector<int> hotKeys;
  std::vector<std::pair<HostWindowID, HostKeyEvent>> keys;
  std::vector<std::string> disconnects;
  std::vector<std::string> logs;
  int screensChanged = 0;

  size_t count(HostPointerEvent::Kind kind) const {
    size_t n = 0;
    for (const auto& [window, event] : pointer) n += event.kind == kind;
    return n;
  }
  const HostPointerEvent* last(HostPointerEvent::Kind kind) const {
    for (auto it = pointer.rbegin(); it != pointer.rend(); ++it) {
      if (it->second.kind == kind) return &it->second;
    }
    return nullptr;
  }
};

// Premultiplied ARGB pixels with a few unused pixels after each row, as cairo may lay them out.
struct Picture {
  int width;
  int height;
  int stride;
  std::vector<uint32_t> pixels;
  Picture(int w, int h, uint32_t fill) : width(w), height(h), stride((w + 3) * 4) {
    pixels.assign(static_cast<size_t>(stride / 4) * h, 0xDEADBEEF);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) at(x, y) = fill;
    }
  }
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * (stride / 4) + x]; }
  HostWindowContent content(std::vector<PixelRect> input, std::string state) const {
    HostWindowContent content;
    content.width = width;
    content.height = height;
    content.stride = stride;
    content.pixels = reinterpret_cast<const unsigned char*>(pixels.data());
    content.inputRegion = std::move(input);
    content.stateJson = std::move(state);
    return content;
  }
};

// Which pixels of a w x h area the rectangles cover, row by row.
std::vector<std::string> coverage(const std::vector<PixelRect>& rects, int w, int h) {
  std::vector<std::string> rows(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '.'));
  for (const PixelRect& r : rects) {
    for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, h); ++y) {
      for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, w); ++x) {
        rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
      }
    }
  }
  return rows;
}

class X11HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) {
      GTEST_SKIP() << "no Xvfb program on PATH: the X11 overlay host tests need a real X server";
    }
    server = std::make_unique<Xvfb>();
    ::setenv("DISPLAY", server->display().c_str(), 1);
    inspector = XOpenDisplay(server->display().c_str());
    ASSERT_NE(inspector, nullptr);
    XSetIOErrorExitHandler(
        inspector, [](Display*, void*) {}, nullptr);
    root = DefaultRootWindow(inspector);
    OverlayHost::Callbacks callbacks;
    callbacks.screensChanged = [this] { ++recorded.screensChanged; };
    callbacks.pointer = [this](HostWindowID window, const HostPointerEvent& event) {
      recorded.pointer.emplace_back(window, event);
    };
    callbacks.hotKey = [this](int id) { recorded.hotKeys.push_back(id); };
    callbacks.key = [this](HostWindowID window, const HostKeyEvent& event) {
      recorded.keys.emplace_back(window, event);
    };
    callbacks.disconnected = [this](const std::string& reason) {
      recorded.disconnects.push_back(reason);
    };
    std::string error;
    host = connectOverlayHost(
        loop, callbacks, [this](const std::string& line) { recorded.logs.push_back(line); },
        &error);
    ASSERT_NE(host, nullptr) << error;
  }

  void TearDown() override {
    host.reset();
    if (inspector) XCloseDisplay(inspector);
    server.reset();
  }

  // In short slices: some answers come from the server through the inspector, and nothing
  // wakes the loop when they change.
  bool runUntil(const std::function<bool()>& done, double seconds = 5) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      loop.runUntil(done, Seconds(0.05));
    }
    return true;
  }
  void settle(double seconds = 0.15) {
    loop.runUntil([] { return false; }, Seconds(seconds));
  }

  Atom atom(const char* name) { return XInternAtom(inspector, name, False); }

  std::string textProperty(Window window, const char* name, Atom* type = nullptr,
                           int* format = nullptr) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(inspector, window, atom(name), 0, 1 << 20, False, AnyPropertyType,
                       &actualType, &actualFormat, &count, &remaining, &data);
    std::string text = data ? std::string(reinterpret_cast<char*>(data), count) : "";
    if (data) XFree(data);
    if (type) *type = actualType;
    if (format) *format = actualFormat;
    return text;
  }

  void setCardinals(Window window, const char* name, Atom type,
                    const std::vector<unsigned long>& values) {
    XChangeProperty(inspector, window, atom(name), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
  }

  // A plain top-level window of "another program", as a window manager would list it.
  Window clientWindow(int x, int y, int w, int h) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = ButtonPressMask;
    return XCreateWindow(inspector, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                         0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask, &attributes);
  }

  void setClientList(const std::vector<unsigned long>& windows) {
    setCardinals(root, "_NET_CLIENT_LIST", XA_WINDOW, windows);
    XSync(inspector, False);
  }

  std::vector<PixelRect> shapeOf(Window window, int kind) {
    int count = 0;
    int ordering = 0;
    XRectangle* rects = XShapeGetRectangles(inspector, window, kind, &count, &ordering);
    std::vector<PixelRect> result;
    for (int i = 0; i < count; ++i) {
      result.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
    }
    if (rects) XFree(rects);
    return result;
  }

  void moveTo(int x, int y) {
    XTestFakeMotionEvent(inspector, -1, x, y, CurrentTime);
    XFlush(inspector);
  }
  void click(unsigned int button) {
    XTestFakeButtonEvent(inspector, button, True, CurrentTime);
    XTestFakeButtonEvent(inspector, button, False, CurrentTime);
    XFlush(inspector);
  }

  void makeTwoMonitors() {
    // The left one takes the server's only output, so its automatic monitor goes away.
    ASSERT_EQ(server->run({"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen"}), 0);
    ASSERT_EQ(server->run({"xrandr", "--setmonitor", "*R", "960/254x1080/286+960+0", "none"}), 0);
  }

  MainLoop loop;
  Recorded recorded;
  std::unique_ptr<Xvfb> server;
  Display* inspector = nullptr;
  Window root = 0;
  std::unique_ptr<OverlayHost> host;
};

TEST_F(X11HostTest, WindowIsAnArgbOverrideRedirectWindowShowingItsPictureAndState) {
  const HostWindowID id = host->createWindow({794, 0, 332, 32});
  ASSERT_NE(id, 0u);
  Picture picture(332, 32, 0xFF102030);
  for (int y = 0; y < 32; ++y) {
    for (int x = 166; x < 332; ++x) picture.at(x, y) = 0x80200810;  // half transparent
  }
  host->present(id, picture.content({{0, 0, 332, 32}}, R"({"mode":"collapsed"})"));
  settle();

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(inspector, id, &attributes));
  EXPECT_TRUE(attributes.override_redirect);
  EXPECT_EQ(attributes.depth, 32);
  EXPECT_EQ(attributes.map_state, IsViewable);
  EXPECT_EQ(attributes.border_width, 0);
  EXPECT_EQ(std::vector<int>({attributes.x, attributes.y, attributes.width, attributes.height}),
            std::vector<int>({794, 0, 332, 32}));

  Atom type = None;
  int format = 0;
  EXPECT_EQ(textProperty(id, "_GLIMMET_STATE", &type, &format), R"({"mode":"collapsed"})");
  EXPECT_EQ(type, atom("UTF8_STRING"));
  EXPECT_EQ(format, 8);
  EXPECT_EQ(textProperty(id, "WM_CLASS"), std::string("glimmet\0Glimmet\0", 16));
  EXPECT_EQ(textProperty(id, "WM_NAME"), "Glimmet");

  // The pixels arrive in order, row stride honoured, alpha kept.
  XImage* image = XGetImage(inspector, id, 0, 0, 332, 32, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(XGetPixel(image, 0, 0), 0xFF102030u);
  EXPECT_EQ(XGetPixel(image, 165, 31), 0xFF102030u);
  EXPECT_EQ(XGetPixel(image, 166, 0), 0x80200810u);
  EXPECT_EQ(XGetPixel(image, 331, 31), 0x80200810u);
  XDestroyImage(image);

  // Every present rewrites the state; a new frame moves and resizes the window.
  host->setFrame(id, {690, 0, 540, 260});
  Picture panel(540, 260, 0xFF000000);
  host->present(id, panel.content({{0, 0, 540, 260}}, R"({"mode":"expanded"})"));
  settle();
  EXPECT_EQ(textProperty(id, "_GLIMMET_STATE"), R"({"mode":"expanded"})");
  ASSERT_TRUE(XGetWindowAttributes(inspector, id, &attributes));
  EXPECT_EQ(std::vector<int>({attributes.x, attributes.y, attributes.width, attributes.height}),
            std::vector<int>({690, 0, 540, 260}));

  host->setVisible(id, false);
  settle();
  ASSERT_TRUE(XGetWindowAttributes(inspector, id, &attributes));
  EXPECT_EQ(attributes.map_state, IsUnmapped);
  host->destroyWindow(id);
  settle();
  EXPECT_EQ(textProperty(id, "_GLIMMET_STATE"), "");
}

TEST_F(X11HostTest, ScreensFollowMonitorsAndTopStruts) {
  auto screens = host->screens();
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_EQ(screens[0].frame, (PixelRect{0, 0, 1920, 1080}));
  EXPECT_EQ(screens[0].topReservedHeight, 0);

  makeTwoMonitors();
  ASSERT_TRUE(runUntil([&] { return recorded.screensChanged > 0; }));
  screens = host->screens();
  ASSERT_EQ(screens.size(), 2u);
  // The primary one comes first.
  EXPECT_EQ(screens[0].id, "R");
  EXPECT_TRUE(screens[0].primary);
  EXPECT_EQ(screens[0].frame, (PixelRect{960, 0, 960, 1080}));
  EXPECT_EQ(screens[1].id, "L");
  EXPECT_FALSE(screens[1].primary);
  EXPECT_EQ(screens[1].frame, (PixelRect{0, 0, 960, 1080}));

  // A panel 27 pixels high over the left monitor's columns only.
  const Window dock = clientWindow(0, 0, 960, 27);
  setCardinals(dock, "_NET_WM_WINDOW_TYPE", XA_ATOM, {atom("_NET_WM_WINDOW_TYPE_DOCK")});
  setCardinals(dock, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, {0, 0, 27, 0, 0, 0, 0, 0, 0, 959, 0, 0});
  XMapWindow(inspector, dock);
  const int before = recorded.screensChanged;
  setClientList({dock});
  ASSERT_TRUE(runUntil([&] { return recorded.screensChanged > before; }));
  screens = host->screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].topReservedHeight, 0);   // R: the panel does not reach it
  EXPECT_EQ(screens[1].topReservedHeight, 27);  // L

  const int beforeRemoval = recorded.screensChanged;
  ASSERT_EQ(server->run({"xrandr", "--delmonitor", "R"}), 0);
  ASSERT_TRUE(runUntil([&] { return recorded.screensChanged > beforeRemoval; }));
  screens = host->screens();
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_EQ(screens[0].id, "L");
  // One xrandr call is told as one change.
  settle(0.3);
  EXPECT_EQ(recorded.screensChanged, beforeRemoval + 1);
}

TEST_F(X11HostTest, PointerEventsCarryWindowCoordinatesAndOnlyTheInputRegionTakesClicks) {
  const HostWindowID id = host->createWindow({794, 0, 332, 32});
  Picture picture(332, 32, 0xFF000000);
  host->present(id, picture.content({{0, 0, 166, 32}}, "{}"));
  settle();
  // Another program's window appears later, under the whole top of the screen: the overlay
  // stays above it.
  const Window below = clientWindow(0, 0, 1920, 200);
  XMapWindow(inspector, below);
  XSync(inspector, False);
  settle(0.3);

  moveTo(800, 10);
  ASSERT_TRUE(runUntil([&] { return recorded.count(HostPointerEvent::Kind::motion) > 0; }));
  ASSERT_FALSE(recorded.pointer.empty());
  EXPECT_EQ(recorded.pointer[0].first, id);
  EXPECT_EQ(recorded.pointer[0].second.kind, HostPointerEvent::Kind::enter);
  EXPECT_EQ(recorded.pointer[0].second.x, 6);
  EXPECT_EQ(recorded.pointer[0].second.rootX, 800);

  for (int step = 1; step <= 5; ++step) moveTo(800 + step * 6, 10 + step);
  ASSERT_TRUE(runUntil([&] {
    const auto* motion = recorded.last(HostPointerEvent::Kind::motion);
    return motion && motion->rootX == 830;
  }));
  const auto* motion = recorded.last(HostPointerEvent::Kind::motion);
  EXPECT_EQ(motion->x, 36);
  EXPECT_EQ(motion->y, 15);
  EXPECT_EQ(motion->rootY, 15);

  click(1);
  ASSERT_TRUE(runUntil([&] { return recorded.count(HostPointerEvent::Kind::release) > 0; }));
  const auto* press = recorded.last(HostPointerEvent::Kind::press);
  ASSERT_NE(press, nullptr);
  EXPECT_EQ(press->button, 1);
  EXPECT_EQ(press->x, 36);
  EXPECT_EQ(press->y, 15);
  EXPECT_EQ(recorded.pointer.back().second.kind, HostPointerEvent::Kind::release);

  click(4);
  ASSERT_TRUE(runUntil([&] { return recorded.count(HostPointerEvent::Kind::scroll) > 0; }));
  EXPECT_EQ(recorded.last(HostPointerEvent::Kind::scroll)->button, 4);

  // Right half of the capsule: outside the input region, so the window below gets the click.
  moveTo(1000, 10);
  ASSERT_TRUE(runUntil([&] { return recorded.count(HostPointerEvent::Kind::leave) > 0; }));
  const size_t seen = recorded.pointer.size();
  XSelectInput(inspector, below, ButtonPressMask);
  XSync(inspector, False);
  click(1);
  XEvent event;
  bool belowClicked = false;
  for (int i = 0; i < 200 && !belowClicked; ++i) {
    belowClicked = XCheckWindowEvent(inspector, below, ButtonPressMask, &event);
    if (!belowClicked) settle(0.01);
  }
  EXPECT_TRUE(belowClicked);
  if (belowClicked) {
    EXPECT_EQ(event.xbutton.x, 1000);
  }
  settle();
  EXPECT_EQ(recorded.pointer.size(), seen);
  EXPECT_EQ(recorded.count(HostPointerEvent::Kind::press), 1u);
  EXPECT_EQ(host->pointerLocation(), std::make_optional(std::make_pair(1000, 10)));
}

TEST_F(X11HostTest, HotKeyTakenByAnotherProgramIsRefusedAndLoggedOnce) {
  const KeyCode space = XKeysymToKeycode(inspector, XK_space);
  XGrabKey(inspector, space, ControlMask | Mod1Mask, root, False, GrabModeAsync, GrabModeAsync);
  XSync(inspector, False);

  const HostHotKey toggle{1, XK_space, true, true, false, false};
  EXPECT_FALSE(host->registerHotKey(toggle));
  EXPECT_FALSE(host->registerHotKey(toggle));
  EXPECT_EQ(recorded.logs, std::vector<std::string>{
                               "[Glimmet] hot key Ctrl+Alt+Space is taken by another program"});

  EXPECT_TRUE(host->registerHotKey({2, XK_j, true, true, false, false}));
  const KeyCode control = XKeysymToKeycode(inspector, XK_Control_L);
  const KeyCode alt = XKeysymToKeycode(inspector, XK_Alt_L);
  const KeyCode j = XKeysymToKeycode(inspector, XK_j);
  for (KeyCode key : {control, alt, j}) XTestFakeKeyEvent(inspector, key, True, CurrentTime);
  // Held down: the server repeats the key, which is still one press of the combination.
  for (int repeat = 0; repeat < 3; ++repeat) XTestFakeKeyEvent(inspector, j, True, CurrentTime);
  for (KeyCode key : {j, alt, control}) XTestFakeKeyEvent(inspector, key, False, CurrentTime);
  XFlush(inspector);
  ASSERT_TRUE(runUntil([&] { return !recorded.hotKeys.empty(); }));
  settle(0.2);
  EXPECT_EQ(recorded.hotKeys, std::vector<int>{2});
  EXPECT_EQ(recorded.logs.size(), 1u);
}

TEST_F(X11HostTest, KeyboardFocusIsTakenOnlyWhileAskedAndGivenBack) {
  const HostWindowID id = host->createWindow({794, 0, 332, 32});
  Picture picture(332, 32, 0xFF000000);
  host->present(id, picture.content({{0, 0, 332, 32}}, "{}"));
  settle();
  Window before = None;
  int revert = 0;
  XGetInputFocus(inspector, &before, &revert);
  ASSERT_NE(before, static_cast<Window>(id));

  host->setKeyboardFocus(id, true);
  settle();
  Window focus = None;
  XGetInputFocus(inspector, &focus, &revert);
  EXPECT_EQ(focus, static_cast<Window>(id));

  const KeyCode shift = XKeysymToKeycode(inspector, XK_Shift_L);
  const KeyCode control = XKeysymToKeycode(inspector, XK_Control_L);
  const KeyCode a = XKeysymToKeycode(inspector, XK_a);
  const KeyCode escape = XKeysymToKeycode(inspector, XK_Escape);
  const auto tap = [&](KeyCode modifier, KeyCode key) {
    if (modifier) XTestFakeKeyEvent(inspector, modifier, True, CurrentTime);
    XTestFakeKeyEvent(inspector, key, True, CurrentTime);
    XTestFakeKeyEvent(inspector, key, False, CurrentTime);
    if (modifier) XTestFakeKeyEvent(inspector, modifier, False, CurrentTime);
  };
  tap(shift, a);
  tap(control, a);
  tap(0, escape);
  XFlush(inspector);
  ASSERT_TRUE(runUntil([&] { return recorded.keys.size() >= 3; }));
  EXPECT_EQ(recorded.keys[0].first, id);
  EXPECT_EQ(recorded.keys[0].second.keysym, static_cast<uint32_t>(XK_A));
  EXPECT_EQ(recorded.keys[0].second.text, "A");
  EXPECT_TRUE(recorded.keys[0].second.shift);
  // A combination with Ctrl is a command: it types nothing.
  EXPECT_EQ(recorded.keys[1].second.keysym, static_cast<uint32_t>(XK_a));
  EXPECT_TRUE(recorded.keys[1].second.control);
  EXPECT_EQ(recorded.keys[1].second.text, "");
  EXPECT_EQ(recorded.keys[2].second.keysym, 0xff1bu);
  EXPECT_EQ(recorded.keys[2].second.text, "");

  host->setKeyboardFocus(id, false);
  settle();
  XGetInputFocus(inspector, &focus, &revert);
  EXPECT_EQ(focus, before);
}

TEST_F(X11HostTest, FullScreenWindowsOfOtherProgramsMarkTheirMonitor) {
  makeTwoMonitors();
  const Window almost = clientWindow(0, 0, 931, 1080);  // 97% of the left monitor
  const Window video = clientWindow(960, 0, 960, 1080);
  const Window small = clientWindow(10, 10, 100, 100);
  const Window ownPanel = clientWindow(0, 0, 960, 1080);
  setCardinals(small, "_NET_WM_STATE", XA_ATOM, {atom("_NET_WM_STATE_FULLSCREEN")});
  setCardinals(ownPanel, "_NET_WM_PID", XA_CARDINAL, {static_cast<unsigned long>(::getpid())});
  for (Window window : {almost, video, ownPanel}) XMapWindow(inspector, window);
  setClientList({almost, video, small, ownPanel});

  EXPECT_EQ(host->screensWithFullScreenWindows(), std::set<std::string>{"R"});

  // Unmapped, the video covers nothing; the small window in the full-screen state counts once
  // it is shown.
  XUnmapWindow(inspector, video);
  XMapWindow(inspector, small);
  XSync(inspector, False);
  EXPECT_EQ(host->screensWithFullScreenWindows(), std::set<std::string>{"L"});

  // A window that vanished while listed is no failure.
  XDestroyWindow(inspector, small);
  XSync(inspector, False);
  EXPECT_TRUE(host->screensWithFullScreenWindows().empty());
  EXPECT_TRUE(recorded.logs.empty());
}

TEST_F(X11HostTest, WithoutCompositorTheWindowIsCutToItsVisiblePixels) {
  EXPECT_FALSE(host->hasCompositor());
  const HostWindowID id = host->createWindow({100, 100, 20, 4});
  Picture picture(20, 4, 0xFF000000);
  for (int x : {0, 1, 18, 19}) picture.at(x, 0) = picture.at(x, 3) = 0;  // round corners
  picture.at(9, 1) = picture.at(10, 1) = 0;
  picture.at(0, 2) = 0x01000000;  // faint, still visible
  host->present(id, picture.content({{0, 0, 10, 4}}, "{}"));
  settle();
  const std::vector<std::string> visible{
      "..################..",
      "#########..#########",
      "####################",
      "..################..",
  };
  EXPECT_EQ(coverage(shapeOf(id, ShapeBounding), 20, 4), visible);
  EXPECT_EQ(coverage(shapeOf(id, ShapeInput), 20, 4), coverage({{0, 0, 10, 4}}, 20, 4));

  // A compositor blends the transparent parts itself: the whole window shows, without a new
  // picture, and the cut comes back when it goes.
  server->startCompositor();
  EXPECT_TRUE(host->hasCompositor());
  const std::vector<std::string> whole(4, std::string(20, '#'));
  ASSERT_TRUE(runUntil([&] { return coverage(shapeOf(id, ShapeBounding), 20, 4) == whole; }));
  server->stopCompositor();
  ASSERT_TRUE(runUntil([&] { return coverage(shapeOf(id, ShapeBounding), 20, 4) == visible; }));
  EXPECT_FALSE(host->hasCompositor());
}

TEST_F(X11HostTest, LostServerIsReportedOnceAndLeavesTheHostInert) {
  const HostWindowID id = host->createWindow({794, 0, 332, 32});
  ASSERT_TRUE(host->registerHotKey({1, XK_space, true, true, false, false}));
  settle();
  XCloseDisplay(inspector);
  inspector = nullptr;
  server->kill();

  ASSERT_TRUE(runUntil([&] { return !recorded.disconnects.empty(); }));
  EXPECT_NE(recorded.disconnects[0].find(::getenv("DISPLAY")), std::string::npos);
  Picture picture(332, 32, 0xFF000000);
  host->present(id, picture.content({{0, 0, 332, 32}}, "{}"));
  host->setFrame(id, {0, 0, 10, 10});
  host->setKeyboardFocus(id, true);
  EXPECT_TRUE(host->screens().empty());
  EXPECT_EQ(host->pointerLocation(), std::nullopt);
  EXPECT_TRUE(host->screensWithFullScreenWindows().empty());
  EXPECT_FALSE(host->hasCompositor());
  EXPECT_EQ(host->createWindow({0, 0, 10, 10}), 0u);
  EXPECT_FALSE(host->registerHotKey({2, XK_j, true, true, false, false}));
  settle(0.3);
  EXPECT_EQ(recorded.disconnects.size(), 1u);
  host->destroyWindow(id);
  host.reset();
}

}  // namespace
}  // namespace glimmet
