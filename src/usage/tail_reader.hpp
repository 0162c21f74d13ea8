#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_values.hpp"

namespace glimmet {

// Logs only ever grow at the end and the newest records are the ones that matter, so the
// loaders read a bounded tail instead of whole files.
inline constexpr uint64_t kLocalUsageTailBytes = 262'144;

// The last `maxBytes` of a file. When the read starts inside the file, the partial first line
// is dropped. Absent when the file cannot be read.
std::optional<std::string> readTailText(const std::string& path, uint64_t maxBytes);

// Every line of `text` that parses as a JSON object, in file order. Lines that are truncated,
// not UTF-8 or not objects are skipped.
std::vector<Json> jsonObjectsFromText(std::string_view text);

std::vector<Json> jsonObjectsFromTail(const std::string& path, uint64_t maxBytes);

// The whole file as JSON Lines; a file that is a single JSON object (possibly spanning lines)
// gives that object.
std::vector<Json> jsonObjectsFromFile(const std::string& path);

}  // namespace glimmet
