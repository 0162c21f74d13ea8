#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// A snapshot of the process environment, so that start-up logic can be tested with any values.
class Environment {
 public:
  Environment() = default;
  explicit Environment(std::map<std::string, std::string, std::less<>> variables)
      : variables_(std::move(variables)) {}

  static Environment current();

  std::optional<std::string> get(std::string_view name) const;
  // The value trimmed of white space and newlines, or absent when that leaves nothing.
  std::optional<std::string> nonEmptyString(std::string_view name) const;
  void set(std::string name, std::string value) { variables_[std::move(name)] = std::move(value); }

 private:
  std::map<std::string, std::string, std::less<>> variables_;
};

// Whether the process keeps off the user's real tool directories, file monitoring, read-state
// persistence and update scheduling. Read once at start-up and passed to what needs it.
bool isolationFlagFromEnvironment(const Environment& environment);

}  // namespace glimmet
