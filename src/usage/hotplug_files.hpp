#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"

namespace glimmet {

// The last `maxBytes` of a file as text. When the read starts inside the file, everything up
// to and including the first line feed is dropped, so the text starts with a whole line.
// Absent when the file cannot be read.
std::optional<std::string> readHotplugTailText(const std::string& path, uint64_t maxBytes);

// The paths of `files`, newest modification first (equal times by path, so the order is the
// same on every scan), at most `limit` of them.
std::vector<std::string> newestPathsFirst(std::vector<ListedFile> files, size_t limit);

// Regular files below `root` that `accept` takes, collected from the newest-named directories
// downwards until `maxCollected` are found. Tools that file their logs under dated directories
// ("2026/05/11", "20260511T101500") therefore lose their oldest days first when there are more.
std::vector<ListedFile> filesFromNewestDirectories(
    const std::string& root, const std::function<bool(std::string_view name)>& accept,
    size_t maxCollected);

}  // namespace glimmet
