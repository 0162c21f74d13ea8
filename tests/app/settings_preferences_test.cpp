// The settings preferences over real user-defaults files.

#include "app/settings_preferences.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/user_settings.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

TEST(SettingsPreferencesTest, NothingStoredGivesTheDefaults) {
  TempDir dir;
  JsonFileUserDefaults defaults(dir.file("defaults.json"));
  const SettingsPreferences p = loadUserSettings(defaults);
  EXPECT_TRUE(p.showCapsuleMode);
  EXPECT_FALSE(p.showInDockMode);
  EXPECT_FALSE(p.desktopCompanionMode);
  EXPECT_TRUE(p.reduceMotion);
  EXPECT_FALSE(p.muted);
  EXPECT_FALSE(p.highContrast);
  EXPECT_EQ(p.selectedPetID, "capybara");
  EXPECT_EQ(p.companionDisplayMode, "bubble");
  EXPECT_FALSE(p.desktopCompanionPetState.has_value());
  EXPECT_EQ(p.floatingPetScale, 1.0);
  EXPECT_EQ(p.selectedSoundID, "moonlight-sonata");
  EXPECT_TRUE(p.deletedDefaultPetIDs.empty());
  EXPECT_FALSE(p.codexPetsDirectoryAuthorized);
  EXPECT_FALSE(p.didRequestCodexPetsDirectoryAuthorization);
  for (const char* tool : {"factory-droid", "warp", "windsurf"}) {
    EXPECT_NE(std::find(p.disabledToolIDs.begin(), p.disabledToolIDs.end(), tool),
              p.disabledToolIDs.end())
        << tool;
  }
  EXPECT_EQ(p.toolModels.size(), 4u);
  for (const char* tool : {"claude", "codex", "cursor", "kimi"})
    EXPECT_EQ(p.toolModels.at(tool), defaultModel(tool)) << tool;
  EXPECT_TRUE(p.importedSounds.empty());
}

TEST(SettingsPreferencesTest, StoredValuesReadLenientlyAndInvalidOnesKeepTheDefault) {
  TempDir dir;
  const std::string path = dir.file("defaults.json");
  writeText(path, R"({"companionDisplayMode":"hovering","desktopCompanionPetState":"dancing",
    "floatingPetScale":2.0,"showCapsuleMode":"no","muted":"yes","reduceMotion":0,
    "disabledToolIDs":[],"toolModels":{"codex":"o3","claude":7,"gemini":"2.5 Pro"},
    "selectedPetID":"","importedSounds":{"not":"a list"}})");
  JsonFileUserDefaults defaults(path);
  SettingsPreferences p = loadUserSettings(defaults);
  EXPECT_EQ(p.companionDisplayMode, "bubble");
  EXPECT_FALSE(p.desktopCompanionPetState.has_value());
  EXPECT_EQ(p.floatingPetScale, 1.6);
  EXPECT_FALSE(p.showCapsuleMode);
  EXPECT_TRUE(p.muted);
  EXPECT_FALSE(p.reduceMotion);
  EXPECT_TRUE(p.disabledToolIDs.empty()) << "a stored empty list is the user's choice";
  EXPECT_EQ(p.toolModels.at("codex"), "o3");
  EXPECT_EQ(p.toolModels.at("claude"), defaultModel("claude"));
  EXPECT_EQ(p.toolModels.at("gemini"), "2.5 Pro");
  EXPECT_EQ(p.selectedPetID, "capybara");
  EXPECT_TRUE(p.importedSounds.is_array());

  writeText(path, R"({"companionDisplayMode":"tucked","desktopCompanionPetState":"rateLimit",
    "floatingPetScale":0.5})");
  JsonFileUserDefaults second(path);
  p = loadUserSettings(second);
  EXPECT_EQ(p.companionDisplayMode, "tucked");
  EXPECT_EQ(p.desktopCompanionPetState, "rateLimit");
  EXPECT_EQ(p.floatingPetScale, 0.75);
}

TEST(SettingsPreferencesTest, ChangesWriteOnlyTheirKeysAndAnnounceOnce) {
  TempDir dir;
  const std::string path = dir.file("config/defaults.json");
  JsonFileUserDefaults defaults(path);
  ASSERT_TRUE(defaults.setValue("readEventIDs", Json::array({"e1"})));
  UserSettings settings(defaults);
  std::vector<SettingsPreferences> seen;
  settings.addObserver([&](const SettingsPreferences& p) { seen.push_back(p); });

  ASSERT_TRUE(settings.setBool("muted", true));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].muted);
  Json stored = Json::parse(readText(path));
  EXPECT_EQ(stored["muted"], true);
  EXPECT_EQ(stored["readEventIDs"], Json::array({"e1"})) << "other keys are kept";
  EXPECT_FALSE(stored.contains("showCapsuleMode")) << "untouched defaults are not written";

  ASSERT_TRUE(settings.setBool("muted", true));
  EXPECT_EQ(seen.size(), 1u) << "no change, no announcement";
  EXPECT_FALSE(settings.setBool("noSuchKey", true));
  EXPECT_EQ(seen.size(), 1u);

  ASSERT_TRUE(settings.setFloatingPetScale(9));
  EXPECT_EQ(Json::parse(readText(path))["floatingPetScale"], 1.6);

  ASSERT_TRUE(settings.update([](SettingsPreferences& p) { p.desktopCompanionPetState = "idle"; }));
  EXPECT_EQ(Json::parse(readText(path))["desktopCompanionPetState"], "idle");
  ASSERT_TRUE(settings.update([](SettingsPreferences& p) { p.desktopCompanionPetState.reset(); }));
  EXPECT_FALSE(Json::parse(readText(path)).contains("desktopCompanionPetState"));
  EXPECT_EQ(seen.size(), 4u);

  // Another part of the application wrote a key: a reload announces it once.
  ASSERT_TRUE(defaults.setValue("highContrast", true));
  settings.reloadSettingsFromDefaults();
  settings.reloadSettingsFromDefaults();
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_TRUE(seen.back().highContrast);
  EXPECT_TRUE(seen.back().muted);
}

}  // namespace
}  // namespace glimmet
