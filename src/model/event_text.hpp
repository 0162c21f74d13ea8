#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// One line of at most `limit` characters: lines trimmed, empty ones dropped, joined by spaces;
// a longer text is cut to limit - 1 characters followed by "…".
std::string shortPreviewText(std::string_view text, size_t limit = 240);

// Lower-cased, " - " and " · " folded into one space, trimmed: the spelling used in keys.
std::string normalizedKeyPart(std::string_view text);

// The identity of the task an event belongs to, from the most specific facts available.
std::string makeTaskKey(std::string_view source, const std::optional<std::string>& sessionId,
                        const std::optional<std::string>& turnId, std::string_view cwd,
                        const std::optional<std::string>& pid, std::string_view project);

}  // namespace glimmet
