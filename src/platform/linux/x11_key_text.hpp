#pragma once

#include <cstdint>
#include <string>

namespace glimmet {

// The UTF-8 text a keysym types: Latin-1 keysyms are their own code points and the 0x01000000
// range holds the rest of Unicode; function and modifier keys type nothing.
std::string textForKeysym(uint32_t keysym);

// "Ctrl+Alt+Space": how a key combination is named in messages.
std::string describeHotKey(uint32_t keysym, bool control, bool alt, bool shift, bool super);

}  // namespace glimmet
