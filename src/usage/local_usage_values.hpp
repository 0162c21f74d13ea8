#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// A count or percent from a number or a numeric text. Negative, non-finite and absurdly large
// values (a corrupted or hostile record) count as absent, so they never reach a label.
std::optional<double> localUsageNumber(const Json& value);
std::optional<double> firstLocalUsageNumber(const Json& object,
                                            std::initializer_list<std::string_view> keys);
// The member when it is an object, else nullptr.
const Json* localUsageDictionary(const Json& object, std::string_view key);

// A reset time as written: a text as it is, epoch seconds (or milliseconds) as ISO 8601.
std::optional<std::string> localUsageResetString(const Json& value);

std::optional<Timestamp> localUsageFileModifiedAt(const std::string& path);

// A record's time as ISO 8601 in UTC. A date-time without a zone is read as UTC; a missing or
// unparsable time, or one later than `fallback` (the file's modification time, which no record
// in it can postdate), gives `fallback`.
std::string normalizedLocalUsageTimestamp(const std::optional<std::string>& text,
                                          Timestamp fallback);
std::optional<Timestamp> parseLocalUsageTimestamp(std::string_view text);

// Text gathered from strings, arrays and objects (to a bounded depth), whitespace collapsed,
// cut to `limit` characters.
std::string compactLocalText(const Json& value, size_t limit);

// The same prefix, file and time always give the same id.
std::string stableLocalUsageID(std::string_view prefix, const std::string& filePath,
                               std::string_view timestamp);

struct UsageOnlyEventFields {
  std::string idPrefix;
  std::string source;
  std::string title;
  std::string timestamp;  // ISO 8601
  std::string filePath;
  std::string project;  // may be empty
  Json usage;
};

// An event that carries usage and nothing for the inbox, the companion or the sounds; its
// snapshot is marked as coming from a local loader.
std::optional<GlimmetEvent> usageOnlyEvent(const UsageOnlyEventFields& fields);

// "62% left" for a window with `used` percent; a window in use never reads "100% left".
std::string remainingShareLabel(double used);

}  // namespace glimmet
