#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet tools [--json]`: the health of every supported AI tool, in catalogue order.
int runToolsCommand(const std::vector<std::string_view>& args);

// `glimmet install <tool-id> [--preview]`: installs or repairs a tool's bridge, or shows the
// planned changes without writing anything.
int runInstallCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
