#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Cursor's agent reports no hook when it finishes an answer; its transcript under the projects
// root ("<workspace as a name>/agent-transcripts/.../<chat>.jsonl") shows the final reply.

inline constexpr const char* kCursorHotplugCacheKind = "cursor-hotplug";
inline constexpr uint64_t kCursorHotplugTailBytes = 393216;
inline constexpr size_t kCursorHotplugFileLimit = 24;
// A reply older than two hours is history, not news.
inline constexpr double kCursorHotplugMaxAgeSeconds = 7200;

// The newest transcripts (".jsonl" inside an "agent-transcripts" directory), newest first.
std::vector<std::string> recentCursorHotplugTranscriptFiles(const std::string& root,
                                                            size_t limit = kCursorHotplugFileLimit);

// The workspace a transcript belongs to: Cursor names the project directory above
// "agent-transcripts" after the workspace path with "/" replaced by "-" ("Users-me-app" for
// "/Users/me/app"). Absent for the window without a folder ("empty-window") or another layout.
std::optional<std::string> cursorWorkspacePath(const std::string& transcriptPath);

// The completion for the last assistant reply with text in a transcript's tail. Transcript
// records carry no time of their own in current Cursor versions, so the reply is dated by the
// record's time when it has one, else by `fileModified` (the file was last written when the
// reply ended); without either, or when the reply is more than two hours old, there is none.
std::optional<GlimmetEvent> cursorHotplugCompletionEvent(
    const std::string& tailText, const std::string& filePath, Timestamp now,
    std::optional<Timestamp> fileModified = std::nullopt);

// One completion per recent transcript that ended in the last two hours; none for an absent
// root.
std::vector<GlimmetEvent> loadCursorTranscriptHotplugEvents(const std::optional<std::string>& root,
                                                            Timestamp now = systemNow());

}  // namespace glimmet
