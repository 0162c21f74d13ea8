#include "platform/linux/x11_key_text.hpp"

#include <X11/Xlib.h>

#include <cctype>

namespace glimmet {

namespace {

void appendUTF8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::string textForKeysym(uint32_t keysym) {
  uint32_t codePoint = 0;
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
    codePoint = keysym;
  } else if ((keysym & 0xFF000000u) == 0x01000000u) {
    codePoint = keysym & 0x00FFFFFFu;
  }
  const bool typable = codePoint >= 0x20 && codePoint != 0x7F && codePoint <= 0x10FFFF &&
                       !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
  std::string text;
  if (typable) appendUTF8(text, codePoint);
  return text;
}

std::string describeHotKey(uint32_t keysym, bool control, bool alt, bool shift, bool super) {
  std::string name;
  if (control) name += "Ctrl+";
  if (alt) name += "Alt+";
  if (shift) name += "Shift+";
  if (super) name += "Super+";
  const char* keyName = XKeysymToString(keysym);
  std::string key = keyName ? keyName : "key " + std::to_string(keysym);
  if (!key.empty()) key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
  return name + key;
}

}  // namespace glimmet
