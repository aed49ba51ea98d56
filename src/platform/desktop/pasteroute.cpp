#include "platform/desktop/pasteroute.h"

#include "platform/utf8text.h"

#include <algorithm>
#include <cctype>

namespace platform::desktop {

namespace {

constexpr std::uint32_t kControlL = 0xffe3;
constexpr std::uint32_t kShiftL = 0xffe1;
constexpr std::uint32_t kV = 0x0076;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

std::vector<TextRun> splitByLayout(const std::u32string &text,
                                   const std::function<bool(char32_t)> &typable) {
    std::vector<TextRun> runs;
    for (const char32_t c : text) {
        const bool paste = c != U'\n' && c != U'\t' && !typable(c);
        if (runs.empty() || runs.back().paste != paste)
            runs.push_back({paste, {}});
        runs.back().text.push_back(c);
    }
    return runs;
}

std::u32string utf32FromUtf8(const std::string &utf8) {
    return platform::utf32FromUtf8(utf8.data(), utf8.size());
}

std::string utf8FromUtf32(const std::u32string &text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool isTerminal(const std::string &program) {
    std::string name = lower(program);
    // "org.gnome.Terminal.desktop" and "org.kde.konsole" name the same
    // programs as "gnome-terminal" and "konsole".
    const std::string suffix = ".desktop";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    if (const auto dot = name.rfind('.'); dot != std::string::npos)
        name = name.substr(dot + 1);
    static const char *const kTerminals[] = {"terminal",
                                             "gnome-terminal",
                                             "gnome-terminal-server",
                                             "console",
                                             "kgx",
                                             "konsole",
                                             "xterm",
                                             "uxterm",
                                             "urxvt",
                                             "rxvt",
                                             "foot",
                                             "footclient",
                                             "kitty",
                                             "alacritty",
                                             "terminator",
                                             "tilix",
                                             "wezterm",
                                             "wezterm-gui",
                                             "xfce4-terminal",
                                             "mate-terminal",
                                             "lxterminal",
                                             "qterminal",
                                             "yakuake",
                                             "guake",
                                             "st",
                                             "st-256color",
                                             "ptyxis",
                                             "blackbox"};
    return std::any_of(std::begin(kTerminals), std::end(kTerminals),
                       [&](const char *t) { return name == t; });
}

std::vector<std::uint32_t> pasteChordFor(const std::string &program) {
    if (isTerminal(program))
        return {kControlL, kShiftL, kV};
    return {kControlL, kV};
}

} // namespace platform::desktop
