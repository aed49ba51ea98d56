#pragma once

// Windows virtual-key codes <-> X keysyms. Stored projects and settings hold
// Windows codes, so on X11 every key passes through this table both ways.
// Keysyms are plain numbers here: the Xlib headers stay in the .cpp files.

namespace platform::x11 {

// The keysym that stands for `vk` when it is sent: generic Shift, Ctrl and Alt
// (16, 17, 18) are the left keys. 0 for codes the table does not know.
unsigned long keysymForVk(int vk);

// The Windows code reported for a key whose unshifted keysym is `keysym`:
// left/right-specific for modifiers, as a Windows hook reports them. Accepts
// both cases of letters. 0 for keysyms the table does not know.
int vkForKeysym(unsigned long keysym);

// Every keysym whose key reads as `vk` when asking whether it is down: a
// generic modifier code stands for both sides. Returns how many it wrote.
int keysymsForVk(int vk, unsigned long *out, int max);

} // namespace platform::x11
