#include "kdelayoutkeys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace platform::kde {
namespace {

struct ContextFree {
    void operator()(xkb_context *c) const { xkb_context_unref(c); }
};
struct KeymapFree {
    void operator()(xkb_keymap *k) const { xkb_keymap_unref(k); }
};
struct StateFree {
    void operator()(xkb_state *s) const { xkb_state_unref(s); }
};
using Context = std::unique_ptr<xkb_context, ContextFree>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapFree>;
using State = std::unique_ptr<xkb_state, StateFree>;

constexpr unsigned kEvdevOffset = 8; // xkb keycode = evdev code + 8
constexpr unsigned kEvdevEnter = 28;
constexpr unsigned kEvdevTab = 15;
constexpr unsigned kEvdevLeftShift = 42;
constexpr unsigned kEvdevRightAlt = 100;

// Keys past X11's 255 (xkb) exist on few keyboards and reach no X11
// program under XWayland.
constexpr xkb_keycode_t kLastKeycode = 255;

// The key whose plain keysym is `sym`, as an evdev code, `preferred` where
// it has it (AltGr rather than a key no keyboard has); 0 where none.
unsigned keyWithPlainSym(xkb_keymap *keymap, xkb_keysym_t sym, unsigned preferred = 0) {
    const xkb_keysym_t *syms = nullptr;
    if (preferred &&
        xkb_keymap_key_get_syms_by_level(keymap, preferred + kEvdevOffset, 0, 0, &syms) == 1 &&
        syms[0] == sym)
        return preferred;
    for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap);
         kc <= std::min(xkb_keymap_max_keycode(keymap), kLastKeycode); ++kc) {
        if (kc >= kEvdevOffset && xkb_keymap_key_get_syms_by_level(keymap, kc, 0, 0, &syms) == 1 &&
            syms[0] == sym)
            return kc - kEvdevOffset;
    }
    return 0;
}

} // namespace

bool LayoutKeys::load(const std::string &keymapText) {
    loaded_ = false;
    chars_.clear();
    plainSyms_.clear();
    Context context(xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES));
    if (!context)
        return false;
    Keymap keymap(xkb_keymap_new_from_string(
        context.get(), keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return false;
    // The modifier keys a character may need, tried from the fewest up, so
    // each character gets its simplest stroke.
    std::vector<std::vector<unsigned>> holds = {{}};
    const unsigned shift = keyWithPlainSym(keymap.get(), XKB_KEY_Shift_L, kEvdevLeftShift);
    const unsigned level3 = keyWithPlainSym(keymap.get(), XKB_KEY_ISO_Level3_Shift, kEvdevRightAlt);
    if (shift)
        holds.push_back({shift});
    if (level3)
        holds.push_back({level3});
    if (shift && level3)
        holds.push_back({shift, level3});
    const xkb_keycode_t lo = xkb_keymap_min_keycode(keymap.get());
    const xkb_keycode_t hi = std::min(xkb_keymap_max_keycode(keymap.get()), kLastKeycode);
    for (const std::vector<unsigned> &hold : holds) {
        State state(xkb_state_new(keymap.get()));
        if (!state)
            return false;
        for (unsigned m : hold)
            xkb_state_update_key(state.get(), m + kEvdevOffset, XKB_KEY_DOWN);
        for (xkb_keycode_t kc = lo; kc <= hi; ++kc) {
            if (kc < kEvdevOffset)
                continue;
            const xkb_keysym_t sym = xkb_state_key_get_one_sym(state.get(), kc);
            if (sym == XKB_KEY_NoSymbol)
                continue;
            const unsigned code = kc - kEvdevOffset;
            if (hold.empty())
                plainSyms_.emplace(sym, code);
            const char32_t cp = xkb_keysym_to_utf32(sym);
            // Control characters come from Return, Tab and the like, which
            // strokeFor names itself.
            if (cp < 0x20 || cp == 0x7f)
                continue;
            chars_.emplace(cp, KeyStroke{code, hold});
        }
    }
    loaded_ = true;
    return true;
}

bool LayoutKeys::strokeFor(char32_t cp, KeyStroke &stroke) const {
    if (!loaded_)
        return false;
    if (cp == U'\r' || cp == U'\n') {
        stroke = KeyStroke{kEvdevEnter, {}};
        return true;
    }
    if (cp == U'\t') {
        stroke = KeyStroke{kEvdevTab, {}};
        return true;
    }
    auto it = chars_.find(cp);
    if (it == chars_.end())
        return false;
    stroke = it->second;
    return true;
}

bool LayoutKeys::typable(char32_t cp) const {
    KeyStroke unused;
    return strokeFor(cp, unused);
}

unsigned LayoutKeys::codeForKeysym(std::uint32_t keysym) const {
    auto it = plainSyms_.find(keysym);
    return it == plainSyms_.end() ? 0 : it->second;
}

std::string keymapTextForLayout(const std::string &layout, const std::string &variant) {
    Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return {};
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout.c_str();
    names.variant = variant.c_str();
    Keymap keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return {};
    char *text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return {};
    std::string result(text);
    free(text);
    return result;
}

} // namespace platform::kde
