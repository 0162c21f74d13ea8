#include "base/line_splitter.hpp"

namespace glimmet {

std::optional<std::string> LineSplitter::nextLine() {
  if (oversizedLength_) return std::nullopt;
  const size_t newline = pending_.find('\n', start_);
  const size_t length = (newline == std::string::npos ? pending_.size() : newline) - start_;
  if (length > maxLineBytes_) {
    oversizedLength_ = length;
    pending_.clear();
    start_ = 0;
    return std::nullopt;
  }
  if (newline == std::string::npos) {
    pending_.erase(0, start_);
    start_ = 0;
    return std::nullopt;
  }
  std::string line = pending_.substr(start_, length);
  start_ = newline + 1;
  return line;
}

}  // namespace glimmet
