#pragma once

// The keyboard the Wayland backend types on: a keymap of our own, uploaded
// to the compositor through the virtual keyboard. Windows virtual-key codes
// press the keys at their US positions (evdev codes), with the keysyms the
// X11 layer sends for them; the keycodes those keys leave free carry a block
// of characters, replaced (a whole keymap uploaded again) when the text
// needs others. No Wayland or xkbcommon types here: the keymap is its text.

#include <cstddef>
#include <string>
#include <vector>

namespace platform::wayland {

// The evdev key code `vk` presses (generic Shift, Ctrl and Alt: the left
// keys). 0 for codes our keyboard does not have.
unsigned evdevForVk(int vk);

// The keysym name of the key `vk` presses, unshifted ("s", "F12",
// "Return"); null for codes our keyboard does not have. Compositors' key
// bindings (sway's bindsym) name keys so.
const char *keysymNameForVk(int vk);

// The virtual-key code of the key at evdev code `code`, as a Windows hook
// reports it (left/right-specific modifiers): the reverse of evdevForVk, so
// a key heard from the input devices is the key we would press for it. The
// keypad's Enter reads as Return, as on Windows. 0 for other codes.
int vkForEvdev(unsigned code);

// Every evdev code whose key reads as `vk` when asking whether it is down:
// a generic modifier stands for both sides. Returns how many it wrote.
int evdevsForVk(int vk, unsigned *out, int max);

// The evdev codes of the character block, in slot order: every code from 1
// to 247 (xkb keycodes up to 255, as X11 programs under XWayland need) that
// no virtual key uses.
const std::vector<unsigned> &blockCodes();

// The block's keys carry a character in each of the keymap's groups (xkb's
// most, 4): one keymap holds four times as many characters, and the group
// is chosen by the modifiers event, which sets no modifier a client could
// take for a shortcut. The virtual keys have one group, which every group
// falls back to, so they type the same whichever is chosen.
inline constexpr unsigned kBlockGroups = 4;

// Where slot `slot` of the block is: groups are filled one after another,
// so a short text never leaves the first.
struct BlockKey {
    unsigned code;  // evdev
    unsigned group; // 0 to kBlockGroups - 1
};
BlockKey blockKey(std::size_t slot);

// How many characters one keymap holds.
std::size_t blockSize();

// The keysym name that types `cp` ("U65E5", "Return" for CR and LF, ...);
// empty for what cannot be typed (surrogates, beyond U+10FFFF, NUL).
std::string keysymNameFor(char32_t cp);

// The keymap's text (xkb text format v1): the virtual keys, and `block[i]`
// on blockKey(i) (0 or an untypable character: the key types nothing).
// Self-contained: no include statements, so compiling it reads no files.
std::string keymapText(const std::vector<char32_t> &block);

} // namespace platform::wayland
