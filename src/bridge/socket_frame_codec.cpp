#include "bridge/socket_frame_codec.hpp"

#include <fmt/format.h>

namespace glimmet {

std::string FrameDecodeError::message() const {
  switch (kind) {
    case Kind::oversized:
      return fmt::format("oversized frame ({} bytes)", byteCount);
    case Kind::malformed:
      return "malformed frame: " + description;
    case Kind::incomplete:
      break;
  }
  return "incomplete frame";
}

namespace SocketFrameCodec {

std::variant<std::string, FrameDecodeError> consumeLine(std::string& buffer) {
  const size_t newline = buffer.find('\n');
  if (newline == std::string::npos) {
    if (buffer.size() <= kMaxLineBytes) return FrameDecodeError::incomplete();
    return FrameDecodeError::oversized(buffer.size());
  }
  if (newline > kMaxLineBytes) return FrameDecodeError::oversized(newline);
  std::string line = buffer.substr(0, newline);
  buffer.erase(0, newline + 1);
  return line;
}

std::variant<HookRequest, FrameDecodeError> decodeRequest(std::string& buffer) {
  auto line = consumeLine(buffer);
  if (auto* error = std::get_if<FrameDecodeError>(&line)) return *error;
  auto request = decodeHookRequest(std::get<std::string>(line));
  if (!request) return FrameDecodeError::malformed("HookRequest: " + request.error());
  return std::move(request.value());
}

std::string encode(const HookReply& reply) {
  return encodeHookReply(reply) + '\n';
}

std::string encode(const HookRequest& request) {
  return encodeHookRequest(request) + '\n';
}

}  // namespace SocketFrameCodec

}  // namespace glimmet
