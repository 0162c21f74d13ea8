#pragma once

#include <cstddef>
#include <string>

#include "model/hook_messages.hpp"

namespace glimmet {

// Newline-delimited JSON frames, in both directions.
namespace SocketFrameCodec {

// The longest line accepted, without its line feed.
inline constexpr size_t kMaxLineBytes = 262144;

// The record as compact JSON with sorted keys, followed by one line feed.
std::string encode(const HookReply& reply);
std::string encode(const HookRequest& request);

}  // namespace SocketFrameCodec

}  // namespace glimmet
