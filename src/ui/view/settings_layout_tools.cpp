#include <algorithm>
#include <string>

#include "ui/view/settings_layout_builder.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kToolRowHeight = 56;

struct HealthBadge {
  const char* text;
  Color color;
};

HealthBadge healthBadge(const ToolHealth& health) {
  if (!health.platformSupported) return {"Not on Linux", ViewColors::kIdleWhite};
  switch (health.status) {
    case HookStatus::healthy:
      return {"Healthy", ViewColors::kDoneGreen};
    case HookStatus::repair:
      return {"Needs repair", ViewColors::kApprovalAmber};
    case HookStatus::alpha:
      return {"Alpha", ViewColors::kWorkingViolet};
    case HookStatus::missing:
      return {"Not installed", ViewColors::kIdleWhite};
  }
  return {"", ViewColors::kIdleWhite};
}

void layoutTool(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                const ToolHealth& tool) {
  const double pad = kSettingsCardPadding;
  const double y = builder.y();
  auto& logo = builder.add(SettingsElementKind::toolLogo,
                           builder.place(builder.left() + pad, y + 14, 28, 28), tool.name);
  logo.color = toColor(tool.color);
  auto& text = builder.add(
      SettingsElementKind::rowText,
      builder.place(builder.left() + pad + 40, y + 10, builder.width() - 420, 36), tool.name);
  text.detail = tool.detail;
  const bool enabled =
      std::find(preferences.disabledToolIDs.begin(), preferences.disabledToolIDs.end(), tool.id) ==
      preferences.disabledToolIDs.end();
  text.enabled = enabled;

  const HealthBadge badge = healthBadge(tool);
  auto& badgeElement = builder.add(
      SettingsElementKind::badge, builder.place(builder.right() - 352, y + 19, 96, 18), badge.text);
  badgeElement.color = badge.color;

  const double buttonRight = builder.right() - pad - 56;
  if (const std::string title = settingsToolActionTitle(tool); !title.empty()) {
    addButton(builder, buttonRight, y + 14, title, SettingsRoles::kToolAction, tool.id,
              settingsToolPrimaryAction(tool) == SettingsToolPrimaryAction::repair);
  }
  auto& control = builder.add(SettingsElementKind::switchControl,
                              builder.place(builder.right() - pad - 40, y + 17, 40, 22));
  control.on = enabled;
  builder.target(SettingsRoles::kToolEnabled, tool.id, control.rect);
  builder.advance(kToolRowHeight);
}

}  // namespace

void layoutAIToolsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                      const SettingsContent& content) {
  builder.heading("AI Tools",
                  "Install or repair the hooks that let Glimmet hear from each tool. Switched-off "
                  "tools stay out of messages, usage and health.");
  if (content.toolGroups.empty()) {
    builder.add(SettingsElementKind::caption,
                builder.place(builder.left(), builder.y(), builder.width(), 16),
                "Checking the installed tools\xe2\x80\xa6");
    builder.advance(24);
    return;
  }
  for (const auto& group : content.toolGroups) {
    const double top = builder.y();
    const size_t first = builder.elementCount();
    builder.add(SettingsElementKind::caption,
                builder.place(builder.left() + kSettingsCardPadding, top + 10, 400, 16),
                group.product);
    builder.advance(28);
    for (const auto& tool : group.tools) layoutTool(builder, preferences, tool);
    builder.advance(4);
    builder.cardBehind(top, first);
    builder.advance(12);
  }
}

}  // namespace glimmet
