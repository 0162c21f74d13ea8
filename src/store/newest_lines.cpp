#include "store/newest_lines.hpp"

#include <algorithm>

#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// Reads that only decide whether the line crossing the window's start is over-long start small,
// so that an ordinary line costs little beyond the window.
constexpr uint64_t kDecidingRead = 4096;
// Reads through a line already known to be skipped.
constexpr uint64_t kSkippingRead = uint64_t{1} << 20;

}  // namespace

std::optional<NewestLines> readNewestLines(const std::string& path, uint64_t size,
                                           uint64_t window) {
  NewestLines result;
  // The file's bytes from `bufferStart` on; up to `lineEnd` unless the line is being skipped.
  std::string buffer;
  uint64_t bufferStart = size;
  uint64_t lineEnd = size;  // end of the current line, before its newline
  uint64_t used = 0;        // bytes of the lines kept so far
  bool atFragment = true;   // the current line is the one after the last newline
  bool overlong = false;    // the current line is known to be longer than the window

  for (;;) {
    const size_t newline = buffer.rfind('\n');
    if (newline == std::string::npos && bufferStart > 0) {
      // The current line starts further back.
      const uint64_t lineSoFar = lineEnd - bufferStart;
      const uint64_t newlineCost = atFragment ? 0 : 1;
      if (lineSoFar + newlineCost > window) overlong = true;
      uint64_t want = 0;
      if (overlong) {
        buffer.clear();
        want = kSkippingRead;
      } else if (used + lineSoFar + newlineCost < window) {
        want = window - used - lineSoFar - newlineCost;
      } else {
        want = std::min(std::max(kDecidingRead, lineSoFar), window + 1 - lineSoFar - newlineCost);
      }
      want = std::min(want, bufferStart);
      auto chunk = readFileFrom(path, bufferStart - want, want);
      if (!chunk || chunk->size() != want) return std::nullopt;
      bufferStart -= want;
      buffer.insert(0, *chunk);
      continue;
    }

    const uint64_t lineStart =
        newline == std::string::npos ? bufferStart : bufferStart + newline + 1;
    const uint64_t length = lineEnd - lineStart;
    const uint64_t cost = length + (atFragment ? 0 : 1);
    if (overlong || cost > window) {
      if (atFragment) {
        result.overlongFragmentStart = lineStart;
      } else {
        result.skippedLineStarts.push_back(lineStart);
      }
    } else if (used + cost > window) {
      break;  // the window is full: this line and all older ones are left out
    } else {
      std::string text =
          buffer.substr(static_cast<size_t>(lineStart - bufferStart), static_cast<size_t>(length));
      if (atFragment) {
        result.fragment = std::move(text);
      } else {
        result.newestFirst.push_back(std::move(text));
      }
      used += cost;
    }
    overlong = false;
    atFragment = false;
    if (lineStart == 0) break;
    // The previous line ends at the newline just before this one.
    lineEnd = lineStart - 1;
    buffer.resize(static_cast<size_t>(lineEnd - bufferStart));
  }
  return result;
}

}  // namespace glimmet
