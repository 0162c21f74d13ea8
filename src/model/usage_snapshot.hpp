#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/inline_list.hpp"
#include "base/json_values.hpp"

namespace glimmet {

class JsonLineValue;

enum class UsageQuality { official, stableLocal, wrapperExplicit, demo };
enum class UsageSourceClass {
  officialPush,
  stableLocalLoader,
  wrapperExplicit,
  remoteOptIn,
  jumpOnly,
  messagesOnly,
  rateLimitSignal,
  unsupported
};

// How close a metric is to its limit: under 80 % used, from 80 %, at 100 % (or blocked), or
// reported as failing.
enum class UsageStatus { ok, warning, limited, error };

const char* rawValue(UsageQuality value);
const char* rawValue(UsageSourceClass value);
// "ok", "warning", "limited", "error".
std::string_view rawValue(UsageStatus value);
std::optional<UsageStatus> usageStatusFromRaw(std::string_view raw);

struct UsageMetric {
  std::string label;
  std::string suffix;
  std::optional<double> percent;
  std::optional<UsageStatus> status;  // absent when only a label is known
  // The numbers the texts were made from, so that a changed count is noticed even when its
  // compact label ("1.2k") stays the same.
  InlineList<double, 6> values;  // at most six numbers make a metric
  bool operator==(const UsageMetric&) const = default;
};

struct UsageSnapshot {
  std::string tool;
  std::string toolID;
  std::string source;
  std::string dataSource;
  std::string observedAt;
  UsageQuality quality = UsageQuality::official;
  UsageSourceClass sourceClass = UsageSourceClass::officialPush;
  std::optional<UsageMetric> context;
  std::optional<UsageMetric> tokens;
  std::optional<UsageMetric> cost;
  std::optional<UsageMetric> fiveHour;
  std::optional<UsageMetric> daily;
  std::optional<UsageMetric> weekly;
  std::optional<UsageMetric> rateLimit;
  std::string label;
  std::optional<double> percent;
  std::string updated;

  // Whether the tool reports its usage as failing (a metric in the "error" state).
  bool reportsError() const;
  bool operator==(const UsageSnapshot&) const = default;
};

// What the event around a usage object says about it; the texts stay the caller's.
struct UsageSnapshotContext {
  std::string_view tool;                      // display name
  std::string_view toolID;                    // canonical id of the event's source
  std::string_view source;                    // the event's source
  std::string_view sourceType;                // the event's source type
  std::optional<std::string_view> timestamp;  // the usage object's own time, else the line's
};

// Builds a usage object's snapshot into a fresh `snapshot` made where it is kept (a snapshot is
// large): from the tree, or from a line of the event file decoded in place.
void readUsageSnapshot(const Json& usage, const UsageSnapshotContext& context,
                       UsageSnapshot& snapshot);
void readUsageSnapshot(const JsonLineValue& usage, const UsageSnapshotContext& context,
                       UsageSnapshot& snapshot);

// Sets the one-line `label`, the headline `percent` and the `updated` text from the metrics and
// the observed time, so that a snapshot whose metrics were combined reads like a fresh one.
void summarizeUsageSnapshot(UsageSnapshot& snapshot);

// "950", "12.3k", "1.5m".
std::string compactCount(double count);

// "5h 42% · 7d 18%"; absent when neither window is known.
std::optional<std::string> expandedTopQuotaText(const UsageSnapshot& snapshot);

}  // namespace glimmet
