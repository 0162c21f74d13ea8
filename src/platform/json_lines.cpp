#include "platform/json_lines.hpp"

#include <filesystem>

#include "platform/file_system.hpp"
#include "platform/private_files.hpp"

namespace glimmet {

Status appendJsonLine(const std::string& path, const Json& record) {
  const std::string directory = std::filesystem::path(path).parent_path().string();
  if (!directory.empty()) {
    if (auto status = createPrivateDirectories(directory); !status) return status;
  }
  return appendToFile(path, record.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
}

}  // namespace glimmet
