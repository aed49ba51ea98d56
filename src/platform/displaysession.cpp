#include "displaysession.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace platform {
namespace {

// The first of a "wayland;xcb" list, without its ":options".
std::string platformName(const std::string &qtPlatform) {
    std::string name = qtPlatform.substr(0, qtPlatform.find(';'));
    return name.substr(0, name.find(':'));
}

bool startsWith(const std::string &s, const char *prefix) {
    return s.rfind(prefix, 0) == 0;
}

bool offers(const SessionFacts &facts, const char *global) {
    return std::find(facts.globals.begin(), facts.globals.end(), global) != facts.globals.end();
}

std::mutex choiceMutex;
SessionChoice current;

} // namespace

bool isWaylandSession(const SessionFacts &facts) {
    return !facts.waylandDisplay.empty() || facts.sessionType == "wayland";
}

bool wantsGlobals(const SessionFacts &facts) {
    if (!isWaylandSession(facts))
        return false;
    const std::string name = platformName(facts.qtPlatform);
    return name.empty() || startsWith(name, "wayland");
}

Desktop desktopOf(const std::string &currentDesktop) {
    // A colon-separated list, the most specific first ("ubuntu:GNOME").
    std::string upper = currentDesktop;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::size_t start = 0;
    while (start <= upper.size()) {
        const std::size_t end = std::min(upper.find(':', start), upper.size());
        const std::string item = upper.substr(start, end - start);
        if (item == "GNOME" || item == "GNOME-CLASSIC" || item == "GNOME-FLASHBACK")
            return Desktop::Gnome;
        if (item == "KDE")
            return Desktop::Kde;
        start = end + 1;
    }
    return Desktop::Other;
}

SessionChoice chooseSession(const SessionFacts &facts) {
    SessionChoice choice;
    choice.desktop = desktopOf(facts.currentDesktop);
    const std::string name = platformName(facts.qtPlatform);
    if (!isWaylandSession(facts)) {
        // X11 as always; Qt is told so when it would have to guess.
        if (name.empty() && !facts.x11Display.empty())
            choice.qtPlatform = "xcb";
        return choice;
    }
    // KWin's fake input stands in for both where KWin authorises this program.
    const bool virtualInput =
        facts.probed &&
        ((offers(facts, kVirtualKeyboardGlobal) && offers(facts, kVirtualPointerGlobal)) ||
         offers(facts, kFakeInputGlobal));
    const bool xwayland = !facts.x11Display.empty();
    if (facts.desktopRemoteInput) {
        // Qt runs natively; the user's choice of platform stands.
        if (name.empty())
            choice.qtPlatform = "wayland";
        return choice;
    }
    if (!name.empty()) {
        // The user's choice of platform stands; the reach follows from it.
        if (name == "xcb")
            choice.reach = SessionReach::X11ProgramsOnly;
        else if (startsWith(name, "wayland") && !virtualInput)
            choice.reach = SessionReach::Nothing;
        return choice;
    }
    if (virtualInput) {
        choice.qtPlatform = "wayland";
        return choice;
    }
    if (xwayland) {
        choice.qtPlatform = "xcb";
        choice.reach = SessionReach::X11ProgramsOnly;
        return choice;
    }
    choice.reach = SessionReach::Nothing;
    return choice;
}

void setSessionChoice(const SessionChoice &choice) {
    std::lock_guard<std::mutex> lock(choiceMutex);
    current = choice;
}

SessionChoice sessionChoice() {
    std::lock_guard<std::mutex> lock(choiceMutex);
    return current;
}

} // namespace platform
