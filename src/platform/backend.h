#pragma once

// The program's one door to the operating system: a backend bundles what the
// system lets the program do, capability by capability, each one null where
// the system (or this backend) cannot do it. The backend is chosen at run
// time from the name of the display system the GUI toolkit runs on ("xcb",
// "windows", ...), which the caller passes in as a string: no Qt here.

#include "inputlayer.h"
#include "keyevents.h"
#include "pointpicker.h"
#include "runkeybindings.h"
#include "screenreader.h"
#include "shortcuts.h"
#include "windowaccess.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

struct Capabilities {
    std::string name; // the backend's: "x11", "win32", "none", ...
    bool synthesis = false;
    bool keyEvents = false;
    bool swallowKeys = false; // key events can be kept from the windows
    bool globalShortcuts = false;
    bool recording = false;
    // A recording gets every key, a password field's too: it reads the input
    // devices, which do not say where a key goes.
    bool recordingHearsAll = false;
    bool windowAccess = false;
    // Window access tells where windows are (WindowInfo::client, windowAt),
    // so positions can count from a window. Wayland's foreign toplevels do
    // not.
    bool windowGeometry = false;
    bool screenReading = false;
    bool pointPicking = false; // the user shows a position by a click (pointPicker)
    // How a run's keys reach it here in general (runKeys() tells for given
    // keys): heard, read from the input devices, bound by the desktop, or not.
    RunKeyWay runKeys = RunKeyWay::Unheard;
};

// What a backend of a desktop that lets programs synthesise and hear input
// (X11, Win32) can do: everything but windows and the screen.
Capabilities desktopInputCapabilities(const std::string &name);

class Backend {
public:
    virtual ~Backend() = default;
    virtual Capabilities capabilities() const = 0;
    // Null where absent. They live as long as the backend.
    virtual InputLayer *synthesis() = 0;
    virtual KeyEvents *keyEvents() = 0;
    virtual GlobalShortcuts *shortcuts() = 0;
    virtual WindowAccess *windowAccess() { return nullptr; }
    virtual ScreenReader *screenReader() { return nullptr; }
    virtual PointPicker *pointPicker() { return nullptr; }
    virtual RunKeys *runKeys() { return nullptr; }
    // Null where the backend cannot record.
    virtual std::unique_ptr<InputRecorder> createRecorder() = 0;
};

// Makes a backend; on failure returns null with a message for the user in
// `error`.
using BackendFactory = std::function<std::unique_ptr<Backend>(std::string &error)>;

// The table of backends by platform name. The build's own are in it from the
// start (X11 as "xcb" on Linux, Win32 as "windows" on Windows); an empty
// factory takes a name out. Returns the factory the name had.
BackendFactory registerBackend(const std::string &platformName, BackendFactory factory);

// The backend for `platformName`. Never null: where the name has no backend
// or its backend fails, a backend that can do nothing, and `error` says why
// for the user (empty when the named backend was made).
std::unique_ptr<Backend> createBackend(const std::string &platformName, std::string &error);
// The backend that can do nothing; its capabilities are all false.
std::unique_ptr<Backend> createNullBackend();

// A recorder of the installed backend, or what a factory
// installed by a test makes. Never null: where the backend cannot record,
// the recorder's start fails with a message for the user.
std::unique_ptr<InputRecorder> createRecorder();
using RecorderFactory = std::unique_ptr<InputRecorder> (*)();
// Null restores the backend's recorder.
void setRecorderFactory(RecorderFactory factory);

// The process-wide backend. Never null: until one is installed, the one
// that can do nothing answers.
Backend &backend();
// Installs `backend` (not owned) and its synthesis as input(), returns the
// previous backend; null restores the one that can do nothing.
Backend *setBackend(Backend *backend);

} // namespace platform
