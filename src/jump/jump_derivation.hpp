#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jump/jump_resolver.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Gives an event the best jump the machine offers: what the event states, what a bridge event
// of its session stated, what its source and terminal imply, the tool's app, editor or command,
// its transcript, and last its folder in a terminal. Each candidate goes through the resolver.
class JumpDerivation {
 public:
  using CommandList = std::vector<std::pair<std::string, std::vector<std::string>>>;
  // The CFBundleIdentifier of the application bundle at a path; absent when unreadable.
  using BundleIdentifierReader = std::function<std::optional<std::string>(const std::string&)>;
  // Where a tool's Linux desktop application is installed (desktop entry, launcher, AppImage).
  using LinuxAppFinder = std::function<std::optional<std::string>(std::string_view toolID)>;

  JumpResolver resolver;
  BundleIdentifierReader bundleIdentifierOf;
  LinuxAppFinder linuxAppOf;
  std::string homeDirectory;  // for "~/Applications"

  // The real machine: the default resolver, Info.plist files, the Linux application locator.
  static JumpDerivation makeDefault(const Environment& environment, std::string homeDirectory,
                                    Platform platform = kBuildPlatform);

  // `bridgeEvents` are the store's events of the event file, whose targets speak for events of
  // the same session that local loaders found.
  std::optional<ResolvedJumpTarget> jumpTarget(const GlimmetEvent& event,
                                               const std::vector<GlimmetEvent>& bridgeEvents) const;
  std::optional<ResolvedJumpTarget> knownBridgeJumpTarget(
      const GlimmetEvent& event, const std::vector<GlimmetEvent>& bridgeEvents) const;
  std::optional<ResolvedJumpTarget> inferredAppOrWorkspaceJumpTarget(
      const std::string& toolID, const GlimmetEvent& event) const;
  ResolvedJumpTarget resolvedWorkspaceAppJump(const GlimmetEvent& event, const std::string& appName,
                                              const std::optional<std::string>& bundleID,
                                              const std::optional<std::string>& appPath) const;
  std::optional<ResolvedJumpTarget> resolvedCLIJump(const CommandList& commands,
                                                    const std::optional<std::string>& cwd) const;

  // Built here rather than by the resolver, for a target the event names as text.
  ResolvedJumpTarget urlResult(const std::string& text) const;
  ResolvedJumpTarget fileResult(const std::string& path) const;

  // A text naming a URL (with a scheme) rather than a file.
  static bool isURLJumpTarget(std::string_view text);
  // The command-line programs that open a tool, in the order they are tried; empty for a tool
  // without one.
  static CommandList cliCommands(std::string_view toolID);

 private:
  std::optional<ResolvedJumpTarget> stringTargetResult(const std::string& text) const;
  ResolvedJumpTarget appResult(const std::optional<std::string>& bundleID,
                               const std::optional<std::string>& appPath) const;
  std::string firstExisting(const std::vector<std::string>& paths) const;
  std::optional<ResolvedJumpTarget> linuxAppOrWorkspaceJumpTarget(const std::string& toolID,
                                                                  const GlimmetEvent& event) const;
};

}  // namespace glimmet
