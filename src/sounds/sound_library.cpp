#include "sounds/sound_library.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "base/json_values.hpp"
#include "base/path_names.hpp"
#include "base/text.hpp"
#include "model/sound_presets.hpp"
#include "platform/directory_tree.hpp"
#include "platform/file_replacement.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kManifestName = "sound.json";
constexpr std::string_view kConfigFolder = "config";
constexpr std::string_view kDefaultDescription = "Imported local sound";
constexpr std::string_view kNeedsPackageFolder =
    "Choose a folder containing sound.json and an audio file";
constexpr std::string_view kAudioNotFound = "Audio file not found";
constexpr std::string_view kChooseAudioFile =
    "Choose an mp3, wav, m4a, aac, aiff, caf, or ogg audio file";
constexpr std::string_view kImportFailedPrefix = "Sound import failed: ";
constexpr std::array<std::string_view, 7> kAudioExtensions = {"mp3",  "wav", "m4a", "aac",
                                                              "aiff", "caf", "ogg"};

std::string joinPath(const std::string& directory, std::string_view name) {
  return directory + "/" + std::string(name);
}

std::string lowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  return toLower(extension);
}

// A file name inside the package folder; anything that could point elsewhere is refused.
bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// An ID that may name a folder of its own under the sounds folder.
std::optional<std::string> unusableIDReason(const std::string& id) {
  if (!isSafePackageID(id) || id == kConfigFolder)
    return fmt::format("The sound ID \"{}\" cannot be used as a folder name", id);
  return std::nullopt;
}

std::optional<Json> readJsonObject(const std::string& path) {
  const auto text = readFile(path);
  if (!text) return std::nullopt;
  Json object = parseJsonText(*text);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  return object;
}

LocalDiskMetadata diskMetadata(const std::string& path) {
  LocalDiskMetadata metadata;
  if (const auto found = fileMetadata(path)) {
    metadata.exists = true;
    metadata.modifiedAt = found->modified;
    metadata.fileSize = found->size;
  }
  return metadata;
}

Json manifestJson(const std::string& id, const std::optional<std::string>& displayName,
                  const std::string& description, const std::string& audioFileName,
                  const std::optional<std::string>& defaultAssign) {
  Json manifest = {{"id", id},
                   {"displayName", displayName.value_or(id)},
                   {"description", description},
                   {"audioPath", audioFileName}};
  if (defaultAssign) manifest["defaultAssign"] = *defaultAssign;
  return manifest;
}

}  // namespace

std::optional<LocalSoundPackage> soundPackage(const std::string& directory) {
  const auto manifest = readJsonObject(joinPath(directory, kManifestName));
  if (!manifest) return std::nullopt;
  const auto audioName = firstString(*manifest, {"audioPath", "audio_path"});
  if (!audioName || !isPlainFileName(*audioName)) return std::nullopt;
  const std::string audioPath = joinPath(directory, *audioName);
  const auto audio = fileMetadata(audioPath);
  if (!audio || audio->kind != FileKind::regular) return std::nullopt;
  LocalSoundPackage package;
  package.id = firstString(*manifest, {"id"}).value_or(basename(directory));
  package.audioPath = audioPath;
  package.displayName = firstString(*manifest, {"displayName", "display_name"});
  package.defaultAssign = firstString(*manifest, {"defaultAssign", "default_assign"});
  return package;
}

SoundLibrary::SoundLibrary(std::string soundRoot) : soundRoot_(std::move(soundRoot)) {}

std::string SoundLibrary::assignmentsFilePath() const {
  return joinPath(joinPath(soundRoot_, kConfigFolder), "sounds.json");
}

Result<ImportedSound> SoundLibrary::importSound(const std::string& path) {
  auto result = isDirectory(path) ? installSoundPackageFromDirectory(path)
                                  : installSoundPackageFromAudioFile(path);
  if (!result)
    return Result<ImportedSound>::failure(std::string(kImportFailedPrefix) + result.error());
  return result;
}

Result<ImportedSound> SoundLibrary::installSoundPackageFromDirectory(const std::string& directory) {
  const auto manifest = readJsonObject(joinPath(directory, kManifestName));
  const auto audioName =
      manifest ? firstString(*manifest, {"audioPath", "audio_path"}) : std::nullopt;
  if (!manifest || !audioName)
    return Result<ImportedSound>::failure(std::string(kNeedsPackageFolder));
  const auto audio =
      isPlainFileName(*audioName) ? fileMetadata(joinPath(directory, *audioName)) : std::nullopt;
  if (!audio || audio->kind != FileKind::regular)
    return Result<ImportedSound>::failure(std::string(kAudioNotFound));

  const std::string id =
      firstString(*manifest, {"id"}).value_or(soundPackageID(basename(directory)));
  if (const auto reason = unusableIDReason(id)) return Result<ImportedSound>::failure(*reason);
  const auto displayName = firstString(*manifest, {"displayName", "display_name"});
  const auto defaultAssign = firstString(*manifest, {"defaultAssign", "default_assign"});
  const std::string description =
      firstString(*manifest, {"description"}).value_or(std::string(kDefaultDescription));

  const std::string staging = joinPath(soundRoot_, ".staging-" + id);
  (void)removeDirectoryTree(staging);
  if (auto made = createDirectories(staging); !made)
    return Result<ImportedSound>::failure(made.error());
  Status written = writeFileAtomically(
      joinPath(staging, kManifestName),
      manifestJson(id, displayName, description, *audioName, defaultAssign).dump(2) + "\n");
  if (written)
    written = copyFileExclusive(joinPath(directory, *audioName), joinPath(staging, *audioName));
  if (!written) {
    (void)removeDirectoryTree(staging);
    return Result<ImportedSound>::failure(written.error());
  }
  return installStaged(id, staging, displayName, defaultAssign);
}

Result<ImportedSound> SoundLibrary::installSoundPackageFromAudioFile(const std::string& audioFile) {
  const std::string extension = lowerExtension(audioFile);
  if (std::find(kAudioExtensions.begin(), kAudioExtensions.end(), extension) ==
      kAudioExtensions.end())
    return Result<ImportedSound>::failure(std::string(kChooseAudioFile));
  const auto audio = fileMetadata(audioFile);
  if (!audio || audio->kind != FileKind::regular)
    return Result<ImportedSound>::failure(std::string(kAudioNotFound));

  const std::string id = soundPackageID(audioFile);
  if (const auto reason = unusableIDReason(id)) return Result<ImportedSound>::failure(*reason);
  const std::optional<std::string> displayName = std::filesystem::path(audioFile).stem().string();
  const std::string audioName = "audio." + extension;

  const std::string staging = joinPath(soundRoot_, ".staging-" + id);
  (void)removeDirectoryTree(staging);
  if (auto made = createDirectories(staging); !made)
    return Result<ImportedSound>::failure(made.error());
  Status written = writeFileAtomically(
      joinPath(staging, kManifestName),
      manifestJson(id, displayName, std::string(kDefaultDescription), audioName, std::nullopt)
              .dump(2) +
          "\n");
  if (written) written = copyFileExclusive(audioFile, joinPath(staging, audioName));
  if (!written) {
    (void)removeDirectoryTree(staging);
    return Result<ImportedSound>::failure(written.error());
  }
  return installStaged(id, staging, displayName, std::nullopt);
}

Result<ImportedSound> SoundLibrary::installStaged(const std::string& id, const std::string& staging,
                                                  const std::optional<std::string>& displayName,
                                                  const std::optional<std::string>& defaultAssign) {
  const std::string target = joinPath(soundRoot_, id);
  Status moved = removeDirectoryTree(target);
  if (moved) moved = moveReplacing(staging, target);
  if (!moved) {
    (void)removeDirectoryTree(staging);
    return Result<ImportedSound>::failure(moved.error());
  }
  SoundAssignmentsFile file = readAssignmentsFile();
  if (std::find(file.installed.begin(), file.installed.end(), id) == file.installed.end())
    file.installed.push_back(id);
  if (defaultAssign) file.assignments[*defaultAssign] = id;
  if (auto saved = writeAssignmentsFile(file); !saved)
    return Result<ImportedSound>::failure(saved.error());

  const auto package = soundPackage(target);
  if (!package) return Result<ImportedSound>::failure(std::string(kAudioNotFound));
  rescan();
  return ImportedSound{id, package->audioPath, displayName, false};
}

Status SoundLibrary::deleteImportedSoundOnDisk(const std::string& soundID) {
  if (const auto reason = unusableIDReason(soundID)) return Status::failure(*reason);
  if (auto removed = removeDirectoryTree(joinPath(soundRoot_, soundID)); !removed) return removed;
  SoundAssignmentsFile file = readAssignmentsFile();
  std::erase(file.installed, soundID);
  std::erase_if(file.assignments, [&](const auto& entry) { return entry.second == soundID; });
  Status saved = writeAssignmentsFile(file);
  rescan();
  return saved;
}

Status SoundLibrary::saveGlimmetSoundAssignment(const std::string& soundID,
                                                const std::string& taskType) {
  SoundAssignmentsFile file = readAssignmentsFile();
  if (soundID.empty()) {
    file.assignments.erase(taskType);
  } else {
    file.assignments[taskType] = soundID;
  }
  Status saved = writeAssignmentsFile(file);
  rescan();
  return saved;
}

SoundAssignmentsFile SoundLibrary::readAssignmentsFile() const {
  SoundAssignmentsFile file;
  const auto object = readJsonObject(assignmentsFilePath());
  if (!object) return file;
  if (const Json* assignments = member(*object, "assignments");
      assignments && assignments->is_object()) {
    for (const auto& [taskType, soundID] : assignments->items()) {
      if (auto id = stringValue(soundID)) file.assignments[taskType] = *std::move(id);
    }
  }
  if (const Json* installed = member(*object, "installed"))
    file.installed = stringArray(*installed);
  return file;
}

Status SoundLibrary::writeAssignmentsFile(const SoundAssignmentsFile& file) const {
  if (auto made = createDirectories(joinPath(soundRoot_, kConfigFolder)); !made) return made;
  Json assignments = Json::object();
  for (const auto& [taskType, soundID] : file.assignments) assignments[taskType] = soundID;
  const Json document = {
      {"version", 1}, {"assignments", assignments}, {"installed", file.installed}};
  return writeFileAtomically(assignmentsFilePath(), document.dump(2) + "\n");
}

std::vector<ImportedSound> SoundLibrary::loadGlimmetSoundChoices() const {
  const SoundAssignmentsFile file = readAssignmentsFile();
  std::vector<std::string> ids;
  for (const auto& id : file.installed) {
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  auto folders = directoryEntryNames(soundRoot_).value_or(std::vector<std::string>{});
  std::sort(folders.begin(), folders.end());
  for (const auto& name : folders) {
    if (std::find(ids.begin(), ids.end(), name) == ids.end()) ids.push_back(name);
  }
  std::vector<ImportedSound> sounds;
  for (const auto& id : ids) {
    if (unusableIDReason(id)) continue;
    const auto package = soundPackage(joinPath(soundRoot_, id));
    if (!package) continue;
    sounds.push_back(ImportedSound{id, package->audioPath, package->displayName, false});
  }
  return sounds;
}

LocalSoundDiskSignature SoundLibrary::diskSignature() const {
  return {diskMetadata(soundRoot_), diskMetadata(assignmentsFilePath())};
}

bool SoundLibrary::refreshIfChanged(Timestamp now) {
  const auto signature = diskSignature();
  const bool due = !lastLocalSoundFullScanAt_ ||
                   secondsBetween(*lastLocalSoundFullScanAt_, now) >= kFullScanIntervalSeconds;
  if (lastSignature_ == signature && !due) return false;
  rescan();
  lastLocalSoundFullScanAt_ = now;
  return true;
}

void SoundLibrary::rescan() {
  importedSounds_ = loadGlimmetSoundChoices();
  assignmentsFile_ = readAssignmentsFile();
  lastSignature_ = diskSignature();
}

}  // namespace glimmet
