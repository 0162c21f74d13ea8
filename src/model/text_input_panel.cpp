#include "model/text_input_panel.hpp"

#include "base/text.hpp"

namespace glimmet::TextInputPanel {

TruncatedText truncate(std::string_view text) {
  if (text.size() <= kMaxAnswerBytes) return {std::string(text), false};
  size_t index = kMaxAnswerBytes;
  // Step back over continuation bytes (10xxxxxx) to the first byte of the cut character.
  while (index > 0 && (static_cast<unsigned char>(text[index]) & 0xC0) == 0x80) --index;
  std::string_view kept = text.substr(0, index);
  if (!isValidUtf8(kept)) return {std::string(), true};
  return {std::string(kept), true};
}

}  // namespace glimmet::TextInputPanel
