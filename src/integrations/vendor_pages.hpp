#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// Where the primary action of a tool row leads: an application bundle for tools Glimmet can
// bring forward, or the vendor's own page (download, documentation, marketplace, repository
// or product page) for tools that are set up outside Glimmet. Absent when there is none.
std::optional<std::string> toolJumpTarget(std::string_view toolID);

}  // namespace glimmet
