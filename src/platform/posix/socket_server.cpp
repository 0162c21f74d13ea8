#include "platform/socket_server.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>
#include <uv.h>

#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <variant>

#include <fmt/format.h>

#include "platform/posix/socket_server_impl.hpp"

namespace glimmet {

namespace {

constexpr int kBacklog = 16;
// How long accepting pauses after accept failed (out of descriptors): long enough not to flood
// the log or the CPU, short enough that a waiting bridge is still answered well within its
// connect timeout once descriptors are free.
constexpr double kAcceptRetrySeconds = 0.5;

Status posixFailure(int code, std::string op) {
  return Status::failure(POSIXError{code, std::move(op)}.description());
}

bool setFlag(int fd, int getCommand, int setCommand, int flag) {
  const int flags = fcntl(fd, getCommand);
  return flags >= 0 && fcntl(fd, setCommand, flags | flag) == 0;
}

int acceptClient(int listenFD) {
#ifdef __linux__
  return accept4(listenFD, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
#else
  const int fd = accept(listenFD, nullptr, nullptr);
  if (fd < 0) return fd;
  setFlag(fd, F_GETFD, F_SETFD, FD_CLOEXEC);
  setFlag(fd, F_GETFL, F_SETFL, O_NONBLOCK);
  return fd;
#endif
}

// The peer's user id, or the failed call.
std::variant<uid_t, POSIXError> peerUID(int fd) {
#ifdef __linux__
  struct ucred credentials {};
  socklen_t length = sizeof(credentials);
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
    return POSIXError{errno, "getsockopt SO_PEERCRED"};
  }
  return credentials.uid;
#else
  uid_t uid = 0;
  gid_t gid = 0;
  if (getpeereid(fd, &uid, &gid) != 0) return POSIXError{errno, "getpeereid"};
  return uid;
#endif
}

}  // namespace

Status SocketServer::Impl::start() {
  startFailure = SocketStartFailure::none;
  auto refuse = [this](SocketStartFailure kind, std::string message) {
    startFailure = kind;
    pathLock.reset();
    return Status::failure(std::move(message));
  };
  if (auto verdict = prepareSocketDirectory(socketPath);
      verdict.failure != SocketStartFailure::none) {
    return refuse(verdict.failure, verdict.message);
  }
  if (auto verdict = lockSocketPath(socketPath, pathLock);
      verdict.failure != SocketStartFailure::none) {
    return refuse(verdict.failure, verdict.message);
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
  if (!fd.valid()) {
    return refuse(SocketStartFailure::system, POSIXError{errno, "socket"}.description());
  }
  // Agents and helpers started by this process must not inherit the listening socket.
  setFlag(fd.get(), F_GETFD, F_SETFD, FD_CLOEXEC);
  std::signal(SIGPIPE, SIG_IGN);

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() + 1 > sizeof(address.sun_path)) {
    return refuse(SocketStartFailure::system,
                  POSIXError{ENAMETOOLONG, "sun_path overflow"}.description());
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  if (auto bound = bindListening(fd.get(), address); !bound) {
    pathLock.reset();
    return bound;
  }
  boundFile = socketFileIdentity(socketPath);
  auto fail = [&](int error, std::string op) {
    fd.reset();
    if (boundFile) removeOwnSocketFile(socketPath, *boundFile);
    boundFile.reset();
    pathLock.reset();
    return refuse(SocketStartFailure::system, POSIXError{error, std::move(op)}.description());
  };
  if (::chmod(socketPath.c_str(), 0600) != 0) {
    diagnose("[Glimmet] " + POSIXError{errno, "chmod " + socketPath}.description());
  }
  if (::listen(fd.get(), kBacklog) != 0) return fail(errno, "listen");
  if (!setFlag(fd.get(), F_GETFL, F_SETFL, O_NONBLOCK)) return fail(errno, "fcntl O_NONBLOCK");

  const int rc = startPolling(listening, uvLoop(), std::move(fd), UV_READABLE, this,
                              [](uv_poll_t* handle, int, int) {
                                if (auto* self = static_cast<Impl*>(handle->data)) {
                                  self->acceptAll();
                                }
                              });
  if (rc != 0) return fail(-rc, "uv_poll_start listen");
  running = true;
  return {};
}

Status SocketServer::Impl::bindListening(int fd, const sockaddr_un& address) {
  auto bindOnce = [&] {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ? 0
                                                                                         : errno;
  };
  int error = bindOnce();
  if (error == EADDRINUSE) {
    // Something is at the path. Only a socket nobody accepts on is removed, then bound again.
    const SocketPathVerdict verdict = claimTakenSocketPath(socketPath);
    if (verdict.failure != SocketStartFailure::none) {
      startFailure = verdict.failure;
      return Status::failure(verdict.message);
    }
    error = bindOnce();
  }
  if (error == 0) return {};
  if (error == EACCES || error == EPERM || error == EROFS) {
    startFailure = SocketStartFailure::pathUnusable;
    return Status::failure(
        fmt::format("Cannot create the socket {}: {}", socketPath, std::strerror(error)));
  }
  startFailure = SocketStartFailure::system;
  return posixFailure(error, "bind " + socketPath);
}

void SocketServer::Impl::pauseAccepting(int error) {
  if (!acceptPaused) {
    diagnose(fmt::format("[Glimmet] socket accept paused: {}; retrying every {} ms until it works",
                         POSIXError{error, "accept"}.description(),
                         static_cast<int>(kAcceptRetrySeconds * 1000)));
  }
  acceptPaused = true;
  // The listening socket stays readable while connections wait, so watching it now would
  // spin; stop until the timer or a closing connection says descriptors may be free.
  uv_poll_stop(listening.get());
  acceptPause = loop.schedule(Seconds(kAcceptRetrySeconds), [this] { resumeAccepting(); });
}

void SocketServer::Impl::resumeAccepting() {
  if (!listening) return;
  acceptPause.cancel();
  const int rc = uv_poll_start(listening.get(), UV_READABLE, [](uv_poll_t* handle, int, int) {
    if (auto* self = static_cast<Impl*>(handle->data)) self->acceptAll();
  });
  if (rc != 0) diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start listen"}.description());
}

void SocketServer::Impl::shutDown() {
  acceptPause.cancel();
  // Closing from this side: no peer-closed callback runs from now on, posted or not.
  for (auto& [id, connection] : connections) {
    connection->end->serverGone = true;
    connection->end->peerClosedCallbacks.clear();
  }
  connections.clear();  // each closes its poll handle and descriptor
  if (listening) {
    listening.reset();
    // Another instance may have replaced a socket file deleted by hand; that one stays.
    if (boundFile) removeOwnSocketFile(socketPath, *boundFile);
    boundFile.reset();
  }
  pathLock.reset();
  running = false;
}

void SocketServer::Impl::acceptAll() {
  // The listening socket is non-blocking, so this drains every pending connection.
  for (;;) {
    UniqueFd client(acceptClient(listening.payload().get()));
    if (client.valid()) {
      if (peerAllowed(client.get())) startReading(std::move(client));
      continue;
    }
    const int error = errno;
    if (error == EINTR || error == ECONNABORTED) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      // Every waiting peer got a descriptor: a pause, if there was one, is over. A single
      // accept in between does not end it, so a steady crowd is reported once, not per peer.
      acceptPaused = false;
      return;
    }
    // Out of descriptors or memory, most likely.
    pauseAccepting(error);
    return;
  }
}

bool SocketServer::Impl::peerAllowed(int fd) {
  // The socket file is 0600, so only the owner can connect; checking the peer as well keeps a
  // loosened mode from letting another user answer or read approvals.
  auto uid = peerUID(fd);
  if (auto* error = std::get_if<POSIXError>(&uid)) {
    diagnose("[Glimmet] socket peer refused: " + error->description());
    return false;
  }
  const uid_t peer = std::get<uid_t>(uid);
  if (peer == ::geteuid() || peer == 0) return true;
  diagnose(
      fmt::format("[Glimmet] socket peer with uid {} refused: only uid {} and root may connect",
                  peer, ::geteuid()));
  return false;
}

SocketServer::SocketServer(MainLoop& loop, std::string socketPath, LineHandler handler, LogSink log,
                           size_t maxLineBytes)
    : impl_(std::make_shared<Impl>(loop, std::move(socketPath), std::move(handler), std::move(log),
                                   maxLineBytes)) {}

SocketServer::~SocketServer() {
  impl_->shutDown();
}

Status SocketServer::start() {
  assert(!impl_->running && "SocketServer::start called twice");
  if (impl_->running) return Status::failure("socket server is already running");
  return impl_->start();
}

SocketStartFailure SocketServer::startFailure() const {
  return impl_->startFailure;
}

bool SocketServer::isRunning() const {
  return impl_->running;
}

const std::string& SocketServer::socketPath() const {
  return impl_->socketPath;
}

size_t SocketServer::connectionCount() const {
  return impl_->connections.size();
}

}  // namespace glimmet
