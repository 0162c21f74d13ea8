#include "usage/hotplug_cursor.hpp"

#include <algorithm>

#include "base/path_names.hpp"
#include "base/text.hpp"
#include "model/usage_date.hpp"
#include "usage/hotplug_files.hpp"
#include "usage/hotplug_text.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kTranscriptDirectory = "agent-transcripts";
constexpr size_t kUserRequestLimit = 240;
constexpr size_t kReplyLimit = 600;
// Enough transcripts to rank by modification; projects hold a few chats each.
constexpr size_t kCursorListLimit = 4096;
constexpr const char* kCursorBundleID = "com.todesktop.230313mzl4w4u92";
constexpr const char* kCursorAppPath = "/Applications/Cursor.app";

std::string messageText(const Json& record) {
  const Json* message = member(record, "message");
  const Json* content = nullptr;
  if (message && message->is_object()) content = member(*message, "content");
  if (!content) content = member(record, "content");
  if (!content && message && message->is_string()) content = message;
  return content ? trim(messageContentText(*content)) : "";
}

std::optional<Timestamp> recordTime(const Json& record) {
  const auto text = firstString(record, {"timestamp", "created_at", "createdAt"});
  if (!text) return std::nullopt;
  return parseUsageDate(*text);
}

// Cursor wraps what the user typed in "<user_query>" tags before handing it to the model.
std::string userRequestText(std::string text) {
  text = replaceAll(text, "<user_query>", "");
  text = replaceAll(text, "</user_query>", "");
  return compactHotplugText(text, kUserRequestLimit);
}

// The folder opened in Cursor when it still exists, else the Cursor app.
Json cursorJumpTarget(const std::optional<std::string>& workspace) {
  if (workspace) {
    return {{"kind", "terminal_cwd"}, {"cwd", *workspace}, {"terminal", kCursorBundleID}};
  }
  return {{"kind", "app"}, {"bundle_id", kCursorBundleID}, {"app_path", kCursorAppPath}};
}

std::vector<std::string> pathComponents(const std::string& path) {
  std::vector<std::string> parts;
  for (auto& part : split(path, '/')) {
    if (!part.empty()) parts.push_back(std::move(part));
  }
  return parts;
}

}  // namespace

std::vector<std::string> recentCursorHotplugTranscriptFiles(const std::string& root, size_t limit) {
  if (!isDirectory(root)) return {};
  auto files = listFiles(root, "", ".jsonl", kCursorListLimit);
  std::erase_if(files, [&](const ListedFile& file) {
    const auto parts = pathComponents(file.path.substr(std::min(file.path.size(), root.size())));
    // Only a directory above the file counts, not a file that happens to carry the name.
    if (parts.size() < 2) return true;
    return std::find(parts.begin(), parts.end() - 1, kTranscriptDirectory) == parts.end() - 1;
  });
  return newestPathsFirst(std::move(files), limit);
}

std::optional<std::string> cursorWorkspacePath(const std::string& transcriptPath) {
  const auto parts = pathComponents(transcriptPath);
  for (size_t i = parts.size(); i-- > 1;) {
    if (parts[i] != kTranscriptDirectory) continue;
    const std::string& project = parts[i - 1];
    if (project == "empty-window") return std::nullopt;
    return "/" + replaceAll(project, "-", "/");
  }
  return std::nullopt;
}

std::optional<GlimmetEvent> cursorHotplugCompletionEvent(const std::string& tailText,
                                                         const std::string& filePath, Timestamp now,
                                                         std::optional<Timestamp> fileModified) {
  std::string latestUser;
  std::string reply;
  std::string replyUser;
  std::optional<Timestamp> replyTime;
  for (const auto& record : jsonObjectLines(tailText)) {
    const auto role = firstString(record, {"role"});
    if (!role) continue;
    std::string text = messageText(record);
    if (text.empty()) continue;
    if (*role == "user") {
      latestUser = std::move(text);
    } else if (*role == "assistant") {
      reply = std::move(text);
      replyUser = latestUser;
      replyTime = recordTime(record);
    }
  }
  if (reply.empty()) return std::nullopt;
  const auto time = replyTime ? replyTime : fileModified;
  if (!time || isOlderThan(*time, now, kCursorHotplugMaxAgeSeconds)) return std::nullopt;

  const std::string request = userRequestText(replyUser);
  const std::string finalReply = compactHotplugText(reply, kReplyLimit);
  const auto workspace = cursorWorkspacePath(filePath);

  Json object = {
      {"event_id", "hotplug-cursor-completion-" + stableHotplugID({filePath, request, finalReply})},
      {"source", "cursor-ide"},
      {"source_type", "desktop_app"},
      {"event_type", "task_completed"},
      {"severity", "success"},
      {"status", "completed"},
      {"title", "Cursor IDE completed"},
      {"message", finalReply},
      {"completion_snippet", finalReply},
      {"preview", {{"user", request.empty() ? "Cursor task" : request}, {"agent", finalReply}}},
      {"transcript_path", filePath},
      {"raw_event_name", "CursorTranscriptAssistantMessage"},
      {"timestamp", formatIso8601(*time)},
      {"jump_target", cursorJumpTarget(workspace)},
  };
  if (workspace) {
    object["cwd"] = *workspace;
    object["project"] = basename(*workspace);
  }
  return parseGlimmetEvent(object, EventParseContext{});
}

std::vector<GlimmetEvent> loadCursorTranscriptHotplugEvents(const std::optional<std::string>& root,
                                                            Timestamp now) {
  std::vector<GlimmetEvent> events;
  if (!root) return events;
  // Listings are shared for 120 s; a known file's changes are still seen on every scan.
  const auto files = cachedDiscovery(*root + "\ncursor-hotplug", now,
                                     [&root] { return recentCursorHotplugTranscriptFiles(*root); });
  for (const auto& path : files) {
    // An unchanged transcript is not read again; its completion only grows older.
    auto event =
        cachedFileEvent(kCursorHotplugCacheKind, path, [&]() -> std::optional<GlimmetEvent> {
          const auto metadata = fileMetadata(path);
          const auto tail = readHotplugTailText(path, kCursorHotplugTailBytes);
          if (!metadata || !tail) return std::nullopt;
          return cursorHotplugCompletionEvent(*tail, path, now, metadata->modified);
        });
    if (event && !isOlderThan(event->timestamp, now, kCursorHotplugMaxAgeSeconds)) {
      events.push_back(std::move(*event));
    }
  }
  return events;
}

}  // namespace glimmet
