#pragma once

#include <functional>
#include <string>

namespace glimmet {

// Hands one "[Glimmet] ..." line (without a line feed) to `log`; without a logger the line goes
// to standard error, so that a failure is never silent.
void writeDiagnostic(const std::function<void(const std::string&)>& log, const std::string& line);

}  // namespace glimmet
