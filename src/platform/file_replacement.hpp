#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/result.hpp"

namespace glimmet {

// Renames `from` over `to` in one step (both in the same file system): a reader of `to` sees
// the old file or the new one, never neither.
Status moveReplacing(const std::string& from, const std::string& to);

// Feeds the file to `consume` in pieces of at most `chunkBytes`, so that a file of any size is
// read with a fixed amount of memory. Fails when the file cannot be opened or read.
Status readFileInChunks(const std::string& path, size_t chunkBytes,
                        const std::function<void(std::string_view)>& consume);

// Whether this process may create and remove entries in `directory`.
bool isWritableDirectory(const std::string& directory);

}  // namespace glimmet
