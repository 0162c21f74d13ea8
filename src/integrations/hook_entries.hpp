#pragma once

#include <string_view>

namespace glimmet {

// Every hook entry the installer writes, shared with the health check so that it checks exactly
// what an install puts in place.
struct HookEntry {
  std::string_view event;
  bool matchesEveryTool;  // written with matcher "*"
  bool async;             // Codex may run it without waiting
};

// Claude Code: the event bridge reports each of these.
inline constexpr HookEntry kClaudeEventEntries[] = {
    {"SessionStart", false, false},      {"UserPromptSubmit", false, false},
    {"Notification", false, false},      {"TaskCreated", false, false},
    {"TaskCompleted", false, false},     {"Stop", false, false},
    {"StopFailure", false, false},       {"SessionEnd", false, false},
    {"PreToolUse", true, false},         {"PostToolUse", true, false},
    {"PostToolUseFailure", true, false}, {"PermissionRequest", true, false},
};
// Claude Code: the approval bridge waits for the user on these.
inline constexpr HookEntry kClaudeApprovalEntries[] = {
    {"PreToolUse", true, false},
    {"UserPromptSubmit", false, false},
    {"Stop", false, false},
};

// Codex: the same events for the event bridge and the approval bridge.
inline constexpr HookEntry kCodexEventEntries[] = {
    {"PermissionRequest", true, false},
    {"UserPromptSubmit", false, true},
    {"Stop", false, true},
};
inline constexpr HookEntry kCodexApprovalEntries[] = {
    {"PermissionRequest", true, false},
    {"UserPromptSubmit", false, false},
    {"Stop", false, false},
};

}  // namespace glimmet
