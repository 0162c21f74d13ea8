#pragma once

#include <string>
#include <string_view>

namespace glimmet {

// The user's home directory plus a relative path.
std::string tilde(const std::string& homeDirectory, std::string_view relative);
// The last path component, or "Workspace" when that is empty.
std::string basename(std::string_view path);
// Pet and sound package folders are named only by such identifiers.
bool isSafePackageID(std::string_view id);

}  // namespace glimmet
