#pragma once

// A private X server for the overlay tests: Xvfb on a display it picks itself, optionally with
// the xcompmgr compositor, both ended with the object.

#include <sys/types.h>

#include <string>
#include <vector>

namespace glimmet::testing {

class Xvfb {
 public:
  // Whether an Xvfb program is on PATH; tests skip without one.
  static bool available();

  // Starts a 1920x1080x24 server and waits until it answers; throws when it does not.
  Xvfb();
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // ":N", for DISPLAY.
  const std::string& display() const { return display_; }

  // Starts xcompmgr and waits until it owns the compositing-manager selection.
  void startCompositor();
  void stopCompositor();
  // Ends the server at once, as a crash or a logout would.
  void kill();

  // Runs a program (xrandr, ...) against this display; its exit code, output in `output`.
  int run(const std::vector<std::string>& argv, std::string* output = nullptr) const;

 private:
  pid_t server_ = -1;
  pid_t compositor_ = -1;
  std::string display_;
};

}  // namespace glimmet::testing
