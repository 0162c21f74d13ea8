#include "approvals/socket_frame_codec.hpp"

namespace glimmet {

namespace SocketFrameCodec {

std::string encode(const HookReply& reply) {
  return encodeHookReply(reply) + '\n';
}

std::string encode(const HookRequest& request) {
  return encodeHookRequest(request) + '\n';
}

}  // namespace SocketFrameCodec

}  // namespace glimmet
