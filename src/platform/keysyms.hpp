#pragma once

#include <cstdint>

namespace glimmet {

// The X11 keysyms of the keys the overlay's windows act on. HostKeyEvent carries X11 keysyms on
// every platform (the macOS shell translates its key codes into them).
inline constexpr uint32_t kKeysymSpace = 0x20;
inline constexpr uint32_t kKeysymU = 0x75;
inline constexpr uint32_t kKeysymISOLeftTab = 0xfe20;
inline constexpr uint32_t kKeysymBackSpace = 0xff08;
inline constexpr uint32_t kKeysymTab = 0xff09;
inline constexpr uint32_t kKeysymReturn = 0xff0d;
inline constexpr uint32_t kKeysymEscape = 0xff1b;
inline constexpr uint32_t kKeysymHome = 0xff50;
inline constexpr uint32_t kKeysymLeft = 0xff51;
inline constexpr uint32_t kKeysymRight = 0xff53;
inline constexpr uint32_t kKeysymEnd = 0xff57;
inline constexpr uint32_t kKeysymKeypadEnter = 0xff8d;
inline constexpr uint32_t kKeysymDelete = 0xffff;

}  // namespace glimmet
