#include "platform/directory_tree.hpp"

#include <filesystem>
#include <system_error>

namespace glimmet {

Status removeDirectoryTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) return Status::failure("Cannot remove " + path + ": " + error.message());
  return {};
}

}  // namespace glimmet
