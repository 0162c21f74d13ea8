#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace glimmet {

// The numeric release parts of a version: build metadata ("+…") and a pre-release suffix
// ("-…") are cut off, so "1.2.3-beta+7" reads 1, 2, 3; a piece that is not a number counts 0.
std::vector<int64_t> numericVersionParts(std::string_view version);

enum class VersionOrder { ascending, same, descending };

// Missing trailing parts count as 0, so "1.2" and "1.2.0" are the same version.
VersionOrder compareVersionStrings(std::string_view a, std::string_view b);

inline bool isOlderVersion(std::string_view a, std::string_view b) {
  return compareVersionStrings(a, b) == VersionOrder::ascending;
}

}  // namespace glimmet
