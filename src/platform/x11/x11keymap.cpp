#include "x11keymap.h"

#include "x11keytable.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>

namespace platform::x11 {

bool KeyMap::load(Display *display) {
    XkbDescPtr xkb =
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    if (xkb)
        XkbGetNames(display, XkbKeyNamesMask, xkb);
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
        type.levels = src.num_levels;
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
        if (xkb->names && xkb->names->keys)
            std::memcpy(key.name, xkb->names->keys[kc].name, XkbKeyNameLength);
        bool any = false;
        const int groups = XkbKeyNumGroups(xkb, kc);
        key.groups.resize(static_cast<size_t>(std::max(groups, 0)));
        for (int g = 0; g < groups; ++g)
            for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g); ++l) {
                const unsigned long sym = XkbKeySymEntry(xkb, kc, l, g);
                key.groups[static_cast<size_t>(g)].push_back(sym);
                any = any || sym != NoSymbol;
            }
        key.vk = vkOf(key, false);
        key.vkNumLock = vkOf(key, true);
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
    for (size_t t = 0; t < types_.size() && level3Mask_ && fourLevelType_ < 0; ++t) {
        const Type &type = types_[t];
        auto levelOf = [&type](unsigned mods) {
            for (const TypeEntry &e : type.entries)
                if (e.mods == mods)
                    return e.level;
            return mods ? -1 : 0;
        };
        if (type.levels == 4 && type.mask == (ShiftMask | level3Mask_) && levelOf(0) == 0 &&
            levelOf(ShiftMask) == 1 && levelOf(level3Mask_) == 2 &&
            levelOf(ShiftMask | level3Mask_) == 3)
            fourLevelType_ = static_cast<int>(t);
    }
    return true;
}

namespace {

bool isLatinLetterOrDigit(unsigned long sym) {
    return (sym >= XK_a && sym <= XK_z) || (sym >= XK_A && sym <= XK_Z) ||
           (sym >= XK_0 && sym <= XK_9);
}

// The Windows key code of a key by its place on a US keyboard (and a few
// keys only other keyboards have), for keys whose keysyms do not tell.
int vkAtPlace(const char *name) {
    struct Place {
        const char *name;
        int vk;
    };
    static const char *const rows[] = {"AE", "AD", "AC", "AB"};
    static const char *const letters[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    for (int r = 0; r < 4; ++r)
        if (name[0] == rows[r][0] && name[1] == rows[r][1] && name[2] >= '0' && name[2] <= '9' &&
            name[3] >= '0' && name[3] <= '9' && name[4] == 0) {
            const int index = (name[2] - '0') * 10 + (name[3] - '0') - 1;
            if (index >= 0 && index < static_cast<int>(std::strlen(letters[r])))
                return letters[r][index];
        }
    static const Place others[] = {
        {"TLDE", 0xC0}, {"AE11", 0xBD}, {"AE12", 0xBB}, {"AE13", 0xDC}, {"AD11", 0xDB},
        {"AD12", 0xDD}, {"BKSL", 0xDC}, {"AC10", 0xBA}, {"AC11", 0xDE}, {"AB08", 0xBC},
        {"AB09", 0xBE}, {"AB10", 0xBF}, {"AB11", 0xE2}, {"LSGT", 0xE2}, {"HENK", 0x1C},
        {"MUHE", 0x1D}, {"HKTG", 0xF2}, {"HZTG", 0xF3}, {"HNGL", 0x15}, {"HJCV", 0x19},
    };
    for (const Place &p : others)
        if (std::strcmp(name, p.name) == 0)
            return p.vk;
    return 0;
}

} // namespace

int KeyMap::vkOf(const Key &key, bool numLock) {
    const std::vector<unsigned long> none;
    const std::vector<unsigned long> &first = key.groups.empty() ? none : key.groups.front();
    const unsigned long sym0 = first.empty() ? NoSymbol : first[0];
    // Keypad keys read as digits with Num Lock on, as navigation keys without.
    const unsigned long shifted = first.size() > 1 ? first[1] : NoSymbol;
    if (numLock && ((shifted >= XK_KP_0 && shifted <= XK_KP_9) || shifted == XK_KP_Decimal))
        return vkForKeysym(shifted);
    if (const int vk = vkForKeysym(sym0))
        return vk;
    // A letter or digit anywhere on the key (AZERTY digits are shifted,
    // Russian keys carry the Latin letter in another group).
    for (const auto &group : key.groups)
        for (unsigned long sym : group)
            if (isLatinLetterOrDigit(sym))
                return vkForKeysym(sym);
    for (const auto &group : key.groups)
        if (!group.empty())
            if (const int vk = vkForKeysym(group[0]))
                return vk;
    if (const int vk = vkAtPlace(key.name))
        return vk;
    const bool anySym = std::any_of(key.groups.begin(), key.groups.end(), [](const auto &group) {
        return std::any_of(group.begin(), group.end(), [](unsigned long s) { return s != 0; });
    });
    return anySym || key.name[0] ? 0xFF : 0;
}

int KeyMap::vkAt(int keycode, bool numLock) const {
    if (keycode < minKeycode_ || keycode > maxKeycode_)
        return 0;
    const Key &key = keys_[static_cast<size_t>(keycode - minKeycode_)];
    return numLock ? key.vkNumLock : key.vk;
}

int KeyMap::keycodeForLetterVk(int vk) const {
    const bool letter = (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
    if (!letter)
        return 0;
    // The key with that keysym unshifted in the group in force comes first.
    const int direct = keycodeFor(keysymForVk(vk));
    if (direct && vkAt(direct, false) == vk)
        return direct;
    for (int kc = minKeycode_; kc <= maxKeycode_; ++kc)
        if (!isSpare(kc) && vkAt(kc, false) == vk)
            return kc;
    return 0;
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
    // Fewest extra modifiers first; the level-3 shift only where the map has one.
    unsigned choices[4] = {0, ShiftMask, level3Mask_, ShiftMask | level3Mask_};
    const int count = level3Mask_ ? 4 : 2;
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
