#include "usage/local_usage_values.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <fmt/format.h>

#include "base/sha256.hpp"
#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// Far above any real token count, far below where doubles stop counting exactly.
constexpr double kLargestLocalUsageNumber = 1e15;
constexpr int kCompactTextDepth = 4;
// Epoch numbers above this can only be milliseconds.
constexpr double kLargestEpochSeconds = 1e11;

void collectText(const Json& value, int depth, std::string& out, size_t budget) {
  if (out.size() >= budget || depth > kCompactTextDepth) return;
  if (value.is_string()) {
    out += value.get_ref<const std::string&>();
    out += ' ';
  } else if (value.is_array()) {
    for (const auto& element : value) collectText(element, depth + 1, out, budget);
  } else if (value.is_object()) {
    for (const auto& [key, element] : value.items()) collectText(element, depth + 1, out, budget);
  }
}

bool hasZone(std::string_view text) {
  if (endsWith(text, "Z") || endsWith(text, "z")) return true;
  const size_t timeStart = text.find_first_of("Tt ");
  if (timeStart == std::string_view::npos) return false;
  return text.find_first_of("+-", timeStart) != std::string_view::npos;
}

}  // namespace

std::optional<double> localUsageNumber(const Json& value) {
  if (value.is_boolean()) return std::nullopt;
  const auto number = doubleValue(value);
  if (!number || !std::isfinite(*number) || *number < 0 || *number > kLargestLocalUsageNumber) {
    return std::nullopt;
  }
  return number;
}

std::optional<double> firstLocalUsageNumber(const Json& object,
                                            std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const Json* value = member(object, key)) {
      if (auto number = localUsageNumber(*value)) return number;
    }
  }
  return std::nullopt;
}

const Json* localUsageDictionary(const Json& object, std::string_view key) {
  const Json* value = member(object, key);
  return value && value->is_object() ? value : nullptr;
}

std::optional<std::string> localUsageResetString(const Json& value) {
  if (value.is_string()) return stringValue(value);
  const auto number = localUsageNumber(value);
  if (!number || *number == 0) return std::nullopt;
  const double seconds = *number > kLargestEpochSeconds ? *number / 1000 : *number;
  if (seconds > kLargestEpochSeconds) return std::nullopt;
  return formatIso8601(Timestamp{std::chrono::seconds{static_cast<int64_t>(seconds)}});
}

std::optional<Timestamp> localUsageFileModifiedAt(const std::string& path) {
  const auto metadata = fileMetadata(path);
  if (!metadata) return std::nullopt;
  return metadata->modified;
}

std::optional<Timestamp> parseLocalUsageTimestamp(std::string_view raw) {
  const std::string text = trim(raw);
  if (text.empty()) return std::nullopt;
  if (auto parsed = parseInternetDateTime(text, true)) return parsed;
  if (auto parsed = parseInternetDateTime(text, false)) return parsed;
  if (text.find_first_of("Tt ") != std::string::npos && !hasZone(text)) {
    std::string zoned = text + "Z";
    if (zoned.size() > 10 && zoned[10] == ' ') zoned[10] = 'T';
    if (auto parsed = parseInternetDateTime(zoned, true)) return parsed;
    if (auto parsed = parseInternetDateTime(zoned, false)) return parsed;
  }
  return std::nullopt;
}

std::string normalizedLocalUsageTimestamp(const std::optional<std::string>& text,
                                          Timestamp fallback) {
  if (text) {
    if (auto parsed = parseLocalUsageTimestamp(*text); parsed && *parsed <= fallback) {
      return formatIso8601(*parsed);
    }
  }
  return formatIso8601(fallback);
}

std::string compactLocalText(const Json& value, size_t limit) {
  std::string gathered;
  collectText(value, 0, gathered, limit * 4 + 64);
  std::string collapsed;
  bool pendingSpace = false;
  for (const char c : gathered) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingSpace = !collapsed.empty();
      continue;
    }
    if (pendingSpace) collapsed += ' ';
    pendingSpace = false;
    collapsed += c;
  }
  return utf8Prefix(collapsed, limit);
}

std::string stableLocalUsageID(std::string_view prefix, const std::string& filePath,
                               std::string_view timestamp) {
  const std::string digest = sha256Hex(filePath + "\n" + std::string(timestamp));
  return fmt::format("{}-{}", prefix, digest.substr(0, 20));
}

std::optional<GlimmetEvent> usageOnlyEvent(const UsageOnlyEventFields& fields) {
  Json object = {
      {"event_id", stableLocalUsageID(fields.idPrefix, fields.filePath, fields.timestamp)},
      {"source", fields.source},
      {"source_type", "local_usage"},
      {"event_type", "task_updated"},
      {"severity", "info"},
      {"title", fields.title},
      {"message", "Local usage snapshot captured."},
      {"status", "usage"},
      {"notify_policy", "usage_only"},
      {"timestamp", fields.timestamp},
      {"transcript_path", fields.filePath},
      {"usage", fields.usage},
  };
  if (!fields.project.empty()) object["project"] = fields.project;
  auto event = parseGlimmetEvent(object, EventParseContext{});
  if (!event || !event->usage) return std::nullopt;
  event->usage->quality = UsageQuality::stableLocal;
  event->usage->sourceClass = UsageSourceClass::stableLocalLoader;
  return event;
}

std::string remainingShareLabel(double used) {
  const double remaining = std::clamp(100.0 - used, 0.0, 100.0);
  double rounded = std::round(remaining);
  if (rounded >= 100 && used > 0) rounded = 99;
  if (rounded <= 0 && remaining > 0) rounded = 1;
  return fmt::format("{:.0f}% left", rounded);
}

}  // namespace glimmet
