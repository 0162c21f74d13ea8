#include "store/newest_lines.hpp"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/file_range_read.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// Reads that only decide whether the line crossing the window's start is over-long start small,
// so that an ordinary line costs little beyond the window.
constexpr uint64_t kDecidingRead = 4096;
// Reads through a line already known to be skipped.
constexpr uint64_t kSkippingRead = uint64_t{1} << 20;

// The general walk, for windows where an over-long line has to be stepped over: reads backwards
// in pieces, copying each kept line.
struct SteppedLines {
  std::vector<std::string> newestFirst;
  std::string fragment;
  std::optional<uint64_t> overlongFragmentStart;
  std::vector<uint64_t> skippedLineStarts;
};

std::optional<SteppedLines> readNewestLinesStepwise(const std::string& path, uint64_t size,
                                                    uint64_t window) {
  SteppedLines result;
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

// Whether the line that ends `lineEnd` bytes into the file (at a newline) and reaches back past
// `before` is longer than `window` with its newline; absent when the file cannot be read.
// Reads `length` bytes at `offset` into `out`; with `twoThreads` a large read is shared with a
// second thread, as copying megabytes out of the page cache is most of a full read's time.
bool readRange(const std::string& path, uint64_t offset, char* out, size_t length,
               bool twoThreads) {
  constexpr size_t kSmallestSharedRead = size_t{1} << 20;
  if (!twoThreads || length < kSmallestSharedRead) return readFileInto(path, offset, out, length);
  const size_t half = length / 2;
  bool olderHalfRead = false;
  std::jthread olderHalf;
  try {
    olderHalf = std::jthread([&] { olderHalfRead = readFileInto(path, offset, out, half); });
  } catch (const std::system_error&) {
    return readFileInto(path, offset, out, length);
  }
  const bool newerHalfRead = readFileInto(path, offset + half, out + half, length - half);
  olderHalf.join();
  return olderHalfRead && newerHalfRead;
}

std::optional<bool> crossingLineIsOverlong(const std::string& path, uint64_t before,
                                           uint64_t lineEnd, uint64_t window) {
  uint64_t scannedFrom = before;
  while (scannedFrom > 0) {
    if (lineEnd - scannedFrom + 1 > window) return true;
    const uint64_t want = std::min(scannedFrom, kDecidingRead);
    const auto chunk = readFileFrom(path, scannedFrom - want, want);
    if (!chunk || chunk->size() != want) return std::nullopt;
    if (const void* newline = memrchr(chunk->data(), '\n', chunk->size())) {
      const uint64_t lineStart =
          scannedFrom - want +
          static_cast<uint64_t>(static_cast<const char*>(newline) - chunk->data()) + 1;
      return lineEnd - lineStart + 1 > window;
    }
    scannedFrom -= want;
  }
  return lineEnd + 1 > window;
}

std::optional<std::string> fileEnding(const std::string& path, uint64_t size, size_t length) {
  const uint64_t back = std::min<uint64_t>(size, length);
  auto ending = readFileFrom(path, size - back, back);
  if (!ending || ending->size() != back) return std::nullopt;
  return ending;
}

std::optional<NewestLines> readStepwise(const std::string& path, uint64_t size, uint64_t window,
                                        size_t padding, size_t endingLength) {
  auto stepped = readNewestLinesStepwise(path, size, window);
  auto ending = fileEnding(path, size, endingLength);
  if (!stepped || !ending) return std::nullopt;
  NewestLines result;
  size_t total = 0;
  for (const auto& line : stepped->newestFirst) total += line.size() + 1;
  result.bytes = std::make_unique_for_overwrite<char[]>(total + padding);
  result.byteCount = total + padding;
  std::memset(result.bytes.get() + total, 0, padding);
  // In file order, as in a window read in one piece.
  size_t offset = total;
  for (const auto& line : stepped->newestFirst) {
    offset -= line.size() + 1;
    std::memcpy(result.bytes.get() + offset, line.data(), line.size());
    result.bytes[offset + line.size()] = '\n';
    result.newestFirst.emplace_back(result.bytes.get() + offset, line.size());
  }
  result.fragment = std::move(stepped->fragment);
  result.overlongFragmentStart = stepped->overlongFragmentStart;
  result.skippedLineStarts = std::move(stepped->skippedLineStarts);
  result.ending = std::move(*ending);
  return result;
}

}  // namespace

std::optional<NewestLines> readNewestLines(const std::string& path, uint64_t size, uint64_t window,
                                           size_t padding, size_t endingLength, bool twoThreads) {
  // One read of the window and the byte before it, which tells whether the oldest line in the
  // window starts exactly at its edge.
  const uint64_t start = size - std::min(size, window + 1);
  const size_t length = static_cast<size_t>(size - start);
  NewestLines result;
  // Left uninitialised: all but the padding is overwritten by the read.
  result.bytes = std::make_unique_for_overwrite<char[]>(length + padding);
  result.byteCount = length + padding;
  preferLargePages(result.bytes.get(), result.byteCount);
  std::memset(result.bytes.get() + length, 0, padding);
  if (length > 0 && !readRange(path, start, result.bytes.get(), length, twoThreads)) {
    return std::nullopt;
  }
  const char* data = result.bytes.get();
  result.ending.assign(data + length - std::min<size_t>(length, endingLength), data + length);

  const auto* lastNewline = static_cast<const char*>(memrchr(data, '\n', length));
  if (!lastNewline && start > 0) return readStepwise(path, size, window, padding, endingLength);
  const char* fragmentStart = lastNewline ? lastNewline + 1 : data;
  const size_t fragmentLength = static_cast<size_t>(data + length - fragmentStart);
  if (fragmentLength > window) return readStepwise(path, size, window, padding, endingLength);
  result.fragment.assign(fragmentStart, fragmentLength);

  uint64_t used = fragmentLength;
  const char* lineEnd = lastNewline;  // the newline after the current line
  while (lineEnd) {
    const auto* previous =
        static_cast<const char*>(memrchr(data, '\n', static_cast<size_t>(lineEnd - data)));
    if (!previous && start > 0) {
      // The line reaches back before the read; it does not fit, but when it is longer than
      // the window on its own it is stepped over and older lines still count.
      const uint64_t end = start + static_cast<uint64_t>(lineEnd - data);
      const auto overlong = crossingLineIsOverlong(path, start, end, window);
      if (!overlong) return std::nullopt;
      if (*overlong) return readStepwise(path, size, window, padding, endingLength);
      break;
    }
    const char* lineStart = previous ? previous + 1 : data;
    const uint64_t cost = static_cast<uint64_t>(lineEnd - lineStart) + 1;
    if (cost > window) return readStepwise(path, size, window, padding, endingLength);
    if (used + cost > window) break;
    used += cost;
    result.newestFirst.emplace_back(lineStart, static_cast<size_t>(lineEnd - lineStart));
    lineEnd = previous;
  }
  return result;
}

}  // namespace glimmet
