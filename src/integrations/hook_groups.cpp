#include "integrations/hook_groups.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

bool isAssignment(std::string_view word) {
  const size_t equals = word.find('=');
  if (equals == 0 || equals == std::string_view::npos) return false;
  const std::string_view name = word.substr(0, equals);
  return std::all_of(name.begin(), name.end(), [](char c) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

bool isPythonName(std::string_view word) {
  const size_t slash = word.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? word : word.substr(slash + 1);
  return startsWith(name, "python");
}

// False when the words name an interpreter by absolute path that is no longer a program.
bool interpreterExists(const std::vector<std::string>& words, std::string_view bridgePath) {
  for (const auto& word : words) {
    if (word == bridgePath) return true;
    if (isAssignment(word)) continue;
    return !startsWith(word, "/") || isExecutableFile(word);
  }
  return true;
}

std::string commandOf(const ConfigJson& handler) {
  if (!handler.is_object()) return {};
  const auto command = handler.find("command");
  return command != handler.end() && command->is_string() ? command->get<std::string>() : "";
}

bool isNamed(const ConfigJson& handler, std::string_view name) {
  if (name.empty() || !handler.is_object()) return false;
  const auto found = handler.find("name");
  return found != handler.end() && found->is_string() && found->get<std::string>() == name;
}

// Visits every handler list of `event`; a value that is not a list of groups is left alone.
template <class Visit>
void forEachGroup(ConfigJson& hooks, std::string_view event, Visit visit) {
  const auto groups = hooks.find(std::string(event));
  if (groups == hooks.end() || !groups->is_array()) return;
  for (auto& group : *groups) {
    if (!group.is_object()) continue;
    const auto handlers = group.find("hooks");
    if (handlers == group.end() || !handlers->is_array()) continue;
    visit(group, *handlers);
  }
}

// Drops groups left without handlers, and the event when no group is left.
void dropEmptyGroups(ConfigJson& hooks, const std::string& event) {
  auto& groups = hooks[event];
  for (size_t index = groups.size(); index-- > 0;) {
    const auto& group = groups[index];
    const auto handlers = group.is_object() ? group.find("hooks") : group.end();
    if (group.is_object() && handlers != group.end() && handlers->is_array() && handlers->empty()) {
      groups.erase(index);
    }
  }
  if (groups.empty()) hooks.erase(event);
}

// Removes own handlers of `event`, keeping the first one when `keepFirst`; true when one was
// removed.
bool removeOwn(ConfigJson& hooks, std::string_view event, std::string_view bridgePath,
               bool keepFirst, std::string_view ownName) {
  bool kept = !keepFirst;
  bool removed = false;
  forEachGroup(hooks, event, [&](ConfigJson&, ConfigJson& handlers) {
    for (size_t index = 0; index < handlers.size();) {
      if (!isOwnHandler(handlers[index], bridgePath, ownName)) {
        ++index;
      } else if (!kept) {
        kept = true;
        ++index;
      } else {
        handlers.erase(index);
        removed = true;
      }
    }
  });
  if (removed) dropEmptyGroups(hooks, std::string(event));
  return removed;
}

}  // namespace

std::vector<std::string> shellWords(std::string_view command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t index = 0; index < command.size(); ++index) {
    const char c = command[index];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const size_t close = command.find('\'', index + 1);
      if (close == std::string_view::npos) return {};  // unbalanced: not a command we wrote
      word.append(command.substr(index + 1, close - index - 1));
      index = close;
    } else if (c == '"') {
      for (++index; index < command.size() && command[index] != '"'; ++index) {
        if (command[index] == '\\' && index + 1 < command.size()) ++index;
        word += command[index];
      }
      if (index >= command.size()) return {};
    } else if (c == '\\' && index + 1 < command.size()) {
      word += command[++index];
    } else {
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

bool isOwnBridgeCommand(std::string_view command, std::string_view bridgePath) {
  const auto words = shellWords(command);
  size_t index = 0;
  while (index < words.size() && isAssignment(words[index])) ++index;
  if (index < words.size() && words[index] != bridgePath) {
    // An interpreter in front of the bridge: "python3", "/path/python3.11", "/usr/bin/env python3".
    if (words[index] == "/usr/bin/env" && index + 1 < words.size() &&
        isPythonName(words[index + 1])) {
      index += 2;
    } else if (isPythonName(words[index])) {
      ++index;
    }
    // The interpreter's own options ("-S").
    while (index < words.size() && startsWith(words[index], "-")) ++index;
  }
  return index < words.size() && words[index] == bridgePath;
}

bool isOwnHandler(const ConfigJson& handler, std::string_view bridgePath,
                  std::string_view ownName) {
  return isNamed(handler, ownName) || isOwnBridgeCommand(commandOf(handler), bridgePath);
}

void placeHookHandler(ConfigJson& hooks, std::string_view event,
                      const std::optional<std::string>& matcher, const ConfigJson& handler,
                      std::string_view bridgePath, const std::vector<std::string>& siblingBridges,
                      std::string_view ownName) {
  const auto isSiblingCommand = [&](std::string_view command) {
    return std::any_of(
        siblingBridges.begin(), siblingBridges.end(),
        [&](const std::string& sibling) { return isOwnBridgeCommand(command, sibling); });
  };
  removeOwn(hooks, event, bridgePath, true, ownName);
  ConfigJson* ownGroup = nullptr;
  bool mentioned = false;
  forEachGroup(hooks, event, [&](ConfigJson& group, ConfigJson& handlers) {
    for (auto& existing : handlers) {
      const std::string command = commandOf(existing);
      if (isOwnHandler(existing, bridgePath, ownName)) {
        // Our handler, possibly from an older version: every field becomes today's.
        existing = handler;
        // The matcher is ours to set only in a group nobody else shares.
        if (handlers.size() == 1) ownGroup = &group;
        mentioned = true;
      } else if (contains(command, bridgePath) && !isSiblingCommand(command)) {
        mentioned = true;
      }
    }
  });
  if (ownGroup) {
    if (matcher) {
      (*ownGroup)["matcher"] = *matcher;
    } else {
      ownGroup->erase("matcher");
    }
  }
  if (mentioned) return;
  ConfigJson& groups = hooks[std::string(event)];
  if (!groups.is_array()) groups = ConfigJson::array();
  ConfigJson group = ConfigJson::object();
  if (matcher) group["matcher"] = *matcher;
  group["hooks"] = ConfigJson::array({handler});
  groups.push_back(std::move(group));
}

void removeOwnHandlers(ConfigJson& hooks, std::string_view bridgePath,
                       const std::vector<std::string_view>& keepEvents, std::string_view ownName) {
  if (!hooks.is_object()) return;
  std::vector<std::string> events;
  for (const auto& [event, groups] : hooks.items()) events.push_back(event);
  for (const auto& event : events) {
    if (std::find(keepEvents.begin(), keepEvents.end(), event) != keepEvents.end()) continue;
    removeOwn(hooks, event, bridgePath, false, ownName);
  }
}

std::vector<std::string> outdatedOwnHandlers(const ConfigJson& hooks, std::string_view bridgePath,
                                             const std::vector<std::string_view>& keepEvents) {
  std::vector<std::string> outdated;
  if (!hooks.is_object()) return outdated;
  for (const auto& [event, groups] : hooks.items()) {
    if (!groups.is_array()) continue;
    const bool kept = std::find(keepEvents.begin(), keepEvents.end(), event) != keepEvents.end();
    bool stale = false;
    for (const auto& group : groups) {
      if (!group.is_object() || !group.contains("hooks") || !group["hooks"].is_array()) continue;
      for (const auto& handler : group["hooks"]) {
        const std::string command = commandOf(handler);
        if (!isOwnBridgeCommand(command, bridgePath)) continue;
        stale = stale || !kept || !handler.contains("timeout") ||
                !interpreterExists(shellWords(command), bridgePath);
      }
    }
    if (stale) outdated.push_back(event);
  }
  return outdated;
}

}  // namespace glimmet
