#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/settings_preferences.hpp"
#include "model/companion_status.hpp"
#include "model/pet_choice.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/settings_content.hpp"
#include "ui/view/settings_view_state.hpp"

namespace glimmet {

enum class SettingsElementKind {
  heading,  // a section title
  caption,  // a line of secondary text
  card,     // a rounded plate that groups rows
  rowText,  // a row's title with its detail line below
  switchControl,
  pill,
  button,
  playButton,
  badge,
  petTile,
  petPreview,  // the preview stage with the pet placed in it
  slider,
  toolLogo,
  appIcon,
};

// One thing the painter draws; positions are in window points with the scroll applied.
struct SettingsElement {
  SettingsElementKind kind = SettingsElementKind::caption;
  Rect rect;
  std::string text;
  std::string detail;
  bool on = false;  // a switch that is on, a pill or tile that is selected, a sound that plays
  bool enabled = true;
  bool prominent = false;  // the primary button of its section
  Color color;             // badge, logo and pet accent
  PetState petState = PetState::idle;
  double value = 0;  // slider position, 0...1
  Rect inner;        // petPreview: where the pet stands
  // petTile, petPreview: the pet drawn, at `petClockMs` of its animation clock.
  std::optional<PetChoice> pet;
  int64_t petClockMs = 0;
  bool reduceMotion = true;
};

// A clickable area: `role` says what it does, `id` what it acts on (a preference key, a pet,
// a sound, a tool).
struct SettingsTarget {
  std::string role;
  std::string id;
  Rect rect;
  bool operator==(const SettingsTarget&) const = default;
};

struct SettingsTabFrame {
  SettingsTab tab;
  std::string title;
  Rect rect;
  bool active = false;
  bool marker = false;  // the About tab while an update is available
};

struct SettingsFrame {
  Size size;
  Rect titleBar;
  std::string title;
  Rect closeButton;
  std::vector<SettingsTabFrame> tabs;
  Rect viewport;  // the scrolling area below the tabs; elements are clipped to it
  double contentHeight = 0;
  std::vector<SettingsElement> elements;
  std::vector<SettingsTarget> targets;  // in hit-test order, only the visible ones
  std::optional<std::string> banner;
  Rect bannerRect;
};

namespace SettingsRoles {
inline constexpr const char* kTab = "tab";
inline constexpr const char* kClose = "close";
inline constexpr const char* kSwitch = "switch";
inline constexpr const char* kCompanionMode = "companionMode";
inline constexpr const char* kPet = "pet";
inline constexpr const char* kImportPet = "importPet";
inline constexpr const char* kRefreshPets = "refreshPets";
inline constexpr const char* kCodexPetsAccess = "codexPetsAccess";
inline constexpr const char* kPreviewMode = "previewMode";
inline constexpr const char* kPreviewState = "previewState";
inline constexpr const char* kPreviewSize = "previewSize";
inline constexpr const char* kScaleSlider = "scaleSlider";
inline constexpr const char* kSelectSound = "selectSound";
inline constexpr const char* kPlayPreset = "playPreset";
inline constexpr const char* kPlayImported = "playImported";
inline constexpr const char* kAssignImported = "assignImported";
inline constexpr const char* kAssignTask = "assignTask";  // id: "<sound id>\n<task type>"
inline constexpr const char* kDeleteImported = "deleteImported";
inline constexpr const char* kImportSound = "importSound";
inline constexpr const char* kToolAction = "toolAction";
inline constexpr const char* kToolEnabled = "toolEnabled";
inline constexpr const char* kAboutPrimary = "aboutPrimary";
}  // namespace SettingsRoles

inline constexpr const char* kSettingsPanelTitle = "Glimmet Settings";

// The size pills of the preview, smallest first, with the scale each one sets.
struct PetSizePreset {
  const char* id;
  const char* label;
  double scale;
};
const std::vector<PetSizePreset>& petSizePresets();

// Scale from a pointer position on the slider track, and back.
double petScaleAt(const Rect& track, double x);
double petScaleFraction(double scale);

SettingsFrame layoutSettings(const SettingsPreferences& preferences, const SettingsContent& content,
                             const SettingsViewState& state, Size size);

// The first target containing `point`, in hit-test order.
const SettingsTarget* settingsClickTarget(const SettingsFrame& frame, Point point);

// {"mode":"settings","size":[w,h],"tab":...,"targets":[{"role","id"?,"rect"}]}, keys sorted.
std::string settingsStateJson(const SettingsFrame& frame, SettingsTab tab, double scale);

}  // namespace glimmet
