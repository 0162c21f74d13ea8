#include "integrations/desktop_entry.hpp"

#include "base/text.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kMainGroup = "[Desktop Entry]";

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text) {
  if (!isValidUtf8(text)) return std::nullopt;
  DesktopEntry entry;
  bool inMainGroup = false;
  bool sawMainGroup = false;
  bool sawType = false, sawExec = false, sawTryExec = false, sawHidden = false,
       sawNoDisplay = false;
  for (const auto& rawLine : split(text, '\n')) {
    const std::string line = trim(rawLine);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      // Keys repeated in a later group with the same name do not reopen it.
      inMainGroup = line == kMainGroup && !sawMainGroup;
      sawMainGroup = sawMainGroup || inMainGroup;
      continue;
    }
    if (!inMainGroup) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = trim(std::string_view(line).substr(0, equals));
    const std::string value = trim(std::string_view(line).substr(equals + 1));
    // The first value of a key counts, as in the desktop's own reader.
    const auto take = [&](bool& seen, auto apply) {
      if (seen) return;
      seen = true;
      apply();
    };
    if (key == "Type") take(sawType, [&] { entry.type = value; });
    if (key == "Exec") take(sawExec, [&] { entry.exec = value; });
    if (key == "TryExec") take(sawTryExec, [&] { entry.tryExec = value; });
    if (key == "Hidden") take(sawHidden, [&] { entry.hidden = value == "true"; });
    if (key == "NoDisplay") take(sawNoDisplay, [&] { entry.noDisplay = value == "true"; });
  }
  if (!sawMainGroup) return std::nullopt;
  return entry;
}

}  // namespace glimmet
