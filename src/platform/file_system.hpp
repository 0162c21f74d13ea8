#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "base/time.hpp"

namespace glimmet {

struct FileMetadata {
  uint64_t size = 0;
  Timestamp modified;
  uint64_t inode = 0;
  bool isDirectory = false;
};

std::optional<FileMetadata> fileMetadata(const std::string& path);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isExecutableFile(const std::string& path);

// The whole file, or absent when it cannot be read.
std::optional<std::string> readFile(const std::string& path);
// The bytes from `offset` to the end, at most `maxBytes`.
std::optional<std::string> readFileFrom(const std::string& path, uint64_t offset,
                                        uint64_t maxBytes = UINT64_MAX);

// Writes a temporary file beside `path`, then renames it over `path`: readers see the old or
// the new content, never a mix.
Status writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644);
// Appends in one write() on an O_APPEND descriptor, creating the file when needed.
Status appendToFile(const std::string& path, std::string_view bytes);
Status createDirectories(const std::string& path);
Status removeFile(const std::string& path);

// Counts of metadata reads and bytes read through this module, for benchmarks.
struct FileSystemCounters {
  uint64_t metadataReads = 0;
  uint64_t bytesRead = 0;
};
FileSystemCounters fileSystemCounters();

}  // namespace glimmet

namespace glimmet {

// Regular files below `directory` (recursively, links not followed) whose names start with
// `prefix` and end with `suffix`; at most `limit` of them, in no particular order. A missing or
// unreadable directory yields none.
struct ListedFile {
  std::string path;
  uint64_t size = 0;
  Timestamp modified;
};
std::vector<ListedFile> listFiles(const std::string& directory, std::string_view prefix,
                                  std::string_view suffix, size_t limit);

}  // namespace glimmet
