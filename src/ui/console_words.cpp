#include "ui/console_words.hpp"

namespace glimmet {

std::vector<ConsoleWord> consoleWords(const std::string& line) {
  std::vector<ConsoleWord> result;
  size_t index = 0;
  while (index < line.size()) {
    while (index < line.size() && (line[index] == ' ' || line[index] == '\t')) ++index;
    if (index >= line.size()) break;
    const size_t start = index;
    while (index < line.size() && line[index] != ' ' && line[index] != '\t') ++index;
    result.push_back({line.substr(start, index - start), start});
  }
  return result;
}

std::string consoleRestOfLine(const std::string& line, size_t start) {
  std::string rest = start < line.size() ? line.substr(start) : std::string();
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
  return rest;
}

}  // namespace glimmet
