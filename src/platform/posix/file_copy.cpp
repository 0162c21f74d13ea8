#include "platform/file_system.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fmt/format.h>

#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

namespace {

struct DirCloser {
  void operator()(DIR* directory) const {
    if (directory) ::closedir(directory);
  }
};

}  // namespace

std::optional<std::vector<std::string>> directoryEntryNames(const std::string& directory) {
  std::unique_ptr<DIR, DirCloser> handle(::opendir(directory.c_str()));
  if (!handle) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(handle.get())) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  return names;
}

Status copyFileExclusive(const std::string& from, const std::string& to) {
  UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.valid()) {
    return Status::failure(fmt::format("Cannot read {}: {}", from, systemError(errno)));
  }
  struct stat info {};
  if (::fstat(source.get(), &info) != 0) {
    return Status::failure(fmt::format("Cannot read {}: {}", from, systemError(errno)));
  }
  const auto mode = static_cast<mode_t>(info.st_mode & 07777);
  UniqueFd target(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!target.valid()) {
    return Status::failure(fmt::format("Cannot write {}: {}", to, systemError(errno)));
  }
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(source.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || !writeAll(target.get(), std::string_view(buffer, static_cast<size_t>(got)))) {
      const int error = errno;
      ::unlink(to.c_str());
      return Status::failure(fmt::format("Cannot copy {}: {}", from, systemError(error)));
    }
  }
  // A copy of a file the user shares with a group, or of one root made for them, must not end
  // up readable by fewer or more people than the original. Changing the owner needs privileges
  // the user usually lacks, and then the copy is theirs, as the original almost always is.
  // The mode is set last: a change of owner clears the set-id bits.
  if (::fchown(target.get(), info.st_uid, info.st_gid) != 0) {
    (void)::fchown(target.get(), static_cast<uid_t>(-1), info.st_gid);
  }
  // The umask may have narrowed the requested mode.
  ::fchmod(target.get(), mode);
  return {};
}

Status setFileMode(const std::string& path, unsigned mode) {
  if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
    return Status::failure(
        fmt::format("Cannot set permissions of {}: {}", path, systemError(errno)));
  }
  return {};
}

std::optional<unsigned> fileMode(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<unsigned>(info.st_mode & 07777);
}

}  // namespace glimmet

namespace glimmet {

Result<std::string> readFileReportingError(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    return Result<std::string>::failure(
        fmt::format("Cannot read {}: {}", path, systemError(errno)));
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    return Result<std::string>::failure(
        fmt::format("Cannot read {}: {}", path, systemError(errno)));
  }
  if (S_ISDIR(info.st_mode)) {
    return Result<std::string>::failure(
        fmt::format("Cannot read {}: {}", path, systemError(EISDIR)));
  }
  std::string bytes;
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return Result<std::string>::failure(
          fmt::format("Cannot read {}: {}", path, systemError(errno)));
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

std::string writeTargetOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return path;  // a dangling link is replaced
  return resolved;
}

}  // namespace glimmet
