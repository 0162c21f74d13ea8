#pragma once

#include <functional>
#include <string>

namespace glimmet {

// Where diagnostic lines go ("[Glimmet] ...", without a line feed). Every subsystem that reports
// takes one from whoever composes it, so the console, the overlay and tests each route them.
using LogSink = std::function<void(const std::string& line)>;

// Hands `line` to `sink`; without a sink the line goes to standard error, so that a failure is
// never silent.
void writeLog(const LogSink& sink, const std::string& line);

}  // namespace glimmet
