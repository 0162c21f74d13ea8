#include "model/socket_requests.hpp"

#include "model/tool_names.hpp"

namespace glimmet {

namespace {

bool sameKindOfRequest(const GlimmetEvent& event, PendingActionKind kind) {
  if (kind == PendingActionKind::permissionRequest) {
    return event.eventType == EventType::permissionRequest;
  }
  return event.eventType == EventType::waitingInput || event.eventType == EventType::planReady;
}

}  // namespace

bool socketRequestEnded(const GlimmetEvent& event, const std::vector<PendingAction>& requests) {
  if (!event.sessionId || event.sessionId->empty() || event.timestamp == kDistantPast) {
    return false;
  }
  const std::string toolID = canonicalToolID(event.source);
  bool matched = false;
  for (const auto& request : requests) {
    if (request.sessionID != *event.sessionId || !sameKindOfRequest(event, request.kind) ||
        canonicalToolID(request.agent) != toolID ||
        secondsBetween(request.createdAt, event.timestamp) > kSocketRequestLeadSeconds) {
      continue;
    }
    if (request.status == PendingActionStatus::awaitingUser) return false;
    matched = true;
  }
  return matched;
}

}  // namespace glimmet
