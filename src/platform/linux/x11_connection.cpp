#include "platform/linux/x11_connection.hpp"

#include <X11/Xatom.h>

#include <cstdlib>
#include <mutex>

#include <fmt/format.h>

namespace glimmet {

namespace {

// Xlib's error handlers are process-wide; each one finds its connection here.
std::mutex registryMutex;
std::map<Display*, X11Connection*>& registry() {
  static std::map<Display*, X11Connection*> connections;
  return connections;
}

X11Connection* connectionFor(Display* display) {
  std::lock_guard lock(registryMutex);
  auto found = registry().find(display);
  return found == registry().end() ? nullptr : found->second;
}

int onProtocolError(Display* display, XErrorEvent* error) {
  if (X11Connection* connection = connectionFor(display)) connection->noteError(*error);
  // Other connections of this process (tests, libraries) get the same treatment minus the log:
  // Xlib's default handler would end the process over one failed request.
  return 0;
}

// Xlib calls this first on a broken connection; the per-connection exit handler below decides.
int onConnectionBroken(Display*) {
  return 0;
}

// Returning from the exit handler (libX11 1.7 and later) hands control back to the caller of the
// failing Xlib function instead of exiting; the connection is unusable from then on.
void onConnectionExit(Display*, void* data) {
  static_cast<X11Connection*>(data)->noteLoss();
}

void installProcessHandlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    XSetErrorHandler(onProtocolError);
    XSetIOErrorHandler(onConnectionBroken);
  });
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName, LogSink log,
                                                   std::string* error) {
  const char* name = displayName ? displayName : std::getenv("DISPLAY");
  if (!name || !*name) {
    if (error) *error = "no X display (DISPLAY is not set)";
    return nullptr;
  }
  installProcessHandlers();
  Display* display = XOpenDisplay(name);
  if (!display) {
    if (error) *error = fmt::format("cannot connect to the X display {}", name);
    return nullptr;
  }
  auto connection = std::unique_ptr<X11Connection>(new X11Connection(display, std::move(log)));
  connection->name_ = name;
  return connection;
}

X11Connection::X11Connection(Display* display, LogSink log)
    : display_(display),
      root_(DefaultRootWindow(display)),
      screen_(DefaultScreen(display)),
      log_(std::move(log)) {
  {
    std::lock_guard lock(registryMutex);
    registry()[display_] = this;
  }
  XSetIOErrorExitHandler(display_, onConnectionExit, this);
}

X11Connection::~X11Connection() {
  // Closing a lost connection only frees Xlib's memory; its requests fail quietly through the
  // handlers above, which must still find this connection.
  XCloseDisplay(display_);
  std::lock_guard lock(registryMutex);
  registry().erase(display_);
}

Atom X11Connection::atom(const char* name) {
  auto found = atoms_.find(name);
  if (found != atoms_.end()) return found->second;
  if (lost_) return None;
  const Atom value = XInternAtom(display_, name, False);
  atoms_.emplace(name, value);
  return value;
}

std::vector<int> X11Connection::collectErrors(const std::function<void()>& issue) {
  if (lost_) return {};
  std::vector<int> outer = std::exchange(trapped_, {});
  ++trapDepth_;
  issue();
  if (!lost_) XSync(display_, False);
  --trapDepth_;
  std::vector<int> caught = std::exchange(trapped_, std::move(outer));
  if (trapDepth_ > 0) trapped_.insert(trapped_.end(), caught.begin(), caught.end());
  return caught;
}

void X11Connection::noteError(const XErrorEvent& error) {
  if (trapDepth_ > 0) {
    trapped_.push_back(error.error_code);
    return;
  }
  if (!loggedErrors_.emplace(error.error_code, error.request_code).second) return;
  char text[256] = {};
  XGetErrorText(display_, error.error_code, text, sizeof(text));
  writeLog(log_,
           fmt::format("[Glimmet] X error \"{}\" for request {}.{}", text,
                       static_cast<int>(error.request_code), static_cast<int>(error.minor_code)));
}

void X11Connection::noteLoss() {
  if (lost_) return;
  lost_ = true;
  lossReason_ = fmt::format("lost the connection to the X display {}", name_);
  if (lossObserver_) lossObserver_();
}

std::vector<unsigned long> X11Connection::numbers(Window window, Atom property) {
  std::vector<unsigned long> values;
  if (lost_) return values;
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  // 4096 values are far more than any client list or strut holds.
  const int status = XGetWindowProperty(display_, window, property, 0, 4096, False, AnyPropertyType,
                                        &type, &format, &count, &remaining, &data);
  if (status == Success && data && format == 32) {
    // Xlib hands format-32 data out as longs, whatever their size on this machine.
    const auto* longs = reinterpret_cast<const unsigned long*>(data);
    values.assign(longs, longs + count);
  }
  if (data) XFree(data);
  return values;
}

void X11Connection::setNumbers(Window window, Atom property, Atom type,
                               const std::vector<unsigned long>& values) {
  if (lost_) return;
  XChangeProperty(display_, window, property, type, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values.data()),
                  static_cast<int>(values.size()));
}

void X11Connection::setUTF8(Window window, Atom property, const std::string& text) {
  if (lost_) return;
  XChangeProperty(display_, window, property, atom("UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

}  // namespace glimmet
