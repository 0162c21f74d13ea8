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

#include "platform/file_system.hpp"
#include "platform/posix/socket_server_impl.hpp"

namespace glimmet {

namespace {

constexpr int kBacklog = 16;
constexpr double kAcceptPauseSeconds = 0.1;

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
  // A socket file left by an earlier run would make bind fail.
  ::unlink(socketPath.c_str());
  const size_t slash = socketPath.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (auto created = createDirectories(socketPath.substr(0, slash)); !created) return created;
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
  if (!fd.valid()) return posixFailure(errno, "socket");
  // Agents and helpers started by this process must not inherit the listening socket.
  setFlag(fd.get(), F_GETFD, F_SETFD, FD_CLOEXEC);
  std::signal(SIGPIPE, SIG_IGN);

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() + 1 > sizeof(address.sun_path)) {
    return posixFailure(ENAMETOOLONG, "sun_path overflow");
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    return posixFailure(error, "bind " + socketPath);
  }
  auto fail = [&](int error, std::string op) {
    fd.reset();
    ::unlink(socketPath.c_str());
    return posixFailure(error, std::move(op));
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

void SocketServer::Impl::resumeAccepting() {
  if (!listening) return;
  const int rc = uv_poll_start(listening.get(), UV_READABLE, [](uv_poll_t* handle, int, int) {
    if (auto* self = static_cast<Impl*>(handle->data)) self->acceptAll();
  });
  if (rc != 0) diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start listen"}.description());
}

void SocketServer::Impl::shutDown() {
  acceptPause.cancel();
  connections.clear();  // each closes its poll handle and descriptor
  if (listening) {
    listening.reset();
    ::unlink(socketPath.c_str());
  }
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
    if (error == EAGAIN || error == EWOULDBLOCK) return;
    diagnose("[Glimmet] " + POSIXError{error, "accept"}.description());
    // Out of descriptors or memory: the listening socket stays readable, so stop watching it
    // for a moment instead of spinning.
    uv_poll_stop(listening.get());
    acceptPause = loop.schedule(Seconds(kAcceptPauseSeconds), [this] { resumeAccepting(); });
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
