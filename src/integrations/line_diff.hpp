#pragma once

#include <string>
#include <string_view>

namespace glimmet {

// The most lines a diff shows before it is cut with "… diff truncated".
inline constexpr size_t kDiffLineLimit = 81;

// A short positional line diff for the install preview: line i of `oldText` against line i of
// `newText`, "- " for a removed and "+ " for an added line. Configuration edits keep the rest of
// the file in place, so comparing by position is enough to show what changes.
std::string unifiedDiff(std::string_view title, std::string_view oldText, std::string_view newText);

}  // namespace glimmet
