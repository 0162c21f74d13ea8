#include "integrations/linux_app_locator.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "integrations/desktop_entry.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// A session with a runaway XDG_DATA_DIRS still answers at once; no real desktop has this many.
constexpr size_t kMaxDataDirectories = 64;
// Desktop entries are a few kilobytes; anything far larger is not one.
constexpr uint64_t kMaxDesktopEntryBytes = uint64_t{256} * 1024;

bool isAbsolute(std::string_view path) {
  return !path.empty() && path.front() == '/';
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

LinuxAppLocator::LinuxAppLocator(const Environment& environment, AppLocationRoots roots)
    : environment_(environment), roots_(std::move(roots)) {
  // Relative values are invalid by the XDG base-directory rules and are ignored.
  const auto dataHome = environment_.get("XDG_DATA_HOME");
  dataHome_ = dataHome && isAbsolute(*dataHome)
                  ? withoutTrailingSlash(*dataHome)
                  : expandHomePath("~/.local/share", roots_.homeDirectory);

  std::vector<std::string> dataDirs;
  const std::string listed = environment_.get("XDG_DATA_DIRS").value_or("");
  // Read piece by piece, stopping at the limit, so a huge value costs no more than a short one.
  std::string_view rest = listed;
  while (!rest.empty() && dataDirs.size() < kMaxDataDirectories) {
    const size_t colon = rest.find(':');
    const std::string_view part = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!isAbsolute(part)) continue;
    const std::string dir = withoutTrailingSlash(std::string(part));
    if (std::find(dataDirs.begin(), dataDirs.end(), dir) == dataDirs.end()) {
      dataDirs.push_back(dir);
    }
  }
  if (dataDirs.empty()) dataDirs = {underRoot("/usr/local/share"), underRoot("/usr/share")};

  applicationDirs_.push_back(dataHome_ + "/applications");
  for (const auto& dir : dataDirs) applicationDirs_.push_back(dir + "/applications");
}

bool LinuxAppLocator::programExists(const std::string& program) const {
  if (isAbsolute(program)) return isExecutableFile(program);
  return executableInPath(program, environment_).has_value();
}

std::optional<std::string> LinuxAppLocator::desktopEntry(
    std::string_view id, const std::vector<std::string>& directories) const {
  const std::string name = std::string(id) + ".desktop";
  for (const auto& dir : directories) {
    std::string path = dir;
    path.append("/").append(name);
    if (!fileExists(path)) continue;
    // The first entry with this id hides any later one, as on the desktop: a user's copy with
    // Hidden=true uninstalls the system's, and a broken one launches nothing.
    const auto text = readFileFrom(path, 0, kMaxDesktopEntryBytes + 1);
    if (!text || text->size() > kMaxDesktopEntryBytes) return std::nullopt;
    const auto entry = parseDesktopEntry(*text);
    if (!entry) return std::nullopt;
    const bool launchable = isLaunchableEntry(
        *entry, [&](const std::string& program) { return programExists(program); });
    return launchable ? std::optional(path) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> LinuxAppLocator::appImage(std::string_view prefix) const {
  const std::string lowerPrefix = toLower(prefix);
  for (const auto* folder : {"~/Applications", "~/.local/bin"}) {
    const std::string dir = expandHomePath(folder, roots_.homeDirectory);
    auto names = directoryEntryNames(dir);
    if (!names) continue;
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
      const std::string lower = toLower(name);
      if (!startsWith(lower, lowerPrefix) || !endsWith(lower, ".appimage")) continue;
      std::string path = dir;
      path.append("/").append(name);
      if (isExecutableFile(path)) return path;
    }
  }
  return std::nullopt;
}

std::optional<std::string> LinuxAppLocator::locate(
    const LinuxAppRule& rule, const std::vector<std::string>& commandNames) const {
  if (!rule.available) return std::nullopt;
  for (const auto id : rule.desktopIDs) {
    if (auto path = desktopEntry(id, applicationDirs_)) return path;
  }
  const std::vector<std::string> flatpakDirs = {
      dataHome_ + "/flatpak/exports/share/applications",
      underRoot("/var/lib/flatpak/exports/share/applications")};
  for (const auto id : rule.flatpakIDs) {
    if (auto path = desktopEntry(id, flatpakDirs)) return path;
  }
  const std::vector<std::string> snapDirs = {underRoot("/var/lib/snapd/desktop/applications")};
  for (const auto snap : rule.snapNames) {
    if (auto path = desktopEntry(std::string(snap) + "_" + std::string(snap), snapDirs)) {
      return path;
    }
  }

  std::vector<std::string> launchers(commandNames);
  for (const auto launcher : rule.launchers) {
    if (std::find(launchers.begin(), launchers.end(), launcher) == launchers.end()) {
      launchers.emplace_back(launcher);
    }
  }
  for (const auto& launcher : launchers) {
    if (auto path = executableInPath(launcher, environment_)) return path;
  }
  for (const auto snap : rule.snapNames) {
    const std::string path = underRoot("/snap/bin/" + std::string(snap));
    if (isExecutableFile(path)) return path;
  }
  for (const auto prefix : rule.appImagePrefixes) {
    if (auto path = appImage(prefix)) return path;
  }
  return std::nullopt;
}

std::string LinuxAppLocator::firstPlaceLooked(const LinuxAppRule& rule) const {
  if (!rule.desktopIDs.empty()) {
    return applicationDirs_.front() + "/" + std::string(rule.desktopIDs.front()) + ".desktop";
  }
  return rule.launchers.empty() ? std::string() : std::string(rule.launchers.front());
}

std::vector<std::string> LinuxAppLocator::extensionDirectories() const {
  // A Flatpak editor keeps its data under ~/.var/app/<id>/data; strict snaps under ~/snap.
  return {
      expandHomePath("~/.vscode/extensions", roots_.homeDirectory),
      expandHomePath("~/.vscode-oss/extensions", roots_.homeDirectory),
      expandHomePath("~/.cursor/extensions", roots_.homeDirectory),
      expandHomePath("~/.windsurf/extensions", roots_.homeDirectory),
      expandHomePath("~/.var/app/com.visualstudio.code/data/vscode/extensions",
                     roots_.homeDirectory),
      expandHomePath("~/.var/app/com.vscodium.codium/data/codium/extensions", roots_.homeDirectory),
      expandHomePath("~/snap/codium/current/.vscode-oss/extensions", roots_.homeDirectory),
  };
}

}  // namespace glimmet
