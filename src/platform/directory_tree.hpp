#pragma once

#include <string>

#include "base/result.hpp"

namespace glimmet {

// Removes `path` and everything below it (links are removed, not followed). A missing path is
// no error.
Status removeDirectoryTree(const std::string& path);

}  // namespace glimmet
