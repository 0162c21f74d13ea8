#include "pets/pet_import.hpp"

#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "pets/pet_catalog.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace fs = std::filesystem;

namespace {

struct FolderPlan {
  std::vector<fs::path> directories;  // relative, parents first
  std::vector<fs::path> files;        // relative
};

// The folder's files, refusing links (they could point anywhere), special files and folders past
// the limits.
Result<FolderPlan> planCopy(const fs::path& source) {
  FolderPlan plan;
  uint64_t bytes = 0;
  std::error_code error;
  fs::recursive_directory_iterator it(source, fs::directory_options::none, error);
  if (error) {
    return Result<FolderPlan>::failure("Cannot read " + source.string() + ": " + error.message());
  }
  for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    const fs::path relative = it->path().lexically_relative(source);
    const fs::file_status status = it->symlink_status(error);
    if (error) break;
    if (fs::is_symlink(status)) {
      return Result<FolderPlan>::failure(source.string() + " holds a symbolic link (" +
                                         relative.string() + "); pets are copied without links");
    }
    if (fs::is_directory(status)) {
      plan.directories.push_back(relative);
      continue;
    }
    if (!fs::is_regular_file(status)) {
      return Result<FolderPlan>::failure(source.string() + " holds a special file (" +
                                         relative.string() + ")");
    }
    plan.files.push_back(relative);
    bytes += it->file_size(error);
    if (error) break;
    if (plan.files.size() > kPetImportMaximumFiles) {
      return Result<FolderPlan>::failure(source.string() + " holds more than " +
                                         std::to_string(kPetImportMaximumFiles) +
                                         " files; it is not a pet folder");
    }
    if (bytes > kPetImportMaximumBytes) {
      return Result<FolderPlan>::failure(source.string() + " holds more than 64 MiB");
    }
  }
  if (error) {
    return Result<FolderPlan>::failure("Cannot read " + source.string() + ": " + error.message());
  }
  return plan;
}

std::string generatedSuffix() {
  std::random_device device;
  std::uniform_int_distribution<uint32_t> digits(0, 0xffffffff);
  char text[9];
  snprintf(text, sizeof text, "%08x", digits(device));
  return text;
}

// The first of "name", "name-2", "name-3", ... not yet taken.
fs::path freeFolder(const fs::path& parent, const std::string& name) {
  fs::path candidate = parent / name;
  for (int n = 2; fs::exists(candidate); ++n) {
    candidate = parent / (name + "-" + std::to_string(n));
  }
  return candidate;
}

}  // namespace

std::optional<std::string> safePetFolderName(const std::string& id) {
  std::string name = id.starts_with(kCustomPetIDPrefix)
                         ? id.substr(std::string_view(kCustomPetIDPrefix).size())
                         : id;
  if (name.empty() || name.size() > 64 || name.front() == '.') return std::nullopt;
  for (const char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!allowed) return std::nullopt;
  }
  return name;
}

Result<PetChoice> copyPetDirectory(const std::string& sourceDirectory,
                                   const std::string& petsDirectory, const LogSink& log) {
  auto manifest = readPetManifest(sourceDirectory, kPetManifestName, log);
  if (!manifest) return Result<PetChoice>::failure(manifest.error());
  // The pet must be usable where it comes from before it is worth copying.
  if (!codexPetChoice(sourceDirectory, kPetManifestName, PetSourceKind::imported,
                      kCustomPetIDPrefix, true, log)) {
    return Result<PetChoice>::failure(sourceDirectory + " has no sprite sheet at \"" +
                                      manifest.value().spritesheetPath + "\"");
  }
  auto plan = planCopy(sourceDirectory);
  if (!plan) return Result<PetChoice>::failure(plan.error());

  if (auto created = createDirectories(petsDirectory); !created) {
    return Result<PetChoice>::failure(created.error());
  }
  const std::string folderName =
      safePetFolderName(manifest.value().id).value_or("dir-" + generatedSuffix());
  const fs::path target = freeFolder(petsDirectory, folderName);
  // Copied beside the target and renamed into place, so a half-copied pet never shows up.
  const fs::path staging = fs::path(petsDirectory) / (".import-" + generatedSuffix());
  std::error_code error;
  fs::create_directory(staging, error);
  for (const fs::path& directory : plan.value().directories) {
    if (!error) fs::create_directories(staging / directory, error);
  }
  for (const fs::path& file : plan.value().files) {
    if (error) break;
    fs::copy_file(fs::path(sourceDirectory) / file, staging / file, error);
  }
  if (!error) fs::rename(staging, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    return Result<PetChoice>::failure("Cannot copy " + sourceDirectory + " into " + petsDirectory +
                                      ": " + error.message());
  }
  auto choice = codexPetChoice(target.string(), kPetManifestName, PetSourceKind::glimmetPet,
                               kCustomPetIDPrefix, true, log);
  if (!choice)
    return Result<PetChoice>::failure("The copied pet in " + target.string() +
                                      " could not be read back");
  return *choice;
}

PetImportOutcome importPetDirectory(FolderPicker& picker, const std::string& petsDirectory,
                                    const LogSink& log) {
  const auto folder = picker.pickFolder(
      {"Import Glimmet pet", "Choose a directory containing pet.json", std::nullopt});
  if (!folder) return {};
  auto imported = copyPetDirectory(*folder, petsDirectory, log);
  if (!imported) {
    writeLog(log, "[Glimmet] Pet import failed: " + imported.error());
    return {std::nullopt, "Import failed: " + imported.error()};
  }
  const std::string from = fs::path(*folder).filename().string();
  return {imported.value(), "Imported " + imported.value().name + " pet" + " from " + from};
}

Status removeGlimmetPetDirectoryIfAllowed(const PetChoice& choice,
                                          const std::string& petsDirectory) {
  if (!choice.isDeletable || !choice.sourcePath) {
    return Status::failure(choice.name + " cannot be deleted");
  }
  const fs::path folder = fs::path(*choice.sourcePath).lexically_normal();
  fs::path root = fs::path(petsDirectory).lexically_normal();
  if (!root.has_filename()) root = root.parent_path();  // "pets/" names the same folder
  if (folder.parent_path() != root) {
    return Status::failure(choice.name + " is not in Glimmet's pets folder");
  }
  std::error_code error;
  fs::remove_all(folder, error);
  if (error) return Status::failure("Cannot delete " + folder.string() + ": " + error.message());
  return {};
}

}  // namespace glimmet
