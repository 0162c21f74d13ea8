#pragma once

#include <string>
#include <vector>

namespace glimmet {

// One switch of the General tab, behind a Boolean preference.
struct SettingsSwitch {
  const char* key;
  const char* title;
  const char* detail;
};

// In the order the tab lists them.
const std::vector<SettingsSwitch>& generalSettingsSwitches();

}  // namespace glimmet
