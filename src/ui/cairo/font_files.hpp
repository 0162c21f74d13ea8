#pragma once

#include <string>
#include <vector>

#include "base/environment.hpp"
#include "base/result.hpp"

namespace glimmet {

// The font files the overlay draws with, and nothing else: the Inter family for all text and,
// where installed, DejaVu Sans for the characters Inter lacks (Arabic, Hebrew, symbols).
struct FontFiles {
  std::string directory;  // where the Inter files were found
  std::vector<std::string> inter;
  std::vector<std::string> fallback;
};

// The Inter files in `directory`: the four static weights (.otf or .ttf), else the collection
// Inter.ttc, else the variable InterVariable.ttf. Fails, naming the folder, when there are none.
Result<FontFiles> fontFilesInDirectory(const std::string& directory);

// GLIMMET_FONT_DIR when set (and then only that folder), else the folders where Debian's
// fonts-inter and Homebrew's font-inter cask put the files.
Result<FontFiles> findFontFiles(const Environment& environment);

}  // namespace glimmet
