#include "ui/cairo/font_files.hpp"

#include <array>
#include <string_view>

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr std::array<std::string_view, 4> kStaticWeights = {"Inter-Regular", "Inter-Medium",
                                                            "Inter-SemiBold", "Inter-Bold"};
constexpr std::string_view kDebianInterDirectory = "/usr/share/fonts/opentype/inter";
constexpr std::string_view kDejaVuDirectory = "/usr/share/fonts/truetype/dejavu";
constexpr std::array<std::string_view, 2> kFallbackFiles = {"DejaVuSans.ttf",
                                                            "DejaVuSans-Bold.ttf"};

std::string inDirectory(const std::string& directory, std::string_view name) {
  return directory + "/" + std::string(name);
}

// The static weights in one format, all four or none: a partial set would draw some weights
// synthesised from others and so differ between machines.
std::vector<std::string> staticWeightFiles(const std::string& directory) {
  for (std::string_view extension : {".otf", ".ttf"}) {
    std::vector<std::string> files;
    for (std::string_view weight : kStaticWeights) {
      std::string file = inDirectory(directory, std::string(weight) + std::string(extension));
      if (fileExists(file)) files.push_back(std::move(file));
    }
    if (files.size() == kStaticWeights.size()) return files;
  }
  return {};
}

std::vector<std::string> fallbackFiles() {
  std::vector<std::string> files;
  for (std::string_view name : kFallbackFiles) {
    std::string file = inDirectory(std::string(kDejaVuDirectory), name);
    if (fileExists(file)) files.push_back(std::move(file));
  }
  return files;
}

std::string missingFontsMessage(std::string_view where) {
  return "No Inter font files (Inter-Regular.otf, Inter-Medium.otf, Inter-SemiBold.otf, "
         "Inter-Bold.otf, Inter.ttc or InterVariable.ttf) in " +
         std::string(where) +
         ". Install the fonts-inter package (Debian, Ubuntu) or the font-inter cask (Homebrew), "
         "or set GLIMMET_FONT_DIR to a folder holding them.";
}

}  // namespace

Result<FontFiles> fontFilesInDirectory(const std::string& directory) {
  FontFiles files;
  files.directory = directory;
  files.inter = staticWeightFiles(directory);
  for (std::string_view single : {"Inter.ttc", "InterVariable.ttf"}) {
    if (!files.inter.empty()) break;
    std::string file = inDirectory(directory, single);
    if (fileExists(file)) files.inter.push_back(std::move(file));
  }
  if (files.inter.empty()) return Result<FontFiles>::failure(missingFontsMessage(directory));
  files.fallback = fallbackFiles();
  return files;
}

Result<FontFiles> findFontFiles(const Environment& environment) {
  if (auto directory = environment.nonEmptyString("GLIMMET_FONT_DIR")) {
    return fontFilesInDirectory(*directory);
  }
  std::vector<std::string> candidates = {std::string(kDebianInterDirectory),
                                         "/usr/share/fonts/truetype/inter",
                                         "/usr/local/share/fonts/opentype/inter"};
  if (auto home = environment.nonEmptyString("HOME"))
    candidates.push_back(*home + "/Library/Fonts");
  candidates.emplace_back("/Library/Fonts");
  candidates.emplace_back("/opt/homebrew/share/fonts");
  for (const std::string& directory : candidates) {
    auto files = fontFilesInDirectory(directory);
    if (files) return files;
  }
  return Result<FontFiles>::failure(missingFontsMessage(join(candidates, ", ")));
}

}  // namespace glimmet
