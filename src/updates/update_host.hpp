#pragma once

#include <string>

namespace glimmet {

// What the update feed is told about this machine, and which artifact of a static manifest
// it installs: "macos" takes the manifest's `mac` object, "linux" its `linux` object.
struct UpdateHost {
  std::string platform;      // "macos" or "linux"
  std::string architecture;  // "arm64" on macOS; the kernel's name on Linux ("x86_64")
};

UpdateHost currentUpdateHost();

// The artifact kind a manifest entry without one means: "dmg" on macOS, "tar.gz" on Linux.
std::string defaultArtifactKind(const UpdateHost& host);

}  // namespace glimmet
