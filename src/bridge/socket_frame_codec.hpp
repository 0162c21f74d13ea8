#pragma once

#include <cstddef>
#include <string>
#include <variant>

#include "bridge/hook_messages.hpp"

namespace glimmet {

// Why no request could be taken from a receive buffer.
struct FrameDecodeError {
  enum class Kind { oversized, malformed, incomplete };
  Kind kind = Kind::incomplete;
  size_t byteCount = 0;     // oversized: the offending length
  std::string description;  // malformed: what was wrong

  static FrameDecodeError oversized(size_t bytes) { return {Kind::oversized, bytes, {}}; }
  static FrameDecodeError malformed(std::string text) {
    return {Kind::malformed, 0, std::move(text)};
  }
  static FrameDecodeError incomplete() { return {}; }
  std::string message() const;
};

// Newline-delimited JSON frames, in both directions.
namespace SocketFrameCodec {

// The longest line accepted, without its line feed.
inline constexpr size_t kMaxLineBytes = 262144;

// Removes the first complete line (and its line feed) from `buffer` and returns it.
std::variant<std::string, FrameDecodeError> consumeLine(std::string& buffer);
std::variant<HookRequest, FrameDecodeError> decodeRequest(std::string& buffer);

// The record as compact JSON with sorted keys, followed by one line feed.
std::string encode(const HookReply& reply);
std::string encode(const HookRequest& request);

}  // namespace SocketFrameCodec

}  // namespace glimmet
