#pragma once

#include <string>

#include "base/json_values.hpp"
#include "base/result.hpp"

namespace glimmet {

// Appends one compact JSON object and a line feed to a JSON Lines log, creating the file and
// its directory when needed. Broken UTF-8 in a value is replaced, so the line is always written;
// the single O_APPEND write never interleaves with another writer's line.
Status appendJsonLine(const std::string& path, const Json& record);

}  // namespace glimmet
