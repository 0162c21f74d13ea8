#include "usage/hotplug_trae.hpp"

#include <cctype>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "model/usage_date.hpp"
#include "usage/hotplug_files.hpp"
#include "usage/hotplug_text.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kCompletionEventName = "TraeCodeCompleteShown";
constexpr std::string_view kParamsMarker = "params:";
constexpr size_t kSnippetLimit = 600;
constexpr size_t kTraeListLimit = 4096;
constexpr const char* kGenericTaskText = "Task completed";

struct CompletionLine {
  Timestamp time;
  std::string timeText;
  Json params;
};

// The date-time prefix: "YYYY-MM-DD", a space or "T", "HH:MM:SS", then optional fractional
// seconds and an optional zone ("Z", "+08:00", "+0800").
size_t dateTimePrefixLength(std::string_view text) {
  constexpr std::string_view kShape = "dddd-dd-dd?dd:dd:dd";
  if (text.size() < kShape.size()) return 0;
  for (size_t i = 0; i < kShape.size(); ++i) {
    const char c = text[i];
    const char want = kShape[i];
    if (want == 'd' && !std::isdigit(static_cast<unsigned char>(c))) return 0;
    if (want == '?' && c != ' ' && c != 'T') return 0;
    if (want != 'd' && want != '?' && c != want) return 0;
  }
  size_t end = kShape.size();
  if (end < text.size() && (text[end] == '.' || text[end] == ',')) {
    size_t digits = end + 1;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
      ++digits;
    }
    if (digits > end + 1) end = digits;
  }
  if (end < text.size() && text[end] == 'Z') return end + 1;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) {
    size_t zone = end + 1;
    while (zone < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[zone])) || text[zone] == ':')) {
      ++zone;
    }
    if (zone - end >= 5) return zone;  // "+0800" or "+08:00"
  }
  return end;
}

// The JSON object after "params:"; absent when there is none or it does not parse.
std::optional<Json> lineParams(std::string_view line) {
  const size_t marker = line.find(kParamsMarker);
  if (marker == std::string_view::npos) return std::nullopt;
  const std::string_view rest = line.substr(marker + kParamsMarker.size());
  const size_t open = rest.find('{');
  const size_t close = rest.rfind('}');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  Json params = parseJsonText(rest.substr(open, close - open + 1));
  if (!params.is_object()) return std::nullopt;
  return params;
}

std::optional<CompletionLine> completionLine(std::string_view line) {
  if (line.find(kCompletionEventName) == std::string_view::npos) return std::nullopt;
  const auto timeText = traeLogTimestamp(line);
  if (!timeText) return std::nullopt;
  const auto time = parseUsageDate(*timeText);
  auto params = lineParams(line);
  if (!time || !params) return std::nullopt;
  return CompletionLine{*time, *timeText, std::move(*params)};
}

}  // namespace

std::vector<std::string> recentTraeRendererLogFiles(const std::string& root, size_t limit) {
  if (!isDirectory(root)) return {};
  return newestPathsFirst(listFiles(root, "renderer", ".log", kTraeListLimit), limit);
}

std::optional<std::string> traeLogTimestamp(std::string_view line) {
  std::string_view text = line;
  while (!text.empty() && (text.front() == ' ' || text.front() == '[')) text.remove_prefix(1);
  const size_t length = dateTimePrefixLength(text);
  if (length == 0) return std::nullopt;
  // Some loggers separate the milliseconds with a comma.
  const auto time = parseTimestamp(replaceAll(text.substr(0, length), ",", "."));
  if (!time) return std::nullopt;
  return formatIso8601(*time);
}

std::optional<GlimmetEvent> traeLogHotplugCompletionEvent(const std::string& tailText,
                                                          const std::string& filePath,
                                                          Timestamp now) {
  std::optional<CompletionLine> newest;
  for (const auto& line : split(tailText, '\n')) {
    auto completion = completionLine(line);
    if (!completion || isOlderThan(completion->time, now, kTraeHotplugMaxAgeSeconds)) continue;
    if (!newest || completion->time >= newest->time) newest = std::move(completion);
  }
  if (!newest) return std::nullopt;

  const Json& params = newest->params;
  const std::string agentID = firstString(params, {"agent_id", "agentId"}).value_or("");
  const bool solo = contains(toLower(agentID), "solo");
  const auto session = firstString(params, {"session_id", "sessionId"});
  const auto snippet = firstString(params, {"completion_snippet", "completionSnippet"});
  const std::string text =
      snippet ? compactHotplugText(*snippet, kSnippetLimit) : std::string(kGenericTaskText);
  const std::string sessionPart = session ? *session : stableHotplugID({filePath});
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(newest->time.time_since_epoch()).count();

  Json object = {
      {"event_id", "hotplug-trae-completion-" + sessionPart + "-" + std::to_string(seconds)},
      {"source", solo ? "trae-solo" : "trae-ide"},
      {"source_type", "desktop_app"},
      {"event_type", "task_completed"},
      {"severity", "success"},
      {"status", "completed"},
      {"title", solo ? "Trae SOLO completed" : "Trae completed"},
      {"message", text},
      {"completion_snippet", text},
      {"preview", {{"agent", text}}},
      {"notify_policy", "immediate"},
      {"timestamp", newest->timeText},
      {"transcript_path", filePath},
      {"raw_event_name", std::string(kCompletionEventName)},
  };
  if (session) object["session_id"] = *session;
  return parseGlimmetEvent(object, EventParseContext{});
}

std::vector<GlimmetEvent> loadTraeLogHotplugEvents(const std::optional<std::string>& root,
                                                   Timestamp now) {
  std::vector<GlimmetEvent> events;
  if (!root) return events;
  // Listings are shared for 120 s; a known file's changes are still seen on every scan.
  const auto files = cachedDiscovery(*root + "\ntrae-hotplug", now,
                                     [&root] { return recentTraeRendererLogFiles(*root); });
  for (const auto& path : files) {
    // An unchanged log is not read again; its completion only grows older.
    auto event = cachedFileEvent(kTraeHotplugCacheKind, path, [&]() -> std::optional<GlimmetEvent> {
      const auto tail = readHotplugTailText(path, kTraeHotplugTailBytes);
      return tail ? traeLogHotplugCompletionEvent(*tail, path, now) : std::nullopt;
    });
    if (event && !isOlderThan(event->timestamp, now, kTraeHotplugMaxAgeSeconds)) {
      events.push_back(std::move(*event));
    }
  }
  return events;
}

}  // namespace glimmet
