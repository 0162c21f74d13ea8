#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/environment.hpp"
#include "integrations/app_locations.hpp"
#include "integrations/app_platform_rules.hpp"

namespace glimmet {

// Finds a desktop application on Linux the ways it gets installed: a desktop entry, a launcher
// on PATH, a Flatpak or Snap export, an AppImage the user keeps at home. System folders are
// looked up under `roots.systemRoot`; folders named by the environment are taken as given.
class LinuxAppLocator {
 public:
  // `environment` must outlive the locator.
  LinuxAppLocator(const Environment& environment, AppLocationRoots roots);

  // The first place the application is found (a .desktop file, a launcher or an AppImage), with
  // the catalogue's own commands tried as launchers too.
  std::optional<std::string> locate(const LinuxAppRule& rule,
                                    const std::vector<std::string>& commandNames) const;
  // Where the user would look first when it is not found: its entry in the user's own
  // applications folder, else its launcher's name.
  std::string firstPlaceLooked(const LinuxAppRule& rule) const;

  // $XDG_DATA_HOME/applications, then each $XDG_DATA_DIRS/applications, in that order.
  const std::vector<std::string>& applicationDirectories() const { return applicationDirs_; }
  // The folders VS Code-family editors keep their extensions in on Linux.
  std::vector<std::string> extensionDirectories() const;

 private:
  std::optional<std::string> desktopEntry(std::string_view id,
                                          const std::vector<std::string>& directories) const;
  std::optional<std::string> appImage(std::string_view prefix) const;
  bool programExists(const std::string& program) const;
  std::string underRoot(std::string_view path) const { return probePath(path, roots_); }

  const Environment& environment_;  // outlives the locator, which is made for one question
  AppLocationRoots roots_;
  std::string dataHome_;
  std::vector<std::string> applicationDirs_;
};

}  // namespace glimmet
