// A real xterm on a private X server: the agent inside it writes an event through the real
// bridge, and the jump must make that xterm the active window.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "base/text.hpp"
#include "jump/jump_opener.hpp"
#include "model/glimmet_event.hpp"
#include "platform/window_focus.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "support/xvfb.hpp"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::TempDir;
using testing::Xvfb;

bool xtermInstalled() {
  return ::access("/usr/bin/xterm", X_OK) == 0;
}

// xterm needs a pseudo-terminal; a bare chroot without /dev/pts has none to give.
bool pseudoTerminalAvailable() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return false;
  const bool usable = ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
                      ::ptsname(master) != nullptr && ::access(::ptsname(master), F_OK) == 0;
  ::close(master);
  return usable;
}

// The least of an EWMH window manager: it answers _NET_ACTIVE_WINDOW requests from pagers
// (source 2) by recording the window as the root's _NET_ACTIVE_WINDOW.
class TinyWindowManager {
 public:
  explicit TinyWindowManager(const std::string& display) {
    display_ = XOpenDisplay(display.c_str());
    if (!display_) throw std::runtime_error("cannot reach " + display);
    root_ = DefaultRootWindow(display_);
    active_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    XSelectInput(display_, root_, SubstructureNotifyMask);
    XSync(display_, False);
    thread_ = std::thread([this] { loop(); });
  }
  ~TinyWindowManager() {
    stop_ = true;
    thread_.join();
    XCloseDisplay(display_);
  }

 private:
  void loop() {
    while (!stop_) {
      while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && event.xclient.message_type == active_ &&
            event.xclient.data.l[0] == 2) {
          const unsigned long window = event.xclient.window;
          XChangeProperty(display_, root_, active_, XA_WINDOW, 32, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(&window), 1);
          XFlush(display_);
        }
      }
      pollfd readable{ConnectionNumber(display_), POLLIN, 0};
      ::poll(&readable, 1, 20);
    }
  }
  Display* display_ = nullptr;
  Window root_ = 0;
  Atom active_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Reads the server from outside: the active window, and a top-level window by its title.
class Observer {
 public:
  explicit Observer(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (!display_) throw std::runtime_error("cannot reach " + display);
  }
  ~Observer() { XCloseDisplay(display_); }

  unsigned long activeWindow() {
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    unsigned long window = 0;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), active, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &remaining, &data) == Success &&
        data && count == 1) {
      window = *reinterpret_cast<unsigned long*>(data);
    }
    if (data) XFree(data);
    return window;
  }

  unsigned long windowTitled(const std::string& title) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    unsigned long found = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display_, children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // A window inside `parent`, as a terminal's widget window is.
  unsigned long createChild(unsigned long parent) {
    const Window child = XCreateSimpleWindow(display_, parent, 0, 0, 10, 10, 0, 0, 0);
    XSync(display_, False);
    return child;
  }

  void clearActiveWindow() {
    XDeleteProperty(display_, DefaultRootWindow(display_),
                    XInternAtom(display_, "_NET_ACTIVE_WINDOW", False));
    XSync(display_, False);
  }

  template <class Condition>
  bool waitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

 private:
  Display* display_;
};

struct XtermSession {
  TempDir home;
  ChildProcess xterm;
  std::string title = "glimmet-jump-" + std::to_string(::getpid());

  // xterm runs a shell (the agent) that reports through the bridge, then waits.
  explicit XtermSession(const std::string& display) {
    const std::string bridge =
        std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/glimmet-event";
    std::vector<std::string> env = {
        "DISPLAY=" + display, "HOME=" + home.path(), "PATH=/usr/local/bin:/usr/bin:/bin",
        "GLIMMET_HOME=" + home.file("gh"), "GLIMMET_EVENT_FILE=" + home.file("events.jsonl")};
    xterm =
        ChildProcess::spawn({"/usr/bin/xterm", "-T", title, "-e", "/bin/sh", "-c",
                             "python3 '" + bridge + "' --title 'agent in xterm'; exec sleep 60"},
                            env);
  }

  std::optional<JumpTarget> reportedTarget() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    const std::string file = home.file("events.jsonl");
    while (std::chrono::steady_clock::now() < deadline) {
      if (::access(file.c_str(), R_OK) == 0) {
        const std::string text = testing::readText(file);
        if (endsWith(text, "\n")) {
          const auto event = parseGlimmetEventLine(trim(text), {home.path()});
          return event ? event->typedJumpTarget.toOptional() : std::nullopt;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }
};

ResolvedJumpTarget exactWindow(JumpTarget target) {
  ResolvedJumpTarget resolved;
  resolved.available = true;
  resolved.target = std::move(target);
  resolved.action = ResolvedJumpAction::focusTerminalWindow;
  resolved.quality = JumpQuality::exactWindow;
  return resolved;
}

// Starts the server, the manager and the xterm, and hands the agent's reported target to `jump`.
class X11FocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available() || !xtermInstalled() || !pseudoTerminalAvailable()) {
      GTEST_SKIP() << "needs Xvfb, xterm and a pseudo-terminal";
    }
    server_ = std::make_unique<Xvfb>();
    manager_ = std::make_unique<TinyWindowManager>(server_->display());
    observer_ = std::make_unique<Observer>(server_->display());
    session_ = std::make_unique<XtermSession>(server_->display());
    ASSERT_TRUE(
        observer_->waitFor([&] { return (xterm_ = observer_->windowTitled(session_->title)); }));
    const auto target = session_->reportedTarget();
    ASSERT_TRUE(target);
    target_ = *target;
    setup_.platform = Platform::Linux;
    setup_.environment.set("DISPLAY", server_->display());
    setup_.diagnosticFile = support_.file("jump_diagnostic.jsonl");
  }

  // The jump's message, once the manager made the xterm active (or gave up waiting).
  std::string jumpAndAwaitActivation(const JumpTarget& target) {
    observer_->clearActiveWindow();
    JumpOpener opener(setup_);
    const auto result = opener.openMessageJump(exactWindow(target));
    EXPECT_TRUE(result.ok) << opener.lastJumpOpenError().value_or("");
    EXPECT_TRUE(observer_->waitFor([&] { return observer_->activeWindow() == xterm_; }))
        << "active " << observer_->activeWindow() << ", xterm " << xterm_;
    return result.message;
  }

  TempDir support_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<TinyWindowManager> manager_;
  std::unique_ptr<Observer> observer_;
  std::unique_ptr<XtermSession> session_;
  unsigned long xterm_ = 0;
  JumpTarget target_;
  JumpOpenerSetup setup_;
};

TEST_F(X11FocusTest, WindowIdFromTheAgentsEventActivatesItsXterm) {
  EXPECT_EQ(target_.kind, JumpTarget::Kind::terminalWindow);
  EXPECT_EQ(target_.terminal, "xterm");
  ASSERT_TRUE(target_.x11WindowID);
  EXPECT_EQ(jumpAndAwaitActivation(target_), "Jumped to exact window");
  // A WINDOWID that names an inner window: the manager is asked for the top-level window.
  const auto inner = observer_->createChild(xterm_);
  const auto activated = activateWindow(server_->display(), inner);
  ASSERT_TRUE(activated) << activated.error();
  EXPECT_EQ(activated.value(), xterm_);
  const std::string log = testing::readText(setup_.diagnosticFile);
  EXPECT_NE(log.find("\"window_id\":\"" + std::to_string(xterm_) + "\""), std::string::npos) << log;
}

// The whole way a user takes: `glimmet jump` on the event the agent's bridge wrote.
TEST_F(X11FocusTest, GlimmetJumpOnTheAgentsEventActivatesItsXterm) {
  const std::string eventFile = session_->home.file("events.jsonl");
  const auto event = parseGlimmetEventLine(trim(testing::readText(eventFile)), {});
  ASSERT_TRUE(event);
  observer_->clearActiveWindow();
  auto jump = testing::runToCompletion(
      {GLIMMET_BINARY, "jump", event->id},
      {"DISPLAY=" + server_->display(), "HOME=" + session_->home.path(),
       "XDG_DATA_HOME=" + support_.file("data"), "XDG_CONFIG_HOME=" + support_.file("config"),
       "GLIMMET_EVENT_FILE=" + eventFile, "PATH=/usr/bin:/bin"});
  EXPECT_EQ(jump.exitCode(), 0) << jump.output();
  EXPECT_NE(jump.output().find("Jumped to exact window"), std::string::npos) << jump.output();
  EXPECT_TRUE(observer_->waitFor([&] { return observer_->activeWindow() == xterm_; }))
      << "active " << observer_->activeWindow() << ", xterm " << xterm_;
}

TEST_F(X11FocusTest, AgentProcessLeadsToItsXterm) {
  ASSERT_TRUE(target_.processID);
  EXPECT_NE(*target_.processID, ::getpid());
  JumpTarget byProcess = target_;
  byProcess.x11WindowID.reset();
  EXPECT_EQ(jumpAndAwaitActivation(byProcess), "Jumped to exact window");
  // A WINDOWID that no longer exists: the process still finds the window.
  byProcess.x11WindowID = "0x7ffff0";
  EXPECT_EQ(jumpAndAwaitActivation(byProcess), "Jumped to exact window");

  // A process with no window above it fails with the reason.
  byProcess.x11WindowID.reset();
  byProcess.processID = ::getpid();
  JumpOpener opener(setup_);
  EXPECT_FALSE(opener.focusTerminalWindow(byProcess));
  EXPECT_EQ(opener.lastJumpOpenError(),
            "no X11 window belongs to process " + std::to_string(::getpid()) + " or its ancestors");
}

}  // namespace
}  // namespace glimmet
