#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/result.hpp"
#include "bridge/hook_messages.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

// A failed system call: "POSIX <op> failed: errno=<n> (<system text>)".
struct POSIXError {
  int code = 0;
  std::string op;
  std::string description() const;
};

// How the approval logic answers one request. Both closures hold the server weakly and name
// their connection by a number that is never reused, so a late reply can neither keep the
// server alive nor reach a newer peer that happens to get the same descriptor.
struct SocketReplyHandle {
  std::function<void(const HookReply&)> send;
  std::function<void()> close;
};

// The Unix-domain socket that hook bridges connect to. All socket I/O is non-blocking on the
// main loop; each decoded request is handed to `handler` on the main loop, in arrival order.
class SocketServer {
 public:
  using Handler = std::function<void(HookRequest, SocketReplyHandle)>;
  // Receives one "[Glimmet] ..." diagnostic line, without a line feed.
  using Logger = std::function<void(const std::string&)>;

  SocketServer(MainLoop& loop, std::string socketPath, Handler handler, Logger log = {});
  // Closes every connection and the listening socket and removes the socket file.
  ~SocketServer();
  SocketServer(const SocketServer&) = delete;
  SocketServer& operator=(const SocketServer&) = delete;

  // Binds and listens; a second call on a running server is a programming error. The error
  // text is a POSIXError description or the file system's message.
  [[nodiscard]] Status start();

  bool isRunning() const;
  const std::string& socketPath() const;
  // Live client connections; for diagnostics and tests.
  size_t connectionCount() const;

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace glimmet
