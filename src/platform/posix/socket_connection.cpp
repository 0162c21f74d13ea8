// Connection I/O of the socket server: reading and decoding requests, writing replies.
#include "platform/posix/socket_server_impl.hpp"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#include <uv.h>

#include <cerrno>
#include <variant>

#include "bridge/socket_frame_codec.hpp"

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

}  // namespace glimmet
