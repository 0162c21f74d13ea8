#pragma once

#include <functional>
#include <string>
#include <string_view>

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

// Whether `done` holds within `seconds`, asked every 20 ms (and once more at the end).
bool eventually(const std::function<bool()>& done, double seconds);
// Whether an executable `program` is on this process's PATH.
bool onPath(const std::string& program);

}  // namespace glimmet::testing
