#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/log.hpp"
#include "base/result.hpp"
#include "model/pet_choice.hpp"
#include "platform/folder_picker.hpp"

namespace glimmet {

// A pet folder holds a manifest, a sprite sheet and perhaps a preview or two; more than this is
// not a pet and is refused rather than copied.
inline constexpr size_t kPetImportMaximumFiles = 64;
inline constexpr uint64_t kPetImportMaximumBytes = 64ull << 20;

struct PetImportOutcome {
  std::optional<PetChoice> pet;  // the imported pet, absent when nothing was imported
  std::string banner;            // what the status banner says; empty when the user cancelled
};

// Copies a pet folder into `petsDirectory`: the folder is named after the pet's ID when that is a
// safe file name, else "dir-" and a generated suffix, and never replaces an earlier pet.
Result<PetChoice> copyPetDirectory(const std::string& sourceDirectory,
                                   const std::string& petsDirectory, const LogSink& log = {});

// Asks for a folder holding "pet.json" and imports it.
PetImportOutcome importPetDirectory(FolderPicker& picker, const std::string& petsDirectory,
                                    const LogSink& log = {});

// The folder name for a pet ID: the ID without its "custom:" prefix when it is made of letters,
// digits, '.', '-' and '_' (not starting with '.'), else absent.
std::optional<std::string> safePetFolderName(const std::string& id);

// Deletes the pet's folder when the pet may be deleted and its folder lies in `petsDirectory`.
Status removeGlimmetPetDirectoryIfAllowed(const PetChoice& choice,
                                          const std::string& petsDirectory);

}  // namespace glimmet
