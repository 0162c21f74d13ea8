#include "platform/system_paths.hpp"

namespace glimmet {

std::string applicationSupportDirectory(const Environment& environment) {
  // Relative XDG paths are invalid by the base-directory rules and are ignored.
  auto dataHome = environment.nonEmptyString("XDG_DATA_HOME");
  if (!dataHome || dataHome->front() != '/')
    dataHome = userHomeDirectory(environment) + "/.local/share";
  return *dataHome + "/Glimmet";
}

std::string userConfigDirectory(const Environment& environment) {
  auto configHome = environment.nonEmptyString("XDG_CONFIG_HOME");
  if (!configHome || configHome->front() != '/')
    configHome = userHomeDirectory(environment) + "/.config";
  return *configHome + "/Glimmet";
}

}  // namespace glimmet
