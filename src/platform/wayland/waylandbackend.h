#pragma once

// The Wayland backend, for compositors that offer the virtual keyboard and
// pointer protocols (sway and the other wlroots compositors): synthesis
// (waylandinput.h), the screen through screencopy and the windows through
// foreign toplevels (waylandwindows.h) where the compositor offers them.
// Wayland gives no client the keys of other windows, so key events and
// recording come from the input event devices where the user may read them
// (group `input`, evdevinput.h), and are absent and say so where not; global
// shortcuts are absent, and a run's keys are bound by the desktop where it
// lets the program (waylandrunkeys.h). The interface is plain C++, and the
// backend keeps a connection of its own to the compositor, never the
// toolkit's.

#include <memory>
#include <string>
#include <vector>

namespace platform {
class Backend;
} // namespace platform

namespace platform::wayland {

// Connects to the compositor of WAYLAND_DISPLAY; on failure returns null and
// says why in `error`.
std::unique_ptr<Backend> createBackend(std::string &error);

class WaylandInput;

// The synthesis of a backend made by createBackend (its layout, its keymap
// uploads), whether or not the input devices answer its isDown; null for
// any other backend.
WaylandInput *waylandInput(Backend &backend);

// Why the last backend made hears no keyboard (no input event device could
// be read, ...); empty when it hears one or none was made.
const std::string &inputDevicesNote();

// The interface names of the globals the compositor of WAYLAND_DISPLAY
// offers; false when it cannot be reached. Asks once, briefly, on a
// connection of its own.
bool listGlobals(std::vector<std::string> &globals);

} // namespace platform::wayland
