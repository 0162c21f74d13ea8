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
  reloadIfChanged();
}

JsonFileUserDefaults::FileSignature JsonFileUserDefaults::currentSignature() const {
  std::error_code error;
  FileSignature signature;
  signature.modifiedAt = std::filesystem::last_write_time(path_, error);
  if (error) return {};
  signature.size = std::filesystem::file_size(path_, error);
  if (error) return {};
  signature.exists = true;
  return signature;
}

void JsonFileUserDefaults::reloadIfChanged() const {
  const FileSignature now = currentSignature();
  if (now == signature_) return;
  signature_ = now;
  // A missing or damaged file reads as empty; the next change rewrites it whole.
  values_ = Json::object();
  if (auto text = readFile(path_)) {
    Json parsed = Json::parse(*text, nullptr, false);
    if (parsed.is_object()) values_ = std::move(parsed);
  }
}

std::optional<Json> JsonFileUserDefaults::value(std::string_view key) const {
  reloadIfChanged();
  const auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return *found;
}

Status JsonFileUserDefaults::setValue(std::string_view key, Json value) {
  reloadIfChanged();
  values_[std::string(key)] = std::move(value);
  return persist();
}

Status JsonFileUserDefaults::setValues(const Json& values) {
  reloadIfChanged();
  for (const auto& [key, value] : values.items()) values_[key] = value;
  return persist();
}

Status JsonFileUserDefaults::removeValue(std::string_view key) {
  reloadIfChanged();
  values_.erase(std::string(key));
  return persist();
}

Status JsonFileUserDefaults::persist() {
  const std::string directory = std::filesystem::path(path_).parent_path().string();
  if (!directory.empty()) {
    if (auto status = createPrivateDirectories(directory); !status) return status;
  }
  Status written = writeFileAtomically(
      path_, values_.dump(2, ' ', false, Json::error_handler_t::replace) + "\n", 0600);
  // Our own write is not a change to read back.
  if (written) signature_ = currentSignature();
  return written;
}

}  // namespace glimmet
