#include "pets/pet_catalog.hpp"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "base/json_values.hpp"
#include "platform/file_system.hpp"
#include "platform/user_defaults.hpp"

#ifndef GLIMMET_PET_RESOURCES_DIR
#define GLIMMET_PET_RESOURCES_DIR ""
#endif

namespace glimmet {

namespace {

// A manifest value that should be text: absent stays silent, anything else is reported and
// replaced by the default.
std::optional<std::string> manifestText(const Json& object, const char* key,
                                        const std::string& manifestPath, const LogSink& log) {
  const Json* value = member(object, key);
  if (value == nullptr || value->is_null()) return std::nullopt;
  if (value->is_string() || value->is_number()) {
    if (auto text = stringValue(*value)) return text;
    return std::nullopt;
  }
  writeLog(log, "[Glimmet] Pet manifest " + manifestPath + ": \"" + key + "\" is " +
                    std::string(value->type_name()) + ", not text; using the default");
  return std::nullopt;
}

}  // namespace

Result<PetManifest> readPetManifest(const std::string& directory, const std::string& manifestName,
                                    const LogSink& log) {
  const std::string path = directory + "/" + manifestName;
  const auto metadata = fileMetadata(path);
  if (!metadata) return Result<PetManifest>::failure("No " + manifestName + " in " + directory);
  if (metadata->kind != FileKind::regular) {
    return Result<PetManifest>::failure(path + " is " + std::string(describe(metadata->kind)) +
                                        ", not a file");
  }
  if (metadata->size > kPetManifestMaximumBytes) {
    return Result<PetManifest>::failure(path + " is too large to be a pet manifest");
  }
  auto text = readFileReportingError(path);
  if (!text) return Result<PetManifest>::failure(text.error());
  const Json json = parseJsonText(text.value());
  if (json.is_discarded()) return Result<PetManifest>::failure(path + " is not valid JSON");
  if (!json.is_object()) return Result<PetManifest>::failure(path + " is not a JSON object");

  PetManifest manifest;
  const std::string folderName = std::filesystem::path(directory).filename().string();
  manifest.id = manifestText(json, "id", path, log).value_or(folderName);
  manifest.displayName = manifestText(json, "displayName", path, log).value_or(manifest.id);
  manifest.description =
      manifestText(json, "description", path, log).value_or("Imported Codex pet");
  manifest.spritesheetPath =
      manifestText(json, "spritesheetPath", path, log).value_or("spritesheet.webp");
  if (const Json* provenance = member(json, "glimmet")) {
    if (provenance->is_object()) {
      const std::string where = path + " glimmet";
      manifest.source = manifestText(*provenance, "source", where, log);
      manifest.sourceURL = manifestText(*provenance, "sourceUrl", where, log);
      manifest.websiteTag = manifestText(*provenance, "websiteTag", where, log);
      manifest.authorHandle = manifestText(*provenance, "authorHandle", where, log);
      manifest.authorName = manifestText(*provenance, "authorName", where, log);
    } else if (!provenance->is_null()) {
      writeLog(log, "[Glimmet] Pet manifest " + path + ": \"glimmet\" is " +
                        std::string(provenance->type_name()) + ", not an object; ignored");
    }
  }
  return manifest;
}

std::optional<std::string> resolvedCodexSpriteURL(const std::string& directory,
                                                  const std::string& spritePath) {
  const std::filesystem::path relative(spritePath);
  if (spritePath.empty() || relative.is_absolute()) return std::nullopt;
  for (const auto& part : relative) {
    if (part == "..") return std::nullopt;
  }
  return (std::filesystem::path(directory) / relative).lexically_normal().string();
}

std::optional<PetChoice> codexPetChoice(const std::string& directory,
                                        const std::string& manifestName, PetSourceKind sourceKind,
                                        const std::string& idPrefix, bool isDeletable,
                                        const LogSink& log) {
  auto manifest = readPetManifest(directory, manifestName, log);
  if (!manifest) {
    writeLog(log, "[Glimmet] Skipped pet: " + manifest.error());
    return std::nullopt;
  }
  const PetManifest& m = manifest.value();
  const auto sprite = resolvedCodexSpriteURL(directory, m.spritesheetPath);
  if (!sprite) {
    writeLog(log, "[Glimmet] Skipped pet " + directory + ": sprite sheet \"" + m.spritesheetPath +
                      "\" lies outside the pet's folder");
    return std::nullopt;
  }
  const auto spriteMetadata = fileMetadata(*sprite);
  if (!spriteMetadata || spriteMetadata->kind != FileKind::regular) {
    writeLog(log, "[Glimmet] Skipped pet " + directory + ": no sprite sheet at " + *sprite);
    return std::nullopt;
  }
  PetChoice choice;
  choice.id = m.id.starts_with(idPrefix) ? m.id : idPrefix + m.id;
  choice.name = m.displayName;
  choice.detail = m.description;
  choice.sourcePath = directory;
  choice.spritePath = *sprite;
  choice.sourceKind = sourceKind;
  choice.isCodexSprite = true;
  choice.sourceLabel = m.source;
  choice.sourceURL = m.sourceURL;
  choice.websiteTag = m.websiteTag;
  choice.authorHandle = m.authorHandle;
  choice.authorName = m.authorName;
  choice.isDeletable = isDeletable;
  return choice;
}

std::vector<PetChoice> loadCodexPetChoices(const std::string& root, const std::string& manifestName,
                                           PetSourceKind sourceKind, const std::string& idPrefix,
                                           bool isDeletable, const LogSink& log) {
  std::vector<PetChoice> choices;
  auto names = directoryEntryNames(root);
  if (!names) return choices;
  std::sort(names->begin(), names->end());
  for (const std::string& name : *names) {
    if (name.starts_with(".")) continue;
    std::string directory = root;
    directory += "/";
    directory += name;
    if (!isDirectory(directory)) continue;
    if (auto choice =
            codexPetChoice(directory, manifestName, sourceKind, idPrefix, isDeletable, log)) {
      choices.push_back(std::move(*choice));
    }
  }
  return choices;
}

std::vector<PetChoice> builtInPetChoices() {
  return {defaultPetChoice(), glimCatPetChoice()};
}

std::string resourcePetsDirectory() {
  return GLIMMET_PET_RESOURCES_DIR;
}

std::string glimmetPetsDirectory(const Paths& paths) {
  return paths.glimmetHome + "/pets";
}

PetSources petSources(const Paths& paths, const UserDefaults& defaults) {
  PetSources sources;
  sources.resourcePetsDirectory = resourcePetsDirectory();
  if (defaults.boolValue("codexPetsDirectoryAuthorized", false) && !paths.homeDirectory.empty()) {
    sources.codexPetsDirectory = paths.homeDirectory + "/.codex/pets";
  }
  sources.glimmetPetsDirectory = glimmetPetsDirectory(paths);
  for (const std::string& id : defaults.stringArrayValue("deletedDefaultPetIDs")) {
    sources.deletedDefaultPetIDs.insert(id);
  }
  return sources;
}

std::vector<PetChoice> refreshLocalPets(const PetSources& sources, const LogSink& log) {
  std::vector<PetChoice> gathered = builtInPetChoices();
  const auto append = [&gathered](std::vector<PetChoice> more) {
    for (auto& choice : more) gathered.push_back(std::move(choice));
  };
  if (!sources.resourcePetsDirectory.empty()) {
    append(loadCodexPetChoices(sources.resourcePetsDirectory, kPetManifestName,
                               PetSourceKind::builtIn, "", false, log));
  }
  if (sources.codexPetsDirectory) {
    append(loadCodexPetChoices(*sources.codexPetsDirectory, kPetManifestName,
                               PetSourceKind::codexPet, kCustomPetIDPrefix, false, log));
  }
  append(loadCodexPetChoices(sources.glimmetPetsDirectory, kPetManifestName,
                             PetSourceKind::glimmetPet, kCustomPetIDPrefix, true, log));

  std::vector<PetChoice> choices;
  std::unordered_set<std::string> seen;
  for (auto& choice : gathered) {
    if (sources.deletedDefaultPetIDs.contains(choice.id)) continue;
    if (!seen.insert(choice.id).second) continue;
    choices.push_back(std::move(choice));
  }
  return choices;
}

std::optional<PetChoice> selectedPetChoice(const std::vector<PetChoice>& choices,
                                           const std::string& selectedPetID) {
  for (const auto& wanted : {selectedPetID, std::string(kDefaultPetID)}) {
    const auto found = std::find_if(choices.begin(), choices.end(),
                                    [&](const PetChoice& c) { return c.id == wanted; });
    if (found != choices.end()) return *found;
  }
  if (choices.empty()) return std::nullopt;
  return choices.front();
}

}  // namespace glimmet
