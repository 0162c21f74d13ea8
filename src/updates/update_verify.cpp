#include "updates/update_verify.hpp"

#include "base/sha256.hpp"
#include "base/text.hpp"
#include "platform/file_replacement.hpp"

namespace glimmet {

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;

}  // namespace

std::optional<std::string> sha256HexOfFile(const std::string& path) {
  Sha256Stream digest;
  const Status read =
      readFileInChunks(path, kChunkBytes, [&](std::string_view chunk) { digest.update(chunk); });
  if (!read) return std::nullopt;
  return digest.finishHex();
}

bool verifyArtifactChecksum(const std::string& path, std::string_view expectedSha256) {
  const auto actual = sha256HexOfFile(path);
  return actual && *actual == toLower(expectedSha256);
}

}  // namespace glimmet
