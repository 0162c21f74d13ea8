#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/environment.hpp"
#include "base/json_values.hpp"
#include "base/result.hpp"

namespace glimmet {

// Small persistent preferences. macOS keeps them in the application's user-defaults domain;
// Linux in one JSON file under the user's configuration directory.
class UserDefaults {
 public:
  virtual ~UserDefaults() = default;

  virtual std::optional<Json> value(std::string_view key) const = 0;
  // Stores and persists at once; a failed write is reported, the value stays in memory.
  virtual Status setValue(std::string_view key, Json value) = 0;
  virtual Status removeValue(std::string_view key) = 0;
  // Stores several values with one write.
  virtual Status setValues(const Json& values);

  bool boolValue(std::string_view key, bool fallback) const;
  std::optional<std::string> stringValue(std::string_view key) const;
  std::vector<std::string> stringArrayValue(std::string_view key) const;
};

// The JSON-file store: every change rewrites the file atomically.
class JsonFileUserDefaults final : public UserDefaults {
 public:
  explicit JsonFileUserDefaults(std::string path);

  std::optional<Json> value(std::string_view key) const override;
  Status setValue(std::string_view key, Json value) override;
  Status removeValue(std::string_view key) override;
  Status setValues(const Json& values) override;
  const std::string& path() const { return path_; }

 private:
  // What the file looked like when last read or written.
  struct FileSignature {
    bool exists = false;
    std::filesystem::file_time_type modifiedAt{};
    uintmax_t size = 0;
    bool operator==(const FileSignature&) const = default;
  };
  FileSignature currentSignature() const;
  // Takes the file again when another writer (a second instance of this class, another process,
  // the user's editor) changed it since, so that nobody's keys are lost or shown stale.
  void reloadIfChanged() const;
  Status persist();

  std::string path_;
  mutable Json values_ = Json::object();
  mutable FileSignature signature_;
};

// The platform's standard store for this user.
std::unique_ptr<UserDefaults> makeStandardUserDefaults(const Environment& environment);

}  // namespace glimmet
