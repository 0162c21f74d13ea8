#include <gtest/gtest.h>

#include <filesystem>

#include "pets/pet_catalog.hpp"
#include "pets/pet_test_images.hpp"
#include "platform/user_defaults.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using testing::writeText;

// A pet folder `root`/`folder` with `manifest` and a small sprite sheet at `sprite`.
std::string makePet(const std::string& root, const std::string& folder, const std::string& manifest,
                    const std::string& sprite = "spritesheet.webp") {
  const std::string directory = root + "/" + folder;
  std::filesystem::create_directories(
      std::filesystem::path(directory + "/" + sprite).parent_path());
  writeText(directory + "/pet.json", manifest);
  writeText(directory + "/" + sprite, testing::solidWebP(16, 18, 0x336699ffu));
  return directory;
}

std::vector<std::string> idsOf(const std::vector<PetChoice>& choices) {
  std::vector<std::string> ids;
  for (const auto& choice : choices) ids.push_back(choice.id);
  return ids;
}

TEST(PetManifest, MissingKeysTakeTheirDefaultsAndWrongTypesAreLoggedAndIgnored) {
  TempDir dir;
  const std::string plain = makePet(dir.path(), "codex-capy", "{}");
  auto defaults = readPetManifest(plain, "pet.json");
  ASSERT_TRUE(defaults) << defaults.error();
  EXPECT_EQ(defaults.value().id, "codex-capy");
  EXPECT_EQ(defaults.value().displayName, "codex-capy");
  EXPECT_EQ(defaults.value().description, "Imported Codex pet");
  EXPECT_EQ(defaults.value().spritesheetPath, "spritesheet.webp");
  EXPECT_EQ(defaults.value().source, std::nullopt);

  const std::string odd =
      makePet(dir.path(), "odd",
              R"({"id": ["x"], "displayName": {"en": "Odd"}, "description": false,
          "spritesheetPath": 12, "glimmet": "website"})",
              "12");
  std::vector<std::string> logged;
  auto wrong = readPetManifest(odd, "pet.json", [&](const std::string& l) { logged.push_back(l); });
  ASSERT_TRUE(wrong) << wrong.error();
  EXPECT_EQ(wrong.value().id, "odd");
  EXPECT_EQ(wrong.value().displayName, "odd");
  EXPECT_EQ(wrong.value().description, "Imported Codex pet");
  EXPECT_EQ(wrong.value().spritesheetPath, "12");  // a number reads as its text
  ASSERT_EQ(logged.size(), 4u);
  EXPECT_EQ(logged[0], "[Glimmet] Pet manifest " + odd +
                           "/pet.json: \"id\" is array, not text; using the default");
  EXPECT_NE(logged[2].find("\"description\" is boolean"), std::string::npos);
  EXPECT_NE(logged[3].find("\"glimmet\" is string, not an object; ignored"), std::string::npos);

  const std::string full = makePet(
      dir.path(), "full",
      R"({"id":"codex-capy","displayName":"Codex Capy","description":"Installed under Codex home",
          "spritesheetPath":"art/sheet.webp",
          "glimmet":{"source":"Gallery","sourceUrl":"https://pets.example/capy",
                     "websiteTag":"Top pet","authorHandle":"capyfan","authorName":"Ada"}})",
      "art/sheet.webp");
  auto choice = codexPetChoice(full, "pet.json", PetSourceKind::codexPet, "custom:", false);
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->id, "custom:codex-capy");
  EXPECT_EQ(choice->name, "Codex Capy");
  EXPECT_EQ(choice->detail, "Installed under Codex home");
  EXPECT_EQ(choice->spritePath, full + "/art/sheet.webp");
  EXPECT_EQ(choice->sourcePath, full);
  EXPECT_TRUE(choice->isCodexSprite);
  EXPECT_FALSE(choice->isDeletable);
  EXPECT_EQ(choice->sourceLabel, "Gallery");
  EXPECT_EQ(choice->sourceURL, "https://pets.example/capy");
  EXPECT_EQ(choice->websiteTag, "Top pet");
  EXPECT_EQ(choice->authorHandle, "capyfan");
  EXPECT_EQ(choice->authorName, "Ada");
}

TEST(PetManifest, BrokenManifestsAndEscapingSpriteSheetsYieldNoPet) {
  TempDir dir;
  std::vector<std::string> logged;
  const LogSink log = [&](const std::string& line) { logged.push_back(line); };

  const std::string list = makePet(dir.path(), "list", "[1, 2]");
  auto notObject = readPetManifest(list, "pet.json");
  ASSERT_FALSE(notObject);
  EXPECT_EQ(notObject.error(), list + "/pet.json is not a JSON object");
  const std::string broken = makePet(dir.path(), "broken", "{\"id\": ");
  EXPECT_EQ(readPetManifest(broken, "pet.json").error(), broken + "/pet.json is not valid JSON");
  const std::string big =
      makePet(dir.path(), "big", "{\"description\": \"" + std::string(70 * 1024, 'x') + "\"}");
  EXPECT_EQ(readPetManifest(big, "pet.json").error(),
            big + "/pet.json is too large to be a pet manifest");
  std::filesystem::create_directories(dir.file("empty"));
  EXPECT_EQ(readPetManifest(dir.file("empty"), "pet.json").error(),
            "No pet.json in " + dir.file("empty"));

  const std::string escaping =
      makePet(dir.path(), "escaping", R"({"spritesheetPath": "../list/spritesheet.webp"})");
  EXPECT_FALSE(codexPetChoice(escaping, "pet.json", PetSourceKind::codexPet, "", false, log));
  EXPECT_EQ(resolvedCodexSpriteURL(escaping, "/etc/passwd"), std::nullopt);
  EXPECT_EQ(resolvedCodexSpriteURL("/p", "./a/../b.webp"), std::nullopt);
  EXPECT_EQ(resolvedCodexSpriteURL("/p", "./sheets/b.webp"), "/p/sheets/b.webp");

  const std::string noSheet = dir.file("nosheet");
  std::filesystem::create_directories(noSheet);
  writeText(noSheet + "/pet.json", "{}");
  EXPECT_FALSE(codexPetChoice(noSheet, "pet.json", PetSourceKind::codexPet, "", false, log));
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find("lies outside the pet's folder"), std::string::npos) << logged[0];
  EXPECT_NE(logged[1].find("no sprite sheet at " + noSheet + "/spritesheet.webp"),
            std::string::npos)
      << logged[1];
}

TEST(PetCatalog, GathersBuiltInCodexAndOwnPetsAndLeavesHiddenOnesOut) {
  TempDir home;
  Paths paths;
  paths.homeDirectory = home.path();
  paths.glimmetHome = home.file(".glimmet");
  const std::string codexPets = home.file(".codex/pets");
  makePet(codexPets, "b-capy", R"({"id":"codex-capy","displayName":"Codex Capy"})");
  makePet(codexPets, "a-dino", R"({"id":"dino"})");
  makePet(codexPets, "zz-broken", "not json");
  makePet(paths.glimmetHome + "/pets", "mine", R"({"id":"custom:mine"})");
  makePet(paths.glimmetHome + "/pets", "dup", R"({"id":"dino"})");

  const std::string defaultsPath = home.file("defaults.json");
  {
    JsonFileUserDefaults defaults(defaultsPath);
    auto choices = refreshLocalPets(petSources(paths, defaults), [](const std::string&) {});
    // ~/.codex/pets stays closed until the user allows it.
    EXPECT_EQ(idsOf(choices), (std::vector<std::string>{"capybara", "glimcat", "pebble",
                                                        "custom:dino", "custom:mine"}));
    EXPECT_EQ(choices[0].detail, "Compact goofy capybara generated with /hatch-pet.");
    EXPECT_EQ(choices[1].name, "GlimCat");
    EXPECT_EQ(choices[1].detail, "Logo-inspired dancing pixel cat generated with /hatch-pet.");
    EXPECT_EQ(choices[3].sourceKind, PetSourceKind::glimmetPet);
    EXPECT_TRUE(choices[3].isDeletable);

    ASSERT_TRUE(defaults.setValue("codexPetsDirectoryAuthorized", true));
    ASSERT_TRUE(defaults.setValue("deletedDefaultPetIDs", Json::array({"glimcat"})));
  }
  // A new defaults object reads the same file, as after a restart.
  JsonFileUserDefaults restarted(defaultsPath);
  auto choices = refreshLocalPets(petSources(paths, restarted), [](const std::string&) {});
  EXPECT_EQ(idsOf(choices), (std::vector<std::string>{"capybara", "pebble", "custom:dino",
                                                      "custom:codex-capy", "custom:mine"}));
  // The Codex folder's dino came first; the own folder's copy of the same ID is left out.
  EXPECT_EQ(choices[2].sourceKind, PetSourceKind::codexPet);
  EXPECT_FALSE(choices[2].isDeletable);

  EXPECT_EQ(selectedPetChoice(choices, "custom:mine")->id, "custom:mine");
  EXPECT_EQ(selectedPetChoice(choices, "glimcat")->id, "capybara");  // hidden: the default
  EXPECT_EQ(selectedPetChoice({}, "capybara"), std::nullopt);
}

}  // namespace
}  // namespace glimmet
