#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace glimmet {

// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

// A SHA-256 digest fed piece by piece, so that a large file never has to be held in memory.
class Sha256Stream {
 public:
  Sha256Stream();
  ~Sha256Stream();
  Sha256Stream(const Sha256Stream&) = delete;
  Sha256Stream& operator=(const Sha256Stream&) = delete;

  void update(std::string_view bytes);
  // The digest of everything fed so far, as 64 lower-case hexadecimal digits. Feeding more
  // afterwards starts a fresh digest.
  std::string finishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace glimmet
