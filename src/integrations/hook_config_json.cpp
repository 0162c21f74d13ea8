#include "integrations/hook_config_json.hpp"

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

bool hookEventMentions(const Json& hooks, std::string_view event, std::string_view needle) {
  const Json* groups = member(hooks, event);
  if (!groups || !groups->is_array()) return false;
  for (const auto& group : *groups) {
    const Json* handlers = member(group, "hooks");
    if (!handlers || !handlers->is_array()) continue;
    for (const auto& handler : *handlers) {
      const Json* command = member(handler, "command");
      if (command && command->is_string() && contains(command->get<std::string>(), needle)) {
        return true;
      }
    }
  }
  return false;
}

void appendHookGroup(Json& hooks, std::string_view event, const std::optional<std::string>& matcher,
                     Json handler, std::string_view bridgePath) {
  if (hookEventMentions(hooks, event, bridgePath)) return;
  Json& groups = hooks[std::string(event)];
  if (!groups.is_array()) groups = Json::array();
  Json group = Json::object();
  if (matcher) group["matcher"] = *matcher;
  group["hooks"] = Json::array({std::move(handler)});
  groups.push_back(std::move(group));
}

Json parseConfigObject(std::string_view text) {
  Json parsed = Json::parse(text, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return Json::object();
  return parsed;
}

std::string serializeConfig(const Json& object) {
  return object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Result<std::string> readConfigText(const std::string& path) {
  if (!fileExists(path)) return std::string();
  return readFileReportingError(path);
}

std::string shellWord(std::string_view path) {
  constexpr std::string_view safe =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+@%:,=~";
  if (!path.empty() && path.find_first_not_of(safe) == std::string_view::npos) {
    return std::string(path);
  }
  return "'" + replaceAll(path, "'", "'\\''") + "'";
}

}  // namespace glimmet
