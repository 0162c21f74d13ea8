// The settings panel's services against real folders: a temporary home with pet folders, a
// sounds folder, Claude Code's settings file, the real main loop and worker threads. Only the
// user's choices (the folder chooser) and the audio output are stand-ins.

#include "ui/settings_services.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <mutex>

#include "pets/pet_catalog.hpp"
#include "pets/pet_test_images.hpp"
#include "support/test_support.hpp"
#include "updates/release_info.hpp"

namespace glimmet {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::TempDir;
using testing::writeText;

// Answers the choosers with the paths a test queued, in order; nothing queued is a cancel.
class QueuedPicker final : public FolderPicker {
 public:
  void answer(std::string path) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(path));
  }
  std::optional<std::string> pickFolder(const FolderPickerRequest& request) override {
    return take("folder", request);
  }
  std::optional<std::string> pickFile(const FolderPickerRequest& request) override {
    return take("file", request);
  }
  std::vector<std::string> asked() {
    std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  std::optional<std::string> take(const std::string& kind, const FolderPickerRequest& request) {
    std::lock_guard lock(mutex_);
    asked_.push_back(kind + ": " + request.title);
    if (answers_.empty()) return std::nullopt;
    std::string path = answers_.front();
    answers_.pop_front();
    return path;
  }
  std::mutex mutex_;
  std::deque<std::string> answers_;
  std::vector<std::string> asked_;
};

// Remembers what it was asked to play and stop; reports a start only when a test says so.
class RecordingPlayer final : public SoundPlayer {
 public:
  struct Play {
    Handle handle;
    std::string what;  // the file, or "named:" and the sound's name
    SoundPlaybackEvents events;
  };
  Handle playFile(const std::string& path, double, SoundPlaybackEvents events) override {
    return record(path, std::move(events));
  }
  Handle playNamed(const std::string& name, SoundPlaybackEvents events) override {
    return record("named:" + name, std::move(events));
  }
  void stop(Handle handle) override {
    std::lock_guard lock(mutex_);
    stopped.push_back(handle);
  }
  std::vector<Play> plays;
  std::vector<Handle> stopped;

 private:
  Handle record(std::string what, SoundPlaybackEvents events) {
    std::lock_guard lock(mutex_);
    const Handle handle = next_++;
    plays.push_back({handle, std::move(what), std::move(events)});
    return handle;
  }
  std::mutex mutex_;
  Handle next_ = 100;
};

// A canonical 16-bit mono WAV of `frames` silent samples at 8 kHz.
std::string silentWav(uint32_t frames) {
  const auto le = [](uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    return out;
  };
  const uint32_t dataBytes = frames * 2;
  return "RIFF" + le(36 + dataBytes, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
         le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(dataBytes, 4) +
         std::string(dataBytes, '\0');
}

void writePet(const std::string& directory, const std::string& id, const std::string& name) {
  fs::create_directories(directory);
  writeText(directory + "/pet.json", R"({"id":")" + id + R"(","displayName":")" + name +
                                         R"(","spritesheetPath":"sheet.webp"})");
  writeText(directory + "/sheet.webp", testing::solidWebP(16, 18, 0x88cc44ffu));
}

// Every file below `root`, relative to it, in name order; none when it does not exist.
std::vector<std::string> filesUnder(const std::string& root) {
  std::vector<std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Environment homeIn(const TempDir& dir) {
  Environment environment;
  environment.set("HOME", dir.file("home"));
  environment.set("XDG_DATA_HOME", dir.file("data"));
  environment.set("XDG_CONFIG_HOME", dir.file("config"));
  environment.set("PATH", "/usr/local/bin:/usr/bin:/bin");
  return environment;
}

class SettingsServicesTest : public ::testing::Test {
 protected:
  SettingsServicesTest() : environment(homeIn(dir)), core(environment, true, [](auto&) {}) {
    fs::create_directories(home());
    settings = std::make_unique<UserSettings>(core.userDefaults());
  }

  std::string home() const { return dir.file("home"); }

  SettingsServices& services() {
    if (!services_) {
      SettingsServicesParts parts = standardSettingsServicesParts(core, environment);
      parts.openTool = [this](const ToolHealth& tool) {
        std::lock_guard lock(openedMutex);
        opened.push_back(tool.id);
        return true;
      };
      parts.updateClient.reset();
      if (feedFile) {
        parts.updateClient = UpdateClient{};
        parts.updateClient->fixturePath = feedFile;
      }
      parts.stageUpdate = [this](const UpgradeCheckResponse&, const UpgradeArtifact& artifact,
                                 const UpdateDownloadProgress& progress) {
        stagedURL = artifact.url;
        progress(0.5);
        return Result<std::string>::failure("Download failed: the test network is closed");
      };
      parts.clock = [this] { return now; };
      services_ = std::make_unique<SettingsServices>(core, *settings, picker, player,
                                                     std::move(parts), [](auto&) {});
      services_->setOnChange([this] { ++changes; });
      services_->setConfirm([this](SettingsConfirmation confirmation) {
        confirmations.push_back(std::move(confirmation));
      });
    }
    return *services_;
  }

  // Lets the workers finish and their results land on the loop.
  void settle() {
    ASSERT_TRUE(core.loop().runUntil([this] { return !services().busy(); }, Seconds(20)));
  }

  const SettingsPetTile* pet(const SettingsContent& content, const std::string& id) {
    for (const auto& tile : content.pets) {
      if (tile.id == id) return &tile;
    }
    return nullptr;
  }

  const ToolHealth* tool(const SettingsContent& content, const std::string& id) {
    for (const auto& group : content.toolGroups) {
      for (const auto& health : group.tools) {
        if (health.id == id) return &health;
      }
    }
    return nullptr;
  }

  TempDir dir;
  Environment environment;
  Core core;
  std::unique_ptr<UserSettings> settings;
  QueuedPicker picker;
  RecordingPlayer player;
  Timestamp now = systemNow();
  int changes = 0;
  std::vector<SettingsConfirmation> confirmations;
  std::mutex openedMutex;
  std::vector<std::string> opened;
  std::optional<std::string> feedFile;
  std::string stagedURL;
  std::unique_ptr<SettingsServices> services_;
};

// Pets.

TEST_F(SettingsServicesTest, PetGridListsBuiltInThenOwnPetsWithTheirBadges) {
  writePet(home() + "/.glimmet/pets/otter", "otter", "Otter");
  writePet(home() + "/.codex/pets/codex-capy", "codex-capy", "Codex Capy");
  const SettingsContent content = services().content();

  ASSERT_GE(content.pets.size(), 3u);
  EXPECT_EQ(content.pets[0].id, "capybara");
  EXPECT_EQ(content.pets[0].badge, "Built-in");
  EXPECT_FALSE(content.pets[0].isDeletable);
  EXPECT_EQ(content.pets[1].id, "glimcat");
  EXPECT_EQ(content.pets[1].name, "GlimCat");
  const auto* otter = pet(content, "custom:otter");
  ASSERT_NE(otter, nullptr);
  EXPECT_EQ(otter->name, "Otter");
  EXPECT_EQ(otter->badge, "Glimmet");
  EXPECT_EQ(otter->detail, "Imported Codex pet");
  EXPECT_TRUE(otter->isDeletable);
  EXPECT_EQ(&content.pets.back(), otter) << "the application's own pets come last";
  // ~/.codex/pets stays closed until the user allows it.
  for (const auto& tile : content.pets) EXPECT_EQ(tile.name.find("Codex Capy"), std::string::npos);
}

TEST_F(SettingsServicesTest, CodexPetsAccessSetsBothDefaultsAndShowsThoseCodexPets) {
  writePet(home() + "/.codex/pets/codex-capy", "codex-capy", "Codex Capy");
  services();
  changes = 0;
  services().requestCodexPetsAccess();

  EXPECT_TRUE(settings->preferences().codexPetsDirectoryAuthorized);
  EXPECT_TRUE(settings->preferences().didRequestCodexPetsDirectoryAuthorization);
  EXPECT_TRUE(core.userDefaults().boolValue("codexPetsDirectoryAuthorized", false));
  EXPECT_TRUE(core.userDefaults().boolValue("didRequestCodexPetsDirectoryAuthorization", false));
  const SettingsContent content = services().content();
  EXPECT_EQ(content.statusBanner, "Authorized ~/.codex/pets");
  bool found = false;
  for (const auto& tile : content.pets) {
    if (tile.name == "Codex Capy") {
      found = true;
      EXPECT_EQ(tile.badge, "Codex");
    }
  }
  EXPECT_TRUE(found);
  EXPECT_GE(changes, 1);
}

TEST_F(SettingsServicesTest, ImportingAPetCopiesSelectsAndAnnouncesIt) {
  const std::string source = dir.file("Downloads/fox-folder");
  writePet(source, "desk-fox", "Desk Fox");
  picker.answer(source);
  services().actions({}).importPet();
  settle();

  EXPECT_EQ(picker.asked(), std::vector<std::string>{"folder: Import Glimmet pet"});
  EXPECT_TRUE(fs::exists(home() + "/.glimmet/pets/desk-fox/sheet.webp"));
  EXPECT_EQ(readText(home() + "/.glimmet/pets/desk-fox/sheet.webp"),
            readText(source + "/sheet.webp"));
  const SettingsContent content = services().content();
  const auto* fox = pet(content, "custom:desk-fox");
  ASSERT_NE(fox, nullptr);
  EXPECT_EQ(fox->name, "Desk Fox");
  EXPECT_EQ(settings->preferences().selectedPetID, "custom:desk-fox");
  EXPECT_EQ(core.userDefaults().stringValue("selectedPetID").value_or(""), "custom:desk-fox");
  EXPECT_EQ(content.statusBanner, "Imported Desk Fox pet from fox-folder");
}

TEST_F(SettingsServicesTest, ACancelledPetImportChangesNothing) {
  services().importPet();
  settle();
  const SettingsContent content = services().content();
  EXPECT_FALSE(content.statusBanner.has_value());
  EXPECT_EQ(settings->preferences().selectedPetID, "capybara");
  EXPECT_FALSE(fs::exists(home() + "/.glimmet/pets"));
}

// Sounds.

TEST_F(SettingsServicesTest, SoundsTabListsPresetCategoriesAndTaskTypes) {
  const SettingsContent content = services().content();
  ASSERT_EQ(content.soundCategories.size(), 3u);
  EXPECT_EQ(content.soundCategories[0].label, "Game");
  ASSERT_EQ(content.soundCategories[0].presets.size(), 3u);
  EXPECT_EQ(content.soundCategories[0].presets[0].id, "kenney-confirm");
  EXPECT_EQ(content.soundCategories[0].presets[0].era, "CC0");
  EXPECT_EQ(content.soundCategories[2].presets[2].id, "boarding-ping");
  EXPECT_EQ(content.soundTaskTypes, (std::vector<std::string>{"permission_request", "waiting_input",
                                                              "plan_ready", "task_completed"}));
  EXPECT_TRUE(content.importedSounds.empty());
  EXPECT_TRUE(content.playingSoundID.empty());
}

TEST_F(SettingsServicesTest, SecondPressOnAPlayingPresetStopsIt) {
  auto actions = services().actions({});
  actions.playPreset("cabin-chime");
  ASSERT_EQ(player.plays.size(), 1u);
  EXPECT_EQ(services().content().playingSoundID, "cabin-chime");

  actions.playPreset("cabin-chime");
  EXPECT_EQ(player.plays.size(), 1u) << "the second press must not start it again";
  EXPECT_EQ(player.stopped, std::vector<SoundPlayer::Handle>{player.plays[0].handle});
  EXPECT_TRUE(services().content().playingSoundID.empty());
}

TEST_F(SettingsServicesTest, StartingAnotherSoundStopsTheFirstAndAFinishedOneClears) {
  auto actions = services().actions({});
  actions.playPreset("epic-quest");
  actions.playPreset("boarding-ping");
  ASSERT_EQ(player.plays.size(), 2u);
  EXPECT_EQ(player.stopped, std::vector<SoundPlayer::Handle>{player.plays[0].handle});
  EXPECT_EQ(services().content().playingSoundID, "boarding-ping");

  // A 0.2 s sound is released about half a second after it starts.
  player.plays[1].events.started(0.2);
  ASSERT_TRUE(core.loop().runUntil([this] { return services().content().playingSoundID.empty(); },
                                   Seconds(5)));
  EXPECT_EQ(player.stopped.back(), player.plays[1].handle);
}

TEST_F(SettingsServicesTest, ImportingANonAudioFileFailsWithTheExactBannerAndChangesNothing) {
  const std::string notes = dir.file("notes.txt");
  writeText(notes, "not a sound");
  picker.answer(notes);
  services().actions({}).importSound();
  settle();

  EXPECT_EQ(picker.asked(), std::vector<std::string>{"file: Import Glimmet sound"});
  const SettingsContent content = services().content();
  EXPECT_EQ(content.statusBanner,
            "Sound import failed: Choose an mp3, wav, m4a, aac, aiff, caf, or ogg audio file");
  EXPECT_TRUE(content.importedSounds.empty());
  EXPECT_EQ(filesUnder(home() + "/.glimmet/sounds"), std::vector<std::string>{});
}

TEST_F(SettingsServicesTest, ImportedWavCanBeAssignedPlayedAndDeleted) {
  const std::string wav = dir.file("Desk Bell.wav");
  writeText(wav, silentWav(800));
  picker.answer(wav);
  auto actions = services().actions({});
  actions.importSound();
  settle();

  SettingsContent content = services().content();
  ASSERT_EQ(content.importedSounds.size(), 1u);
  const std::string id = content.importedSounds[0].id;
  EXPECT_EQ(id, "desk-bell");
  EXPECT_EQ(content.statusBanner, "Imported " + content.importedSounds[0].name + " sound");

  actions.toggleSoundAssignment(id);
  EXPECT_TRUE(services().content().importedSounds[0].showAssign);
  actions.assignSound(id, "task_completed");
  actions.assignSound(id, "permission_request");
  content = services().content();
  EXPECT_FALSE(content.importedSounds[0].showAssign);
  EXPECT_EQ(content.importedSounds[0].assignedTaskTypes,
            (std::vector<std::string>{"permission_request", "task_completed"}));
  EXPECT_NE(readText(home() + "/.glimmet/sounds/config/sounds.json").find("task_completed"),
            std::string::npos);

  actions.playImportedSound(id);
  ASSERT_EQ(player.plays.size(), 1u);
  EXPECT_NE(player.plays[0].what.find("/.glimmet/sounds/desk-bell/"), std::string::npos);
  EXPECT_EQ(services().content().playingSoundID, id);

  actions.deleteImportedSound(id);
  content = services().content();
  EXPECT_TRUE(content.importedSounds.empty());
  EXPECT_TRUE(content.playingSoundID.empty());
  EXPECT_EQ(player.stopped, std::vector<SoundPlayer::Handle>{player.plays[0].handle});
  EXPECT_FALSE(fs::exists(home() + "/.glimmet/sounds/desk-bell"));
}

// AI tools.

TEST_F(SettingsServicesTest, RepairShowsThePreviewFirstAndWritesOnlyOnConfirm) {
  const std::string claudeSettings = home() + "/.claude/settings.json";
  fs::create_directories(home() + "/.claude");
  writeText(claudeSettings, "{\"model\": \"opus\"}\n");
  services().content();  // the first look asks for the health
  settle();
  const SettingsContent first = services().content();
  const auto* before = tool(first, "claude-code");
  ASSERT_NE(before, nullptr);
  ASSERT_EQ(before->status, HookStatus::repair) << before->detail;

  services().actions({}).performToolAction("claude-code");
  settle();
  ASSERT_EQ(confirmations.size(), 1u);
  const SettingsConfirmation& asked = confirmations[0];
  EXPECT_NE(asked.title.find("Claude"), std::string::npos) << asked.title;
  EXPECT_EQ(asked.body.rfind("Review the planned bridge script and config changes below.", 0), 0u);
  EXPECT_NE(asked.body.find("Bridge scripts:\n+ " + home() + "/.glimmet/bin/glimmet-event"),
            std::string::npos)
      << asked.body;
  EXPECT_EQ(asked.confirmTitle, "Repair");
  // Nothing is written while the question is open.
  EXPECT_EQ(readText(claudeSettings), "{\"model\": \"opus\"}\n");
  EXPECT_FALSE(fs::exists(home() + "/.glimmet/bin"));

  asked.onConfirm();
  settle();
  EXPECT_NE(readText(claudeSettings).find("glimmet-event"), std::string::npos);
  const SettingsContent after = services().content();
  EXPECT_EQ(after.statusBanner, "Claude Code bridge installed");
  const auto* health = tool(after, "claude-code");
  ASSERT_NE(health, nullptr);
  EXPECT_EQ(health->status, HookStatus::healthy);
  EXPECT_EQ(confirmations.size(), 1u);
}

TEST_F(SettingsServicesTest, ToolHealthIsReadAgainOnlyAfterTenSeconds) {
  services().content();
  EXPECT_TRUE(services().busy());
  settle();
  EXPECT_FALSE(services().content().toolGroups.empty());

  now += std::chrono::milliseconds(9900);
  services().content();
  EXPECT_FALSE(services().busy()) << "read again before ten seconds";
  now += std::chrono::milliseconds(100);
  services().content();
  EXPECT_TRUE(services().busy());
  settle();
}

TEST_F(SettingsServicesTest, DownloadAsksFirstThenOpensThePageOnce) {
  services().content();
  settle();
  // A tool missing from this empty home whose row offers its download page.
  std::optional<ToolHealth> missing;
  for (const auto& group : services().content().toolGroups) {
    for (const auto& health : group.tools) {
      if (!missing && settingsToolPrimaryAction(health) == SettingsToolPrimaryAction::download)
        missing = health;
    }
  }
  ASSERT_TRUE(missing.has_value());
  services().performToolAction(missing->id);
  ASSERT_EQ(confirmations.size(), 1u);
  EXPECT_EQ(confirmations[0].title, "Install " + missing->name);
  EXPECT_NE(confirmations[0].body.find(*missing->jumpTarget), std::string::npos);
  settle();
  EXPECT_TRUE(opened.empty()) << "opened before the user agreed";

  confirmations[0].onConfirm();
  settle();
  EXPECT_EQ(opened, std::vector<std::string>{missing->id});
  EXPECT_EQ(services().content().statusBanner, "Opened " + missing->name + " download");
}

// About.

TEST_F(SettingsServicesTest, AboutWithoutAFeedShowsTheVersionAndSaysSoWhenAsked) {
  SettingsContent content = services().content();
  settle();  // the tool health the first look asked for
  EXPECT_EQ(content.about.version, std::string(glimmetVersion()));
  EXPECT_FALSE(content.about.updatesSupported);
  EXPECT_TRUE(content.about.updateRows.empty());
  services().actions({}).performAboutPrimaryAction();
  EXPECT_FALSE(services().busy());
  EXPECT_EQ(services().content().statusBanner, "Checked local build: v" +
                                                   std::string(glimmetVersion()) +
                                                   ". No remote update feed is configured.");
}

TEST_F(SettingsServicesTest, AboutChecksTheFeedOffTheLoopThenDownloadsWhatItFound) {
  feedFile = dir.file("feed.json");
  writeText(*feedFile, R"({"schemaVersion": 1, "app": "Glimmet", "latestVersion": "99.0.0",
    "releaseDate": "2026-05-14", "releaseNotes": ["Quicker start"],
    "linux": {"arch": "x86_64", "kind": "tar.gz", "url": "https://example.com/g.tar.gz",
              "sha256": "0123abcd", "sizeBytes": 786432},
    "mac": {"arch": "arm64", "kind": "dmg", "url": "https://example.com/g.dmg",
            "sha256": "0123abcd", "sizeBytes": 786432}})");
  SettingsContent content = services().content();
  EXPECT_TRUE(content.about.updatesSupported);
  EXPECT_EQ(content.about.primaryActionTitle, "Check now");
  settle();

  services().performAboutPrimaryAction();
  EXPECT_TRUE(services().busy());
  EXPECT_EQ(services().content().statusBanner, "Checking for updates...");
  EXPECT_FALSE(services().content().about.primaryActionEnabled);
  settle();
  content = services().content();
  EXPECT_EQ(content.statusBanner, "Update v99.0.0 available");
  EXPECT_TRUE(content.about.updateAvailable);
  ASSERT_FALSE(content.about.updateRows.empty());
  EXPECT_EQ(content.about.updateRows[0].label, "Available");

  services().performAboutPrimaryAction();
  settle();
  EXPECT_EQ(stagedURL, "https://example.com/g.tar.gz");
  EXPECT_EQ(services().content().statusBanner, "Download failed: the test network is closed");
}

}  // namespace
}  // namespace glimmet
