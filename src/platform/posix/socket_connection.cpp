// Connection I/O of the socket server: reading and splitting lines, writing replies.
#include "platform/posix/socket_server_impl.hpp"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#include <uv.h>

#include <cassert>
#include <cerrno>
#include <utility>

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
  connection->received = LineSplitter(maxLineBytes);
  const int rc = startPolling(connection->polled, uvLoop(), std::move(fd), UV_READABLE,
                              connection.get(), &Impl::onConnectionEvent);
  if (rc != 0) {
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start client"}.description());
    return;
  }
  connections[connection->id] = std::move(connection);
}

void SocketServer::Impl::readAvailable(Connection& connection) {
  const uint64_t id = connection.id;
  const int fd = connection.polled.payload().get();
  for (int round = 0; round < kReadsPerWakeup; ++round) {
    const ssize_t count = ::read(fd, readBuffer.data(), readBuffer.size());
    if (count > 0) {
      connection.received.append(std::string_view(readBuffer.data(), static_cast<size_t>(count)));
      if (!drain(connection)) return;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // End of file (the bridge hung up) or a read error: the connection is over.
    peerHungUp(id);
    return;
  }
}

bool SocketServer::Impl::drain(Connection& connection) {
  while (auto line = connection.received.nextLine()) {
    // Posted rather than called here, so that the handler may answer or close at once without
    // pulling the connection out from under this loop. A line whose connection this side
    // closed in the meantime (the handler of an earlier line did) is dropped.
    loop.post([weak = weak_from_this(), accepting = connection.acceptingLines,
               line = std::move(*line), handle = makeHandle(connection)]() mutable {
      auto self = weak.lock();
      if (!self || !*accepting) return;
      self->handler(std::move(line), std::move(handle));
    });
  }
  if (const auto length = connection.received.oversizedLength()) {
    diagnose(
        fmt::format("[Glimmet] socket connection closed: oversized frame ({} bytes)", *length));
    closeHere(connection.id);
    return false;
  }
  return true;
}

SocketConnection SocketServer::Impl::makeHandle(const Connection& connection) {
  std::weak_ptr<Impl> weak = weak_from_this();
  const uint64_t connectionID = connection.id;
  SocketConnection handle;
  handle.send = [weak, connectionID](std::string bytes) {
    onLoop(weak, [connectionID, bytes = std::move(bytes)](Impl& self) {
      self.send(connectionID, bytes);
    });
  };
  handle.close = [weak, connectionID, accepting = connection.acceptingLines] {
    *accepting = false;
    onLoop(weak, [connectionID](Impl& self) { self.closeHere(connectionID); });
  };
  handle.onPeerClosed = [weak, end = connection.end](std::function<void()> callback) {
    auto self = weak.lock();
    if (!self || !callback || end->serverGone || end->closedHere) return;
    assert(self->loop.isLoopThread() && "onPeerClosed is main loop only");
    if (end->peerClosed) {
      self->postPeerClosed(end, std::move(callback));
    } else {
      end->peerClosedCallbacks.push_back(std::move(callback));
    }
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
    const ssize_t written = ::send(connection.polled.payload().get(), connection.unsent.data(),
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
  if (const int rc = uv_poll_start(connection.polled.get(), events, &Impl::onConnectionEvent);
      rc != 0) {
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll_start client"}.description());
  }
}

void SocketServer::Impl::onConnectionEvent(uv_poll_t* handle, int status, int events) {
  auto* connection = static_cast<Connection*>(handle->data);
  if (!connection) return;
  Impl* self = connection->server;
  if (status < 0) {
    self->peerHungUp(connection->id);
    return;
  }
  if (events & UV_WRITABLE) self->flush(*connection);
  if (events & (UV_READABLE | UV_DISCONNECT)) self->readAvailable(*connection);
}

void SocketServer::Impl::peerHungUp(uint64_t connectionID) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;
  const std::shared_ptr<ConnectionEnd> end = found->second->end;
  end->peerClosed = true;
  for (auto& callback : std::exchange(end->peerClosedCallbacks, {})) {
    postPeerClosed(end, std::move(callback));
  }
  tearDown(connectionID);
}

void SocketServer::Impl::closeHere(uint64_t connectionID) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;
  found->second->end->closedHere = true;
  found->second->end->peerClosedCallbacks.clear();
  tearDown(connectionID);
}

void SocketServer::Impl::postPeerClosed(const std::shared_ptr<ConnectionEnd>& end,
                                        std::function<void()> callback) {
  // Posted, so that whoever is told may close, send or register without pulling the
  // connection out from under the read loop.
  loop.post([weak = weak_from_this(), end, callback = std::move(callback)] {
    auto self = weak.lock();
    if (!self || !self->running || end->serverGone) return;
    callback();
  });
}

void SocketServer::Impl::tearDown(uint64_t connectionID) {
  auto found = connections.find(connectionID);
  if (found == connections.end()) return;
  connections.erase(found);  // closes the poll handle, then the descriptor
  // A descriptor is free now: waiting peers need not wait for the retry timer.
  if (acceptPaused) resumeAccepting();
}

}  // namespace glimmet
