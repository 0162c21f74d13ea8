#include "integrations/linux_app_launch.hpp"

#include "base/path_names.hpp"
#include "base/text.hpp"
#include "integrations/app_locations.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

std::optional<std::vector<std::string>> linuxAppLaunchCommand(const std::string& location,
                                                              const Environment& environment) {
  constexpr std::string_view kDesktopSuffix = ".desktop";
  if (endsWith(location, kDesktopSuffix)) {
    if (const auto gio = executableInPath("gio", environment))
      return std::vector<std::string>{*gio, "launch", location};
    // gtk-launch takes the id, and finds the entry in the data folders itself.
    if (const auto gtkLaunch = executableInPath("gtk-launch", environment)) {
      std::string id = basename(location);
      id.resize(id.size() - kDesktopSuffix.size());
      return std::vector<std::string>{*gtkLaunch, id};
    }
    return std::nullopt;
  }
  if (isExecutableFile(location)) return std::vector<std::string>{location};
  return std::nullopt;
}

}  // namespace glimmet
