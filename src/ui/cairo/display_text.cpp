#include "ui/cairo/display_text.hpp"

#include <cstdint>

#include "base/text.hpp"

namespace glimmet {

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;
constexpr uint32_t kLineSeparator = 0x2028;
constexpr uint32_t kParagraphSeparator = 0x2029;

bool showsAsSpace(uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == kLineSeparator ||
         code == kParagraphSeparator;
}

// The code point starting at `text[index]` and its length in bytes; an invalid or truncated
// sequence is one byte of U+FFFD.
std::pair<uint32_t, size_t> decodeAt(std::string_view text, size_t index) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(index);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  uint32_t code = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return {kReplacementCharacter, 1};
  }
  if (index + length > text.size()) return {kReplacementCharacter, 1};
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(index + i);
    if ((next & 0xC0) != 0x80) return {kReplacementCharacter, 1};
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {kReplacementCharacter, 1};
  }
  return {code, length};
}

}  // namespace

std::string displayableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t index = 0; index < text.size();) {
    const auto [code, length] = decodeAt(text, index);
    if (showsAsSpace(code)) {
      out.push_back(' ');
    } else if (code == kReplacementCharacter && length == 1) {
      appendUtf8(out, kReplacementCharacter);
    } else {
      out.append(text.substr(index, length));
    }
    index += length;
  }
  return out;
}

}  // namespace glimmet
