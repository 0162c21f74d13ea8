#pragma once

#include <string>
#include <vector>

#include "model/island_message.hpp"

namespace glimmet {

// One message as a few terminal lines: tool, badge and time; title; detail; buttons.
std::string formatMessageText(const IslandMessage& message);

// The whole inbox as one compact block, newest first, with the pending-approval count.
std::string formatInboxBlock(const std::vector<IslandMessage>& messages, int approvalCount);

}  // namespace glimmet
