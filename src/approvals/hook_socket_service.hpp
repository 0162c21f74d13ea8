#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "base/log.hpp"
#include "base/result.hpp"
#include "model/hook_messages.hpp"
#include "platform/main_loop.hpp"
#include "platform/socket_server.hpp"

namespace glimmet {

// How the approval logic answers one request: `send` writes the reply frame, `close` ends the
// connection without one. Callable from any thread, harmless after the peer is gone.
// `onPeerClosed` (main loop only) learns when the bridge hangs up, as SocketConnection's does.
struct SocketReplyHandle {
  std::function<void(const HookReply&)> send;
  std::function<void()> close;
  std::function<void(std::function<void()> callback)> onPeerClosed;
};

// The socket that hook bridges connect to: newline-delimited hook requests in, one reply frame
// out. A line that is not a valid request closes its connection without a reply, so the bridge
// falls back to the agent's own prompt.
class HookSocketService {
 public:
  using Handler = std::function<void(HookRequest, SocketReplyHandle)>;

  HookSocketService(MainLoop& loop, std::string socketPath, Handler handler, LogSink log = {});

  [[nodiscard]] Status start() { return server_.start(); }
  SocketStartFailure startFailure() const { return server_.startFailure(); }
  bool isRunning() const { return server_.isRunning(); }
  const std::string& socketPath() const { return server_.socketPath(); }
  size_t connectionCount() const { return server_.connectionCount(); }

 private:
  void receive(const std::string& line, SocketConnection connection);

  Handler handler_;
  LogSink log_;
  SocketServer server_;
};

}  // namespace glimmet
