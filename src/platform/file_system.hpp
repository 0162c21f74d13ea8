#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "base/time.hpp"

namespace glimmet {

// What a path names, after following symbolic links. Only a regular file can be read without
// the risk of blocking (a FIFO waits for a writer, a device may never end).
enum class FileKind { regular, directory, fifo, device, socket, other };

// "a directory", "a FIFO", ...: for diagnostics.
std::string_view describe(FileKind kind);

struct FileMetadata {
  uint64_t size = 0;
  Timestamp modified;
  uint64_t inode = 0;
  bool isDirectory = false;
  FileKind kind = FileKind::regular;
};

std::optional<FileMetadata> fileMetadata(const std::string& path);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isExecutableFile(const std::string& path);

// The whole file, or absent when it cannot be read or is not a regular file.
std::optional<std::string> readFile(const std::string& path);
// The bytes from `offset` to the end, at most `maxBytes`. Absent for anything but a regular file,
// which is opened without blocking.
std::optional<std::string> readFileFrom(const std::string& path, uint64_t offset,
                                        uint64_t maxBytes = UINT64_MAX);

// Writes a temporary file beside `path`, then renames it over `path`: readers see the old or
// the new content, never a mix.
Status writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644);
// Appends in one write() on an O_APPEND descriptor, creating the file with `mode` when needed.
Status appendToFile(const std::string& path, std::string_view bytes, unsigned mode = 0600);
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

namespace glimmet {

// The names of the direct entries of `directory` ("." and ".." left out), or absent when it
// cannot be listed.
std::optional<std::vector<std::string>> directoryEntryNames(const std::string& directory);

// Copies `from` to `to`, keeping the source's permission bits and, where the system allows,
// its owner and group. Fails when `to` already exists,
// so an earlier copy is never replaced; a half-written copy is removed.
Status copyFileExclusive(const std::string& from, const std::string& to);

// Sets the permission bits of an existing file.
Status setFileMode(const std::string& path, unsigned mode);

// The permission bits of a file, or absent when it cannot be inspected.
std::optional<unsigned> fileMode(const std::string& path);

}  // namespace glimmet

namespace glimmet {

// The whole file, or an error naming the file and the system's reason.
Result<std::string> readFileReportingError(const std::string& path);

// The file a write to `path` should replace: the final target when `path` is a symbolic link
// (so that a linked configuration file stays linked), else `path` itself.
std::string writeTargetOf(const std::string& path);

}  // namespace glimmet
