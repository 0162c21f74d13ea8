#pragma once

#include <vector>

#include "model/glimmet_event.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

// A request made on the approval socket counts as an event's own when it comes from the same
// tool, session and kind of request, no more than this long before the event was written: the
// event bridge and the hook bridge report one question at about the same moment, while a
// request answered long before is an earlier question.
constexpr double kSocketRequestLeadSeconds = 5.0;

// Whether the question `event` asks was also asked on the approval socket and every such
// request has ended (answered, timed out, superseded, its agent gone): the agent no longer
// waits for it. False when no request matches, or when the event's time is unknown.
bool socketRequestEnded(const GlimmetEvent& event, const std::vector<PendingAction>& requests);

}  // namespace glimmet
