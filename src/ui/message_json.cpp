#include "ui/message_json.hpp"

namespace glimmet {

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
