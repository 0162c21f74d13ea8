#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tool_catalog.hpp"

namespace glimmet {

// One built-in cue: a short excerpt of a bundled audio file, or a named system sound when the
// file is missing.
struct SoundPreset {
  std::string id;
  std::string label;
  std::string era;  // the short badge beside the label
  std::string detail;
  std::string source;  // the credit line
  std::string symbol;
  RGBColor accent;
  std::string systemSoundName;
  std::optional<std::string> bundledAudioPath;  // relative to the sound resources
  double previewStart = 0;                      // seconds into the file
  std::optional<double> previewDuration;        // the longest the cue may play, in seconds
};

struct SoundCategory {
  std::string id;
  std::string label;
  std::string detail;
  std::vector<SoundPreset> sounds;
};

// The cue played when the user chose nothing.
inline constexpr std::string_view kDefaultSoundID = "moonlight-sonata";

// Every cue plays at most this long; the cabin cues stay under kCabinCueLimitSeconds.
inline constexpr double kPresetCueLimitSeconds = 3.0;
inline constexpr double kCabinCueLimitSeconds = 1.5;

// The built-in categories, in the order the Sounds tab lists them.
const std::vector<SoundCategory>& builtInSoundCategories();
const SoundPreset* builtInSoundPreset(std::string_view id);

// An identifier for a sound imported from a bare audio file, from the file's base name:
// lower-cased letters and digits kept, space, ".", "_" and "-" turned into "-", anything else
// dropped; "sound" when nothing is left.
std::string soundPackageID(std::string_view audioFilePath);

}  // namespace glimmet
