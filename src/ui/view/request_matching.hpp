#pragma once

#include <optional>
#include <vector>

#include "model/island_message.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

// Whether the message asks the user something (an approval, a choice, a reply, a plan review).
bool messageAsksUser(const IslandMessage& message);

// Whether `message` is the inbox's report of the question `request` waits on: the same agent and
// session, and a message that asks the same kind of thing.
bool messageCarriesRequest(const IslandMessage& message, const PendingAction& request);

// For each message (inbox order), the index of the waiting request it carries, if any. Each
// request goes to the newest message that reports it, so no request shows twice.
std::vector<std::optional<size_t>> requestsCarriedByMessages(
    const std::vector<IslandMessage>& messages, const std::vector<PendingAction>& requests);

}  // namespace glimmet
