#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glimmet {

// The text of an editor with its caret, a byte offset that always sits between two UTF-8
// characters: every edit works on whole characters so that a reply never carries half of one.
struct EditedText {
  std::string text;
  size_t caret = 0;

  void insert(std::string_view typed);
  // The character before the caret; nothing at the start.
  void deleteBackward();
  // The character after the caret; nothing at the end.
  void deleteForward();
  void moveLeft();
  void moveRight();
  void moveToStart() { caret = 0; }
  void moveToEnd() { caret = text.size(); }
};

// The offset of the character before `offset` (0 at the start), and of the one after it (the
// text's size at the end); bytes that are not valid UTF-8 count as one character each.
size_t previousCharacterBoundary(std::string_view text, size_t offset);
size_t nextCharacterBoundary(std::string_view text, size_t offset);

}  // namespace glimmet
