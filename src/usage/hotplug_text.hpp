#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_values.hpp"
#include "base/time.hpp"

namespace glimmet {

// Text from a tool's log made fit for a card: every run of white space becomes one space, the
// ends are trimmed, and text longer than `limit` characters is cut and ends with "…".
std::string compactHotplugText(std::string_view text, size_t limit);

// A short id that is the same for the same parts on every scan, so a synthesized event keeps
// its identity (and its read state) while its file is re-read.
std::string stableHotplugID(std::initializer_list<std::string_view> parts);

// The JSON objects among the lines of `text`; blank, cut-off and non-object lines are skipped.
std::vector<Json> jsonObjectLines(std::string_view text);

// The text of a message's `content`: a string as it is, or the "text" parts of a list joined
// by line feeds (tool calls and images carry no text and are left out).
std::string messageContentText(const Json& content);

// Whether `time` lies more than `limitSeconds` before `now`. Times ahead of `now` (a clock a
// little off) count as fresh.
bool isOlderThan(Timestamp time, Timestamp now, double limitSeconds);

}  // namespace glimmet
