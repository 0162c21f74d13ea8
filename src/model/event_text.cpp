#include "model/event_text.hpp"

#include <vector>

#include "base/recent_answers.hpp"
#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

std::string shortPreviewText(std::string_view text, size_t limit) {
  // Most previews are one line: trimming is all the joining they need.
  if (text.find('\n') == std::string_view::npos && text.find('\r') == std::string_view::npos) {
    std::string line = trim(text);
    // No more bytes than the limit cannot be more characters either.
    if (line.size() <= limit || utf8Length(line) <= limit) return line;
    return trim(utf8Prefix(line, limit - 1)) + "…";
  }
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

namespace {

// Appends `normalizedKeyPart(text)`. The separators are rare in ids and paths: most parts are
// only trimmed and lower-cased, straight into the key.
void appendNormalizedKeyPart(std::string& key, std::string_view text) {
  // Both separators start with a space, which most ids and paths lack.
  if (text.find(' ') != std::string_view::npos &&
      (text.find(" - ") != std::string_view::npos || text.find(" · ") != std::string_view::npos)) {
    key += normalizedKeyPart(text);
    return;
  }
  const size_t start = key.size();
  key += trimmedView(text);
  for (char* c = key.data() + start; c != key.data() + key.size(); ++c) {
    const auto offset = static_cast<unsigned char>(*c - 'A');
    *c = static_cast<char>(*c + (offset < 26 ? 'a' - 'A' : 0));
  }
}

// The key's first part for a source: its tool's name, normalized.
const std::string& sourceKeyPart(std::string_view source) {
  thread_local RecentAnswers<std::string, std::string> answers;
  if (const auto* part =
          answers.find([source](const std::string& known) { return known == source; })) {
    return *part;
  }
  std::string part;
  appendNormalizedKeyPart(part, toolDisplayName(source));
  return answers.remember(std::string(source), std::move(part));
}

}  // namespace

std::string normalizedKeyPart(std::string_view text) {
  std::string lower = toLower(text);
  if (lower.find(" - ") != std::string::npos) lower = replaceAll(lower, " - ", " ");
  if (lower.find(" · ") != std::string::npos) lower = replaceAll(lower, " · ", " ");
  return trim(lower);
}

std::string makeTaskKey(std::string_view source, const std::optional<std::string>& sessionId,
                        const std::optional<std::string>& turnId, std::string_view cwd,
                        const std::optional<std::string>& pid, std::string_view project) {
  std::string key;
  key.reserve(source.size() + cwd.size() + project.size() + 48);
  key += sourceKeyPart(source);
  const auto add = [&key](std::string_view part) {
    key += '|';
    appendNormalizedKeyPart(key, part);
  };
  if (sessionId && turnId) {
    add(*sessionId);
    add(*turnId);
  } else if (sessionId) {
    add(*sessionId);
  } else if (turnId) {
    add(*turnId);
  } else if (pid) {
    add(cwd);
    add(*pid);
  } else {
    add(cwd);
    add(project);
  }
  return key;
}

}  // namespace glimmet
