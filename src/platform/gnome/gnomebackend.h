#pragma once

// The GNOME backend, for GNOME Shell on Wayland, through mutter's own
// remote-desktop API on the session bus (mutterremote.h), which needs no
// consent: synthesis (gnomeinput.h) on one remote-desktop session for the
// backend's life, and the windows through our shell extension
// (gnomewindows.h) where it is enabled. Chosen at run time before the
// backends of Qt's platform where the session is GNOME on Wayland and
// mutter's API is there in the versions we know. No Qt here.

#include <memory>
#include <string>

namespace platform {
class Backend;
} // namespace platform

namespace platform::gnome {

// A GNOME session on Wayland, from the environment (XDG_CURRENT_DESKTOP,
// WAYLAND_DISPLAY).
bool isGnomeWayland();

// Null with the reason in `error` where mutter's remote desktop is absent,
// another version, or refuses.
std::unique_ptr<Backend> createBackend(std::string &error);

// Why the last backend made has no window access (the extension is not
// enabled); empty when it has.
const std::string &windowsNote();

} // namespace platform::gnome
