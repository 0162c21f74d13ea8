#include "integrations/gemini_hooks.hpp"

#include <algorithm>
#include <optional>

#include "integrations/hook_entries.hpp"
#include "integrations/hook_groups.hpp"
#include "model/agent_dialect.hpp"

namespace glimmet {

namespace {

constexpr int kMillisecondsPerSecond = 1000;

std::optional<std::string> matcherOf(const HookEntry& entry) {
  if (entry.matchesEveryTool) return "*";
  return std::nullopt;
}

// Gemini runs a group without a matcher, or with an empty or "*" one, for everything.
bool groupMatchesEverything(const ConfigJson& group) {
  const auto matcher = group.find("matcher");
  if (matcher == group.end()) return true;
  if (!matcher->is_string()) return false;
  const auto& text = matcher->get_ref<const std::string&>();
  return text.empty() || text == "*";
}

// How many of Glimmet's handlers `groups` holds, and whether every one is exactly `expected`
// in a group that runs for everything.
struct OwnCount {
  int count = 0;
  bool current = true;
};

OwnCount countOwn(const ConfigJson& groups, const std::string& expected,
                  std::string_view bridgePath) {
  OwnCount own;
  if (!groups.is_array()) return own;
  for (const auto& group : groups) {
    if (!group.is_object()) continue;
    const auto handlers = group.find("hooks");
    if (handlers == group.end() || !handlers->is_array()) continue;
    for (const auto& handler : *handlers) {
      if (!isOwnHandler(handler, bridgePath, kGeminiHookName)) continue;
      ++own.count;
      own.current = own.current && handler.dump() == expected && groupMatchesEverything(group);
    }
  }
  return own;
}

}  // namespace

ConfigJson geminiEventHandler(const std::string& command) {
  return {{"name", kGeminiHookName},
          {"type", "command"},
          {"command", command},
          {"timeout", kEventHookTimeoutSeconds * kMillisecondsPerSecond}};
}

void placeGeminiHooks(ConfigJson& hooks, const ConfigJson& handler, std::string_view bridgePath) {
  for (const auto& entry : kGeminiEventEntries) {
    placeHookHandler(hooks, entry.event, matcherOf(entry), handler, bridgePath, {},
                     kGeminiHookName);
  }
  removeOwnHandlers(hooks, bridgePath, eventsOf(kGeminiEventEntries), kGeminiHookName);
}

void removeGeminiHooks(ConfigJson& hooks, std::string_view bridgePath) {
  removeOwnHandlers(hooks, bridgePath, {}, kGeminiHookName);
}

std::vector<std::string> geminiHookProblems(const ConfigJson& hooks, const ConfigJson& handler,
                                            std::string_view bridgePath) {
  std::vector<std::string> problems;
  const std::string expected = handler.dump();
  const auto events = eventsOf(kGeminiEventEntries);
  for (const auto& entry : kGeminiEventEntries) {
    const std::string event(entry.event);
    const OwnCount own = hooks.is_object() && hooks.contains(event)
                             ? countOwn(hooks.at(event), expected, bridgePath)
                             : OwnCount{};
    if (own.count == 0) {
      problems.push_back(event + " hook");
    } else if (own.count > 1 || !own.current) {
      problems.push_back("current " + event + " hook");
    }
  }
  if (!hooks.is_object()) return problems;
  for (const auto& [event, groups] : hooks.items()) {
    if (std::find(events.begin(), events.end(), event) != events.end()) continue;
    if (countOwn(groups, expected, bridgePath).count > 0) {
      problems.push_back("current " + event + " hook");
    }
  }
  return problems;
}

}  // namespace glimmet
