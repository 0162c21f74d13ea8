#pragma once

#include "base/json_values.hpp"
#include "model/island_message.hpp"

namespace glimmet {

// The machine-readable form of an inbox message, with raw values as written to files.
Json messageToJson(const IslandMessage& message);

}  // namespace glimmet
