#include "platform/macos/carbon_hot_keys.hpp"

#import <Carbon/Carbon.h>

#include <string>

namespace glimmet {

namespace {

// 'GLMT': marks the hot keys as this application's.
constexpr OSType kSignature = 0x474C4D54;

OSStatus hotKeyPressed(EventHandlerCallRef, EventRef event, void* userData) {
  EventHotKeyID hotKeyID = {0, 0};
  const OSStatus status = GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID,
                                            nullptr, sizeof(hotKeyID), nullptr, &hotKeyID);
  if (status != noErr || hotKeyID.signature != kSignature) return eventNotHandledErr;
  static_cast<const CarbonHotKeys*>(userData)->pressed(static_cast<int>(hotKeyID.id));
  return noErr;
}

}  // namespace

CarbonHotKeys::CarbonHotKeys(std::function<void(int id)> pressed, LogSink log)
    : pressed_(std::move(pressed)), log_(std::move(log)) {
  const EventTypeSpec hotKeyPressedType = {kEventClassKeyboard, kEventHotKeyPressed};
  EventHandlerRef handler = nullptr;
  if (InstallApplicationEventHandler(NewEventHandlerUPP(hotKeyPressed), 1, &hotKeyPressedType, this,
                                     &handler) == noErr) {
    handler_ = handler;
  }
}

CarbonHotKeys::~CarbonHotKeys() {
  for (const auto& [id, reference] : registered_) {
    UnregisterEventHotKey(static_cast<EventHotKeyRef>(reference));
  }
  if (handler_) RemoveEventHandler(static_cast<EventHandlerRef>(handler_));
}

bool CarbonHotKeys::registerHotKey(const HostHotKey& hotKey) {
  if (auto previous = registered_.find(hotKey.id); previous != registered_.end()) {
    UnregisterEventHotKey(static_cast<EventHotKeyRef>(previous->second));
    registered_.erase(previous);
  }
  const std::optional<CarbonHotKey> carbon = carbonHotKey(hotKey);
  const std::string name = "hot key " + std::to_string(hotKey.id);
  if (!carbon) {
    writeLog(log_, "[Glimmet] " + name + " has no key on this keyboard");
    return false;
  }
  const EventHotKeyID hotKeyID = {kSignature, static_cast<UInt32>(hotKey.id)};
  EventHotKeyRef reference = nullptr;
  const OSStatus status = RegisterEventHotKey(carbon->keyCode, carbon->modifiers, hotKeyID,
                                              GetApplicationEventTarget(), 0, &reference);
  if (status != noErr) {
    writeLog(log_, status == eventHotKeyExistsErr
                       ? "[Glimmet] " + name + " is taken by another program"
                       : "[Glimmet] " + name + " could not be registered (" +
                             std::to_string(status) + ")");
    return false;
  }
  registered_[hotKey.id] = reference;
  return true;
}

}  // namespace glimmet
