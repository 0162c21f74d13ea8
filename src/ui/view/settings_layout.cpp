#include "ui/view/settings_layout.hpp"

#include <algorithm>

#include "base/json_values.hpp"
#include "ui/view/settings_layout_builder.hpp"

namespace glimmet {

namespace {

constexpr double kTitleBarHeight = 44;
constexpr double kTabsTop = 50;
constexpr double kTabHeight = 30;
constexpr double kTabGap = 6;
constexpr double kTabWidth = 108;
constexpr double kContentTop = kTabsTop + kTabHeight + 16;
constexpr double kSideInset = 28;
constexpr double kBannerHeight = 30;

bool intersects(const Rect& a, const Rect& b) {
  return a.x < b.maxX() && b.x < a.maxX() && a.y < b.maxY() && b.y < a.maxY();
}

void layoutChrome(SettingsFrame& frame, const SettingsContent& content,
                  const SettingsViewState& state) {
  frame.title = kSettingsPanelTitle;
  frame.titleBar = {0, 0, frame.size.width, kTitleBarHeight};
  frame.closeButton = {frame.size.width - 40, 10, 24, 24};
  frame.targets.push_back({SettingsRoles::kClose, {}, frame.closeButton});
  const double tabsWidth = kSettingsTabs.size() * kTabWidth + (kSettingsTabs.size() - 1) * kTabGap;
  double x = (frame.size.width - tabsWidth) / 2;
  for (SettingsTab tab : kSettingsTabs) {
    SettingsTabFrame tabFrame{
        tab, std::string(settingsTabTitle(tab)), {x, kTabsTop, kTabWidth, kTabHeight}};
    tabFrame.active = tab == state.activeSettingsTab;
    tabFrame.marker = tab == SettingsTab::about && content.about.updateAvailable;
    frame.targets.push_back(
        {SettingsRoles::kTab, std::string(settingsTabRawValue(tab)), tabFrame.rect});
    frame.tabs.push_back(std::move(tabFrame));
    x += kTabWidth + kTabGap;
  }
  double bottom = frame.size.height - 16;
  if (content.statusBanner && !content.statusBanner->empty()) {
    frame.banner = content.statusBanner;
    frame.bannerRect = {kSideInset, frame.size.height - 12 - kBannerHeight,
                        frame.size.width - 2 * kSideInset, kBannerHeight};
    bottom = frame.bannerRect.y - 8;
  }
  frame.viewport = {kSideInset, kContentTop, frame.size.width - 2 * kSideInset,
                    std::max(0.0, bottom - kContentTop)};
}

}  // namespace

SettingsLayoutBuilder::SettingsLayoutBuilder(SettingsFrame& frame, double scrollOffset)
    : frame_(frame), scroll_(scrollOffset), y_(0) {}

Rect SettingsLayoutBuilder::place(double x, double y, double width, double height) const {
  return {x, frame_.viewport.y + y - scroll_, width, height};
}

SettingsElement& SettingsLayoutBuilder::add(SettingsElementKind kind, const Rect& rect,
                                            std::string text) {
  SettingsElement element;
  element.kind = kind;
  element.rect = rect;
  element.text = std::move(text);
  frame_.elements.push_back(std::move(element));
  return frame_.elements.back();
}

void SettingsLayoutBuilder::target(const char* role, std::string id, const Rect& rect) {
  // Rows scrolled out of view cannot be clicked through the tabs or the banner.
  if (!intersects(rect, frame_.viewport)) return;
  frame_.targets.push_back({role, std::move(id), rect});
}

void SettingsLayoutBuilder::heading(const std::string& text, const std::string& caption) {
  add(SettingsElementKind::heading, place(left(), y_, width(), 22), text);
  y_ += 24;
  if (!caption.empty()) {
    add(SettingsElementKind::caption, place(left(), y_, width(), 16), caption);
    y_ += 18;
  }
  y_ += 8;
}

void SettingsLayoutBuilder::cardBehind(double top, size_t firstElement) {
  SettingsElement card;
  card.kind = SettingsElementKind::card;
  card.rect = place(left(), top, width(), y_ - top);
  frame_.elements.insert(frame_.elements.begin() + static_cast<std::ptrdiff_t>(firstElement),
                         std::move(card));
}

void SettingsLayoutBuilder::finish() {
  frame_.contentHeight = y_;
}

const std::vector<PetSizePreset>& petSizePresets() {
  static const std::vector<PetSizePreset> presets = {{"small", "Small", 0.75},
                                                     {"medium", "Medium", 1.0},
                                                     {"large", "Large", 1.3},
                                                     {"largest", "Largest", 1.6}};
  return presets;
}

double petScaleAt(const Rect& track, double x) {
  const double fraction = track.width > 0 ? std::clamp((x - track.x) / track.width, 0.0, 1.0) : 0;
  return kMinimumFloatingPetScale +
         fraction * (kMaximumFloatingPetScale - kMinimumFloatingPetScale);
}

double petScaleFraction(double scale) {
  return (clampedFloatingPetScale(scale) - kMinimumFloatingPetScale) /
         (kMaximumFloatingPetScale - kMinimumFloatingPetScale);
}

SettingsFrame layoutSettings(const SettingsPreferences& preferences, const SettingsContent& content,
                             const SettingsViewState& state, Size size) {
  SettingsFrame frame;
  frame.size = size;
  layoutChrome(frame, content, state);
  SettingsLayoutBuilder builder(frame, state.scrollOffset());
  switch (state.activeSettingsTab) {
    case SettingsTab::general:
      layoutGeneralTab(builder, preferences);
      break;
    case SettingsTab::pets:
      layoutPetsTab(builder, preferences, content, state);
      break;
    case SettingsTab::sound:
      layoutSoundsTab(builder, preferences, content);
      break;
    case SettingsTab::aiTools:
      layoutAIToolsTab(builder, preferences, content);
      break;
    case SettingsTab::about:
      layoutAboutTab(builder, content);
      break;
  }
  builder.finish();
  return frame;
}

const SettingsTarget* settingsClickTarget(const SettingsFrame& frame, Point point) {
  for (const auto& target : frame.targets) {
    if (target.rect.contains(point)) return &target;
  }
  return nullptr;
}

std::string settingsStateJson(const SettingsFrame& frame, SettingsTab tab, double scale) {
  Json targets = Json::array();
  for (const auto& target : frame.targets) {
    Json entry{{"role", target.role},
               {"rect",
                {target.rect.x * scale, target.rect.y * scale, target.rect.width * scale,
                 target.rect.height * scale}}};
    if (!target.id.empty()) entry["id"] = target.id;
    targets.push_back(std::move(entry));
  }
  Json description{{"mode", "settings"},
                   {"tab", std::string(settingsTabRawValue(tab))},
                   {"size", {frame.size.width, frame.size.height}},
                   {"scale", scale},
                   {"targets", std::move(targets)}};
  return description.dump(2) + "\n";
}

}  // namespace glimmet
