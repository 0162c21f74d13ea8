#include "platform/overlay_host.hpp"

namespace glimmet {

// On macOS the overlay lives in the Glimmet app, whose AppKit shell hosts the same view core;
// the command-line build has no window system of its own and runs on the console.
std::unique_ptr<OverlayHost> connectOverlayHost(MainLoop&, OverlayHost::Callbacks, LogSink,
                                                std::string* error) {
  if (error) *error = "on macOS the overlay is shown by the Glimmet app";
  return nullptr;
}

}  // namespace glimmet
