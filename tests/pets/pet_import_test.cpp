#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "pets/pet_catalog.hpp"
#include "pets/pet_import.hpp"
#include "pets/pet_test_images.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeText;

// Answers with the folders it was given, one per question, and remembers what it was asked.
class FakeFolderPicker final : public FolderPicker {
 public:
  std::vector<std::optional<std::string>> answers;
  std::vector<FolderPickerRequest> requests;

  std::optional<std::string> pickFolder(const FolderPickerRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
};

std::string makePetFolder(const std::string& directory, const std::string& manifest) {
  fs::create_directories(directory + "/frames");
  writeText(directory + "/pet.json", manifest);
  writeText(directory + "/spritesheet.webp", testing::solidWebP(16, 18, 0xcc8844ffu));
  writeText(directory + "/frames/preview.txt", "extra");
  return directory;
}

std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  if (!fs::exists(directory)) return names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PetImport, CopiesThePickedFolderIntoTheOwnPetsFolderUnderASafeName) {
  TempDir home;
  const std::string pets = home.file(".glimmet/pets");
  const std::string source =
      makePetFolder(home.file("Downloads/Capy Pet"), R"({"id":"codex-capy","displayName":"Capy"})");
  const std::string unsafe =
      makePetFolder(home.file("Downloads/weird"), R"({"id":"../../escape","displayName":"Weird"})");

  FakeFolderPicker picker;
  picker.answers = {source, source, unsafe};
  const PetImportOutcome first = importPetDirectory(picker, pets);
  ASSERT_EQ(picker.requests.size(), 1u);
  EXPECT_EQ(picker.requests[0].title, "Import Glimmet pet");
  EXPECT_EQ(picker.requests[0].message, "Choose a directory containing pet.json");
  EXPECT_EQ(first.banner, "Imported Capy pet from Capy Pet");
  ASSERT_TRUE(first.pet);
  EXPECT_EQ(first.pet->id, "custom:codex-capy");
  EXPECT_EQ(first.pet->sourceKind, PetSourceKind::glimmetPet);
  EXPECT_TRUE(first.pet->isDeletable);
  EXPECT_EQ(first.pet->sourcePath, pets + "/codex-capy");
  EXPECT_EQ(testing::readText(pets + "/codex-capy/frames/preview.txt"), "extra");
  EXPECT_EQ(testing::readText(pets + "/codex-capy/spritesheet.webp"),
            testing::readText(source + "/spritesheet.webp"));

  // A second import of the same pet never replaces the first.
  const PetImportOutcome second = importPetDirectory(picker, pets);
  ASSERT_TRUE(second.pet);
  EXPECT_EQ(second.pet->sourcePath, pets + "/codex-capy-2");

  // An ID that is no file name gets a generated folder name inside the pets folder.
  const PetImportOutcome weird = importPetDirectory(picker, pets);
  ASSERT_TRUE(weird.pet);
  const std::string weirdFolder = fs::path(*weird.pet->sourcePath).filename().string();
  EXPECT_EQ(fs::path(*weird.pet->sourcePath).parent_path(), fs::path(pets));
  EXPECT_TRUE(weirdFolder.starts_with("dir-")) << weirdFolder;
  EXPECT_EQ(weirdFolder.size(), 12u);
  EXPECT_FALSE(fs::exists(home.file("escape")));

  // Cancelling says nothing and changes nothing; no staging folders are left behind.
  const PetImportOutcome cancelled = importPetDirectory(picker, pets);
  EXPECT_FALSE(cancelled.pet);
  EXPECT_EQ(cancelled.banner, "");
  const auto names = entriesOf(pets);
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "codex-capy");
  EXPECT_EQ(names[1], "codex-capy-2");

  // The imported pets show up among the local pets.
  PetSources sources;
  sources.glimmetPetsDirectory = pets;
  std::vector<std::string> ids;
  for (const auto& choice : refreshLocalPets(sources)) ids.push_back(choice.id);
  // The second copy shares its ID with the first and is shown once.
  EXPECT_EQ(ids, (std::vector<std::string>{"capybara", "glimcat", "custom:codex-capy",
                                           "custom:../../escape"}));

  EXPECT_EQ(safePetFolderName("custom:ok_Name-1.2"), "ok_Name-1.2");
  EXPECT_EQ(safePetFolderName(".hidden"), std::nullopt);
  EXPECT_EQ(safePetFolderName("a/b"), std::nullopt);
  EXPECT_EQ(safePetFolderName("custom:"), std::nullopt);
  EXPECT_EQ(safePetFolderName(std::string(65, 'a')), std::nullopt);
}

TEST(PetImport, RefusesFoldersThatAreNoPetsWithTheReasonInTheBanner) {
  TempDir home;
  const std::string pets = home.file(".glimmet/pets");
  std::vector<std::string> logged;
  const LogSink log = [&](const std::string& line) { logged.push_back(line); };

  fs::create_directories(home.file("empty"));
  const std::string crowded = makePetFolder(home.file("crowded"), "{}");
  for (size_t i = 0; i < kPetImportMaximumFiles; ++i) {
    writeText(crowded + "/frames/f" + std::to_string(i), "x");
  }
  const std::string linked = makePetFolder(home.file("linked"), "{}");
  fs::create_symlink("/etc/passwd", linked + "/frames/secret");
  const std::string wrongTypes =
      makePetFolder(home.file("wrong"), R"({"spritesheetPath": ["a"], "displayName": true})");
  const std::string unreadable = makePetFolder(home.file("locked"), "{}");
  ::chmod((unreadable + "/frames").c_str(), 0);

  FakeFolderPicker picker;
  picker.answers = {home.file("empty"), crowded, linked, unreadable, wrongTypes};
  const auto empty = importPetDirectory(picker, pets, log);
  EXPECT_FALSE(empty.pet);
  EXPECT_EQ(empty.banner, "Import failed: No pet.json in " + home.file("empty"));
  const auto many = importPetDirectory(picker, pets, log);
  EXPECT_FALSE(many.pet);
  EXPECT_EQ(many.banner,
            "Import failed: " + crowded + " holds more than 64 files; it is not a pet folder");
  const auto link = importPetDirectory(picker, pets, log);
  EXPECT_FALSE(link.pet);
  EXPECT_NE(link.banner.find("holds a symbolic link (frames/secret)"), std::string::npos)
      << link.banner;
  const auto locked = importPetDirectory(picker, pets, log);
  if (::geteuid() != 0) {  // root reads everything
    EXPECT_FALSE(locked.pet);
    EXPECT_NE(locked.banner.find("Cannot read " + unreadable), std::string::npos) << locked.banner;
  }
  ::chmod((unreadable + "/frames").c_str(), 0755);
  EXPECT_TRUE(entriesOf(pets).size() <= (::geteuid() == 0 ? 1u : 0u));

  // Wrong types fall back to the defaults: the pet still imports, named after its folder.
  const auto wrong = importPetDirectory(picker, pets, log);
  ASSERT_TRUE(wrong.pet) << wrong.banner;
  EXPECT_EQ(wrong.pet->name, "wrong");
  EXPECT_EQ(wrong.banner, "Imported wrong pet from wrong");
  EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
    return line.find("\"spritesheetPath\" is array, not text; using the default") !=
           std::string::npos;
  }));
  EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
    return line.starts_with("[Glimmet] Pet import failed: ");
  }));
}

TEST(PetImport, RemovesOnlyDeletablePetsOfTheOwnPetsFolder) {
  TempDir home;
  const std::string pets = home.file(".glimmet/pets");
  const std::string own = makePetFolder(pets + "/mine", "{}");
  const std::string codex = makePetFolder(home.file(".codex/pets/theirs"), "{}");

  auto ownPet = codexPetChoice(own, "pet.json", PetSourceKind::glimmetPet, "custom:", true);
  auto codexPet = codexPetChoice(codex, "pet.json", PetSourceKind::codexPet, "custom:", false);
  ASSERT_TRUE(ownPet && codexPet);

  EXPECT_FALSE(removeGlimmetPetDirectoryIfAllowed(*codexPet, pets));
  EXPECT_TRUE(fs::exists(codex + "/pet.json"));
  EXPECT_FALSE(removeGlimmetPetDirectoryIfAllowed(defaultPetChoice(), pets));

  // Marked deletable but living elsewhere: still refused.
  PetChoice stray = *codexPet;
  stray.isDeletable = true;
  const Status strayRemoval = removeGlimmetPetDirectoryIfAllowed(stray, pets);
  EXPECT_FALSE(strayRemoval);
  EXPECT_EQ(strayRemoval.error(), "theirs is not in Glimmet's pets folder");
  EXPECT_TRUE(fs::exists(codex));

  EXPECT_TRUE(removeGlimmetPetDirectoryIfAllowed(*ownPet, pets + "/"));
  EXPECT_FALSE(fs::exists(own));
  EXPECT_TRUE(fs::exists(pets));
}

}  // namespace
}  // namespace glimmet
