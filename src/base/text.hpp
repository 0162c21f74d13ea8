#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// Trims white space and newlines (ASCII and the Unicode line/paragraph separators are not
// special here: agents write ASCII white space around their texts).
std::string trim(std::string_view text);
std::string toLower(std::string_view text);
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
bool contains(std::string_view text, std::string_view part);
// `toLower(text) == lowerPart` without building the lower-case copy.
bool equalsIgnoringCase(std::string_view text, std::string_view lowerPart);

// `trim` as a view into `text`, with the same white space.
inline std::string_view trimmedView(std::string_view text) {
  const auto isSpace = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A value that is there and holds more than white space (an id, a path, a name).
inline bool hasText(const std::optional<std::string>& text) {
  return text && !trimmedView(*text).empty();
}

bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
std::vector<std::string> split(std::string_view text, char separator);
std::string join(const std::vector<std::string>& parts, std::string_view separator);

// `toLower(text)` for the several tests a classification makes of one short name: kept on the
// stack (a longer text on the heap), and not to be copied, since the view points into it.
class LowerCaseText {
 public:
  explicit LowerCaseText(std::string_view text);
  LowerCaseText(const LowerCaseText&) = delete;
  LowerCaseText& operator=(const LowerCaseText&) = delete;
  bool contains(std::string_view lowerPart) const {
    return view_.find(lowerPart) != std::string_view::npos;
  }

 private:
  std::array<char, 64> small_;
  std::string large_;
  std::string_view view_;
};

// UTF-8 aware helpers: a "character" is one code point. Invalid bytes count as one character
// each so that nothing is ever split inside a valid sequence.
size_t utf8Length(std::string_view text);
std::string utf8Prefix(std::string_view text, size_t characters);
bool isValidUtf8(std::string_view text);
// Appends `code` as UTF-8, one to four bytes, encoded as given: callers that must refuse
// surrogates or values above U+10FFFF check before.
void appendUtf8(std::string& out, uint32_t code);

// Text from agents made safe to print on a terminal, on one line: escape sequences (CSI, OSC,
// DCS and the like) are removed whole, line breaks and tabs become spaces, other C0 controls,
// DEL, C1 controls (U+0080 to U+009F) and invalid UTF-8 become U+FFFD. Without this an event
// could retitle the window, clear the screen or fake an approval line.
std::string terminalSafe(std::string_view text);
// At most `characters` code points: longer text keeps its start and ends with "…".
std::string shortenEnd(std::string_view text, size_t characters);
// At most `characters` code points: longer text starts with "…" and keeps its end, where a
// path's file name is.
std::string shortenStart(std::string_view text, size_t characters);

}  // namespace glimmet
