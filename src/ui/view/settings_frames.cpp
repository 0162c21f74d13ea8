#include "ui/view/settings_frames.hpp"

#include <algorithm>

namespace glimmet {

namespace {

Rect inset(const Rect& visibleFrame) {
  return visibleFrame.insetBy(kSettingsPanelMargin, kSettingsPanelMargin);
}

// Within [low, high], and at `low` when the range is empty.
double keptWithin(double value, double low, double high) {
  return std::max(low, std::min(value, high));
}

}  // namespace

Rect settingsPanelDefaultFrame(const Rect& visibleFrame) {
  const Rect area = inset(visibleFrame);
  const double width = std::min(area.width, kSettingsPanelDefaultWidth);
  const double height = std::min(area.height, kSettingsPanelDefaultHeight);
  return {area.midX() - width / 2, area.midY() - height / 2, width, height};
}

Rect clampedSettingsPanelFrame(const Rect& frame, const Rect& visibleFrame) {
  const Rect area = inset(visibleFrame);
  const double width = std::max(std::min(frame.width, area.width), kSettingsPanelMinimumWidth);
  const double height = std::max(std::min(frame.height, area.height), kSettingsPanelMinimumHeight);
  return {keptWithin(frame.x, area.minX(), area.maxX() - width),
          keptWithin(frame.y, area.minY(), area.maxY() - height), width, height};
}

Rect settingsPanelDesktopFrame(const std::vector<Rect>& visibleFrames) {
  if (visibleFrames.empty()) {
    return {0, 0, kSettingsPanelDefaultWidth + 2 * kSettingsPanelMargin,
            kSettingsPanelDefaultHeight + 2 * kSettingsPanelMargin};
  }
  return settingsPanelDefaultFrame(visibleFrames.front());
}

}  // namespace glimmet
