// Imported sound packages on a real temp folder: install from a folder or a bare file, the
// assignments file, refusals with the messages the user sees, deletion and the rescan rule.

#include "sounds/sound_library.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "base/json_values.hpp"
#include "platform/file_system.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

Json readJson(const std::string& path) {
  return parseJsonText(readText(path));
}

using testing::sortedEntries;

class SoundLibraryTest : public ::testing::Test {
 protected:
  SoundLibraryTest() : library(dir.file("sounds")) { ::mkdir(dir.file("in").c_str(), 0755); }

  std::string packageFolder(const std::string& name, const std::string& manifest,
                            const std::string& audioName = "bell.ogg") {
    const std::string folder = dir.file("in/" + name);
    ::mkdir(folder.c_str(), 0755);
    if (!manifest.empty()) writeText(folder + "/sound.json", manifest);
    if (!audioName.empty()) writeText(folder + "/" + audioName, "OggS fake audio");
    return folder;
  }

  TempDir dir;
  SoundLibrary library;
};

TEST_F(SoundLibraryTest, BareAudioFileBecomesAPackageAndIsRecordedAsInstalled) {
  const std::string source = dir.file("in/Door Bell.WAV");
  writeText(source, "RIFF fake wave");
  const auto installed = library.importSound(source);
  ASSERT_TRUE(installed.ok()) << installed.error();
  EXPECT_EQ(installed.value().id, "door-bell");
  EXPECT_EQ(installed.value().displayName, "Door Bell");
  EXPECT_EQ(installed.value().audioPath, dir.file("sounds/door-bell/audio.wav"));
  EXPECT_EQ(readText(dir.file("sounds/door-bell/audio.wav")), "RIFF fake wave");

  const Json manifest = readJson(dir.file("sounds/door-bell/sound.json"));
  EXPECT_EQ(manifest["id"], "door-bell");
  EXPECT_EQ(manifest["description"], "Imported local sound");
  EXPECT_EQ(manifest["audioPath"], "audio.wav");

  EXPECT_EQ(readJson(library.assignmentsFilePath()),
            Json::parse(R"({"version":1,"assignments":{},"installed":["door-bell"]})"));
  // Nothing is left behind from staging.
  EXPECT_EQ(sortedEntries(dir.file("sounds")), (std::vector<std::string>{"config", "door-bell"}));

  // Installing the same file again replaces it and lists it once.
  writeText(source, "RIFF newer wave");
  ASSERT_TRUE(library.importSound(source).ok());
  EXPECT_EQ(readText(dir.file("sounds/door-bell/audio.wav")), "RIFF newer wave");
  EXPECT_EQ(readJson(library.assignmentsFilePath())["installed"], Json::parse(R"(["door-bell"])"));
}

TEST_F(SoundLibraryTest, PackageFolderWithDefaultAssignIsAssignedAndListed) {
  const std::string folder = packageFolder(
      "gong-pack",
      R"({"id":"gong","displayName":"Gong","audioPath":"bell.ogg","defaultAssign":"task_completed"})");
  const auto installed = library.importSound(folder);
  ASSERT_TRUE(installed.ok()) << installed.error();
  EXPECT_EQ(installed.value().id, "gong");
  EXPECT_EQ(readJson(library.assignmentsFilePath()),
            Json::parse(R"({"version":1,"assignments":{"task_completed":"gong"},)"
                        R"("installed":["gong"]})"));

  ASSERT_TRUE(library.saveGlimmetSoundAssignment("gong", "permission_request").ok());
  const auto choices = library.loadGlimmetSoundChoices();
  ASSERT_EQ(choices.size(), 1u);
  EXPECT_EQ(choices[0].id, "gong");
  EXPECT_EQ(choices[0].displayName, "Gong");
  EXPECT_EQ(choices[0].audioPath, dir.file("sounds/gong/bell.ogg"));
  EXPECT_EQ(library.assignments().at("permission_request"), "gong");

  // Deleting removes the folder, the installed entry and every assignment to it.
  ASSERT_TRUE(library.deleteImportedSoundOnDisk("gong").ok());
  EXPECT_FALSE(fileExists(dir.file("sounds/gong")));
  EXPECT_EQ(readJson(library.assignmentsFilePath()),
            Json::parse(R"({"version":1,"assignments":{},"installed":[]})"));
  EXPECT_TRUE(library.importedSounds().empty());
}

TEST_F(SoundLibraryTest, RefusalsCarryTheMessageTheUserSees) {
  const std::string text = dir.file("in/notes.txt");
  writeText(text, "not audio at all");
  auto result = library.importSound(text);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(),
            "Sound import failed: Choose an mp3, wav, m4a, aac, aiff, caf, or ogg audio file");

  result = library.importSound(packageFolder("no-manifest", ""));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(),
            "Sound import failed: Choose a folder containing sound.json and an audio file");

  result = library.importSound(
      packageFolder("no-audio", R"({"id":"quiet","audioPath":"missing.wav"})", ""));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Sound import failed: Audio file not found");

  // An audio path that climbs out of the folder is no audio file of the package.
  writeText(dir.file("in/outside.wav"), "RIFF");
  result = library.importSound(
      packageFolder("escape", R"({"id":"escape","audioPath":"../outside.wav"})", ""));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Sound import failed: Audio file not found");

  result = library.importSound(dir.file("in/absent.mp3"));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Sound import failed: Audio file not found");

  // Nothing was installed by any of them.
  EXPECT_FALSE(fileExists(dir.file("sounds/quiet")));
  EXPECT_FALSE(fileExists(dir.file("sounds/escape")));
}

TEST_F(SoundLibraryTest, IDsStartingWithDashOrDotAreRefused) {
  int folder = 0;
  for (const std::string id : {"-rm", ".hidden", "..", "config", "Upper"}) {
    const auto result = library.importSound(packageFolder(
        "pack" + std::to_string(++folder), R"({"id":")" + id + R"(","audioPath":"bell.ogg"})"));
    ASSERT_FALSE(result.ok()) << id;
    EXPECT_EQ(result.error(),
              "Sound import failed: The sound ID \"" + id + "\" cannot be used as a folder name");
  }
  const std::string dashed = dir.file("in/-loud.mp3");
  writeText(dashed, "ID3");
  const auto result = library.importSound(dashed);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().find("\"-loud\""), std::string::npos);
  EXPECT_FALSE(library.deleteImportedSoundOnDisk("..").ok());

  // No folder, staged or final, was made for any refused ID.
  for (const auto& name : sortedEntries(dir.file("sounds"))) {
    EXPECT_EQ(name.rfind(".staging", 0), std::string::npos) << name;
    EXPECT_NE(name.front(), '-') << name;
  }
  EXPECT_TRUE(library.loadGlimmetSoundChoices().empty());
}

TEST_F(SoundLibraryTest, RescansOnlyWhenTheDiskSignatureChangesOrTheIntervalPassed) {
  const Timestamp start = systemNow();
  EXPECT_TRUE(library.refreshIfChanged(start));
  EXPECT_FALSE(library.refreshIfChanged(start + std::chrono::seconds(1)));
  EXPECT_TRUE(library.importedSounds().empty());

  // Another writer (a second instance, the user's shell) installs a sound.
  SoundLibrary other(dir.file("sounds"));
  writeText(dir.file("in/ping.ogg"), "OggS");
  ASSERT_TRUE(other.importSound(dir.file("in/ping.ogg")).ok());
  EXPECT_TRUE(library.refreshIfChanged(start + std::chrono::seconds(2)));
  ASSERT_EQ(library.importedSounds().size(), 1u);
  EXPECT_EQ(library.importedSounds()[0].id, "ping");
  EXPECT_FALSE(library.refreshIfChanged(start + std::chrono::seconds(3)));
  EXPECT_TRUE(library.refreshIfChanged(start + std::chrono::seconds(70)));
}

}  // namespace
}  // namespace glimmet
