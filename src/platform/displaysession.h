#pragma once

// Which desktop session the program starts in and what input it can reach
// there, judged from the environment and (on Wayland) the globals the
// compositor offers. Pure: the caller gathers the facts and applies the
// choice (main sets Qt's platform from it; the main window and the run
// dialog tell the user when not every window can be reached). No Qt here.

#include <string>
#include <vector>

namespace platform {

struct SessionFacts {
    std::string qtPlatform;     // QT_QPA_PLATFORM or -platform, as given (may be empty)
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string sessionType;    // XDG_SESSION_TYPE
    std::string currentDesktop; // XDG_CURRENT_DESKTOP ("GNOME", "ubuntu:GNOME", "KDE", "sway")
    std::string x11Display;     // DISPLAY (XWayland under Wayland)
    // The compositor's globals by interface name; `probed` is false when it
    // was not asked or could not be reached.
    bool probed = false;
    std::vector<std::string> globals;
    // The desktop's own remote-desktop interface answers (GNOME's mutter on
    // the session bus), through which a backend reaches every window
    // whatever Qt's platform.
    bool desktopRemoteInput = false;
};

enum class Desktop { Gnome, Kde, Other };

enum class SessionReach {
    Everything,      // X11, Windows, or a compositor that offers virtual input
    X11ProgramsOnly, // Wayland without virtual input: X11 programs through XWayland
    Nothing,         // Wayland without virtual input and without XWayland
};

struct SessionChoice {
    std::string qtPlatform; // what Qt's platform becomes; empty: left as it is
    SessionReach reach = SessionReach::Everything;
    Desktop desktop = Desktop::Other;
};

// The two globals the Wayland backend needs.
inline constexpr const char *kVirtualKeyboardGlobal = "zwp_virtual_keyboard_manager_v1";
inline constexpr const char *kVirtualPointerGlobal = "zwlr_virtual_pointer_manager_v1";
// What KWin offers instead, to programs it authorises (the KDE backend).
inline constexpr const char *kFakeInputGlobal = "org_kde_kwin_fake_input";

// True for a Wayland session.
bool isWaylandSession(const SessionFacts &facts);
// Whether the compositor's globals decide the choice (so are worth asking for).
bool wantsGlobals(const SessionFacts &facts);
Desktop desktopOf(const std::string &currentDesktop);
SessionChoice chooseSession(const SessionFacts &facts);

// The choice main made, for those who tell the user; Everything until set.
void setSessionChoice(const SessionChoice &choice);
SessionChoice sessionChoice();

} // namespace platform
