#pragma once

#include <string>
#include <string_view>

namespace glimmet {

// The system's text for an errno value, as shown in user-facing errors.
std::string systemError(int error);

// Writes every byte, continuing after short writes and interrupted calls; false on an error,
// with errno telling which.
bool writeAll(int fd, std::string_view bytes);

}  // namespace glimmet
