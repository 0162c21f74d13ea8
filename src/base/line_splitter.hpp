#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// Cuts a byte stream into lines at line feeds. The lines come out the same however the stream
// was cut into reads, so a peer's write boundaries never change what is handled.
class LineSplitter {
 public:
  explicit LineSplitter(size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

  void append(std::string_view bytes) {
    if (!oversizedLength_) pending_.append(bytes);
  }

  // The next complete line, without its line feed; absent while none is complete. A line longer
  // than the limit, complete or still arriving, ends the stream: it and everything after it is
  // never returned, and oversizedLength() tells how long it was when it was found.
  std::optional<std::string> nextLine();
  std::optional<size_t> oversizedLength() const { return oversizedLength_; }

 private:
  size_t maxLineBytes_;
  std::string pending_;
  // Where the unread part of `pending_` starts: consumed lines are dropped together once no
  // complete line is left, so a read holding many short lines costs linear time, not quadratic.
  size_t start_ = 0;
  std::optional<size_t> oversizedLength_;
};

}  // namespace glimmet
