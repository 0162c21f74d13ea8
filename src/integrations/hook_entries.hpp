#pragma once

#include <string_view>
#include <vector>

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
// Claude Code: the approval bridge waits for the user only where Claude itself would ask.
// Every other event runs on each prompt or tool call, and a wait there holds the session.
inline constexpr HookEntry kClaudeApprovalEntries[] = {
    {"PermissionRequest", true, false},
};

// Codex: the event bridge reports these; the approval bridge waits only on its permission
// prompt.
// Stop is reported synchronously: `codex exec` exits right after it, and an asynchronous hook
// is lost with the process.
inline constexpr HookEntry kCodexEventEntries[] = {
    {"PermissionRequest", true, false},
    {"UserPromptSubmit", false, true},
    {"Stop", false, false},
};
inline constexpr HookEntry kCodexApprovalEntries[] = {
    {"PermissionRequest", true, false},
};

// Gemini CLI: the event bridge reports these and never waits, since Gemini holds its agent loop
// until every hook has returned. Its tool matchers are regular expressions; "*" takes every tool.
inline constexpr HookEntry kGeminiEventEntries[] = {
    {"SessionStart", false, false}, {"SessionEnd", false, false}, {"BeforeAgent", false, false},
    {"AfterAgent", false, false},   {"BeforeTool", true, false},  {"AfterTool", true, false},
    {"Notification", false, false},
};

// The events of `entries`, for removing what an older install put elsewhere.
template <size_t N>
std::vector<std::string_view> eventsOf(const HookEntry (&entries)[N]) {
  std::vector<std::string_view> events;
  for (const auto& entry : entries) events.push_back(entry.event);
  return events;
}

}  // namespace glimmet
