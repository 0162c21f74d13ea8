#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/environment.hpp"

namespace glimmet::testing {

// A fresh directory under the system temp directory ($TMPDIR), or under `parent`, removed with
// everything in it. Made by mkdtemp, so it starts out private (0700).
class TempDir {
 public:
  TempDir();
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

std::string readText(const std::string& path);
void writeText(const std::string& path, std::string_view text);
void appendText(const std::string& path, std::string_view text);
std::string fixturePath(std::string_view relative);
// The names in `directory`, sorted; none when it cannot be read.
std::vector<std::string> sortedEntries(const std::string& directory);
// An environment whose home, data and configuration directories and event file all lie in
// `dir`, so that nothing a test runs reads or writes the real ones.
Environment isolatedHome(const TempDir& dir);

// Whether `done` holds within `seconds`, asked every 20 ms (and once more at the end).
bool eventually(const std::function<bool()>& done, double seconds);
// Whether an executable `program` is on this process's PATH.
bool onPath(const std::string& program);

}  // namespace glimmet::testing
