#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimmet {

// The newest lines of a file, read backwards from `size` until `window` bytes of lines (their
// newlines included) are collected. A line longer than the window on its own is skipped rather
// than allowed to fill it: it does not count, and the lines before it are still read.
struct NewestLines {
  std::vector<std::string> newestFirst;  // complete lines, without their newline
  std::string fragment;                  // the bytes after the last newline
  // Where the unfinished last line starts when it is already longer than the window.
  std::optional<uint64_t> overlongFragmentStart;
  std::vector<uint64_t> skippedLineStarts;  // where each skipped over-long line starts
};

// Absent when the file cannot be read up to `size`.
std::optional<NewestLines> readNewestLines(const std::string& path, uint64_t size, uint64_t window);

}  // namespace glimmet
