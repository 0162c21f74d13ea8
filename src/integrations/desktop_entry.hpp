#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// The few keys of a freedesktop.org desktop entry that say whether its application can start.
struct DesktopEntry {
  std::string type;
  std::string exec;
  std::string tryExec;
  bool hidden = false;
  bool noDisplay = false;
};

// The [Desktop Entry] group of a .desktop file; absent when the text is not UTF-8 or has no
// such group. Localised keys ("Name[de]") and every other group are skipped.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text);

// An entry the desktop would offer to launch: an application with a command, neither deleted
// (Hidden) nor kept out of menus (NoDisplay). TryExec, when present, must name an existing
// program; `programExists` answers for a name or an absolute path.
template <typename ProgramExists>
bool isLaunchableEntry(const DesktopEntry& entry, ProgramExists&& programExists) {
  if (entry.hidden || entry.noDisplay) return false;
  if (!entry.type.empty() && entry.type != "Application") return false;
  if (entry.exec.empty()) return false;
  return entry.tryExec.empty() || programExists(entry.tryExec);
}

}  // namespace glimmet
