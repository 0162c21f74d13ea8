#include "model/event_text.hpp"

#include <vector>

#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

std::string shortPreviewText(std::string_view text, size_t limit) {
  const std::string unified = replaceAll(replaceAll(text, "\r\n", "\n"), "\r", "\n");
  std::vector<std::string> lines;
  for (const auto& line : split(unified, '\n')) {
    std::string trimmed = trim(line);
    if (!trimmed.empty()) lines.push_back(std::move(trimmed));
  }
  std::string joined = trim(join(lines, " "));
  if (utf8Length(joined) <= limit) return joined;
  return trim(utf8Prefix(joined, limit - 1)) + "…";
}

std::string normalizedKeyPart(std::string_view text) {
  return trim(replaceAll(replaceAll(toLower(text), " - ", " "), " · ", " "));
}

std::string makeTaskKey(std::string_view source, const std::optional<std::string>& sessionId,
                        const std::optional<std::string>& turnId, std::string_view cwd,
                        const std::optional<std::string>& pid, std::string_view project) {
  std::vector<std::string> parts{normalizedKeyPart(toolDisplayName(source))};
  if (sessionId && turnId) {
    parts.push_back(normalizedKeyPart(*sessionId));
    parts.push_back(normalizedKeyPart(*turnId));
  } else if (sessionId) {
    parts.push_back(normalizedKeyPart(*sessionId));
  } else if (turnId) {
    parts.push_back(normalizedKeyPart(*turnId));
  } else if (pid) {
    parts.push_back(normalizedKeyPart(cwd));
    parts.push_back(normalizedKeyPart(*pid));
  } else {
    parts.push_back(normalizedKeyPart(cwd));
    parts.push_back(normalizedKeyPart(project));
  }
  return join(parts, "|");
}

}  // namespace glimmet
