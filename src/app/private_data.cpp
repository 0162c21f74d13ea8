#include "app/private_data.hpp"

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "integrations/hook_manager.hpp"
#include "platform/private_files.hpp"
#include "platform/system_paths.hpp"

namespace glimmet {

namespace {

std::string parentOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

}  // namespace

std::vector<std::string> privateDataPaths(const Paths& paths, const Environment& environment) {
  const std::string eventDirectory = parentOf(paths.eventFile);
  std::vector<std::string> result = {
      paths.glimmetHome,         parentOf(paths.approvalAuditFile),
      paths.approvalAuditFile,   paths.approvalAuditFile + ".1",
      paths.appSupportDirectory, paths.storeAuditFile,
      paths.eventFile,           eventDirectory + "/hook-errors.log",
  };
  // A configured event file may sit in a folder shared on purpose (a project directory); only
  // Glimmet's own folders are changed.
  if (eventDirectory == paths.appSupportDirectory) result.push_back(eventDirectory);
  for (auto& file :
       HookManager(HookManagerLocations::fromPaths(paths), environment).privateFiles()) {
    result.push_back(std::move(file));
  }
  const std::string defaultsDirectory = userConfigDirectory(environment);
  result.push_back(defaultsDirectory);
  result.push_back(defaultsDirectory + "/defaults.json");
  std::vector<std::string> unique;
  for (auto& path : result) {
    if (std::find(unique.begin(), unique.end(), path) == unique.end()) {
      unique.push_back(std::move(path));
    }
  }
  return unique;
}

std::string makeDataPrivate(const Paths& paths, const Environment& environment) {
  const auto changed = removeOthersAccess(privateDataPaths(paths, environment));
  if (changed.empty()) return {};
  return fmt::format("[Glimmet] made private (group and other access removed): {}",
                     fmt::join(changed, ", "));
}

}  // namespace glimmet
