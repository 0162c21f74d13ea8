#include "approvals/agent_reply_marshaller.hpp"

#include "base/json_values.hpp"
#include "model/agent_dialect.hpp"

namespace glimmet::AgentReplyMarshaller {

namespace {

// The rule Claude Code keeps for "always": the whole tool, or for a shell tool the exact
// command, so approving `npm test` does not approve every later command.
Json alwaysRule(const HookRequestPayload& payload) {
  Json rule = {{"toolName", *payload.tool}};
  if (payload.command && !payload.command->empty()) rule["ruleContent"] = *payload.command;
  return rule;
}

Json permissionDecision(const AgentDialect& dialect, const UserDecision& decision,
                        const HookRequestPayload& payload) {
  if (decision.verb == UserDecision::Verb::deny) {
    return {{"behavior", "deny"}, {"message", kDenyMessage}};
  }
  Json result = {{"behavior", "allow"}};
  // An agent without "always" gets a plain allow: Codex refuses the whole answer when it
  // carries rules, and would fall back to its own prompt.
  if (decision.mode == UserDecision::Mode::always && dialect.offersAlways && payload.tool &&
      !payload.tool->empty()) {
    result["updatedPermissions"] =
        Json::array({Json{{"type", "addRules"},
                          {"rules", Json::array({alwaysRule(payload)})},
                          {"behavior", "allow"},
                          {"destination", dialect.alwaysRuleDestination}}});
  }
  return result;
}

// A stopped agent continues when its Stop hook blocks with a reason: the user's answer
// becomes that reason. Declining leaves the agent stopped ("{}").
Json continuation(PendingActionKind kind, const UserDecision& decision) {
  if (decision.verb == UserDecision::Verb::deny) return Json::object();
  std::string reason = decision.text.value_or("");
  if (kind == PendingActionKind::waitingChoice && reason.empty()) {
    reason = decision.optionID.value_or("");
  }
  if (reason.empty()) return Json::object();
  return {{"decision", "block"}, {"reason", std::move(reason)}};
}

}  // namespace

std::string rawAgentPayload(std::string_view agent, PendingActionKind kind,
                            const UserDecision& decision, const HookRequestPayload& payload) {
  const AgentDialect* dialect = agentDialect(agent);
  if (!dialect) return "{}";
  Json output;
  if (kind == PendingActionKind::permissionRequest) {
    output = {{"hookSpecificOutput",
               {{"hookEventName", dialect->permissionEvent},
                {"decision", permissionDecision(*dialect, decision, payload)}}}};
  } else {
    output = continuation(kind, decision);
  }
  try {
    // Objects keep sorted keys; strict UTF-8 so that broken text yields "no decision" rather
    // than a reply the agent cannot parse.
    return output.dump();
  } catch (const Json::exception&) {
    return "{}";
  }
}

}  // namespace glimmet::AgentReplyMarshaller
