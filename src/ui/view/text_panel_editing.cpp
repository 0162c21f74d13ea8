#include "ui/view/text_panel_editing.hpp"

#include <algorithm>

namespace glimmet {

namespace {

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the character that starts with `lead`, as its lead byte claims.
size_t claimedLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

size_t nextCharacterBoundary(std::string_view text, size_t offset) {
  if (offset >= text.size()) return text.size();
  const size_t claimed = claimedLength(static_cast<unsigned char>(text[offset]));
  size_t end = offset + 1;
  while (end < text.size() && end < offset + claimed &&
         isContinuation(static_cast<unsigned char>(text[end]))) {
    ++end;
  }
  // A lead byte without all its continuations is one stray byte.
  return end - offset == claimed ? end : offset + 1;
}

size_t previousCharacterBoundary(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  if (offset == 0) return 0;
  // Walk back over at most three continuation bytes to the lead, and accept it only when the
  // character it starts ends exactly here.
  size_t start = offset - 1;
  while (start > 0 && offset - start < 4 && isContinuation(static_cast<unsigned char>(text[start])))
    --start;
  if (nextCharacterBoundary(text, start) == offset) return start;
  return offset - 1;
}

void EditedText::insert(std::string_view typed) {
  caret = std::min(caret, text.size());
  text.insert(caret, typed);
  caret += typed.size();
}

void EditedText::deleteBackward() {
  caret = std::min(caret, text.size());
  const size_t start = previousCharacterBoundary(text, caret);
  text.erase(start, caret - start);
  caret = start;
}

void EditedText::deleteForward() {
  caret = std::min(caret, text.size());
  text.erase(caret, nextCharacterBoundary(text, caret) - caret);
}

void EditedText::moveLeft() {
  caret = previousCharacterBoundary(text, caret);
}

void EditedText::moveRight() {
  caret = nextCharacterBoundary(text, caret);
}

}  // namespace glimmet
