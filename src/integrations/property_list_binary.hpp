#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// The string value of `key` in the top-level dictionary of a binary ("bplist00") property list.
// Only dictionaries and strings are decoded; every offset is checked against the data.
std::optional<std::string> binaryPropertyListString(std::string_view bytes, std::string_view key);

}  // namespace glimmet
