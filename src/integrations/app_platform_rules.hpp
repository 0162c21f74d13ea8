#pragma once

#include <string_view>
#include <vector>

#include "integrations/app_locations.hpp"

namespace glimmet {

// How a desktop application of the catalogue is found on Linux. Its macOS bundles stay in the
// catalogue's `appPaths`; together they are the per-platform rule of the row.
struct LinuxAppRule {
  std::string_view toolID;
  // False when the vendor ships no Linux build: the row says so instead of looking.
  bool available = false;
  std::vector<std::string_view> desktopIDs;  // <id>.desktop in the XDG application folders
  std::vector<std::string_view> launchers;   // commands on PATH, besides the catalogue's
  std::vector<std::string_view> flatpakIDs;  // exported by Flatpak, per user or system-wide
  std::vector<std::string_view> snapNames;   // <name>_<name>.desktop and /snap/bin/<name>
  std::vector<std::string_view>
      appImagePrefixes;  // <Prefix>*.AppImage in ~/Applications, ~/.local/bin
};

// The Linux rule of a catalogue row that is a desktop application; none for command-line,
// extension and cloud rows, which are found the same way everywhere.
const LinuxAppRule* linuxAppRule(std::string_view toolID);

// Whether the row's product runs on `platform` at all.
bool isAvailableOn(std::string_view toolID, Platform platform);

}  // namespace glimmet
