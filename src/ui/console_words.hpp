#pragma once

#include <string>
#include <vector>

namespace glimmet {

// A word of a typed command line, and where it starts (free text keeps its own spacing).
struct ConsoleWord {
  std::string text;
  size_t start = 0;
};

// The words of a line, split at spaces and tabs.
std::vector<ConsoleWord> consoleWords(const std::string& line);

// The line from `start` to its end, without trailing spaces and tabs.
std::string consoleRestOfLine(const std::string& line, size_t start);

}  // namespace glimmet
