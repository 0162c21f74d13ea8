#include "platform/user_defaults.hpp"

#include <filesystem>

#include "platform/file_system.hpp"
#include "platform/private_files.hpp"

namespace glimmet {

bool UserDefaults::boolValue(std::string_view key, bool fallback) const {
  const auto stored = value(key);
  if (!stored) return fallback;
  return glimmet::boolValue(*stored).value_or(fallback);
}

std::optional<std::string> UserDefaults::stringValue(std::string_view key) const {
  const auto stored = value(key);
  if (!stored || !stored->is_string()) return std::nullopt;
  return stored->get<std::string>();
}

Status UserDefaults::setValues(const Json& values) {
  for (const auto& [key, value] : values.items()) {
    if (auto status = setValue(key, value); !status) return status;
  }
  return {};
}

std::vector<std::string> UserDefaults::stringArrayValue(std::string_view key) const {
  const auto stored = value(key);
  if (!stored) return {};
  return stringArray(*stored);
}

JsonFileUserDefaults::JsonFileUserDefaults(std::string path) : path_(std::move(path)) {
  // A missing or damaged file starts empty; the next change rewrites it whole.
  if (auto text = readFile(path_)) {
    Json parsed = Json::parse(*text, nullptr, false);
    if (parsed.is_object()) values_ = std::move(parsed);
  }
}

std::optional<Json> JsonFileUserDefaults::value(std::string_view key) const {
  const auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return *found;
}

Status JsonFileUserDefaults::setValue(std::string_view key, Json value) {
  values_[std::string(key)] = std::move(value);
  return persist();
}

Status JsonFileUserDefaults::setValues(const Json& values) {
  for (const auto& [key, value] : values.items()) values_[key] = value;
  return persist();
}

Status JsonFileUserDefaults::removeValue(std::string_view key) {
  values_.erase(std::string(key));
  return persist();
}

Status JsonFileUserDefaults::persist() const {
  const std::string directory = std::filesystem::path(path_).parent_path().string();
  if (!directory.empty()) {
    if (auto status = createPrivateDirectories(directory); !status) return status;
  }
  return writeFileAtomically(
      path_, values_.dump(2, ' ', false, Json::error_handler_t::replace) + "\n", 0600);
}

}  // namespace glimmet
