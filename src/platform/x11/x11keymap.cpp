#include "x11keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform::x11 {

bool KeyMap::load(Display *display) {
    XkbDescPtr xkb =
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    if (!xkb || !xkb->map) {
        if (xkb)
            XkbFreeKeyboard(xkb, 0, True);
        return false;
    }
    *this = KeyMap();
    minKeycode_ = xkb->min_key_code;
    maxKeycode_ = xkb->max_key_code;

    for (int t = 0; t < xkb->map->num_types; ++t) {
        const XkbKeyTypeRec &src = xkb->map->types[t];
        Type type;
        type.mask = src.mods.mask;
        for (int e = 0; e < src.map_count; ++e)
            if (src.map[e].active)
                type.entries.push_back({src.map[e].mods.mask, src.map[e].level});
        types_.push_back(std::move(type));
    }

    keys_.resize(static_cast<size_t>(maxKeycode_ - minKeycode_ + 1));
    spareFlag_.assign(keys_.size(), false);
    for (int kc = minKeycode_; kc <= maxKeycode_; ++kc) {
        Key &key = keys_[static_cast<size_t>(kc - minKeycode_)];
        key.modmap = xkb->map->modmap ? xkb->map->modmap[kc] : 0;
        bool any = false;
        const int groups = XkbKeyNumGroups(xkb, kc);
        for (int g = 0; g < groups && !any; ++g)
            for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g); ++l)
                any = any || XkbKeySymEntry(xkb, kc, l, g) != NoSymbol;
        if (!any) {
            if (key.modmap == 0) {
                spare_.push_back(kc);
                spareFlag_[static_cast<size_t>(kc - minKeycode_)] = true;
            }
            continue;
        }
        if (groups < 1)
            continue;
        key.type = XkbKeyKeyTypeIndex(xkb, kc, 0);
        const int width = XkbKeyGroupWidth(xkb, kc, 0);
        for (int l = 0; l < width; ++l) {
            const unsigned long sym = XkbKeySymEntry(xkb, kc, l, 0);
            key.syms.push_back(sym);
            if (sym != NoSymbol)
                places_[sym].push_back({kc, l});
        }
    }
    XkbFreeKeyboard(xkb, 0, True);

    level3Mask_ = modifierOf(XK_ISO_Level3_Shift);
    altMask_ = modifierOf(XK_Alt_L);
    if (!altMask_)
        altMask_ = modifierOf(XK_Meta_L);
    superMask_ = modifierOf(XK_Super_L);
    numLockMask_ = modifierOf(XK_Num_Lock);
    shiftKeycode_ = keycodeFor(XK_Shift_L);
    level3Keycode_ = level3Mask_ ? keycodeFor(XK_ISO_Level3_Shift) : 0;
    return true;
}

unsigned KeyMap::modifierOf(unsigned long keysym) const {
    auto it = places_.find(keysym);
    if (it == places_.end())
        return 0;
    for (const Place &p : it->second) {
        const unsigned m = keys_[static_cast<size_t>(p.keycode - minKeycode_)].modmap;
        if (m)
            return m;
    }
    return 0;
}

int KeyMap::keycodeFor(unsigned long keysym) const {
    auto it = places_.find(keysym);
    if (it == places_.end() || it->second.empty())
        return 0;
    for (const Place &p : it->second)
        if (p.level == 0)
            return p.keycode;
    return it->second.front().keycode;
}

std::vector<int> KeyMap::keycodesAtFirstLevel(unsigned long keysym) const {
    std::vector<int> out;
    auto it = places_.find(keysym);
    if (it != places_.end())
        for (const Place &p : it->second)
            if (p.level == 0)
                out.push_back(p.keycode);
    return out;
}

unsigned long KeyMap::keysymAt(int keycode, int level) const {
    if (keycode < minKeycode_ || keycode > maxKeycode_ || level < 0)
        return NoSymbol;
    const Key &key = keys_[static_cast<size_t>(keycode - minKeycode_)];
    return static_cast<size_t>(level) < key.syms.size() ? key.syms[static_cast<size_t>(level)]
                                                        : NoSymbol;
}

unsigned long KeyMap::firstLevelKeysym(int keycode) const {
    return keysymAt(keycode, 0);
}

bool KeyMap::isSpare(int keycode) const {
    return keycode >= minKeycode_ && keycode <= maxKeycode_ &&
           spareFlag_[static_cast<size_t>(keycode - minKeycode_)];
}

void KeyMap::setSpare(const std::vector<int> &keycodes) {
    spare_.clear();
    spareFlag_.assign(keys_.size(), false);
    for (int kc : keycodes)
        if (kc >= minKeycode_ && kc <= maxKeycode_) {
            spare_.push_back(kc);
            spareFlag_[static_cast<size_t>(kc - minKeycode_)] = true;
        }
    for (auto &entry : places_) {
        std::vector<Place> &list = entry.second;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [this](const Place &p) { return isSpare(p.keycode); }),
                   list.end());
    }
}

int KeyMap::levelFor(const Key &key, unsigned mods) const {
    if (key.type < 0 || static_cast<size_t>(key.type) >= types_.size())
        return 0;
    const Type &type = types_[static_cast<size_t>(key.type)];
    const unsigned relevant = mods & type.mask;
    for (const TypeEntry &e : type.entries)
        if (e.mods == relevant)
            return e.level;
    return 0;
}

bool KeyMap::strokeFor(unsigned long keysym, unsigned lockedMods, KeyStroke &out) const {
    auto it = places_.find(keysym);
    if (it == places_.end())
        return false;
    // Fewest extra modifier keys first; the level-3 shift only where the map has one.
    unsigned choices[4] = {0, ShiftMask, level3Mask_, ShiftMask | level3Mask_};
    const int count = level3Mask_ && level3Keycode_ ? 4 : 2;
    for (int c = 0; c < count; ++c) {
        for (const Place &p : it->second) {
            const Key &key = keys_[static_cast<size_t>(p.keycode - minKeycode_)];
            if (key.modmap != 0)
                continue; // never type text with a modifier key
            if (levelFor(key, choices[c] | lockedMods) == p.level) {
                out.keycode = p.keycode;
                out.mods = choices[c];
                return true;
            }
        }
    }
    return false;
}

} // namespace platform::x11
