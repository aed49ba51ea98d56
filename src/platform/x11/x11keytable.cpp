#include "x11keytable.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <iterator>

namespace platform::x11 {
namespace {

struct Entry {
    int vk;
    unsigned long keysym;
};

// One row per key. Where several rows share a vk, the first is what is sent;
// the others are further keysyms that read back as that key.
constexpr Entry kTable[] = {
    {0x08, XK_BackSpace},
    {0x09, XK_Tab},
    {0x09, XK_ISO_Left_Tab},
    {0x0C, XK_Clear},
    {0x0D, XK_Return},
    {0x0D, XK_KP_Enter},
    {0x13, XK_Pause},
    {0x14, XK_Caps_Lock},
    {0x1B, XK_Escape},
    {0x20, XK_space},
    {0x21, XK_Prior},
    {0x22, XK_Next},
    {0x23, XK_End},
    {0x24, XK_Home},
    {0x25, XK_Left},
    {0x26, XK_Up},
    {0x27, XK_Right},
    {0x28, XK_Down},
    {0x29, XK_Select},
    {0x2C, XK_Print},
    {0x2D, XK_Insert},
    {0x2E, XK_Delete},
    {0x2F, XK_Help},
    {0x5B, XK_Super_L},
    {0x5C, XK_Super_R},
    {0x5D, XK_Menu},
    {0x60, XK_KP_0},
    {0x61, XK_KP_1},
    {0x62, XK_KP_2},
    {0x63, XK_KP_3},
    {0x64, XK_KP_4},
    {0x65, XK_KP_5},
    {0x66, XK_KP_6},
    {0x67, XK_KP_7},
    {0x68, XK_KP_8},
    {0x69, XK_KP_9},
    {0x6A, XK_KP_Multiply},
    {0x6B, XK_KP_Add},
    {0x6C, XK_KP_Separator},
    {0x6D, XK_KP_Subtract},
    {0x6E, XK_KP_Decimal},
    {0x6F, XK_KP_Divide},
    {0x90, XK_Num_Lock},
    {0x91, XK_Scroll_Lock},
    {0xA0, XK_Shift_L},
    {0xA1, XK_Shift_R},
    {0xA2, XK_Control_L},
    {0xA3, XK_Control_R},
    {0xA4, XK_Alt_L},
    {0xA5, XK_Alt_R},
    {0xA5, XK_ISO_Level3_Shift}, // AltGr is the right Alt key on Windows
    {0xBA, XK_semicolon},
    {0xBB, XK_equal},
    {0xBC, XK_comma},
    {0xBD, XK_minus},
    {0xBE, XK_period},
    {0xBF, XK_slash},
    {0xC0, XK_grave},
    {0xDB, XK_bracketleft},
    {0xDC, XK_backslash},
    {0xDD, XK_bracketright},
    {0xDE, XK_apostrophe},
    // Japanese keyboards.
    {0x19, XK_Kanji},
    {0x1C, XK_Henkan_Mode},
    {0x1D, XK_Muhenkan},
    {0xF0, XK_Eisu_toggle},
    {0xF2, XK_Hiragana_Katakana},
    {0xF3, XK_Zenkaku_Hankaku},
    // Browser, media and launch keys.
    {0x5F, XF86XK_Sleep},
    {0xA6, XF86XK_Back},
    {0xA7, XF86XK_Forward},
    {0xA8, XF86XK_Refresh},
    {0xA9, XF86XK_Stop},
    {0xAA, XF86XK_Search},
    {0xAB, XF86XK_Favorites},
    {0xAC, XF86XK_HomePage},
    {0xAD, XF86XK_AudioMute},
    {0xAE, XF86XK_AudioLowerVolume},
    {0xAF, XF86XK_AudioRaiseVolume},
    {0xB0, XF86XK_AudioNext},
    {0xB1, XF86XK_AudioPrev},
    {0xB2, XF86XK_AudioStop},
    {0xB3, XF86XK_AudioPlay},
    {0xB4, XF86XK_Mail},
    {0xB6, XF86XK_MyComputer},
    {0xB7, XF86XK_Calculator},
};

// Keypad keys read with Num Lock off report the navigation keys, as on Windows.
constexpr Entry kKeypadNavigation[] = {
    {0x2D, XK_KP_Insert}, {0x23, XK_KP_End},   {0x28, XK_KP_Down},   {0x22, XK_KP_Next},
    {0x25, XK_KP_Left},   {0x0C, XK_KP_Begin}, {0x27, XK_KP_Right},  {0x24, XK_KP_Home},
    {0x26, XK_KP_Up},     {0x21, XK_KP_Prior}, {0x2E, XK_KP_Delete},
};

} // namespace

unsigned long keysymForVk(int vk) {
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + static_cast<unsigned long>(vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + static_cast<unsigned long>(vk - '0');
    if (vk >= 0x70 && vk <= 0x87) // F1 to F24
        return XK_F1 + static_cast<unsigned long>(vk - 0x70);
    switch (vk) {
    case 0x10:
        return XK_Shift_L;
    case 0x11:
        return XK_Control_L;
    case 0x12:
        return XK_Alt_L;
    default:
        break;
    }
    for (const Entry &e : kTable)
        if (e.vk == vk)
            return e.keysym;
    return 0;
}

int vkForKeysym(unsigned long keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return 'A' + static_cast<int>(keysym - XK_a);
    if (keysym >= XK_A && keysym <= XK_Z)
        return 'A' + static_cast<int>(keysym - XK_A);
    if (keysym >= XK_0 && keysym <= XK_9)
        return '0' + static_cast<int>(keysym - XK_0);
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return 0x70 + static_cast<int>(keysym - XK_F1);
    for (const Entry &e : kTable)
        if (e.keysym == keysym)
            return e.vk;
    for (const Entry &e : kKeypadNavigation)
        if (e.keysym == keysym)
            return e.vk;
    return 0;
}

int keysymsForVk(int vk, unsigned long *out, int max) {
    int n = 0;
    auto add = [&](unsigned long keysym) {
        if (n < max)
            out[n++] = keysym;
    };
    switch (vk) {
    case 0x10:
        add(XK_Shift_L);
        add(XK_Shift_R);
        return n;
    case 0x11:
        add(XK_Control_L);
        add(XK_Control_R);
        return n;
    case 0x12:
        add(XK_Alt_L);
        add(XK_Alt_R);
        add(XK_ISO_Level3_Shift);
        return n;
    default:
        break;
    }
    const unsigned long sent = keysymForVk(vk);
    if (sent == 0)
        return 0;
    add(sent);
    for (const Entry &e : kTable)
        if (e.vk == vk && e.keysym != sent)
            add(e.keysym);
    return n;
}

} // namespace platform::x11
