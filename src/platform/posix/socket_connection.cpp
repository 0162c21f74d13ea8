// Connection I/O of the socket server: reading and splitting lines, writing replies.
#include "platform/posix/socket_server_impl.hpp"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#include <uv.h>

#include <cerrno>

#include <fmt/format.h>

namespace glimmet {

namespace {

// Reads per wake-up for one connection, so that one busy peer cannot starve the others; the
// poll is level-triggered and comes straight back for the rest.
constexpr int kReadsPerWakeup = 16;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on every client instead
#endif

}  // namespace

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
    const size_t newline = connection.received.find('\n');
    const size_t length = newline == std::string::npos ? connection.received.size() : newline;
    if (length > maxLineBytes) {
      diagnose(fmt::format("[Glimmet] socket connection closed: oversized frame ({} bytes)",
                           length));
      tearDown(connection.id);
      return false;
    }
    if (newline == std::string::npos) return true;
    std::string line = connection.received.substr(0, newline);
    connection.received.erase(0, newline + 1);
    // Posted rather than called here, so that the handler may answer or close at once without
    // pulling the connection out from under this loop. A line whose connection was closed in
    // the meantime (by the handler of an earlier line, or the peer) is dropped.
    loop.post([weak = weak_from_this(), id = connection.id, line = std::move(line),
               handle = makeHandle(connection.id)]() mutable {
      auto self = weak.lock();
      if (!self || !self->connections.contains(id)) return;
      self->handler(std::move(line), std::move(handle));
    });
  }
}

SocketConnection SocketServer::Impl::makeHandle(uint64_t connectionID) {
  std::weak_ptr<Impl> weak = weak_from_this();
  SocketConnection handle;
  handle.send = [weak, connectionID](std::string bytes) {
    onLoop(weak, [connectionID, bytes = std::move(bytes)](Impl& self) {
      self.send(connectionID, bytes);
    });
  };
  handle.close = [weak, connectionID] {
    onLoop(weak, [connectionID](Impl& self) { self.tearDown(connectionID); });
  };
  return handle;
}

void SocketServer::Impl::send(uint64_t connectionID, const std::string& bytes) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;  // the peer is gone: nobody to tell
  Connection& connection = *found->second;
  const bool idle = connection.unsent.empty();
  connection.unsent += bytes;
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

}  // namespace glimmet
