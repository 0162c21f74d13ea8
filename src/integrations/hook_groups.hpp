#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "integrations/hook_config_json.hpp"

namespace glimmet {

// The words of a shell command as `sh` would split them: single quotes, double quotes and
// backslashes are honoured; expansions are not.
std::vector<std::string> shellWords(std::string_view command);

// Whether `command` is one Glimmet wrote for the bridge at `bridgePath`: optional NAME=value
// assignments, an optional interpreter ("python3", "/usr/bin/env python3") with its options, then
// the bridge and its options. A command the user composed around the bridge is theirs, not ours.
bool isOwnBridgeCommand(std::string_view command, std::string_view bridgePath);

// Puts `handler` under `event`, in a group with `matcher`. Glimmet's own handler for the
// bridge is brought up to date where it stands (later copies are removed), so the user's order
// of groups survives an upgrade; when a command the user composed mentions the bridge nothing
// is added; otherwise a group is appended. A command Glimmet wrote for one of `siblingBridges`
// is not the user's: its own placement rewrites it, so a mention inside it does not count, or a
// second install would add what the first one left out. Where the agent names its hooks, a
// handler called `ownName` is Glimmet's too, whatever its command has become.
void placeHookHandler(ConfigJson& hooks, std::string_view event,
                      const std::optional<std::string>& matcher, const ConfigJson& handler,
                      std::string_view bridgePath,
                      const std::vector<std::string>& siblingBridges = {},
                      std::string_view ownName = {});

// Removes Glimmet's own handlers for `bridgePath` from every event not in `keepEvents`, with
// the groups and events they leave empty. An upgrade that stops waiting on an event takes its
// old hook away, or the agent would keep running it. `ownName` as for placeHookHandler.
void removeOwnHandlers(ConfigJson& hooks, std::string_view bridgePath,
                       const std::vector<std::string_view>& keepEvents,
                       std::string_view ownName = {});

// Whether `handler` is Glimmet's own for `bridgePath` (or named `ownName`, when not empty).
bool isOwnHandler(const ConfigJson& handler, std::string_view bridgePath,
                  std::string_view ownName = {});

// The events where Glimmet's own handler for `bridgePath` is out of date: it sits on an event
// not in `keepEvents` (an older version waited there, holding every prompt), it has no
// timeout, or the interpreter it names is gone (a removed Python version).
std::vector<std::string> outdatedOwnHandlers(const ConfigJson& hooks, std::string_view bridgePath,
                                             const std::vector<std::string_view>& keepEvents);

}  // namespace glimmet
