#include "base/sha256.hpp"

#include <array>
#include <cstddef>
#include <memory>

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

std::string hexOf(const Digest& digest) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(kDigestLength * 2);
  for (const unsigned char byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

}  // namespace

std::string sha256Hex(std::string_view bytes) {
  return hexOf(digestOf(bytes));
}

#ifdef __APPLE__
struct Sha256Stream::State {
  CC_SHA256_CTX context;
  void reset() { CC_SHA256_Init(&context); }
};

void Sha256Stream::update(std::string_view bytes) {
  constexpr size_t kPiece = size_t{1} << 30;
  for (size_t offset = 0; offset < bytes.size(); offset += kPiece) {
    const std::string_view piece = bytes.substr(offset, kPiece);
    CC_SHA256_Update(&state_->context, piece.data(), static_cast<CC_LONG>(piece.size()));
  }
}

std::string Sha256Stream::finishHex() {
  Digest digest{};
  CC_SHA256_Final(digest.data(), &state_->context);
  state_->reset();
  return hexOf(digest);
}
#else
struct Sha256Stream::State {
  struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, ContextFree> context{EVP_MD_CTX_new()};
  void reset() { EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr); }
};

void Sha256Stream::update(std::string_view bytes) {
  EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size());
}

std::string Sha256Stream::finishHex() {
  Digest digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length);
  state_->reset();
  return hexOf(digest);
}
#endif

Sha256Stream::Sha256Stream() : state_(std::make_unique<State>()) {
  state_->reset();
}

Sha256Stream::~Sha256Stream() = default;

}  // namespace glimmet
