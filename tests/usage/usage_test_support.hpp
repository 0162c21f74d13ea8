#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "base/time.hpp"
#include "platform/file_system.hpp"

namespace glimmet::testing {

// A fixed instant, written as an Internet date-time ("2026-05-11T12:00:00Z").
inline Timestamp at(const char* text) {
  return *parseInternetDateTime(text, false);
}

// The bytes this process has read through the file system layer so far.
inline uint64_t bytesRead() {
  return fileSystemCounters().bytesRead;
}

// Sets a file's modification time to `time` (on the wall clock).
inline void setModified(const std::string& path, Timestamp time) {
  namespace fs = std::filesystem;
  fs::last_write_time(path, fs::file_time_type::clock::now() +
                                std::chrono::duration_cast<fs::file_time_type::duration>(
                                    time.time_since_epoch() - systemNow().time_since_epoch()));
}

// Sets a file's modification time to `ago` before now.
inline void setModified(const std::string& path, std::chrono::seconds ago) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - ago);
}

}  // namespace glimmet::testing
