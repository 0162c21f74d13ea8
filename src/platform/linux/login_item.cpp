#include <filesystem>
#include <system_error>

#include "platform/file_system.hpp"
#include "platform/login_item.hpp"
#include "platform/private_files.hpp"
#include "platform/system_paths.hpp"

namespace glimmet {

namespace {

std::string autostartFile(const Environment& environment) {
  // Beside Glimmet's own configuration folder: "$XDG_CONFIG_HOME/autostart".
  const std::filesystem::path config(userConfigDirectory(environment));
  return (config.parent_path() / "autostart" / "glimmet.desktop").string();
}

}  // namespace

Status setOpenAtLogin(bool enabled, const std::string& program, const Environment& environment) {
  const std::string path = autostartFile(environment);
  if (!enabled) {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) return Status::failure("cannot remove " + path + ": " + error.message());
    return {};
  }
  if (auto made = createPrivateDirectories(std::filesystem::path(path).parent_path().string());
      !made)
    return made;
  return writeFileAtomically(path, autostartDesktopEntry(program), 0644);
}

bool isOpenAtLogin(const Environment& environment) {
  std::error_code error;
  return std::filesystem::is_regular_file(autostartFile(environment), error);
}

}  // namespace glimmet
