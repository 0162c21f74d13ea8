#include "platform/private_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <fmt/format.h>

#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

Status createPrivateDirectories(const std::string& path) {
  // Walk up to the first existing ancestor, then create downwards, so only folders made here
  // are set to 0700.
  std::vector<std::string> missing;
  std::string current = path;
  while (current.size() > 1 && current.back() == '/') current.pop_back();
  struct stat info {};
  while (!current.empty() && ::stat(current.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      return Status::failure(fmt::format("Cannot create {}: {}", path, systemError(errno)));
    }
    missing.push_back(current);
    const size_t slash = current.rfind('/');
    current = slash == std::string::npos ? std::string() : current.substr(0, slash);
  }
  if (missing.empty() && !S_ISDIR(info.st_mode)) {
    return Status::failure(fmt::format("Cannot create {}: {}", path, systemError(ENOTDIR)));
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0700) != 0) {
      if (errno == EEXIST && ::stat(it->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
      return Status::failure(fmt::format("Cannot create {}: {}", *it, systemError(errno)));
    }
    // The umask may have narrowed 0700; it can never widen it.
    (void)::chmod(it->c_str(), 0700);
  }
  return {};
}

std::optional<std::string> untrustedDirectoryReason(const std::string& directory) {
  // "link/" would be looked at through the link.
  std::string path = directory;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return fmt::format("{}: {}", directory, systemError(errno));
  }
  if (S_ISLNK(info.st_mode)) return fmt::format("{} is a symbolic link", directory);
  if (!S_ISDIR(info.st_mode)) return fmt::format("{} is not a directory", directory);
  if (info.st_uid != ::geteuid()) {
    return fmt::format("{} belongs to another user (uid {})", directory, info.st_uid);
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return fmt::format("{} can be written by {} (mode {:04o}; chmod go-w fixes it)", directory,
                       (info.st_mode & S_IWOTH) != 0 ? "other users" : "its group",
                       info.st_mode & 07777);
  }
  return std::nullopt;
}

std::vector<std::string> removeOthersAccess(const std::vector<std::string>& paths) {
  std::vector<std::string> changed;
  for (const auto& path : paths) {
    // O_NOFOLLOW: a link is refused here rather than followed to someone else's file.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) continue;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || info.st_uid != ::geteuid()) continue;
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) continue;
    if ((info.st_mode & 077) == 0) continue;
    if (::fchmod(fd.get(), info.st_mode & 07700) == 0) changed.push_back(path);
  }
  return changed;
}

}  // namespace glimmet
