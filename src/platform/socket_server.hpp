#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/log.hpp"
#include "base/result.hpp"
#include "platform/main_loop.hpp"
#include "platform/posix_error.hpp"

namespace glimmet {

// One client as a line handler sees it. Both closures hold the server weakly and name their
// connection by a number that is never reused, so a late reply can neither keep the server
// alive nor reach a newer peer that happens to get the same descriptor. Callable from any
// thread; the socket is touched only on the main loop.
struct SocketConnection {
  // Queues bytes for the peer; a short write is completed when the socket is writable again.
  std::function<void(std::string bytes)> send;
  // Ends the connection; queued bytes that were not written yet are dropped.
  std::function<void()> close;
  // Main loop only. `callback` runs once, posted to the main loop, when the peer hangs up (end
  // of file, a read or poll error), even if it hung up before this call: a line is handled
  // after the end of file that followed it was read. It never runs when this side closed the
  // connection, nor once the server is gone.
  std::function<void(std::function<void()> callback)> onPeerClosed;
};

// Why start() failed. `alreadyRunning` and `pathUnusable` leave whatever is at the socket path
// untouched; callers treat them as a reason not to run at all.
enum class SocketStartFailure {
  none,
  // Another process accepts connections on the socket.
  alreadyRunning,
  // Something other than a socket is at the path, or its directory cannot be made or written.
  pathUnusable,
  // Any other failed system call.
  system,
};

// A Unix-domain socket server that speaks newline-delimited lines. All socket I/O is
// non-blocking on the main loop; each complete line (without its line feed) is handed to the
// handler on the main loop, in arrival order, while its connection is still open. A line longer
// than the limit closes its connection.
class SocketServer {
 public:
  static constexpr size_t kDefaultMaxLineBytes = 262144;
  using LineHandler = std::function<void(std::string line, SocketConnection connection)>;

  SocketServer(MainLoop& loop, std::string socketPath, LineHandler handler, LogSink log = {},
               size_t maxLineBytes = kDefaultMaxLineBytes);
  // Closes every connection and the listening socket, and removes the socket file if it is still
  // the one this server bound.
  ~SocketServer();
  SocketServer(const SocketServer&) = delete;
  SocketServer& operator=(const SocketServer&) = delete;

  // Binds and listens; a second call on a running server is a programming error. The error
  // text is a POSIXError description or a message naming the path; startFailure() says which
  // kind of failure it was. A socket file nobody accepts on is replaced; a live one, or a file
  // that is not a socket, is never removed.
  [[nodiscard]] Status start();
  SocketStartFailure startFailure() const;

  bool isRunning() const;
  const std::string& socketPath() const;
  // Live client connections; for diagnostics and tests.
  size_t connectionCount() const;

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace glimmet
