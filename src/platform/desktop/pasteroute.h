#pragma once

// What the GNOME and KDE backends share to type text that the user's keyboard
// layout cannot: the text split into runs typed by key and runs pasted from
// the clipboard (in order, so the characters arrive as written), and the keys
// the focused program takes for a paste. Plain C++17, no system calls.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::desktop {

struct TextRun {
    bool paste = false; // true: through the clipboard; false: key by key
    std::u32string text;
};

// Splits `text` into runs: a character `typable` accepts joins a key run, any
// other a paste run. Neighbouring characters of one route share a run. A
// line break is always typed (a paste of one would not press Return in a
// terminal or a one-line field the way a typed one does).
std::vector<TextRun> splitByLayout(const std::u32string &text,
                                   const std::function<bool(char32_t)> &typable);

// UTF-8 in and out for the clipboard (which takes UTF-8 text). A malformed
// sequence becomes U+FFFD.
std::u32string utf32FromUtf8(const std::string &utf8);
std::string utf8FromUtf32(const std::u32string &text);

// The chord that pastes in a program, as X keysyms pressed in order and let
// go in reverse: Ctrl+Shift+V in terminals (where Ctrl+V is a control
// character), Ctrl+V elsewhere. `program` is what window access reports as
// the focused window's program (app id, window class or desktop file name);
// the match ignores case and a reverse-domain prefix.
std::vector<std::uint32_t> pasteChordFor(const std::string &program);

bool isTerminal(const std::string &program);

} // namespace platform::desktop
