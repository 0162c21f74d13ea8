#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glimmet {

// Reads exactly `length` bytes from `offset` into `out`, straight from the file without a
// staging copy; false when the file is not a regular file or holds fewer bytes.
bool readFileInto(const std::string& path, uint64_t offset, char* out, size_t length);

// Asks for large pages behind a buffer of megabytes that is about to be filled (transparent huge
// pages on Linux; nothing elsewhere): its first touch then costs a few page faults instead of
// one per 4 KiB, which on a virtual machine is most of a cold read's time. Only the whole 2 MiB
// blocks inside the buffer are affected.
void preferLargePages(char* data, size_t length);

}  // namespace glimmet
