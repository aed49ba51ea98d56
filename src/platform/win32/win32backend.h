#pragma once

// The Win32 backend: synthesis through SendInput (win32input.h), key events
// through a low-level keyboard hook, shortcuts through RegisterHotKey on a
// message-only window of its own, and recording (win32recorder.cpp).
// Compiled without Qt.

#include <memory>
#include <string>

namespace platform {
class Backend;
class InputRecorder;
} // namespace platform

namespace platform::win32 {

// Create it on the GUI thread: the hook and the shortcuts' window belong to
// the thread that makes them, and their calls arrive through its event loop.
std::unique_ptr<Backend> createBackend(std::string &error);
std::unique_ptr<InputRecorder> createRecorder();

} // namespace platform::win32
