#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/log.hpp"
#include "base/result.hpp"
#include "model/paths.hpp"
#include "model/pet_choice.hpp"

namespace glimmet {

class UserDefaults;

inline constexpr const char* kPetManifestName = "pet.json";
// Manifests are a few lines; anything much larger is not one.
inline constexpr uint64_t kPetManifestMaximumBytes = uint64_t{64} * 1024;

// What a "pet.json" says, with the defaults filled in.
struct PetManifest {
  std::string id;
  std::string displayName;
  std::string description;
  std::string spritesheetPath;
  std::optional<std::string> source;
  std::optional<std::string> sourceURL;
  std::optional<std::string> websiteTag;
  std::optional<std::string> authorHandle;
  std::optional<std::string> authorName;
};

// Reads `directory`/`manifestName`. A key of the wrong type is logged and its default used; a
// missing, unreadable, oversized or non-object manifest gives the reason.
Result<PetManifest> readPetManifest(const std::string& directory, const std::string& manifestName,
                                    const LogSink& log = {});

// The sprite sheet named by a manifest, inside the pet's folder; absent for a path that is
// absolute or climbs out of the folder.
std::optional<std::string> resolvedCodexSpriteURL(const std::string& directory,
                                                  const std::string& spritePath);

// The pet in `directory`, when it has a readable manifest and its sprite sheet is a file.
std::optional<PetChoice> codexPetChoice(const std::string& directory,
                                        const std::string& manifestName, PetSourceKind sourceKind,
                                        const std::string& idPrefix, bool isDeletable,
                                        const LogSink& log = {});

// The pets of the subfolders of `root`, in name order.
std::vector<PetChoice> loadCodexPetChoices(const std::string& root, const std::string& manifestName,
                                           PetSourceKind sourceKind, const std::string& idPrefix,
                                           bool isDeletable, const LogSink& log = {});

// The two vector-drawn pets.
std::vector<PetChoice> builtInPetChoices();

// Where pets are gathered from.
struct PetSources {
  // The sprite pets shipped with the application.
  std::string resourcePetsDirectory;
  // ~/.codex/pets, set only once the user has allowed reading it.
  std::optional<std::string> codexPetsDirectory;
  // The application's own pets folder, where imports go.
  std::string glimmetPetsDirectory;
  std::set<std::string> deletedDefaultPetIDs;
};

// The sprite pets built with the application.
std::string resourcePetsDirectory();
// ~/.glimmet/pets.
std::string glimmetPetsDirectory(const Paths& paths);
PetSources petSources(const Paths& paths, const UserDefaults& defaults);

// Built-in pets, the shipped sprite pets, the Codex pets and the application's own pets, in that
// order; the first pet of an ID wins and hidden IDs are left out.
std::vector<PetChoice> refreshLocalPets(const PetSources& sources, const LogSink& log = {});

// The pet to show for `selectedPetID`: that pet, else the default capybara, else the first.
std::optional<PetChoice> selectedPetChoice(const std::vector<PetChoice>& choices,
                                           const std::string& selectedPetID);

}  // namespace glimmet
