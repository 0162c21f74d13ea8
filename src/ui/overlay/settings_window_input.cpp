#include "ui/overlay/settings_window_input.hpp"

#include <algorithm>

#include "platform/keysyms.hpp"
#include "ui/view/settings_frames.hpp"

namespace glimmet {

std::optional<SettingsKey> settingsKeyFor(const HostKeyEvent& event) {
  switch (event.keysym) {
    case kKeysymEscape:
      return SettingsKey::escape;
    case kKeysymTab:
      return event.shift ? SettingsKey::previousTab : SettingsKey::nextTab;
    case kKeysymISOLeftTab:
      return SettingsKey::previousTab;
    default:
      return std::nullopt;
  }
}

std::optional<double> settingsScrollFor(int button) {
  if (button == 4) return -kSettingsWheelStep;
  if (button == 5) return kSettingsWheelStep;
  return std::nullopt;
}

Size settingsWindowSize(const std::vector<HostScreen>& screens) {
  if (screens.empty()) return {kSettingsPanelDefaultWidth, kSettingsPanelDefaultHeight};
  auto primary = std::find_if(screens.begin(), screens.end(),
                              [](const HostScreen& screen) { return screen.primary; });
  if (primary == screens.end()) primary = screens.begin();
  const PixelRect& frame = primary->frame;
  const int reserved = std::clamp(primary->topReservedHeight, 0, frame.height);
  const Rect visible{static_cast<double>(frame.x), static_cast<double>(frame.y + reserved),
                     static_cast<double>(frame.width),
                     static_cast<double>(frame.height - reserved)};
  const Rect panel = settingsPanelDefaultFrame(visible);
  return {panel.width, panel.height};
}

}  // namespace glimmet
