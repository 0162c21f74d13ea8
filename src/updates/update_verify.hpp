#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// The SHA-256 of the file as 64 lower-case hexadecimal digits, read 1 MiB at a time so that an
// artifact of any size costs the same memory; absent when the file cannot be read.
std::optional<std::string> sha256HexOfFile(const std::string& path);

// Whether the file's digest matches `expectedSha256`, which a feed may write in upper case.
bool verifyArtifactChecksum(const std::string& path, std::string_view expectedSha256);

}  // namespace glimmet
