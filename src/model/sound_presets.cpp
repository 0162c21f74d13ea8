#include "model/sound_presets.hpp"

#include <cctype>

namespace glimmet {

namespace {

SoundPreset preset(std::string id, std::string label, std::string era, std::string detail,
                   std::string source, std::string symbol, RGBColor accent,
                   std::string systemSoundName, std::string audioPath, double previewDuration) {
  return SoundPreset{std::move(id),
                     std::move(label),
                     std::move(era),
                     std::move(detail),
                     std::move(source),
                     std::move(symbol),
                     accent,
                     std::move(systemSoundName),
                     std::move(audioPath),
                     0.0,
                     previewDuration};
}

std::vector<SoundCategory> makeCategories() {
  return {
      {"game",
       "Game",
       "IP-safe 3s game cues inspired by clear, quest, and arena wins",
       {preset("kenney-confirm", "Kenney Confirm", "CC0",
               "Default 3s retro platform-style confirm cue", "Kenney Interface Sounds, CC0",
               "gamepad", {88, 196, 120}, "Glass", "Sounds/generated/kenney-confirm.wav", 3.0),
        preset("epic-quest", "Epic Quest", "Quest",
               "Fantasy quest-complete flourish with a calm tail",
               "Original MMO-inspired cue, synthesized", "trophy", {236, 184, 72}, "Hero",
               "Sounds/generated/epic-quest.wav", 3.0),
        preset("arena-victory", "Arena Victory", "MOBA",
               "Short defeat-and-victory hit for competitive flow",
               "Original arena victory cue, synthesized", "flag.checkered", {226, 92, 84}, "Funk",
               "Sounds/generated/arena-victory.wav", 3.0)}},
      {"piano-classics",
       "Piano Classics",
       "Public-domain classics played as up-to-3s reminder excerpts",
       {preset("goldberg-aria", "Goldberg Aria", "CC0 Bach", "Bright Bach piano excerpt",
               "Open Goldberg Variations, CC0", "music.note", {140, 170, 240}, "Glass",
               "Sounds/classics/goldberg-aria.ogg", 3.0),
        preset("moonlight-sonata", "Moonlight Sonata", "PD Beethoven",
               "More audible dramatic piano swell", "Wikimedia/Musopen public-domain recording",
               "music.note", {150, 130, 230}, "Glass", "Sounds/classics/moonlight-sonata.ogg", 3.0),
        preset("turkish-march", "Turkish March", "PD Mozart",
               "Classic energetic piano reminder phrase",
               "Wikimedia Commons / Mutopia public-domain render", "sparkles", {240, 150, 200},
               "Funk", "Sounds/classics/rondo-alla-turca.ogg", 3.0)}},
      {"focus",
       "Focus",
       "Airline-style cabin chimes under 1.5s for calm reminders",
       {preset("cabin-chime", "Cabin Chime", "Cabin", "Soft two-tone cabin reminder",
               "Original airline-style focus cue, synthesized", "bell", {120, 200, 230}, "Ping",
               "Sounds/generated/cabin-chime.wav", 1.4),
        preset("seatbelt-chime", "Seatbelt Chime", "Notice", "Gentle seatbelt-sign style reminder",
               "Original cabin notice cue, synthesized", "checkmark.circle", {110, 180, 200},
               "Tink", "Sounds/generated/seatbelt-chime.wav", 1.2),
        preset("boarding-ping", "Boarding Ping", "Quiet",
               "Minimal airport gate-style completion ping",
               "Original quiet boarding cue, synthesized", "checkmark", {160, 200, 170}, "Pop",
               "Sounds/generated/boarding-ping.wav", 1.0)}},
  };
}

}  // namespace

const std::vector<SoundCategory>& builtInSoundCategories() {
  static const std::vector<SoundCategory> categories = makeCategories();
  return categories;
}

const SoundPreset* builtInSoundPreset(std::string_view id) {
  for (const auto& category : builtInSoundCategories()) {
    for (const auto& sound : category.sounds) {
      if (sound.id == id) return &sound;
    }
  }
  return nullptr;
}

std::string soundPackageID(std::string_view audioFilePath) {
  std::string_view name = audioFilePath;
  if (const auto slash = name.find_last_of('/'); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (const auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  std::string id;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 && std::isalnum(byte)) {
      id += static_cast<char>(std::tolower(byte));
    } else if (c == ' ' || c == '.' || c == '_' || c == '-') {
      id += '-';
    }
  }
  return id.empty() ? "sound" : id;
}

}  // namespace glimmet
