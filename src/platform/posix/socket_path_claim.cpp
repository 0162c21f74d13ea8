#include "platform/posix/socket_path_claim.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fmt/format.h>

#include "platform/posix/unique_fd.hpp"
#include "platform/posix_error.hpp"
#include "platform/private_files.hpp"

namespace glimmet {

namespace {

SocketPathVerdict unusable(std::string message) {
  return {SocketStartFailure::pathUnusable, std::move(message)};
}

std::string systemText(int error) {
  return std::strerror(error);
}

// The process listening on the other end of a connected probe. The kernel records it when the
// listener calls listen(), so unlike a pid file it cannot be stale, name a recycled pid or
// disagree with the socket itself.
int listenerPID(int fd) {
#if defined(__linux__)
  struct ucred credentials {};
  socklen_t length = sizeof(credentials);
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return 0;
  return static_cast<int>(credentials.pid);
#elif defined(LOCAL_PEERPID)
  pid_t pid = 0;
  socklen_t length = sizeof(pid);
  if (getsockopt(fd, SOL_LOCAL, LOCAL_PEERPID, &pid, &length) != 0) return 0;
  return static_cast<int>(pid);
#else
  (void)fd;
  return 0;
#endif
}

enum class Probe { live, refused, failed };

struct ProbeResult {
  Probe outcome = Probe::failed;
  int pid = 0;
  int error = 0;
};

// Connects without blocking: a live instance whose backlog is full (it may be out of
// descriptors) must not hang the second one, and still counts as live.
ProbeResult probe(const std::string& socketPath) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
  if (!fd.valid()) return {Probe::failed, 0, errno};
  ::fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    return {Probe::live, listenerPID(fd.get()), 0};
  }
  const int error = errno;
  if (error == EAGAIN || error == EINPROGRESS) return {Probe::live, 0, 0};
  if (error == ECONNREFUSED) return {Probe::refused, 0, error};
  return {Probe::failed, 0, error};
}

}  // namespace

SocketPathVerdict prepareSocketDirectory(const std::string& socketPath) {
  const size_t slash = socketPath.rfind('/');
  if (slash == std::string::npos || slash == 0) return {};
  const std::string directory = socketPath.substr(0, slash);
  // Walk down from the first missing ancestor, so only directories made here get 0700.
  std::vector<std::string> missing;
  std::string current = directory;
  struct stat info {};
  while (!current.empty() && ::stat(current.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      return unusable(
          fmt::format("Cannot use the socket directory {}: {}", current, systemText(errno)));
    }
    missing.push_back(current);
    const size_t parent = current.rfind('/');
    current = parent == std::string::npos ? std::string() : current.substr(0, parent);
  }
  if (missing.empty() && !S_ISDIR(info.st_mode)) {
    return unusable(
        fmt::format("Cannot use the socket directory {}: it is not a directory", directory));
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
      return unusable(
          fmt::format("Cannot create the socket directory {}: {}", *it, systemText(errno)));
    }
  }
  // Whoever can rename or replace entries in the folder can put their own socket where the
  // bridges will connect, and answer approvals in the user's name.
  if (auto reason = untrustedDirectoryReason(directory)) {
    return unusable(fmt::format("Refusing to listen: the socket directory {}", *reason));
  }
  return {};
}

SocketPathVerdict lockSocketPath(const std::string& socketPath, UniqueFd& lock) {
  UniqueFd fd(::open((socketPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd.valid()) return {};
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return {};
    const ProbeResult running = probe(socketPath);
    return {SocketStartFailure::alreadyRunning,
            running.pid > 0 ? fmt::format("Glimmet is already running (pid {})", running.pid)
                            : std::string("Glimmet is already running")};
  }
  lock = std::move(fd);
  return {};
}

SocketPathVerdict claimTakenSocketPath(const std::string& socketPath) {
  struct stat info {};
  if (::lstat(socketPath.c_str(), &info) != 0) {
    if (errno == ENOENT) return {};  // gone in the meantime: bind again
    return unusable(fmt::format("Cannot look at {}: {}", socketPath, systemText(errno)));
  }
  if (!S_ISSOCK(info.st_mode)) {
    return unusable(fmt::format(
        "{} exists and is not a socket; Glimmet leaves it alone (move it away to start)",
        socketPath));
  }
  const ProbeResult result = probe(socketPath);
  switch (result.outcome) {
    case Probe::live:
      return {SocketStartFailure::alreadyRunning,
              result.pid > 0 ? fmt::format("Glimmet is already running (pid {})", result.pid)
                             : std::string("Glimmet is already running")};
    case Probe::refused:
      // Nobody accepts on it: a socket file left behind by an instance that did not exit
      // cleanly.
      if (::unlink(socketPath.c_str()) != 0 && errno != ENOENT) {
        return unusable(
            fmt::format("Cannot remove the stale socket {}: {}", socketPath, systemText(errno)));
      }
      return {};
    case Probe::failed:
      break;
  }
  return unusable(
      fmt::format("Cannot check the socket {}: {}", socketPath, systemText(result.error)));
}

std::optional<SocketFileIdentity> socketFileIdentity(const std::string& socketPath) {
  struct stat info {};
  if (::lstat(socketPath.c_str(), &info) != 0) return std::nullopt;
  return SocketFileIdentity{info.st_dev, info.st_ino};
}

void removeOwnSocketFile(const std::string& socketPath, const SocketFileIdentity& bound) {
  const auto current = socketFileIdentity(socketPath);
  if (!current || current->device != bound.device || current->inode != bound.inode) return;
  ::unlink(socketPath.c_str());
}

}  // namespace glimmet
