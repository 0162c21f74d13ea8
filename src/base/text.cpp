#include "base/text.hpp"

#include <algorithm>

namespace glimmet {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 1 for an invalid byte.
size_t sequenceLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 1;
  }
  if (i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

std::string trim(std::string_view text) {
  return std::string(trimmedView(text));
}

std::string toLower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    const size_t found = text.find(from, pos);
    if (found == std::string_view::npos) break;
    out.append(text.substr(pos, found - pos));
    out.append(to);
    pos = found + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

namespace {
char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool equalsIgnoringCase(std::string_view text, std::string_view lowerPart) {
  if (text.size() != lowerPart.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != lowerPart[i]) return false;
  }
  return true;
}

LowerCaseText::LowerCaseText(std::string_view text) {
  char* out = small_.data();
  if (text.size() > small_.size()) {
    large_.resize(text.size());
    out = large_.data();
  }
  for (size_t i = 0; i < text.size(); ++i) out[i] = asciiLower(text[i]);
  view_ = std::string_view(out, text.size());
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (true) {
    const size_t found = text.find(separator, pos);
    if (found == std::string_view::npos) {
      parts.emplace_back(text.substr(pos));
      return parts;
    }
    parts.emplace_back(text.substr(pos, found - pos));
    pos = found + 1;
  }
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out.append(separator);
    out.append(parts[i]);
  }
  return out;
}

size_t utf8Length(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i += sequenceLength(text, i)) ++count;
  return count;
}

std::string utf8Prefix(std::string_view text, size_t characters) {
  size_t i = 0;
  for (size_t count = 0; i < text.size() && count < characters; ++count) {
    i += sequenceLength(text, i);
  }
  return std::string(text.substr(0, i));
}

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = sequenceLength(text, i);
    if (length == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return false;
    // Reject surrogates and overlong three-byte forms the lead check lets through.
    if (length == 3) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (lead == 0xE0 && next < 0xA0) return false;
      if (lead == 0xED && next >= 0xA0) return false;
    }
    if (length == 4) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (lead == 0xF0 && next < 0x90) return false;
      if (lead == 0xF4 && next >= 0x90) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace glimmet

namespace glimmet {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";     // U+2026

// Index just past the escape sequence that starts with ESC at `i` (ECMA-48): CSI runs to its
// final byte; OSC, DCS, SOS, PM and APC run to BEL or ESC \; any other escape is two bytes.
size_t skipEscape(std::string_view text, size_t i) {
  size_t k = i + 1;
  if (k >= text.size()) return k;
  const char kind = text[k++];
  if (kind == '[') {
    while (k < text.size()) {
      const auto c = static_cast<unsigned char>(text[k++]);
      if (c >= 0x40 && c <= 0x7E) break;
    }
    return k;
  }
  if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
    while (k < text.size()) {
      if (text[k] == '\a') return k + 1;
      if (text[k] == '\x1b' && k + 1 < text.size() && text[k + 1] == '\\') return k + 2;
      ++k;
    }
    return k;
  }
  return k;
}

}  // namespace

std::string terminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == 0x1B) {
      i = skipEscape(text, i);
    } else if (byte == '\n' || byte == '\r' || byte == '\t') {
      out += ' ';
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += kReplacement;
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      const size_t length = sequenceLength(text, i);
      const std::string_view sequence = text.substr(i, length);
      const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
      if (length == 1 || c1 || !isValidUtf8(sequence)) {
        out += kReplacement;
      } else {
        out += sequence;
      }
      i += length;
    }
  }
  return out;
}

std::string shortenEnd(std::string_view text, size_t characters) {
  if (characters == 0) return {};
  if (utf8Length(text) <= characters) return std::string(text);
  return utf8Prefix(text, characters - 1) + std::string(kEllipsis);
}

std::string shortenStart(std::string_view text, size_t characters) {
  if (characters == 0) return {};
  const size_t length = utf8Length(text);
  if (length <= characters) return std::string(text);
  const size_t skip = utf8Prefix(text, length - (characters - 1)).size();
  return std::string(kEllipsis) + std::string(text.substr(skip));
}

}  // namespace glimmet
