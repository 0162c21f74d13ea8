#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// The string value of `key` in the top-level dictionary of an XML property list.
std::optional<std::string> xmlPropertyListString(std::string_view xml, std::string_view key);

// Resolves the five predefined XML entities and numeric character references.
std::optional<std::string> decodeXmlText(std::string_view text);

}  // namespace glimmet
