#pragma once

// The key combination text stored in projects and settings ("vk,mask" with
// the stored mask Alt 1, Ctrl 2, Shift 4, Win 8), key names and the
// modifier helpers shared by the capture, the editor and the run.

#include <QString>

// Stored-mask bits (the values of MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
namespace storedmask {
constexpr int Alt = 1;
constexpr int Ctrl = 2;
constexpr int Shift = 4;
constexpr int Win = 8;
} // namespace storedmask

// The text that names no key combination, the stop command a first start
// offers (Ctrl+Alt+S) and the pause keys (Ctrl+Alt+P: beside the stop keys,
// and bound by no common desktop or program).
inline constexpr char16_t kNoKeyCombination[] = u"なし";
inline constexpr char16_t kDefaultStopCommand[] = u"83,3";
inline constexpr char16_t kDefaultPauseCommand[] = u"80,3";

struct KeyCombination {
    int vk = 0;
    int mask = 0;       // stored mask
    bool valid = false; // false when the key part does not parse
};

// Comma split with empty parts dropped; first part the key, second the mask
// (0 when absent or unreadable).
KeyCombination parseKeyCombination(const QString &text);
// "%1,%2" with the key and the stored mask.
QString keyCombinationText(int vk, int storedMask);
QString keyName(unsigned vk);

enum class InvalidKeyText {
    Unchanged,  // the editor shows an unreadable text as it is
    InvalidKey, // the run settings dialog shows "無効なキー"
};
QString keyCombinationDisplayText(const QString &text,
                                  InvalidKeyText invalid = InvalidKeyText::Unchanged);

// True for a virtual-key code some keyboard sends: not a mouse button, not a
// code left unassigned or reserved. A stop command on any other code could
// never be pressed, so it stops nothing.
bool isKeyboardKey(int vk);
// True when a stored combination ("83,3") parses to such a key; false for
// "なし", the empty text and anything unreadable.
bool namesKeyboardKey(const QString &combination);

// Capture mask: Ctrl 1, Alt 2, Shift 4, Win 8.
bool isModifierKey(int vk);
int modifierBit(int vk);
int toStoredMask(int captureMask);
