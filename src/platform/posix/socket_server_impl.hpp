#pragma once

// Shared by the two halves of the POSIX socket server: socket_server.cpp sets up the listening
// socket and accepts peers, socket_connection.cpp splits lines and writes replies.

#include <sys/un.h>
#include <uv.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/line_splitter.hpp"
#include "base/log.hpp"
#include "platform/posix/polled_fd.hpp"
#include "platform/posix/socket_path_claim.hpp"
#include "platform/posix/unique_fd.hpp"
#include "platform/socket_server.hpp"

namespace glimmet {

inline constexpr size_t kSocketReadChunkBytes = size_t{64} * 1024;

// How a connection ended, as its handles learn it. Main loop only.
struct ConnectionEnd {
  bool peerClosed = false;
  bool closedHere = false;
  // Set when the server shuts down: callbacks still posted then stay silent.
  bool serverGone = false;
  std::vector<std::function<void()>> peerClosedCallbacks;
};

struct Connection {
  uint64_t id = 0;
  PolledFd polled;
  LineSplitter received{SocketServer::kDefaultMaxLineBytes};
  std::string unsent;
  bool watchingWritable = false;
  // Cleared when this side closes the connection: lines still queued for the handler are
  // dropped then, while a peer that hangs up right after its request still gets it handled.
  std::shared_ptr<std::atomic<bool>> acceptingLines = std::make_shared<std::atomic<bool>>(true);
  std::shared_ptr<ConnectionEnd> end = std::make_shared<ConnectionEnd>();
  SocketServer::Impl* server = nullptr;
};

struct SocketServer::Impl : std::enable_shared_from_this<SocketServer::Impl> {
  MainLoop& loop;
  std::string socketPath;
  LineHandler handler;
  LogSink log;
  size_t maxLineBytes;
  PolledFd listening;
  bool running = false;
  // Main loop only: every socket call runs there, so the map needs no lock.
  std::unordered_map<uint64_t, std::unique_ptr<Connection>> connections;
  uint64_t nextConnectionID = 1;
  SocketStartFailure startFailure = SocketStartFailure::none;
  // The socket file bound by start(); exit removes the path only while it is still this file.
  std::optional<SocketFileIdentity> boundFile;
  // The lock beside the socket, held while this server owns the path.
  UniqueFd pathLock;
  // Accepting stops while the process is out of descriptors; the pause ends on a timer or when
  // a connection closes, whichever comes first. One log line per pause, however long it lasts.
  WorkItem acceptPause;
  bool acceptPaused = false;
  std::vector<char> readBuffer = std::vector<char>(kSocketReadChunkBytes);

  Impl(MainLoop& mainLoop, std::string path, LineHandler onLine, LogSink logger, size_t maxLine)
      : loop(mainLoop),
        socketPath(std::move(path)),
        handler(std::move(onLine)),
        log(std::move(logger)),
        maxLineBytes(maxLine) {}

  uv_loop_t* uvLoop() { return static_cast<uv_loop_t*>(loop.nativeHandle()); }

  void diagnose(const std::string& line) { writeLog(log, line); }

  // The listening socket (socket_server.cpp).
  Status start();
  Status bindListening(int fd, const sockaddr_un& address);
  void shutDown();
  void pauseAccepting(int error);
  void resumeAccepting();
  void acceptAll();
  bool peerAllowed(int fd);

  // One connection's I/O (socket_connection.cpp).
  void startReading(UniqueFd fd);
  void readAvailable(Connection& connection);
  bool drain(Connection& connection);
  SocketConnection makeHandle(const Connection& connection);
  void send(uint64_t connectionID, const std::string& bytes);
  void flush(Connection& connection);
  // The peer hung up: its peer-closed callbacks are posted, then the connection goes.
  void peerHungUp(uint64_t connectionID);
  // This side ends the connection: no peer-closed callback of it will ever run.
  void closeHere(uint64_t connectionID);
  void tearDown(uint64_t connectionID);
  void postPeerClosed(const std::shared_ptr<ConnectionEnd>& end, std::function<void()> callback);
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

}  // namespace glimmet
