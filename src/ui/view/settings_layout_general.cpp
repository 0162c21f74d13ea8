#include <string>
#include <vector>

#include "ui/view/settings_general.hpp"
#include "ui/view/settings_layout_builder.hpp"

namespace glimmet {

const std::vector<SettingsSwitch>& generalSettingsSwitches() {
  using namespace SettingsKeys;
  static const std::vector<SettingsSwitch> switches = {
      {kShowCapsuleMode, "Show capsule", "The black capsule at the top of the screen"},
      {kDesktopCompanionMode, "Desktop companion", "Let the pet live on the desktop"},
      {kShowInDockMode, "Show in Dock", "Keep an application icon in the Dock or task bar"},
      {kReduceMotion, "Reduce motion", "Keep pets still instead of animating them"},
      {kHighContrast, "High contrast", "Draw pets with stronger outlines and colours"},
      {kMuted, "Mute sounds", "No sound cues for approvals and finished tasks"},
      {kOpenAtLogin, "Open at login", "Start Glimmet when you log in"},
  };
  return switches;
}

void layoutGeneralTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences) {
  builder.heading("General", "Changes apply at once and are kept for the next start.");
  const double top = builder.y();
  const size_t first = builder.elementCount();
  builder.advance(4);
  for (const auto& item : generalSettingsSwitches()) {
    addSwitchRow(builder, item.title, item.detail, SettingsRoles::kSwitch, item.key,
                 *preferences.boolPreference(item.key));
  }
  builder.advance(4);
  builder.cardBehind(top, first);
  builder.advance(kSettingsSectionGap);

  builder.heading("Desktop companion", "How the pet shows itself on the desktop.");
  const double modesTop = builder.y();
  const size_t modesFirst = builder.elementCount();
  builder.advance(kSettingsCardPadding);
  std::vector<SettingsPill> modes;
  for (const auto& name : companionDisplayModeNames()) {
    std::string label = name;
    label[0] = static_cast<char>(label[0] - 'a' + 'A');
    modes.push_back({name, label, name == preferences.companionDisplayMode});
  }
  addPills(builder, builder.left() + kSettingsCardPadding, SettingsRoles::kCompanionMode, modes);
  builder.advance(kSettingsCardPadding);
  builder.cardBehind(modesTop, modesFirst);
}

}  // namespace glimmet
