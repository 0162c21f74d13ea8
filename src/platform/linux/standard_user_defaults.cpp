#include "platform/system_paths.hpp"
#include "platform/user_defaults.hpp"

namespace glimmet {

std::unique_ptr<UserDefaults> makeStandardUserDefaults(const Environment& environment) {
  return std::make_unique<JsonFileUserDefaults>(userConfigDirectory(environment) +
                                                "/defaults.json");
}

}  // namespace glimmet
