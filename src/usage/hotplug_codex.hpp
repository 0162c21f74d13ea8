#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Codex CLI asks the user in its own terminal before it runs a command outside its sandbox,
// and no hook reports that wait. The rollout log shows it: an escalated function call that has
// no output yet.

inline constexpr const char* kCodexHotplugCacheKind = "codex-hotplug";
// The pending call is near the end of a rollout; half a megabyte holds the turn around it.
inline constexpr uint64_t kCodexHotplugTailBytes = 524288;
inline constexpr size_t kCodexHotplugFileLimit = 16;
// A call still unanswered after six hours belongs to a session the user walked away from.
inline constexpr double kCodexHotplugMaxAgeSeconds = 21600;

// The newest "rollout-*.jsonl" files under the sessions root, newest modification first.
std::vector<std::string> recentCodexHotplugRolloutFiles(const std::string& root,
                                                        size_t limit = kCodexHotplugFileLimit);

// A function call's arguments, which Codex writes as JSON text (or, in older logs, as an
// object); absent when they are neither.
std::optional<Json> codexFunctionArguments(const Json& payload);

// The session UUID at the end of a rollout file name
// ("rollout-2026-12-05T17-26-17-01a2473e-0729-7c30-ab66-cd9c34eb6fe2.jsonl").
std::optional<std::string> codexSessionID(const std::string& path);

// Whether the call asks to leave the sandbox, which Codex always puts to the user first.
bool codexRolloutFunctionCallNeedsApproval(const Json& payload, const Json& arguments);

// The permission event for one pending call; absent without a call id or arguments.
std::optional<GlimmetEvent> codexHotplugPermissionEvent(const Json& payload, const Json& record,
                                                        const std::string& latestUserPrompt,
                                                        const std::optional<std::string>& turnCwd,
                                                        const std::string& filePath);

// The newest escalated call in a rollout's tail that has no output and is at most six hours
// old, as a permission event.
std::optional<GlimmetEvent> codexHotplugEventFromTail(const std::string& tailText,
                                                      const std::string& filePath, Timestamp now);

// One event per recent rollout that waits for an escalation; none for an absent root.
std::vector<GlimmetEvent> loadCodexRolloutHotplugEvents(const std::optional<std::string>& root,
                                                        Timestamp now = systemNow());

}  // namespace glimmet
