// Xlib defines Status as a macro; the declarations come first so that it does not reach them.
#include "platform/window_focus.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "platform/linux/x11_connection.hpp"

namespace glimmet {

namespace {

std::string hexWindow(uint64_t window) {
  std::ostringstream out;
  out << "0x" << std::hex << window;
  return out.str();
}

Result<std::unique_ptr<X11Connection>> connect(const std::string& display) {
  if (display.empty()) {
    return Result<std::unique_ptr<X11Connection>>::failure("no X11 display (DISPLAY is unset)");
  }
  std::string error;
  auto connection = X11Connection::open(
      display.c_str(), [](const std::string&) {}, &error);
  if (!connection) {
    return Result<std::unique_ptr<X11Connection>>::failure("cannot open X11 display " + display +
                                                           (error.empty() ? "" : ": " + error));
  }
  return connection;
}

// Below the root: the window and its ancestors, nearest first; empty when it does not exist.
std::vector<Window> ancestry(X11Connection& x, Window window) {
  std::vector<Window> chain;
  x.collectErrors([&] {
    Window current = window;
    while (current != 0 && current != x.root()) {
      Window root = 0;
      Window parent = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (!XQueryTree(x.display(), current, &root, &parent, &children, &count)) {
        chain.clear();
        return;
      }
      if (children) XFree(children);
      chain.push_back(current);
      current = parent;
    }
  });
  return chain;
}

// The client window the window manager knows: the nearest ancestor it marked with WM_STATE,
// else (no window manager reparents here) the one just below the root.
Window topLevelWindow(X11Connection& x, const std::vector<Window>& chain) {
  const Atom wmState = x.atom("WM_STATE");
  for (const Window window : chain) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    bool marked = false;
    x.collectErrors([&] {
      if (XGetWindowProperty(x.display(), window, wmState, 0, 2, False, AnyPropertyType, &type,
                             &format, &count, &remaining, &data) == Success) {
        marked = type != None;
      }
      if (data) XFree(data);
    });
    if (marked) return window;
  }
  return chain.back();
}

void collectOwners(X11Connection& x, Window window, int depth, Atom pidAtom,
                   std::map<int64_t, Window>& owners) {
  const auto pids = x.numbers(window, pidAtom);
  if (!pids.empty()) {
    owners.emplace(static_cast<int64_t>(pids.front()), window);
    return;
  }
  if (depth == 0) return;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> list;
  x.collectErrors([&] {
    if (XQueryTree(x.display(), window, &root, &parent, &children, &count) && children) {
      list.assign(children, children + count);
    }
    if (children) XFree(children);
  });
  for (const Window child : list) collectOwners(x, child, depth - 1, pidAtom, owners);
}

// Each process that owns a top-level window, with that window: from the window manager's
// client list, else (no window manager) from the windows below the root and their frames.
std::map<int64_t, Window> windowOwners(X11Connection& x) {
  const Atom pidAtom = x.atom("_NET_WM_PID");
  std::map<int64_t, Window> owners;
  const auto clients = x.numbers(x.root(), x.atom("_NET_CLIENT_LIST"));
  for (const auto client : clients) {
    const auto pids = x.numbers(client, pidAtom);
    if (!pids.empty()) owners.emplace(static_cast<int64_t>(pids.front()), client);
  }
  if (clients.empty()) {
    constexpr int kFrameDepth = 2;
    collectOwners(x, x.root(), kFrameDepth + 1, pidAtom, owners);
  }
  return owners;
}

// The parent of a process from /proc/<pid>/stat, whose second field (the command name, in
// parentheses) may itself hold spaces and parentheses.
std::optional<int64_t> parentProcess(int64_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream rest(stat.substr(close + 1));
  std::string state;
  int64_t parent = 0;
  if (!(rest >> state >> parent)) return std::nullopt;
  return parent;
}

}  // namespace

Result<uint64_t> activateWindow(const std::string& display, uint64_t windowID) {
  auto connection = connect(display);
  if (!connection) return Result<uint64_t>::failure(connection.error());
  X11Connection& x = *connection.value();
  const auto chain = ancestry(x, static_cast<Window>(windowID));
  if (chain.empty()) {
    return Result<uint64_t>::failure("X11 window " + hexWindow(windowID) + " does not exist");
  }
  const Window target = topLevelWindow(x, chain);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.display = x.display();
  event.xclient.window = target;
  event.xclient.message_type = x.atom("_NET_ACTIVE_WINDOW");
  event.xclient.format = 32;
  // Source indication 2: a pager or similar tool acting for the user, which window managers
  // obey, where an application's own request (1) may be refused by focus-stealing prevention.
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  event.xclient.data.l[2] = 0;
  const auto errors = x.collectErrors([&] {
    XSendEvent(x.display(), x.root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(x.display());
  });
  if (x.isLost()) return Result<uint64_t>::failure("X11 display lost: " + x.lossReason());
  if (!errors.empty()) {
    return Result<uint64_t>::failure("X11 refused the activation of window " + hexWindow(target));
  }
  return static_cast<uint64_t>(target);
}

Result<uint64_t> windowOwnedByProcessTree(const std::string& display, int64_t processID) {
  auto connection = connect(display);
  if (!connection) return Result<uint64_t>::failure(connection.error());
  const auto owners = windowOwners(*connection.value());
  // A process tree is shallow; the bound only guards against a /proc that lies.
  constexpr int kMaxDepth = 64;
  std::optional<int64_t> pid = processID;
  for (int depth = 0; pid && *pid > 1 && depth < kMaxDepth; ++depth) {
    if (const auto found = owners.find(*pid); found != owners.end()) {
      return static_cast<uint64_t>(found->second);
    }
    pid = parentProcess(*pid);
  }
  return Result<uint64_t>::failure("no X11 window belongs to process " + std::to_string(processID) +
                                   " or its ancestors");
}

}  // namespace glimmet
