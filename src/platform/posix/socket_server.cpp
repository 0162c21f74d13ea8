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
#include <unordered_map>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "bridge/socket_frame_codec.hpp"
#include "platform/file_system.hpp"
#include "platform/posix/diagnostic.hpp"
#include "platform/posix/polled_fd.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

std::string POSIXError::description() const {
  return fmt::format("POSIX {} failed: errno={} ({})", op, code, std::strerror(code));
}

namespace {

constexpr int kBacklog = 16;
constexpr size_t kReadChunkBytes = 64 * 1024;
// Reads per wake-up for one connection, so that one busy peer cannot starve the others; the
// poll is level-triggered and comes straight back for the rest.
constexpr int kReadsPerWakeup = 16;
constexpr double kAcceptPauseSeconds = 0.1;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on every client instead
#endif

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

struct Connection {
  uint64_t id = 0;
  PolledFd* polled = nullptr;
  std::string received;
  std::string unsent;
  bool watchingWritable = false;
  SocketServer::Impl* server = nullptr;
};

struct SocketServer::Impl : std::enable_shared_from_this<SocketServer::Impl> {
  MainLoop& loop;
  std::string socketPath;
  Handler handler;
  Logger log;
  PolledFd* listening = nullptr;
  bool running = false;
  // Main loop only: every socket call runs there, so the map needs no lock.
  std::unordered_map<uint64_t, std::unique_ptr<Connection>> connections;
  uint64_t nextConnectionID = 1;
  WorkItem acceptPause;
  std::vector<char> readBuffer = std::vector<char>(kReadChunkBytes);

  Impl(MainLoop& mainLoop, std::string path, Handler onRequest, Logger logger)
      : loop(mainLoop),
        socketPath(std::move(path)),
        handler(std::move(onRequest)),
        log(std::move(logger)) {}

  uv_loop_t* uvLoop() { return static_cast<uv_loop_t*>(loop.nativeHandle()); }

  void diagnose(const std::string& line) { writeDiagnostic(log, line); }

  Status start();
  void shutDown();
  void resumeAccepting();
  void acceptAll();
  bool peerAllowed(int fd);
  void startReading(UniqueFd fd);
  void readAvailable(Connection& connection);
  bool drain(Connection& connection);
  SocketReplyHandle makeHandle(uint64_t connectionID);
  void send(uint64_t connectionID, const HookReply& reply);
  void flush(Connection& connection);
  void tearDown(uint64_t connectionID);
  static void onConnectionEvent(uv_poll_t* handle, int status, int events);

  // Reply handles may be called from anywhere; the socket is touched only on the main loop.
  template <class Work>
  static void onLoop(const std::weak_ptr<Impl>& weak, Work work) {
    auto self = weak.lock();
    if (!self) return;
    if (self->loop.isLoopThread()) {
      work(*self);
      return;
    }
    self->loop.post([weak, work = std::move(work)]() mutable {
      if (auto alive = weak.lock()) work(*alive);
    });
  }
};

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

  auto* polled = new PolledFd();
  polled->fd = std::move(fd);
  if (const int rc = uv_poll_init(uvLoop(), &polled->handle, polled->fd.get()); rc != 0) {
    delete polled;  // closes the descriptor
    return fail(-rc, "uv_poll_init");
  }
  polled->handle.data = this;
  listening = polled;
  resumeAccepting();
  running = true;
  return {};
}

void SocketServer::Impl::resumeAccepting() {
  if (!listening) return;
  const int rc = uv_poll_start(&listening->handle, UV_READABLE, [](uv_poll_t* handle, int, int) {
    if (auto* self = static_cast<Impl*>(handle->data)) self->acceptAll();
  });
  if (rc != 0) diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start listen"}.description());
}

void SocketServer::Impl::shutDown() {
  acceptPause.cancel();
  for (auto& [id, connection] : connections) closePolledFd(connection->polled);
  connections.clear();
  if (listening) {
    closePolledFd(listening);
    listening = nullptr;
    ::unlink(socketPath.c_str());
  }
  running = false;
}

void SocketServer::Impl::acceptAll() {
  // The listening socket is non-blocking, so this drains every pending connection.
  for (;;) {
    UniqueFd client(acceptClient(listening->fd.get()));
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
    uv_poll_stop(&listening->handle);
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

void SocketServer::Impl::startReading(UniqueFd fd) {
#ifdef SO_NOSIGPIPE
  const int on = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof(on)) != 0) {
    diagnose("[Glimmet] " + POSIXError{errno, "setsockopt SO_NOSIGPIPE"}.description());
  }
#endif
  auto connection = std::make_unique<Connection>();
  connection->id = nextConnectionID++;
  connection->server = this;
  auto* polled = new PolledFd();
  polled->fd = std::move(fd);
  if (const int rc = uv_poll_init(uvLoop(), &polled->handle, polled->fd.get()); rc != 0) {
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_init client"}.description());
    delete polled;  // closes the descriptor
    return;
  }
  polled->handle.data = connection.get();
  connection->polled = polled;
  const int rc = uv_poll_start(&polled->handle, UV_READABLE, &Impl::onConnectionEvent);
  if (rc != 0) {
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start client"}.description());
    closePolledFd(polled);
    return;
  }
  connections[connection->id] = std::move(connection);
}

void SocketServer::Impl::readAvailable(Connection& connection) {
  const uint64_t id = connection.id;
  const int fd = connection.polled->fd.get();
  for (int round = 0; round < kReadsPerWakeup; ++round) {
    const ssize_t count = ::read(fd, readBuffer.data(), readBuffer.size());
    if (count > 0) {
      connection.received.append(readBuffer.data(), static_cast<size_t>(count));
      if (!drain(connection)) return;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // End of file (the bridge hung up) or a read error: the connection is over.
    tearDown(id);
    return;
  }
}

bool SocketServer::Impl::drain(Connection& connection) {
  for (;;) {
    auto decoded = SocketFrameCodec::decodeRequest(connection.received);
    if (auto* error = std::get_if<FrameDecodeError>(&decoded)) {
      if (error->kind == FrameDecodeError::Kind::incomplete) return true;
      diagnose("[Glimmet] socket connection closed: " + error->message());
      tearDown(connection.id);
      return false;
    }
    // Posted rather than called here, so that the handler may answer or close at once without
    // pulling the connection out from under this loop.
    loop.post([weak = weak_from_this(), request = std::move(std::get<HookRequest>(decoded)),
               handle = makeHandle(connection.id)]() mutable {
      if (auto self = weak.lock()) self->handler(std::move(request), std::move(handle));
    });
  }
}

SocketReplyHandle SocketServer::Impl::makeHandle(uint64_t connectionID) {
  std::weak_ptr<Impl> weak = weak_from_this();
  SocketReplyHandle handle;
  handle.send = [weak, connectionID](const HookReply& reply) {
    onLoop(weak, [connectionID, reply](Impl& self) { self.send(connectionID, reply); });
  };
  handle.close = [weak, connectionID] {
    onLoop(weak, [connectionID](Impl& self) { self.tearDown(connectionID); });
  };
  return handle;
}

void SocketServer::Impl::send(uint64_t connectionID, const HookReply& reply) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;  // the bridge is gone: nobody to tell
  Connection& connection = *found->second;
  const bool idle = connection.unsent.empty();
  connection.unsent += SocketFrameCodec::encode(reply);
  if (idle) flush(connection);
}

void SocketServer::Impl::flush(Connection& connection) {
  // A short write on a full socket buffer is completed when the socket becomes writable again,
  // so a reply is never cut off mid-line.
  while (!connection.unsent.empty()) {
    const ssize_t written = ::send(connection.polled->fd.get(), connection.unsent.data(),
                                   connection.unsent.size(), kSendFlags);
    if (written > 0) {
      connection.unsent.erase(0, static_cast<size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The peer went away; its end-of-file tears the connection down.
    connection.unsent.clear();
  }
  const bool wantWritable = !connection.unsent.empty();
  if (wantWritable == connection.watchingWritable) return;
  connection.watchingWritable = wantWritable;
  const int events = wantWritable ? (UV_READABLE | UV_WRITABLE) : UV_READABLE;
  if (const int rc = uv_poll_start(&connection.polled->handle, events, &Impl::onConnectionEvent);
      rc != 0) {
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start client"}.description());
  }
}

void SocketServer::Impl::onConnectionEvent(uv_poll_t* handle, int status, int events) {
  auto* connection = static_cast<Connection*>(handle->data);
  if (!connection) return;
  Impl* self = connection->server;
  if (status < 0) {
    self->tearDown(connection->id);
    return;
  }
  if (events & UV_WRITABLE) self->flush(*connection);
  if (events & (UV_READABLE | UV_DISCONNECT)) self->readAvailable(*connection);
}

void SocketServer::Impl::tearDown(uint64_t connectionID) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;
  closePolledFd(found->second->polled);
  connections.erase(found);
}

SocketServer::SocketServer(MainLoop& loop, std::string socketPath, Handler handler, Logger log)
    : impl_(std::make_shared<Impl>(loop, std::move(socketPath), std::move(handler),
                                   std::move(log))) {}

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
