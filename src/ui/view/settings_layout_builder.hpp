#pragma once

#include <string>

#include "ui/view/settings_layout.hpp"

namespace glimmet {

// Stacks a tab's sections from the top of the scrolling area down, shifting everything by the
// scroll offset and keeping only the targets that are on screen.
class SettingsLayoutBuilder {
 public:
  SettingsLayoutBuilder(SettingsFrame& frame, double scrollOffset);

  double left() const { return frame_.viewport.x; }
  double width() const { return frame_.viewport.width; }
  double right() const { return frame_.viewport.maxX(); }
  // The next free y in content coordinates (before scrolling).
  double y() const { return y_; }
  void advance(double amount) { y_ += amount; }

  // A rectangle at content offset `y` converted to window points.
  Rect place(double x, double y, double width, double height) const;

  SettingsElement& add(SettingsElementKind kind, const Rect& rect, std::string text = {});
  void target(const char* role, std::string id, const Rect& rect);

  void heading(const std::string& text, const std::string& caption = {});
  // A card from `top` down to the current y, put behind the rows already added.
  void cardBehind(double top, size_t firstElement);
  size_t elementCount() const { return frame_.elements.size(); }

  void finish();

 private:
  SettingsFrame& frame_;
  double scroll_;
  double y_;
};

// The tabs' contents.
void layoutGeneralTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences);
void layoutPetsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                   const SettingsContent& content, const SettingsViewState& state);
void layoutSoundsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                     const SettingsContent& content);
void layoutAIToolsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                      const SettingsContent& content);
void layoutAboutTab(SettingsLayoutBuilder& builder, const SettingsContent& content);

// Spacing shared by the tabs.
inline constexpr double kSettingsRowHeight = 52;
inline constexpr double kSettingsSectionGap = 22;
inline constexpr double kSettingsCardPadding = 14;

}  // namespace glimmet

namespace glimmet {

// A row with a title, a detail line and a switch at its right end; the whole row toggles.
void addSwitchRow(SettingsLayoutBuilder& builder, const std::string& title,
                  const std::string& detail, const char* role, const std::string& id, bool on);

struct SettingsPill {
  std::string id;
  std::string label;
  bool selected = false;
  Color color = Color::white(0.94);
};
// A wrapping line of pills at the current y, each a target of `role`; returns its height.
double addPills(SettingsLayoutBuilder& builder, double x, const char* role,
                const std::vector<SettingsPill>& pills);

// A button sized to its title; `right` is its right edge.
Rect addButton(SettingsLayoutBuilder& builder, double right, double y, const std::string& title,
               const char* role, const std::string& id, bool prominent = false,
               bool enabled = true);

}  // namespace glimmet
