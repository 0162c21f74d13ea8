#include "integrations/hook_config_json.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

const ConfigJson* memberOf(const ConfigJson& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(std::string(key));
  return found == object.end() ? nullptr : &*found;
}

// Line of the character at 1-based `byte` (the parser's position of the offending character).
size_t lineAt(std::string_view text, size_t byte) {
  const size_t end = std::min(text.size(), byte > 0 ? byte - 1 : 0);
  return 1 +
         static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(end), '\n'));
}

struct Indentation {
  int width = 2;
  char character = ' ';
};

// The indentation of the first indented line: the file's own style is kept on rewrite.
Indentation indentationOf(std::string_view text) {
  for (const auto& line : split(text, '\n')) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == 0 || first == std::string::npos) continue;
    if (line[0] == '\t') return {1, '\t'};
    return {static_cast<int>(line.find_first_not_of(' ')), ' '};
  }
  return {};
}

}  // namespace

bool hookEventMentions(const ConfigJson& hooks, std::string_view event, std::string_view needle) {
  const ConfigJson* groups = memberOf(hooks, event);
  if (!groups || !groups->is_array()) return false;
  for (const auto& group : *groups) {
    const ConfigJson* handlers = memberOf(group, "hooks");
    if (!handlers || !handlers->is_array()) continue;
    for (const auto& handler : *handlers) {
      const ConfigJson* command = memberOf(handler, "command");
      if (command && command->is_string() && contains(command->get<std::string>(), needle)) {
        return true;
      }
    }
  }
  return false;
}

Result<ConfigJson> parseConfigObject(const std::string& path, std::string_view text) {
  if (trim(text).empty()) return ConfigJson::object();
  try {
    ConfigJson parsed = ConfigJson::parse(text);
    if (!parsed.is_object()) {
      return Result<ConfigJson>::failure(fmt::format("{} does not hold a JSON object", path));
    }
    return parsed;
  } catch (const ConfigJson::parse_error& error) {
    return Result<ConfigJson>::failure(
        fmt::format("{} is not valid JSON (line {})", path, lineAt(text, error.byte)));
  } catch (const ConfigJson::out_of_range&) {
    // A number no double holds (1e400) is well-formed but cannot be read, nor written back.
    return Result<ConfigJson>::failure(
        fmt::format("{} is not valid JSON (a number too large)", path));
  }
}

std::string serializeConfig(const ConfigJson& object, std::string_view existing) {
  const Indentation indentation = indentationOf(existing);
  return object.dump(indentation.width, indentation.character, false,
                     ConfigJson::error_handler_t::replace) +
         "\n";
}

Result<std::string> readConfigText(const std::string& path) {
  if (!fileExists(path)) return std::string();
  return readFileReportingError(path);
}

std::string shellWord(std::string_view path) {
  constexpr std::string_view safe =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+@%:,=";
  if (!path.empty() && path.find_first_not_of(safe) == std::string_view::npos) {
    return std::string(path);
  }
  return "'" + replaceAll(path, "'", "'\\''") + "'";
}

}  // namespace glimmet
