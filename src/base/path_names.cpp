#include "base/path_names.hpp"

namespace glimmet {

std::string tilde(const std::string& homeDirectory, std::string_view relative) {
  std::string path = homeDirectory;
  if (path.empty() || path.back() != '/') path += '/';
  path += relative;
  return path;
}

std::string basename(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (last.empty()) return "Workspace";
  return std::string(last);
}

bool isSafePackageID(std::string_view id) {
  constexpr std::string_view first = "abcdefghijklmnopqrstuvwxyz0123456789";
  constexpr std::string_view rest = "abcdefghijklmnopqrstuvwxyz0123456789._-";
  if (id.empty() || first.find(id.front()) == std::string_view::npos) return false;
  for (const char c : id) {
    if (rest.find(c) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace glimmet
