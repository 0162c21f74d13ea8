#include "base/sha256.hpp"

#include <array>
#include <cstddef>

#ifdef __APPLE__
#include <CommonCrypto/CommonDigest.h>
#else
#include <openssl/evp.h>
#endif

namespace glimmet {

namespace {

constexpr size_t kDigestLength = 32;
using Digest = std::array<unsigned char, kDigestLength>;

#ifdef __APPLE__
Digest digestOf(std::string_view bytes) {
  // CC_LONG is 32 bits wide: longer input goes in pieces.
  constexpr size_t kPiece = size_t{1} << 30;
  CC_SHA256_CTX context;
  CC_SHA256_Init(&context);
  for (size_t offset = 0; offset < bytes.size(); offset += kPiece) {
    const std::string_view piece = bytes.substr(offset, kPiece);
    CC_SHA256_Update(&context, piece.data(), static_cast<CC_LONG>(piece.size()));
  }
  Digest digest{};
  CC_SHA256_Final(digest.data(), &context);
  return digest;
}
#else
Digest digestOf(std::string_view bytes) {
  Digest digest{};
  unsigned int length = 0;
  // Only an allocation failure inside OpenSSL can make this fail; the digest then stays zero.
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  return digest;
}
#endif

}  // namespace

std::string sha256Hex(std::string_view bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(kDigestLength * 2);
  for (const unsigned char byte : digestOf(bytes)) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

}  // namespace glimmet
