#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "integrations/app_locations.hpp"
#include "model/jump_target.hpp"

namespace glimmet {

// Checks a jump target against the machine and says whether, how exactly and by which kind of
// opening it can be used. Every existence check is a replaceable function, so that the rules
// are tested against any machine; an empty check answers false.
struct JumpResolver {
  using Predicate = std::function<bool(const std::string&)>;

  Predicate fileExists;
  Predicate directoryExists;
  Predicate commandExists;  // a name on the search path, or a path with "/"
  Predicate appExists;      // an application at a path
  Predicate appBundleExists;
  Predicate cmuxSessionExists;
  // Whether the window, tab or session a terminal target names is still open. Terminals offer
  // no cheap way to ask, so an empty function takes it as open and the opener finds out.
  std::function<bool(const JumpTarget&)> terminalSessionExists;
  // Which desktop's rules name the terminal and editor applications.
  Platform platform = kBuildPlatform;

  // `check`, with each answer kept for `lifetime` (by `clock`). A message list resolves the jump
  // of every message each time it is rebuilt, and many messages share a folder: this keeps that
  // to one look per folder, at the price of noticing a folder made or removed a moment late.
  using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;
  static Predicate rememberingAnswers(Predicate check, std::chrono::milliseconds lifetime,
                                      SteadyClock clock = std::chrono::steady_clock::now);

  // The checks of this machine: the file system (answers kept for 2 s), the search path of
  // `environment`, the applications installed for `homeDirectory`'s user.
  static JumpResolver makeDefault(const Environment& environment, std::string homeDirectory,
                                  Platform platform = kBuildPlatform);

  ResolvedJumpTarget resolve(const JumpTarget& target) const;

  // http and https with a host; a local file URL naming an existing file; a link of one of the
  // local apps that carries something to open.
  bool isAllowedURL(std::string_view text) const;
  static JumpQuality urlJumpQuality(std::string_view text);
  // "Open folder" in the default terminal when `cwd` is an existing folder.
  std::optional<ResolvedJumpTarget> fallbackTerminalCwd(
      const std::optional<std::string>& cwd) const;
  // Whether the terminal or editor named (freely, or by bundle id) is installed; a name this
  // platform has no rule for is let through, its opener decides.
  bool terminalAppAvailable(std::string_view terminal) const;
  // Whether a cmux command-line tool can be run: the bundled one, Homebrew's, or one on PATH.
  bool cmuxCommandAvailable() const;

  static const std::set<std::string, std::less<>>& allowedLocalAppSchemes();

  // The search path when the environment has none.
  static constexpr std::string_view kDefaultSearchPath =
      "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";
  // The cmux command-line tools tried before the search path, in order.
  static constexpr std::string_view kCmuxCommandPaths[] = {
      "/Applications/cmux.app/Contents/Resources/bin/cmux", "/opt/homebrew/bin/cmux",
      "/usr/local/bin/cmux"};
  static constexpr std::string_view kCmuxAppPath = "/Applications/cmux.app";

  // Cached per name and search path, since every message on screen asks on every rebuild.
  static bool defaultCommandExists(const std::string& name, const Environment& environment);
  static bool defaultCmuxCommandExists(const Environment& environment);
  static bool defaultCmuxSessionExists(const std::string& id, const Environment& environment);
  // macOS: an application with that bundle id in the usual application folders. Linux: the
  // desktop application the bundle id stands for, found the ways Linux installs it.
  static bool defaultAppBundleExists(const std::string& bundleID, const Environment& environment,
                                     const std::string& homeDirectory,
                                     Platform platform = kBuildPlatform);
};

// The catalogue tool whose macOS application has `bundleID`, for finding its Linux build.
std::optional<std::string_view> toolIDForBundleID(std::string_view bundleID);

}  // namespace glimmet
