#include "model/pending_action.hpp"

namespace glimmet {

std::string_view rawValue(PendingActionKind kind) {
  switch (kind) {
    case PendingActionKind::permissionRequest:
      return "permission_request";
    case PendingActionKind::waitingChoice:
      return "waiting_choice";
    case PendingActionKind::waitingInput:
      return "waiting_input";
  }
  return "permission_request";
}

std::optional<PendingActionKind> pendingActionKind(std::string_view raw) {
  if (raw == "permission_request") return PendingActionKind::permissionRequest;
  if (raw == "waiting_choice") return PendingActionKind::waitingChoice;
  if (raw == "waiting_input") return PendingActionKind::waitingInput;
  return std::nullopt;
}

std::string_view rawValue(PendingActionStatus status) {
  switch (status) {
    case PendingActionStatus::awaitingUser:
      return "awaitingUser";
    case PendingActionStatus::answered:
      return "answered";
    case PendingActionStatus::timedOut:
      return "timedOut";
    case PendingActionStatus::agentDied:
      return "agentDied";
    case PendingActionStatus::superseded:
      return "superseded";
    case PendingActionStatus::hookDropped:
      return "hookDropped";
    case PendingActionStatus::appliedAfterCrash:
      return "appliedAfterCrash";
    case PendingActionStatus::droppedOnRestart:
      return "droppedOnRestart";
  }
  return "awaitingUser";
}

std::optional<std::string> payloadExtra(const HookRequestPayload& payload, const char* key) {
  if (!payload.extras) return std::nullopt;
  const auto found = payload.extras->find(key);
  if (found == payload.extras->end() || found->second.empty()) return std::nullopt;
  return found->second;
}

bool PendingAction::repeats(const PendingAction& older) const {
  if (agent != older.agent || sessionID != older.sessionID || kind != older.kind) return false;
  const auto toolUseID = payloadExtra(payload, PayloadExtra::kToolUseID);
  const auto olderToolUseID = payloadExtra(older.payload, PayloadExtra::kToolUseID);
  if (toolUseID || olderToolUseID) return toolUseID == olderToolUseID;
  // Without ids, only a call identical in everything the bridge reported counts as the same.
  return payload.tool == older.payload.tool && payload.command == older.payload.command &&
         payloadExtra(payload, PayloadExtra::kFilePath) ==
             payloadExtra(older.payload, PayloadExtra::kFilePath) &&
         payloadExtra(payload, PayloadExtra::kToolInputDigest) ==
             payloadExtra(older.payload, PayloadExtra::kToolInputDigest);
}

PendingAction makePendingAction(const HookRequest& request, PendingActionKind kind,
                                Timestamp createdAt) {
  PendingAction action;
  action.requestID = request.requestID;
  action.agent = request.agent;
  action.sessionID = request.sessionID;
  action.agentPID = request.agentPID;
  action.kind = kind;
  action.createdAt = createdAt;
  action.timeoutSeconds = request.timeoutSeconds;
  action.payload = request.payload;
  action.status = PendingActionStatus::awaitingUser;
  return action;
}

std::string_view rawValue(UserDecision::Verb verb) {
  switch (verb) {
    case UserDecision::Verb::allow:
      return "allow";
    case UserDecision::Verb::deny:
      return "deny";
    case UserDecision::Verb::choice:
      return "choice";
    case UserDecision::Verb::input:
      return "input";
  }
  return "allow";
}

std::string_view rawValue(UserDecision::Mode mode) {
  return mode == UserDecision::Mode::always ? "always" : "once";
}

}  // namespace glimmet
