#pragma once

// A temporary world for the installer and the health check: a home directory, a search path
// holding only the commands a test puts there, and a root for absolute application paths.

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/json_values.hpp"
#include "integrations/hook_manager.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {

class ToolWorld {
 public:
  // macOS unless a test asks for Linux, so that bundle paths under the root count as installed.
  explicit ToolWorld(Platform platform = Platform::macOS) : platform_(platform) {
    for (const auto* dir : {"home", "path", "root"})
      std::filesystem::create_directories(dir_.file(dir));
  }

  std::string home() const { return dir_.file("home"); }
  std::string homeFile(std::string_view relative) const {
    return home() + "/" + std::string(relative);
  }
  std::string pathDirectory() const { return dir_.file("path"); }
  std::string root() const { return dir_.file("root"); }

  HookManagerLocations locations() const {
    HookManagerLocations locations;
    locations.homeDirectory = home();
    locations.bridgeDirectory = homeFile(".glimmet/bin");
    locations.bridgeConfigDirectory = homeFile(".glimmet/config");
    locations.opencodeConfigRoot = homeFile(".config/opencode");
    locations.glimmetHome = homeFile(".glimmet");
    locations.eventFile = homeFile(".local/share/Glimmet/events.jsonl");
    locations.systemRoot = root();
    locations.platform = platform_;
    return locations;
  }

  HookManager manager(HookManager::Clock clock = {}) const {
    return HookManager(locations(), environment(), std::move(clock));
  }
  // HOME, PATH and XDG_DATA_DIRS all inside the world, plus whatever a test sets.
  Environment environment() const {
    Environment environment = extraEnvironment_;
    environment.set("HOME", home());
    environment.set("PATH", pathDirectory());
    if (!environment.get("XDG_DATA_DIRS")) environment.set("XDG_DATA_DIRS", root() + "/usr/share");
    return environment;
  }
  void setEnvironment(std::string name, std::string value) {
    extraEnvironment_.set(std::move(name), std::move(value));
  }

  // An executable (or not) file at `path`, with its directories.
  static void makeFile(const std::string& path, bool executable = false,
                       std::string_view text = "") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    writeText(path, text);
    ::chmod(path.c_str(), executable ? 0755 : 0644);
  }
  void addCommand(std::string_view name) const {
    makeFile(pathDirectory() + "/" + std::string(name), true, "#!/bin/sh\n");
  }
  // An application bundle at an absolute path ("/Applications/X.app") or a "~/" path.
  void addApp(std::string_view path) const {
    const std::string location =
        path.starts_with("~/") ? homeFile(path.substr(2)) : root() + std::string(path);
    std::filesystem::create_directories(location + "/Contents");
  }

 private:
  TempDir dir_;
  Platform platform_;
  Environment extraEnvironment_;
};

// The row of one tool in a health listing.
inline ToolHealth healthRow(const std::vector<ToolHealth>& rows, std::string_view id) {
  for (const auto& health : rows) {
    if (health.id == id) return health;
  }
  ADD_FAILURE() << "no row for " << id;
  return {};
}

// The names of the backups the installer made of `file`, oldest first.
// Seconds that advance by one on every backup, so that each rewrite has its own backup name.
inline HookManager::Clock ticking(int64_t start) {
  auto now = std::make_shared<int64_t>(start);
  return [now] { return (*now)++; };
}

inline std::vector<std::string> backupsOf(const std::string& file) {
  std::vector<std::string> names;
  const auto path = std::filesystem::path(file);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(path.filename().string() + ".glimmet-backup-")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline Json readJsonFile(const std::string& path) {
  return Json::parse(readText(path));
}

}  // namespace glimmet::testing
