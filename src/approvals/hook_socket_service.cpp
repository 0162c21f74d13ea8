#include "approvals/hook_socket_service.hpp"

#include "approvals/socket_frame_codec.hpp"

namespace glimmet {

HookSocketService::HookSocketService(MainLoop& loop, std::string socketPath, Handler handler,
                                     LogSink log)
    : handler_(std::move(handler)),
      log_(log),
      server_(
          loop, std::move(socketPath),
          [this](const std::string& line, SocketConnection connection) {
            receive(line, std::move(connection));
          },
          std::move(log), SocketFrameCodec::kMaxLineBytes) {}

void HookSocketService::receive(const std::string& line, SocketConnection connection) {
  auto request = decodeHookRequest(line);
  if (!request) {
    writeLog(log_, "[Glimmet] socket connection closed: malformed frame: HookRequest: " +
                       request.error());
    connection.close();
    return;
  }
  SocketReplyHandle handle;
  handle.send = [send = connection.send](const HookReply& reply) {
    send(SocketFrameCodec::encode(reply));
  };
  handle.close = std::move(connection.close);
  handle.onPeerClosed = std::move(connection.onPeerClosed);
  handler_(std::move(request.value()), std::move(handle));
}

}  // namespace glimmet
