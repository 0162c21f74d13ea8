#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// The usage carousel shows one entry per brand, whichever of the brand's tools reported.

// The tools an entry stands for: a brand or any of its tools ("codex", "Codex App") gives the
// whole family, in the order their snapshots are looked up; any other name gives its own
// canonical id.
std::vector<std::string> usageToolIDs(std::string_view brandOrTool);

// "Claude", "Codex", "Cursor", "Trae" or "OpenCode" for a tool of those families; any other tool
// keeps its display name.
std::string usageBrandName(std::string_view tool);

}  // namespace glimmet
