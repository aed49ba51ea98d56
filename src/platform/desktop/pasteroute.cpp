#include "platform/desktop/pasteroute.h"

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
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        bool ok = i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto d = static_cast<unsigned char>(utf8[i + k]);
            ok = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
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
