#pragma once

#include <string>
#include <vector>

#include "model/island_message.hpp"

namespace glimmet {

// One message as a few terminal lines: tool, badge and time; title; detail; buttons. A
// non-empty `label` ("m2") leads the first line in brackets.
std::string formatMessageText(const IslandMessage& message, const std::string& label = {});

// The whole inbox as one compact block, newest first, with the pending-approval count;
// `numbered` labels the messages m1, m2, ... for the console's commands.
std::string formatInboxBlock(const std::vector<IslandMessage>& messages, int approvalCount,
                             bool numbered = false);

}  // namespace glimmet
