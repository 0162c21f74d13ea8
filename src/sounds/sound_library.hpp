#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "base/time.hpp"
#include "model/sound_choice.hpp"

namespace glimmet {

// One installed sound package: a folder named by its ID holding "sound.json" and the audio.
struct LocalSoundPackage {
  std::string id;
  std::string audioPath;
  std::optional<std::string> displayName;
  std::optional<std::string> defaultAssign;  // the task type it is assigned to on install
};

// The package in `directory`, when its "sound.json" names an audio file that exists beside it.
std::optional<LocalSoundPackage> soundPackage(const std::string& directory);

// "config/sounds.json" under the sounds folder.
struct SoundAssignmentsFile {
  SoundAssignments assignments;
  std::vector<std::string> installed;
};

// What the installed sounds looked like on disk when last scanned.
struct LocalDiskMetadata {
  bool exists = false;
  std::optional<Timestamp> modifiedAt;
  std::optional<uint64_t> fileSize;
  bool operator==(const LocalDiskMetadata&) const = default;
};
struct LocalSoundDiskSignature {
  LocalDiskMetadata soundRoot;
  LocalDiskMetadata assignmentsFile;
  bool operator==(const LocalSoundDiskSignature&) const = default;
};

// The sounds the user imported into one folder (normally ~/.glimmet/sounds), with the
// assignments of sounds to task types.
class SoundLibrary {
 public:
  // A full rescan happens at least this often even when the signature did not change, since a
  // file replaced inside a package folder does not touch the folder's own time.
  static constexpr double kFullScanIntervalSeconds = 60.0;

  explicit SoundLibrary(std::string soundRoot);

  const std::string& soundRoot() const { return soundRoot_; }
  std::string assignmentsFilePath() const;

  // Installs a package folder or a bare audio file. The error is the text to show: "Sound
  // import failed: " and the reason.
  Result<ImportedSound> importSound(const std::string& path);
  // The reasons alone, without the prefix.
  Result<ImportedSound> installSoundPackageFromDirectory(const std::string& directory);
  Result<ImportedSound> installSoundPackageFromAudioFile(const std::string& audioFile);

  Status deleteImportedSoundOnDisk(const std::string& soundID);
  Status saveGlimmetSoundAssignment(const std::string& soundID, const std::string& taskType);

  // Rereads the folder when its signature changed or the full-scan interval passed; returns
  // whether it did. The first call always scans.
  bool refreshIfChanged(Timestamp now);
  // The installed sounds (in install order, then any other valid folder by ID) and the
  // assignments, as of the last refresh.
  const std::vector<ImportedSound>& importedSounds() const { return importedSounds_; }
  const SoundAssignments& assignments() const { return assignmentsFile_.assignments; }

  // Reads the disk now.
  std::vector<ImportedSound> loadGlimmetSoundChoices() const;
  SoundAssignmentsFile readAssignmentsFile() const;
  LocalSoundDiskSignature diskSignature() const;

 private:
  Status writeAssignmentsFile(const SoundAssignmentsFile& file) const;
  Result<ImportedSound> installStaged(const std::string& id, const std::string& staging,
                                      const std::optional<std::string>& displayName,
                                      const std::optional<std::string>& defaultAssign);
  void rescan();

  std::string soundRoot_;
  std::vector<ImportedSound> importedSounds_;
  SoundAssignmentsFile assignmentsFile_;
  std::optional<LocalSoundDiskSignature> lastSignature_;
  std::optional<Timestamp> lastLocalSoundFullScanAt_;
};

}  // namespace glimmet
