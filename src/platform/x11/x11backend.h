#pragma once

// The X11 backend: synthesis through XTest (x11input.h), key events through
// XInput2 (x11keyevents.h), shortcuts through key grabs (x11shortcuts.h) and
// recording (x11recorder.cpp). No Qt in this header.

#include <memory>
#include <string>

namespace platform {
class Backend;
class InputRecorder;
} // namespace platform

namespace platform::x11 {

// Opens the connections; on failure returns null and says why in `error`.
// Needs the GUI application object (on the "xcb" platform) for the
// shortcuts and the key events.
std::unique_ptr<Backend> createBackend(std::string &error);
std::unique_ptr<InputRecorder> createRecorder();

} // namespace platform::x11
