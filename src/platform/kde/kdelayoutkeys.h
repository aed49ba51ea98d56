#pragma once

// The keys of the compositor's own keyboard layout, for a desktop that lets
// a program press keys only by their codes (KWin's fake input): which key,
// with which of Shift and AltGr held, types a character there. Characters
// the layout lacks go through the clipboard instead. No Wayland or
// xkbcommon types here: the keymap is its text (xkb text format v1).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::kde {

// One key pressed with modifier keys held around it; evdev codes.
struct KeyStroke {
    unsigned code = 0;
    std::vector<unsigned> modifiers; // pressed in order before, let go after
};

class LayoutKeys {
public:
    // Reads the keymap the compositor sent; false (and no keys) when it does
    // not compile. Only its first layout counts: the one typed with.
    bool load(const std::string &keymapText);
    bool loaded() const { return loaded_; }
    // The stroke that types `cp`; false where the layout has none (line
    // breaks press Return, a tab Tab; other control characters have none).
    bool strokeFor(char32_t cp, KeyStroke &stroke) const;
    bool typable(char32_t cp) const;
    // The unmodified key that sends `keysym` (a paste chord's letter), 0
    // where no key does.
    unsigned codeForKeysym(std::uint32_t keysym) const;
    // How many characters the layout types (for the log).
    std::size_t size() const { return chars_.size(); }

private:
    bool loaded_ = false;
    std::map<char32_t, KeyStroke> chars_;
    std::map<std::uint32_t, unsigned> plainSyms_;
};

// The keymap text of an XKB layout by its names ("us", "de", "jp" and a
// variant): what a compositor so configured sends. Empty where it does not
// compile. For tests and the benchmark.
std::string keymapTextForLayout(const std::string &layout, const std::string &variant = {});

} // namespace platform::kde
