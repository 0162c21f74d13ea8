#pragma once

#include <string>
#include <string_view>

#include "model/hook_messages.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

// Writes a decision in the agent's own hook dialect: the text the bridge prints verbatim.
namespace AgentReplyMarshaller {

// The message a denied agent reads: it tells the model who said no.
inline constexpr const char* kDenyMessage = "The user denied this in Glimmet.";

// Compact JSON with sorted keys for "claude_code" and "codex"; "{}" (no decision, the agent
// asks on its own) for any other agent family. `payload` names the tool and command an
// "always" rule is made for.
std::string rawAgentPayload(std::string_view agent, PendingActionKind kind,
                            const UserDecision& decision, const HookRequestPayload& payload = {});

}  // namespace AgentReplyMarshaller

}  // namespace glimmet
