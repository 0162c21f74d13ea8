#pragma once

#include <functional>
#include <map>

#include "base/log.hpp"
#include "platform/mac_shell_rules.hpp"
#include "platform/overlay_host.hpp"

namespace glimmet {

// Global hot keys through Carbon's RegisterEventHotKey, the one system-wide key registration
// that needs no accessibility permission. Main thread only.
class CarbonHotKeys {
 public:
  CarbonHotKeys(std::function<void(int id)> pressed, LogSink log);
  ~CarbonHotKeys();
  CarbonHotKeys(const CarbonHotKeys&) = delete;
  CarbonHotKeys& operator=(const CarbonHotKeys&) = delete;

  // Replaces the key registered under the same id; false, logged once, when another program
  // holds the combination or the key has no key code.
  bool registerHotKey(const HostHotKey& hotKey);

  void pressed(int id) const {
    if (pressed_) pressed_(id);
  }

 private:
  std::function<void(int)> pressed_;
  LogSink log_;
  void* handler_ = nullptr;          // EventHandlerRef
  std::map<int, void*> registered_;  // id -> EventHotKeyRef
};

}  // namespace glimmet
