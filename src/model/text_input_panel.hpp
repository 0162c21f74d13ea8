#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glimmet {

struct TruncatedText {
  std::string text;
  bool truncated = false;
};

// The typed-answer side of the text panel that any front end shares.
namespace TextInputPanel {

inline constexpr size_t kMaxAnswerBytes = 8192;

// At most 8,192 UTF-8 bytes, cut before a character rather than inside one.
TruncatedText truncate(std::string_view text);

}  // namespace TextInputPanel

}  // namespace glimmet
