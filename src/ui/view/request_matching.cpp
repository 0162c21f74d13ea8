#include "ui/view/request_matching.hpp"

#include "model/tool_names.hpp"

namespace glimmet {

bool messageAsksUser(const IslandMessage& message) {
  if (message.event.waitsForHuman()) return true;
  return message.normalized && (message.normalized->intent == MessageIntent::choiceRequest ||
                                message.normalized->intent == MessageIntent::inputRequest);
}

bool messageCarriesRequest(const IslandMessage& message, const PendingAction& request) {
  const GlimmetEvent& event = message.event;
  if (request.sessionID.empty() || !event.sessionId || *event.sessionId != request.sessionID) {
    return false;
  }
  if (canonicalToolID(event.source) != canonicalToolID(request.agent)) return false;
  if (!messageAsksUser(message)) return false;
  const bool permissionMessage = event.eventType == EventType::permissionRequest;
  return permissionMessage == (request.kind == PendingActionKind::permissionRequest);
}

std::vector<std::optional<size_t>> requestsCarriedByMessages(
    const std::vector<IslandMessage>& messages, const std::vector<PendingAction>& requests) {
  std::vector<std::optional<size_t>> carried(messages.size());
  std::vector<bool> taken(requests.size(), false);
  for (size_t m = 0; m < messages.size(); ++m) {
    // The newest waiting request of the session is the question the newest message reports.
    for (size_t r = requests.size(); r-- > 0;) {
      if (taken[r] || requests[r].status != PendingActionStatus::awaitingUser) continue;
      if (!messageCarriesRequest(messages[m], requests[r])) continue;
      carried[m] = r;
      taken[r] = true;
      break;
    }
  }
  return carried;
}

}  // namespace glimmet
