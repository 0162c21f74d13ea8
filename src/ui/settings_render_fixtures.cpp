#include "ui/settings_render_fixtures.hpp"

#include <memory>

#include "integrations/settings_tool_actions.hpp"
#include "model/tool_catalog.hpp"
#include "ui/paint/settings_painter.hpp"
#include "ui/view/settings_about.hpp"
#include "ui/view/settings_frames.hpp"
#include "ui/view/settings_layout.hpp"

namespace glimmet {

namespace {

constexpr const char* kFixtureVersion = "0.1.0";

std::vector<SettingsPetTile> fixturePets() {
  return {
      {"capybara", "Capybara", "Compact goofy capybara generated with /hatch-pet.", "Built-in",
       false, defaultPetChoice()},
      {"glimcat", "GlimCat", "Logo-inspired dancing pixel cat generated with /hatch-pet.",
       "Built-in", false, glimCatPetChoice()},
      // Sprite pets stand in as placeholders: their sheets live outside the fixtures.
      {"codex-capy", "Codex Capy", "Installed under Codex home", "Codex", false, std::nullopt},
      {"custom:otter", "Otter", "Imported Codex pet", "Imported", true, std::nullopt},
      {"custom:fox", "Desk Fox", "Imported Codex pet", "Imported", true, std::nullopt},
  };
}

std::vector<SettingsSoundCategory> fixtureSoundCategories() {
  return {
      {"game",
       "Game",
       "IP-safe 3s game cues inspired by clear, quest, and arena wins",
       {{"kenney-confirm", "Kenney Confirm", "CC0", "Default 3s retro platform-style confirm cue"},
        {"epic-quest", "Epic Quest", "Quest", "Fantasy quest-complete flourish with a calm tail"},
        {"arena-victory", "Arena Victory", "MOBA",
         "Short defeat-and-victory hit for competitive flow"}}},
      {"piano-classics",
       "Piano classics",
       "Public-domain classics played as up-to-3s reminder excerpts",
       {{"goldberg-aria", "Goldberg Aria", "CC0 Bach", "Bright Bach piano excerpt"},
        {"moonlight-sonata", "Moonlight Sonata", "PD Beethoven",
         "More audible dramatic piano swell"},
        {"turkish-march", "Turkish March", "PD Mozart",
         "Classic energetic piano reminder phrase"}}},
      {"focus",
       "Focus",
       "Airline-style cabin chimes under 1.5s for calm reminders",
       {{"cabin-chime", "Cabin Chime", "Cabin", "Soft two-tone cabin reminder"},
        {"seatbelt-chime", "Seatbelt Chime", "Notice", "Gentle seatbelt-sign style reminder"},
        {"boarding-ping", "Boarding Ping", "Quiet", "Minimal airport gate-style completion ping"}}},
  };
}

ToolHealth fixtureHealth(const std::string& id, HookStatus status, bool detected) {
  ToolHealth health;
  if (const AIToolCatalogItem* item = catalogItem(id)) {
    health.id = item->id;
    health.product = item->product;
    health.name = item->name;
    health.color = item->color;
    health.surface = item->surface;
    health.integration = item->integration;
    health.priority = item->priority;
  }
  health.status = status;
  health.detected = detected;
  health.detail = status == HookStatus::healthy  ? "Hooks installed and current"
                  : status == HookStatus::repair ? "Glimmet hooks are missing or outdated"
                  : status == HookStatus::alpha  ? "Partial adapter: messages only"
                                                 : "Not found on this computer";
  return health;
}

std::vector<SettingsAIToolGroup> fixtureToolGroups() {
  return settingsAIToolGroups({
      fixtureHealth("claude-code", HookStatus::healthy, true),
      fixtureHealth("codex-cli", HookStatus::repair, true),
      fixtureHealth("cursor-agent-cli", HookStatus::missing, false),
      fixtureHealth("gemini-cli", HookStatus::healthy, true),
      fixtureHealth("opencode-cli", HookStatus::alpha, true),
      fixtureHealth("factory-droid", HookStatus::missing, false),
  });
}

// The panel as it opens on a 1280 x 800 screen.
Size fixtureSize() {
  const Rect panel = settingsPanelDesktopFrame({{0, 0, 1280, 800}});
  return {panel.width, panel.height};
}

struct SettingsStill {
  SettingsPreferences preferences;
  SettingsContent content;
  SettingsViewState state;
};

RenderFixture stillFixture(const std::string& name, const SettingsStill& still) {
  RenderFixture fixture;
  fixture.name = name;
  fixture.state.mode = OverlayMode::settings;
  const Size size = fixtureSize();
  auto frame = std::make_shared<SettingsFrame>(
      layoutSettings(still.preferences, still.content, still.state, size));
  fixture.still =
      RenderFixture::Still{size, [frame](Canvas& canvas) { paintSettings(canvas, *frame); },
                           settingsStateJson(*frame, still.state.activeSettingsTab, 1.0)};
  return fixture;
}

SettingsStill stillOn(SettingsTab tab) {
  SettingsStill still;
  still.state.activeSettingsTab = tab;
  still.content.about = settingsAboutContentWithoutUpdates(kFixtureVersion);
  return still;
}

}  // namespace

void addSettingsRenderFixtures(RenderFixtureMakers& fixtures) {
  fixtures["settings-general"] = [] {
    auto still = stillOn(SettingsTab::general);
    still.preferences.desktopCompanionMode = true;
    return stillFixture("settings-general", still);
  };
  fixtures["settings-pets"] = [] {
    auto still = stillOn(SettingsTab::pets);
    still.content.pets = fixturePets();
    still.preferences.selectedPetID = "glimcat";
    still.preferences.floatingPetScale = 1.3;
    still.state.previewMode = PetPreviewMode::bubble;
    still.state.previewState = PetPreviewStateID::approval;
    return stillFixture("settings-pets", still);
  };
  fixtures["settings-sounds"] = [] {
    auto still = stillOn(SettingsTab::sound);
    still.content.soundCategories = fixtureSoundCategories();
    still.content.importedSounds = {{"desk-bell", "Desk Bell", {"approval"}, false},
                                    {"ship-it", "Ship It", {}, true}};
    still.content.soundTaskTypes = {"approval", "question", "completed", "failed"};
    still.content.playingSoundID = "epic-quest";
    // Scrolled to the end, where the imported sounds and their assignment choices are.
    const SettingsFrame top =
        layoutSettings(still.preferences, still.content, still.state, fixtureSize());
    still.state.settingsScrollOffsets[settingsTabIndex(SettingsTab::sound)] =
        top.contentHeight - top.viewport.height;
    return stillFixture("settings-sounds", still);
  };
  fixtures["settings-ai-tools"] = [] {
    auto still = stillOn(SettingsTab::aiTools);
    still.content.toolGroups = fixtureToolGroups();
    return stillFixture("settings-ai-tools", still);
  };
  fixtures["settings-about"] = [] {
    auto still = stillOn(SettingsTab::about);
    UpgradeCheckResponse response;
    response.updateAvailable = true;
    response.latest.version = "0.2.0";
    response.latest.releaseDate = "2026-05-20";
    response.latest.releaseNotes = {"Settings panel with five tabs",
                                    "Desktop notifications with actions"};
    response.artifact = UpgradeArtifact{"tar.gz", "https://download.glimmet.app/0.2.0.tar.gz",
                                        std::string(64, 'a'), 786432};
    still.content.about = settingsAboutContent(UpdateAvailable{response}, kFixtureVersion);
    return stillFixture("settings-about", still);
  };
}

}  // namespace glimmet
