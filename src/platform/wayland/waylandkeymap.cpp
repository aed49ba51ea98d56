#include "waylandkeymap.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstdio>

namespace platform::wayland {
namespace {

// xkb keycodes are evdev codes plus 8.
constexpr unsigned kXkbOffset = 8;
constexpr unsigned kLastCode = 255 - kXkbOffset;
// Keys with no evdev code of their own (Clear, Select) sit on codes no
// keyboard sends.
constexpr unsigned kClearCode = 195;
constexpr unsigned kSelectCode = 196;

struct Key {
    int vk;
    unsigned code;
    const char *base;
    const char *shifted; // null: one level
};

// The keysyms are those the X11 layer sends for each code (x11keytable), so
// a virtual-key code means the same key on both.
constexpr Key kKeys[] = {
    {0x08, KEY_BACKSPACE, "BackSpace", nullptr},
    {0x09, KEY_TAB, "Tab", "ISO_Left_Tab"},
    {0x0C, kClearCode, "Clear", nullptr},
    {0x0D, KEY_ENTER, "Return", nullptr},
    {0x13, KEY_PAUSE, "Pause", nullptr},
    {0x14, KEY_CAPSLOCK, "Caps_Lock", nullptr},
    {0x1B, KEY_ESC, "Escape", nullptr},
    {0x20, KEY_SPACE, "space", nullptr},
    {0x21, KEY_PAGEUP, "Prior", nullptr},
    {0x22, KEY_PAGEDOWN, "Next", nullptr},
    {0x23, KEY_END, "End", nullptr},
    {0x24, KEY_HOME, "Home", nullptr},
    {0x25, KEY_LEFT, "Left", nullptr},
    {0x26, KEY_UP, "Up", nullptr},
    {0x27, KEY_RIGHT, "Right", nullptr},
    {0x28, KEY_DOWN, "Down", nullptr},
    {0x29, kSelectCode, "Select", nullptr},
    {0x2C, KEY_SYSRQ, "Print", nullptr},
    {0x2D, KEY_INSERT, "Insert", nullptr},
    {0x2E, KEY_DELETE, "Delete", nullptr},
    {0x2F, KEY_HELP, "Help", nullptr},
    {'0', KEY_0, "0", "parenright"},
    {'1', KEY_1, "1", "exclam"},
    {'2', KEY_2, "2", "at"},
    {'3', KEY_3, "3", "numbersign"},
    {'4', KEY_4, "4", "dollar"},
    {'5', KEY_5, "5", "percent"},
    {'6', KEY_6, "6", "asciicircum"},
    {'7', KEY_7, "7", "ampersand"},
    {'8', KEY_8, "8", "asterisk"},
    {'9', KEY_9, "9", "parenleft"},
    {'A', KEY_A, "a", "A"},
    {'B', KEY_B, "b", "B"},
    {'C', KEY_C, "c", "C"},
    {'D', KEY_D, "d", "D"},
    {'E', KEY_E, "e", "E"},
    {'F', KEY_F, "f", "F"},
    {'G', KEY_G, "g", "G"},
    {'H', KEY_H, "h", "H"},
    {'I', KEY_I, "i", "I"},
    {'J', KEY_J, "j", "J"},
    {'K', KEY_K, "k", "K"},
    {'L', KEY_L, "l", "L"},
    {'M', KEY_M, "m", "M"},
    {'N', KEY_N, "n", "N"},
    {'O', KEY_O, "o", "O"},
    {'P', KEY_P, "p", "P"},
    {'Q', KEY_Q, "q", "Q"},
    {'R', KEY_R, "r", "R"},
    {'S', KEY_S, "s", "S"},
    {'T', KEY_T, "t", "T"},
    {'U', KEY_U, "u", "U"},
    {'V', KEY_V, "v", "V"},
    {'W', KEY_W, "w", "W"},
    {'X', KEY_X, "x", "X"},
    {'Y', KEY_Y, "y", "Y"},
    {'Z', KEY_Z, "z", "Z"},
    {0x5B, KEY_LEFTMETA, "Super_L", nullptr},
    {0x5C, KEY_RIGHTMETA, "Super_R", nullptr},
    {0x5D, KEY_COMPOSE, "Menu", nullptr},
    {0x5F, KEY_SLEEP, "XF86Sleep", nullptr},
    {0x60, KEY_KP0, "KP_0", nullptr},
    {0x61, KEY_KP1, "KP_1", nullptr},
    {0x62, KEY_KP2, "KP_2", nullptr},
    {0x63, KEY_KP3, "KP_3", nullptr},
    {0x64, KEY_KP4, "KP_4", nullptr},
    {0x65, KEY_KP5, "KP_5", nullptr},
    {0x66, KEY_KP6, "KP_6", nullptr},
    {0x67, KEY_KP7, "KP_7", nullptr},
    {0x68, KEY_KP8, "KP_8", nullptr},
    {0x69, KEY_KP9, "KP_9", nullptr},
    {0x6A, KEY_KPASTERISK, "KP_Multiply", nullptr},
    {0x6B, KEY_KPPLUS, "KP_Add", nullptr},
    {0x6C, KEY_KPCOMMA, "KP_Separator", nullptr},
    {0x6D, KEY_KPMINUS, "KP_Subtract", nullptr},
    {0x6E, KEY_KPDOT, "KP_Decimal", nullptr},
    {0x6F, KEY_KPSLASH, "KP_Divide", nullptr},
    {0x70, KEY_F1, "F1", nullptr},
    {0x71, KEY_F2, "F2", nullptr},
    {0x72, KEY_F3, "F3", nullptr},
    {0x73, KEY_F4, "F4", nullptr},
    {0x74, KEY_F5, "F5", nullptr},
    {0x75, KEY_F6, "F6", nullptr},
    {0x76, KEY_F7, "F7", nullptr},
    {0x77, KEY_F8, "F8", nullptr},
    {0x78, KEY_F9, "F9", nullptr},
    {0x79, KEY_F10, "F10", nullptr},
    {0x7A, KEY_F11, "F11", nullptr},
    {0x7B, KEY_F12, "F12", nullptr},
    {0x7C, KEY_F13, "F13", nullptr},
    {0x7D, KEY_F14, "F14", nullptr},
    {0x7E, KEY_F15, "F15", nullptr},
    {0x7F, KEY_F16, "F16", nullptr},
    {0x80, KEY_F17, "F17", nullptr},
    {0x81, KEY_F18, "F18", nullptr},
    {0x82, KEY_F19, "F19", nullptr},
    {0x83, KEY_F20, "F20", nullptr},
    {0x84, KEY_F21, "F21", nullptr},
    {0x85, KEY_F22, "F22", nullptr},
    {0x86, KEY_F23, "F23", nullptr},
    {0x87, KEY_F24, "F24", nullptr},
    {0x90, KEY_NUMLOCK, "Num_Lock", nullptr},
    {0x91, KEY_SCROLLLOCK, "Scroll_Lock", nullptr},
    {0xA0, KEY_LEFTSHIFT, "Shift_L", nullptr},
    {0xA1, KEY_RIGHTSHIFT, "Shift_R", nullptr},
    {0xA2, KEY_LEFTCTRL, "Control_L", nullptr},
    {0xA3, KEY_RIGHTCTRL, "Control_R", nullptr},
    {0xA4, KEY_LEFTALT, "Alt_L", nullptr},
    {0xA5, KEY_RIGHTALT, "Alt_R", nullptr},
    {0xA6, KEY_BACK, "XF86Back", nullptr},
    {0xA7, KEY_FORWARD, "XF86Forward", nullptr},
    {0xA8, KEY_REFRESH, "XF86Refresh", nullptr},
    {0xA9, KEY_STOP, "XF86Stop", nullptr},
    {0xAA, KEY_SEARCH, "XF86Search", nullptr},
    {0xAB, KEY_BOOKMARKS, "XF86Favorites", nullptr},
    {0xAC, KEY_HOMEPAGE, "XF86HomePage", nullptr},
    {0xAD, KEY_MUTE, "XF86AudioMute", nullptr},
    {0xAE, KEY_VOLUMEDOWN, "XF86AudioLowerVolume", nullptr},
    {0xAF, KEY_VOLUMEUP, "XF86AudioRaiseVolume", nullptr},
    {0xB0, KEY_NEXTSONG, "XF86AudioNext", nullptr},
    {0xB1, KEY_PREVIOUSSONG, "XF86AudioPrev", nullptr},
    {0xB2, KEY_STOPCD, "XF86AudioStop", nullptr},
    {0xB3, KEY_PLAYPAUSE, "XF86AudioPlay", nullptr},
    {0xB4, KEY_MAIL, "XF86Mail", nullptr},
    {0xB6, KEY_COMPUTER, "XF86MyComputer", nullptr},
    {0xB7, KEY_CALC, "XF86Calculator", nullptr},
    {0xBA, KEY_SEMICOLON, "semicolon", "colon"},
    {0xBB, KEY_EQUAL, "equal", "plus"},
    {0xBC, KEY_COMMA, "comma", "less"},
    {0xBD, KEY_MINUS, "minus", "underscore"},
    {0xBE, KEY_DOT, "period", "greater"},
    {0xBF, KEY_SLASH, "slash", "question"},
    {0xC0, KEY_GRAVE, "grave", "asciitilde"},
    {0xDB, KEY_LEFTBRACE, "bracketleft", "braceleft"},
    {0xDC, KEY_BACKSLASH, "backslash", "bar"},
    {0xDD, KEY_RIGHTBRACE, "bracketright", "braceright"},
    {0xDE, KEY_APOSTROPHE, "apostrophe", "quotedbl"},
    // Japanese keyboards.
    {0x19, KEY_HANJA, "Kanji", nullptr},
    {0x1C, KEY_HENKAN, "Henkan_Mode", nullptr},
    {0x1D, KEY_MUHENKAN, "Muhenkan", nullptr},
    {0xF0, KEY_HANGEUL, "Eisu_toggle", nullptr},
    {0xF2, KEY_KATAKANAHIRAGANA, "Hiragana_Katakana", nullptr},
    {0xF3, KEY_ZENKAKUHANKAKU, "Zenkaku_Hankaku", nullptr},
};

const Key *keyForVk(int vk) {
    switch (vk) {
    case 0x10:
        vk = 0xA0;
        break;
    case 0x11:
        vk = 0xA2;
        break;
    case 0x12:
        vk = 0xA4;
        break;
    default:
        break;
    }
    for (const Key &k : kKeys)
        if (k.vk == vk)
            return &k;
    return nullptr;
}

// The modifier each modifier key sets, and how: held, or locked by a press.
struct ModifierKey {
    const char *keysym;
    const char *modifier;
    bool locks;
};
constexpr ModifierKey kModifierKeys[] = {
    {"Shift_L", "Shift", false},     {"Shift_R", "Shift", false}, {"Control_L", "Control", false},
    {"Control_R", "Control", false}, {"Alt_L", "Mod1", false},    {"Alt_R", "Mod1", false},
    {"Super_L", "Mod4", false},      {"Super_R", "Mod4", false},  {"Caps_Lock", "Lock", true},
    {"Num_Lock", "Mod2", true},
};

void appendKeyName(std::string &out, unsigned code) {
    char name[16];
    std::snprintf(name, sizeof name, "<K%u>", code + kXkbOffset);
    out += name;
}

} // namespace

unsigned evdevForVk(int vk) {
    const Key *key = keyForVk(vk);
    return key ? key->code : 0;
}

const char *keysymNameForVk(int vk) {
    const Key *key = keyForVk(vk);
    return key ? key->base : nullptr;
}

int vkForEvdev(unsigned code) {
    // Not keys of ours: nothing would send these codes.
    if (code == 0 || code == kClearCode || code == kSelectCode)
        return 0;
    if (code == KEY_KPENTER)
        return 0x0D;
    for (const Key &k : kKeys)
        if (k.code == code)
            return k.vk;
    return 0;
}

int evdevsForVk(int vk, unsigned *out, int max) {
    int n = 0;
    auto add = [&](unsigned code) {
        if (n < max)
            out[n++] = code;
    };
    switch (vk) {
    case 0x10:
        add(KEY_LEFTSHIFT);
        add(KEY_RIGHTSHIFT);
        return n;
    case 0x11:
        add(KEY_LEFTCTRL);
        add(KEY_RIGHTCTRL);
        return n;
    case 0x12:
        add(KEY_LEFTALT);
        add(KEY_RIGHTALT);
        return n;
    default:
        break;
    }
    if (const unsigned code = evdevForVk(vk))
        add(code);
    return n;
}

const std::vector<unsigned> &blockCodes() {
    static const std::vector<unsigned> codes = [] {
        std::vector<unsigned> free;
        for (unsigned code = 1; code <= kLastCode; ++code) {
            const bool used = std::any_of(std::begin(kKeys), std::end(kKeys),
                                          [code](const Key &k) { return k.code == code; });
            if (!used)
                free.push_back(code);
        }
        return free;
    }();
    return codes;
}

BlockKey blockKey(std::size_t slot) {
    const std::vector<unsigned> &codes = blockCodes();
    return {codes[slot % codes.size()], static_cast<unsigned>(slot / codes.size())};
}

std::size_t blockSize() {
    return blockCodes().size() * kBlockGroups;
}

std::string keysymNameFor(char32_t cp) {
    switch (cp) {
    case U'\r':
    case U'\n':
        return "Return";
    case U'\t':
        return "Tab";
    case U'\b':
        return "BackSpace";
    case 0x1B:
        return "Escape";
    case 0x7F:
        return "Delete";
    default:
        break;
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    char name[16];
    std::snprintf(name, sizeof name, "U%04X", static_cast<unsigned>(cp));
    return name;
}

std::string keymapText(const std::vector<char32_t> &block) {
    const std::vector<unsigned> &codes = blockCodes();
    std::string out;
    out.reserve(16384);
    out += "xkb_keymap {\nxkb_keycodes \"tarnwick\" {\nminimum = 8;\nmaximum = 255;\n";
    for (unsigned code = 1; code <= kLastCode; ++code) {
        appendKeyName(out, code);
        out += " = " + std::to_string(code + kXkbOffset) + ";\n";
    }
    // Clients show the keyboard's lock lights from these.
    out += "indicator 1 = \"Caps Lock\";\nindicator 2 = \"Num Lock\";\n};\n";
    out += "xkb_types \"tarnwick\" {\n"
           "virtual_modifiers NumLock;\n"
           "type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
           "type \"TWO_LEVEL\" { modifiers = Shift; map[Shift] = Level2; "
           "level_name[Level1] = \"Base\"; level_name[Level2] = \"Shift\"; };\n"
           "type \"ALPHABETIC\" { modifiers = Shift+Lock; map[Shift] = Level2; "
           "map[Lock] = Level2; level_name[Level1] = \"Base\"; level_name[Level2] = \"Caps\"; };\n"
           "};\n";
    out += "xkb_compatibility \"tarnwick\" {\n";
    for (const ModifierKey &m : kModifierKeys) {
        out += "interpret ";
        out += m.keysym;
        out += m.locks ? " { action = LockMods(modifiers=" : " { action = SetMods(modifiers=";
        out += m.modifier;
        out += "); };\n";
    }
    out += "indicator \"Caps Lock\" { modifiers = Lock; };\n"
           "indicator \"Num Lock\" { modifiers = Mod2; };\n};\n";
    out += "xkb_symbols \"tarnwick\" {\n";
    for (const Key &k : kKeys) {
        out += "key ";
        appendKeyName(out, k.code);
        out += " { [ ";
        out += k.base;
        if (k.shifted) {
            out += ", ";
            out += k.shifted;
        }
        out += " ] };\n";
    }
    const std::size_t slots = std::min(block.size(), blockSize());
    for (std::size_t i = 0; i < codes.size() && i < slots; ++i) {
        // A key's groups are written up to its last character, the others
        // before it empty: a group a key lacks would fall back to another's
        // character.
        std::string names[kBlockGroups];
        unsigned groups = 0;
        for (unsigned g = 0; g < kBlockGroups; ++g) {
            const std::size_t slot = g * codes.size() + i;
            if (slot < slots)
                names[g] = keysymNameFor(block[slot]);
            if (!names[g].empty())
                groups = g + 1;
        }
        if (groups == 0)
            continue;
        out += "key ";
        appendKeyName(out, codes[i]);
        out += " { ";
        for (unsigned g = 0; g < groups; ++g) {
            out += g ? ", symbols[Group" : "symbols[Group";
            out += static_cast<char>('1' + g);
            out += "] = [ ";
            out += names[g].empty() ? "NoSymbol" : names[g];
            out += " ]";
        }
        out += " };\n";
    }
    for (const ModifierKey &m : kModifierKeys) {
        const Key *key = nullptr;
        for (const Key &k : kKeys)
            if (std::string(k.base) == m.keysym)
                key = &k;
        if (!key)
            continue;
        out += "modifier_map ";
        out += m.modifier;
        out += " { ";
        appendKeyName(out, key->code);
        out += " };\n";
    }
    out += "};\n};\n";
    return out;
}

} // namespace platform::wayland
