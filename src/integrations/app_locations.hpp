#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/environment.hpp"

namespace glimmet {

// The search path used when the environment has no PATH.
inline constexpr std::string_view kDefaultSearchPath =
    "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

// The first `<dir>/<name>` that is an executable file, for the directories of PATH in order.
std::optional<std::string> executableInPath(std::string_view name, const Environment& environment);

// The desktop whose rules decide where an application is looked for. Tests pass either, so both
// sets of rules are checked on any machine.
enum class Platform { macOS, Linux };

#if defined(__APPLE__)
inline constexpr Platform kBuildPlatform = Platform::macOS;
#else
inline constexpr Platform kBuildPlatform = Platform::Linux;
#endif

// "macOS" or "Linux", as the user reads it.
std::string_view platformName(Platform platform);

// Where applications are looked for: the home directory for "~/" paths, and a root that tests
// point at a temporary directory for absolute paths ("" is the real root).
struct AppLocationRoots {
  std::string homeDirectory;
  std::string systemRoot;
  Platform platform = kBuildPlatform;
};

// "~/x" becomes the home directory joined with "x"; other paths are returned unchanged.
std::string expandHomePath(std::string_view path, const std::string& homeDirectory);
// The file-system location of a catalogue path, for probing.
std::string probePath(std::string_view path, const AppLocationRoots& roots);

// The first of `paths` (with "~/" expanded) that exists, else the first path; absent for none.
std::optional<std::string> preferredExistingAppPath(const std::vector<std::string>& paths,
                                                    const AppLocationRoots& roots);

// The application bundle whose icon represents a tool, by its canonical id; none on Linux, where
// there are no bundles to take icons from.
std::optional<std::string> softwareLogoAppPath(std::string_view toolID,
                                               const AppLocationRoots& roots);

}  // namespace glimmet
