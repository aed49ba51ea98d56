#pragma once

// Which characters the user's keyboard layout has a key for. GNOME types a
// keysym only where its layout has it and silently drops the others, so the
// backend asks this before each character and pastes what it lacks. The
// layout is the keymap the compositor gives its clients' keyboards. No
// xkbcommon or Wayland types here.

#include <cstdint>
#include <memory>
#include <string>

namespace platform::gnome {

class LayoutKeys {
public:
    // From a keymap in xkb's text format, `group` being the layout in use.
    static std::unique_ptr<LayoutKeys> fromText(const std::string &keymap, unsigned group,
                                                std::string &error);
    // From rules names ("us", "de" with variant "nodeadkeys", ...).
    static std::unique_ptr<LayoutKeys> fromNames(const std::string &layout,
                                                 const std::string &variant, std::string &error);
    // The keymap and group the compositor of WAYLAND_DISPLAY gives its
    // clients; null where it gives none (no keyboard yet).
    static std::unique_ptr<LayoutKeys> fromCompositor(std::string &error);

    ~LayoutKeys();
    // True where a key of the layout's group types `cp` (Shift and AltGr
    // allowed, as GNOME presses them itself). Line breaks and tabs count as
    // their keys.
    bool typable(char32_t cp) const;
    // The keysym that types `cp`, 0 where there is none.
    static std::uint32_t keysymFor(char32_t cp);

private:
    LayoutKeys();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::gnome
