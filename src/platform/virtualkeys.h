#pragma once

// Windows virtual-key codes that the program names in its own logic. Stored
// projects and settings hold these codes on every system.

namespace vk {

constexpr int Shift = 0x10;
constexpr int Control = 0x11;
constexpr int Menu = 0x12; // Alt
constexpr int LWin = 0x5B;
constexpr int RWin = 0x5C;
constexpr int LShift = 0xA0;
constexpr int RShift = 0xA1;
constexpr int LControl = 0xA2;
constexpr int RControl = 0xA3;
constexpr int LMenu = 0xA4;
constexpr int RMenu = 0xA5;

} // namespace vk
