#include <pwd.h>
#include <unistd.h>

#include "platform/system_paths.hpp"

namespace glimmet {

std::string userHomeDirectory(const Environment& environment) {
  if (auto home = environment.nonEmptyString("HOME")) return *home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

}  // namespace glimmet
