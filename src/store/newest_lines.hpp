#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// The newest lines of a file, read backwards from `size` until `window` bytes of lines (their
// newlines included) are collected. A line longer than the window on its own is skipped rather
// than allowed to fill it: it does not count, and the lines before it are still read.
struct NewestLines {
  // The bytes the lines point into, followed by `padding` spare bytes so that a line can be
  // decoded where it lies.
  std::unique_ptr<char[]> bytes;
  size_t byteCount = 0;                       // the bytes read and the padding
  std::vector<std::string_view> newestFirst;  // complete lines, without their newline
  std::string fragment;                       // the bytes after the last newline
  // Where the unfinished last line starts when it is already longer than the window.
  std::optional<uint64_t> overlongFragmentStart;
  std::vector<uint64_t> skippedLineStarts;  // where each skipped over-long line starts
  // The last bytes of the file (up to the 64 asked for), when the window reached the end.
  std::string ending;

  // How many bytes from the start of `line` may be read.
  size_t capacityAt(std::string_view line) const {
    return static_cast<size_t>(bytes.get() + byteCount - line.data());
  }
};

// Absent when the file cannot be read up to `size`. In the usual case (no line longer than the
// window) this is one read of the window's bytes, shared with a second thread when
// `twoThreads`; `padding` zero bytes are added after them.
std::optional<NewestLines> readNewestLines(const std::string& path, uint64_t size, uint64_t window,
                                           size_t padding = 0, size_t endingLength = 0,
                                           bool twoThreads = false);

}  // namespace glimmet
