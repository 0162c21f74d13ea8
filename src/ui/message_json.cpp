#include "ui/message_json.hpp"

namespace glimmet {

namespace {

const char* jumpKindName(JumpTarget::Kind kind) {
  switch (kind) {
    case JumpTarget::Kind::app:
      return "app";
    case JumpTarget::Kind::cli:
      return "cli";
    case JumpTarget::Kind::cmux:
      return "cmux";
    case JumpTarget::Kind::terminalWindow:
      return "terminal_window";
    case JumpTarget::Kind::terminalCwd:
      return "terminal_cwd";
    case JumpTarget::Kind::url:
      return "url";
    case JumpTarget::Kind::file:
      return "file";
  }
  return "app";
}

void setIfPresent(Json& object, const char* key, const std::optional<std::string>& value) {
  if (value) object[key] = *value;
}

}  // namespace

Json jumpTargetToJson(const JumpTarget& target) {
  using Kind = JumpTarget::Kind;
  Json object = {{"kind", jumpKindName(target.kind)}};
  switch (target.kind) {
    case Kind::app:
      setIfPresent(object, "bundle_id", target.bundleID);
      setIfPresent(object, "app_path", target.appPath);
      setIfPresent(object, "deep_link", target.deepLink);
      break;
    case Kind::cli:
      object["command"] = target.command;
      object["args"] = target.args;
      setIfPresent(object, "cwd", target.cwd);
      break;
    case Kind::cmux:
      setIfPresent(object, "session_id", target.sessionID);
      setIfPresent(object, "window_id", target.windowID);
      setIfPresent(object, "cwd", target.cwd);
      break;
    case Kind::terminalWindow:
      setIfPresent(object, "terminal", target.terminal);
      setIfPresent(object, "window_id", target.windowID);
      setIfPresent(object, "tab_id", target.tabID);
      setIfPresent(object, "session_id", target.sessionID);
      setIfPresent(object, "cwd", target.cwd);
      break;
    case Kind::terminalCwd:
      object["cwd"] = target.cwd.value_or("");
      setIfPresent(object, "terminal", target.terminal);
      break;
    case Kind::url:
      object["url"] = target.url;
      break;
    case Kind::file:
      object["path"] = target.path;
      if (target.line) object["line"] = *target.line;
      break;
  }
  return object;
}

Json jumpSummaryToJson(const ResolvedJumpTarget& jump) {
  Json object = {{"available", jump.available},
                 {"label", jump.label},
                 {"quality", rawValue(jump.quality)},
                 {"action", rawValue(jump.action)}};
  if (!jump.available && jump.reason) object["reason"] = *jump.reason;
  return object;
}

Json messageToJson(const IslandMessage& message) {
  Json object = Json::object();
  object["tool"] = message.tool;
  object["time"] = message.time;
  object["badge"] = message.badge;
  object["title"] = message.title;
  object["detail"] = message.detail;
  object["risk"] = message.risk ? Json(rawValue(*message.risk)) : Json(nullptr);
  Json buttons = Json::array();
  for (const auto& button : message.buttons) {
    buttons.push_back({{"label", button.label}, {"role", button.role}});
  }
  object["buttons"] = std::move(buttons);
  object["jump"] = message.jump ? jumpSummaryToJson(*message.jump) : Json(nullptr);
  if (!message.normalized) return object;

  const UserFacingMessage& normalized = *message.normalized;
  object["id"] = normalized.id;
  object["sourceEventIDs"] = normalized.sourceEventIDs;
  object["toolID"] = normalized.toolID;
  object["intent"] = rawValue(normalized.intent);
  object["category"] = rawValue(normalized.category);
  object["priority"] = normalized.priority;
  object["readState"] = rawValue(normalized.readState);
  object["timestamp"] = normalized.timestamp;
  Json actions = Json::array();
  for (const auto& action : normalized.actions) {
    Json entry = {{"role", rawValue(action.role)},
                  {"label", action.label},
                  {"placement", rawValue(action.placement)},
                  {"enabled", action.enabled},
                  {"requiresConfirmation", action.requiresConfirmation}};
    if (action.risk) entry["risk"] = rawValue(*action.risk);
    if (action.disabledReason) entry["disabledReason"] = *action.disabledReason;
    if (action.channel) entry["channel"] = kindName(action.channel->kind);
    actions.push_back(std::move(entry));
  }
  object["actions"] = std::move(actions);
  if (normalized.interaction && normalized.interaction->kind == MessageInteraction::Kind::choice) {
    Json options = Json::array();
    for (const auto& option : normalized.interaction->options) {
      options.push_back({{"id", option.id}, {"label", option.label}});
    }
    object["options"] = std::move(options);
  }
  return object;
}

}  // namespace glimmet
