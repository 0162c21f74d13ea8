#pragma once

#include <string>
#include <string_view>

#include "model/pending_action.hpp"

namespace glimmet {

// Writes a decision in the agent's own hook dialect: the text the bridge prints verbatim.
namespace AgentReplyMarshaller {

// Compact JSON with sorted keys for "claude_code" and "codex"; "{}" (no decision, the agent
// asks on its own) for any other agent family.
std::string rawAgentPayload(std::string_view agent, PendingActionKind kind,
                            const UserDecision& decision);

}  // namespace AgentReplyMarshaller

}  // namespace glimmet
