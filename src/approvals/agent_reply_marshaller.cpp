#include "approvals/agent_reply_marshaller.hpp"

#include "base/json_values.hpp"

namespace glimmet::AgentReplyMarshaller {

namespace {

const char* allowOrDeny(const UserDecision& decision) {
  return decision.verb == UserDecision::Verb::deny ? "deny" : "allow";
}

Json claudeOutput(PendingActionKind kind, const UserDecision& decision) {
  Json output = Json::object();
  switch (kind) {
    case PendingActionKind::permissionRequest:
      output["hookEventName"] = "PreToolUse";
      output["permissionDecision"] = allowOrDeny(decision);
      if (decision.mode == UserDecision::Mode::always)
        output["permissionDecisionReason"] = "always";
      break;
    case PendingActionKind::waitingChoice:
      output["hookEventName"] = "UserPromptSubmit";
      output["optionId"] = decision.optionID.value_or("");
      if (decision.text && !decision.text->empty()) output["userPromptResponse"] = *decision.text;
      break;
    case PendingActionKind::waitingInput:
      output["hookEventName"] = "UserPromptSubmit";
      output["userPromptResponse"] = decision.text.value_or("");
      break;
  }
  return Json{{"hookSpecificOutput", std::move(output)}};
}

Json codexOutput(PendingActionKind kind, const UserDecision& decision) {
  switch (kind) {
    case PendingActionKind::permissionRequest:
      return Json{{"approval", allowOrDeny(decision)},
                  {"scope", decision.mode == UserDecision::Mode::always ? "always" : "once"}};
    case PendingActionKind::waitingChoice:
      return Json{{"prompt", decision.text.value_or("")},
                  {"metadata", Json{{"choice_id", decision.optionID.value_or("")}}}};
    case PendingActionKind::waitingInput:
      break;
  }
  return Json{{"prompt", decision.text.value_or("")}};
}

}  // namespace

std::string rawAgentPayload(std::string_view agent, PendingActionKind kind,
                            const UserDecision& decision) {
  Json output;
  if (agent == "claude_code") {
    output = claudeOutput(kind, decision);
  } else if (agent == "codex") {
    output = codexOutput(kind, decision);
  } else {
    return "{}";
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
