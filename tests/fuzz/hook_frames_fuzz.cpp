// The approval socket's byte stream -> lines -> hook requests, with the stream cut into reads at
// arbitrary points: the lines must not depend on the cuts, and every request that decodes must
// survive its own encoding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "approvals/socket_frame_codec.hpp"
#include "base/line_splitter.hpp"
#include "fuzz_check.hpp"
#include "model/hook_messages.hpp"

using namespace glimmet;

namespace {

struct Split {
  std::vector<std::string> lines;
  bool oversized = false;
};

Split splitInReads(std::string_view stream, const std::vector<size_t>& cuts, size_t limit) {
  LineSplitter splitter(limit);
  Split split;
  size_t at = 0;
  auto take = [&] {
    while (auto line = splitter.nextLine()) split.lines.push_back(std::move(*line));
  };
  for (const size_t cut : cuts) {
    const size_t length = std::min(cut, stream.size() - at);
    splitter.append(stream.substr(at, length));
    at += length;
    take();
  }
  splitter.append(stream.substr(at));
  take();
  split.oversized = splitter.oversizedLength().has_value();
  return split;
}

void checkRequestRoundTrip(const std::string& line) {
  auto request = decodeHookRequest(line);
  if (!request) return;
  const std::string frame = SocketFrameCodec::encode(request.value());
  // One frame is one line: a line feed inside it would split the request on the other side.
  FUZZ_CHECK(!frame.empty() && frame.back() == '\n');
  FUZZ_CHECK(frame.find('\n') == frame.size() - 1);
  auto again = decodeHookRequest(std::string_view(frame).substr(0, frame.size() - 1));
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again.value() == request.value());
}

void checkReplyRoundTrip(const std::string& line) {
  auto reply = decodeHookReply(line);
  if (!reply) return;
  const std::string frame = SocketFrameCodec::encode(reply.value());
  FUZZ_CHECK(frame.find('\n') == frame.size() - 1);
  auto again = decodeHookReply(std::string_view(frame).substr(0, frame.size() - 1));
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again.value() == reply.value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  // Mostly the real limit; sometimes a tiny one, so that oversized lines are met.
  const size_t limit = provider.ConsumeBool() ? SocketFrameCodec::kMaxLineBytes
                                              : provider.ConsumeIntegralInRange<size_t>(0, 64);
  std::vector<size_t> cuts(provider.ConsumeIntegralInRange<size_t>(0, 8));
  for (auto& cut : cuts) cut = provider.ConsumeIntegralInRange<size_t>(0, 256);
  const std::string stream = provider.ConsumeRemainingBytesAsString();

  const Split whole = splitInReads(stream, {}, limit);
  const Split pieces = splitInReads(stream, cuts, limit);
  FUZZ_CHECK(whole.lines == pieces.lines);
  FUZZ_CHECK(whole.oversized == pieces.oversized);
  for (const auto& line : whole.lines) {
    FUZZ_CHECK(line.size() <= limit);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    checkRequestRoundTrip(line);
    checkReplyRoundTrip(line);
  }
  return 0;
}
