#pragma once

#include <string_view>

namespace glimmet {

// How one agent family's hooks ask for and take a decision. Every difference between the
// agents' hook protocols that Glimmet depends on is named here, so a new agent version that
// changes its habits changes one row.
struct AgentDialect {
  // The `agent` value the bridge sends: "claude_code", "codex".
  std::string_view agent;
  // The only hook that waits for the user. Claude Code fires it just when it would ask (its
  // own dialog is open meanwhile); Codex fires it before showing its own prompt. Every other
  // hook reports and returns at once, because it runs on every prompt or tool call.
  std::string_view permissionEvent;
  // "Always allow" exists: Claude Code takes a permission rule with the decision; Codex refuses
  // one and falls back to its own prompt, so its requests offer no Always.
  bool offersAlways;
  // Where an "always" rule is kept: the project's own local settings, not the user's.
  std::string_view alwaysRuleDestination;
};

// How long a closed-loop bridge waits for Glimmet's reply.
inline constexpr int kBridgeReplyWaitSeconds = 120;
// The hook timeout written for a closed-loop bridge: longer than its wait, so the agent never
// kills the bridge before it has answered.
inline constexpr int kClosedLoopHookTimeoutSeconds = kBridgeReplyWaitSeconds + 10;
// The hook timeout written for an event bridge, which only appends a line and returns.
inline constexpr int kEventHookTimeoutSeconds = 10;

inline constexpr AgentDialect kAgentDialects[] = {
    {"claude_code", "PermissionRequest", true, "localSettings"},
    {"codex", "PermissionRequest", false, ""},
};

// The dialect of `agent`, or null for an agent family without closed-loop hooks.
const AgentDialect* agentDialect(std::string_view agent);
// Whether a permission request from `agent` may be answered with "always".
bool offersAlwaysAllow(std::string_view agent);

}  // namespace glimmet
