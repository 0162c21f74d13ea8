#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/log.hpp"

namespace glimmet {

// One Xlib connection that never ends the process: protocol errors are caught per connection
// (logged once each, or collected by the caller that expects them), and a server that goes away
// marks the connection lost instead of exiting. Once lost, no Xlib call may be made on it.
class X11Connection {
 public:
  // Connects to `displayName` (DISPLAY when null); absent with the reason in `error`.
  static std::unique_ptr<X11Connection> open(const char* displayName, LogSink log,
                                             std::string* error);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  Display* display() const { return display_; }
  Window root() const { return root_; }
  int screen() const { return screen_; }
  const std::string& name() const { return name_; }

  bool isLost() const { return lost_; }
  const std::string& lossReason() const { return lossReason_; }
  // Called once, from inside the Xlib call that noticed the loss: it may only record it.
  void setLossObserver(std::function<void()> observer) { lossObserver_ = std::move(observer); }

  Atom atom(const char* name);

  // Sends what `issue` asks for, waits until the server has handled it, and returns the error
  // codes it caused. Those errors are expected (a window that vanished, a key grabbed by
  // another client) and are not logged.
  std::vector<int> collectErrors(const std::function<void()>& issue);

  // A format-32 property as numbers (windows, atoms, cardinals); empty when absent.
  std::vector<unsigned long> numbers(Window window, Atom property);
  void setNumbers(Window window, Atom property, Atom type,
                  const std::vector<unsigned long>& values);
  void setUTF8(Window window, Atom property, const std::string& text);

  // For the process-wide Xlib handlers.
  void noteError(const XErrorEvent& error);
  void noteLoss();

 private:
  X11Connection(Display* display, LogSink log);

  Display* display_ = nullptr;
  Window root_ = 0;
  int screen_ = 0;
  std::string name_;
  LogSink log_;
  bool lost_ = false;
  std::string lossReason_;
  std::function<void()> lossObserver_;
  std::map<std::string, Atom> atoms_;
  int trapDepth_ = 0;
  std::vector<int> trapped_;
  std::set<std::pair<int, int>> loggedErrors_;
};

}  // namespace glimmet
