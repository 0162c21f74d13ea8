#include <string>

#include "ui/view/settings_layout_builder.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kIconSize = 64;
constexpr double kUpdateRowHeight = 40;

}  // namespace

void layoutAboutTab(SettingsLayoutBuilder& builder, const SettingsContent& content) {
  const SettingsAboutContent& about = content.about;
  const double pad = kSettingsCardPadding;
  builder.advance(8);
  builder.add(SettingsElementKind::appIcon,
              builder.place(builder.left() + pad, builder.y(), kIconSize, kIconSize), "Glimmet");
  auto& name = builder.add(
      SettingsElementKind::rowText,
      builder.place(builder.left() + pad + kIconSize + 16, builder.y() + 12, 400, 40), "Glimmet");
  name.detail = "Version " + about.version;
  name.prominent = true;
  builder.advance(kIconSize + kSettingsSectionGap);

  builder.heading("Updates");
  const double top = builder.y();
  const size_t first = builder.elementCount();
  builder.advance(6);
  if (!about.updatesSupported) {
    auto& row = builder.add(
        SettingsElementKind::rowText,
        builder.place(builder.left() + pad, builder.y() + 4, builder.width() - 220, 34), "Updates");
    row.detail = "Automatic updates are not available in this build";
    row.enabled = false;
    addButton(builder, builder.right() - pad, builder.y() + 8, "Check for Updates",
              SettingsRoles::kAboutPrimary, {}, false, false);
    builder.advance(kUpdateRowHeight + 8);
  } else {
    for (const auto& row : about.updateRows) {
      auto& text = builder.add(
          SettingsElementKind::rowText,
          builder.place(builder.left() + pad, builder.y() + 4, builder.width() - 2 * pad, 34),
          row.label);
      text.detail = row.detail;
      text.enabled = !row.isChangelog;
      builder.advance(kUpdateRowHeight);
    }
    if (!about.primaryActionTitle.empty()) {
      addButton(builder, builder.right() - pad, builder.y() + 4, about.primaryActionTitle,
                SettingsRoles::kAboutPrimary, {}, about.updateAvailable,
                about.primaryActionEnabled);
      builder.advance(40);
    }
  }
  builder.advance(6);
  builder.cardBehind(top, first);
}

}  // namespace glimmet
