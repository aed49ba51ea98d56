#pragma once

// A snapshot of the server's keyboard map: which keycode and shift level give
// a keysym (group 1, the one text is typed in), which Windows key code each
// keycode stands for (every group and the key's place count, so letter keys
// keep their meaning on non-Latin layouts), which modifier bits the modifier
// keys set, and which keycodes are spare (no keysym at all). Plain data,
// rebuilt when the map changes; no Xlib types leak out of here.

#include <cstdint>
#include <unordered_map>
#include <vector>

struct _XDisplay;

namespace platform::x11 {

// How to produce one keysym: press `keycode` while the modifier keys for
// `mods` (Shift and/or the level-3 shift) are held.
struct KeyStroke {
    int keycode = 0;
    unsigned mods = 0;
};

class KeyMap {
public:
    // Reads the map from the server. Returns false when XKB is not at hand.
    bool load(_XDisplay *display);

    // The keycode to press for a key named by its keysym: the one with that
    // keysym unshifted, otherwise any; 0 if none has it.
    int keycodeFor(unsigned long keysym) const;
    // Every keycode whose unshifted keysym is `keysym`.
    std::vector<int> keycodesAtFirstLevel(unsigned long keysym) const;
    unsigned long firstLevelKeysym(int keycode) const;
    unsigned long keysymAt(int keycode, int level) const;

    // The Windows key code a keycode stands for, with Num Lock on or off:
    // what its first keysym means; for a letter or digit key of a non-Latin
    // layout the Latin letter it carries in another group, else the letter at
    // its place on a US keyboard; keys the table does not know read as 0xFF,
    // as on Windows. 0 for keycodes with neither keysym nor name.
    int vkAt(int keycode, bool numLock) const;
    // The keycode that sends a letter or digit `vk`, as Windows would on
    // this layout; 0 if none (then the caller falls back to the keysym).
    int keycodeForLetterVk(int vk) const;

    // How to type `keysym` with the keys this map already has, given the
    // locked modifiers (Caps Lock, Num Lock) in effect. False if it cannot.
    bool strokeFor(unsigned long keysym, unsigned lockedMods, KeyStroke &out) const;

    const std::vector<int> &spareKeycodes() const { return spare_; }
    // Declares these keycodes spare (ours to bind) whatever they carry now.
    void setSpare(const std::vector<int> &keycodes);
    bool isSpare(int keycode) const;

    // Modifier bits. 0 where the map has no such key.
    unsigned shiftMask() const { return 1u; }
    unsigned level3Mask() const { return level3Mask_; }
    unsigned altMask() const { return altMask_; }
    unsigned superMask() const { return superMask_; }
    unsigned numLockMask() const { return numLockMask_; }
    // The index of a key type whose four levels are chosen by Shift and the
    // level-3 shift alone (XKB's FOUR_LEVEL); -1 if the map has none.
    int fourLevelType() const { return fourLevelType_; }
    int minKeycode() const { return minKeycode_; }
    int maxKeycode() const { return maxKeycode_; }

private:
    struct TypeEntry {
        unsigned mods;
        int level;
    };
    struct Type {
        unsigned mask = 0;
        int levels = 1;
        std::vector<TypeEntry> entries;
    };
    struct Key {
        int type = -1;
        std::vector<unsigned long> syms;                // group 1, one per level
        std::vector<std::vector<unsigned long>> groups; // every group, every level
        char name[5] = {};                              // XKB key name: AC02 is S
        unsigned modmap = 0;
        int vk = 0;        // with Num Lock off
        int vkNumLock = 0; // with Num Lock on
    };
    struct Place {
        int keycode;
        int level;
    };

    int levelFor(const Key &key, unsigned mods) const;
    static int vkOf(const Key &key, bool numLock);
    unsigned modifierOf(unsigned long keysym) const;

    int minKeycode_ = 8;
    int maxKeycode_ = 255;
    std::vector<Type> types_;
    std::vector<Key> keys_; // index = keycode - minKeycode_
    std::unordered_map<unsigned long, std::vector<Place>> places_;
    std::vector<int> spare_;
    std::vector<bool> spareFlag_;
    unsigned level3Mask_ = 0;
    unsigned altMask_ = 0;
    unsigned superMask_ = 0;
    unsigned numLockMask_ = 0;
    int fourLevelType_ = -1;
};

} // namespace platform::x11
