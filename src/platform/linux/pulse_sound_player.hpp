#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sound_player.hpp"

namespace glimmet {

// Where the freedesktop sound theme keeps its sounds on Debian and most distributions.
inline constexpr std::string_view kFreedesktopSoundDirectory =
    "/usr/share/sounds/freedesktop/stereo";

// The theme file that stands in for a named system sound ("Glass" -> "complete.oga"), when it
// exists under `themeDirectory`.
std::optional<std::string> namedSoundFile(std::string_view name, const std::string& themeDirectory);

// Decodes with libsndfile and plays through the PulseAudio client library (served by
// PulseAudio or PipeWire), one worker thread per sound. The server is the client library's
// usual choice (PULSE_SERVER, then the user's session).
std::unique_ptr<SoundPlayer> makePulseSoundPlayer(std::string themeDirectory);

}  // namespace glimmet
