#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glimmet {

// Reads exactly `length` bytes from `offset` into `out`, straight from the file without a
// staging copy; false when the file is not a regular file or holds fewer bytes.
bool readFileInto(const std::string& path, uint64_t offset, char* out, size_t length);

}  // namespace glimmet
