#pragma once

// Key combinations that work anywhere on the desktop, even while another
// program has the focus. One of the capabilities of a platform backend
// (backend.h). Plain C++17 only.

#include <functional>

namespace platform {

// Modifier flags, the values of Windows' MOD_ALT, MOD_CONTROL, MOD_SHIFT and
// MOD_WIN on every system.
constexpr unsigned kModAlt = 1;
constexpr unsigned kModControl = 2;
constexpr unsigned kModShift = 4;
constexpr unsigned kModWin = 8;

// The program's shortcuts, by what they do; each is held at most once.
enum class Shortcut {
    PositionCapture, // Ctrl+Alt+G: the position under the pointer
    RunStart,        // the run settings' start keys
};

struct Chord {
    unsigned modifiers = 0; // kMod* flags, exactly these held
    int vk = 0;             // Windows virtual-key code
};

class GlobalShortcuts {
public:
    virtual ~GlobalShortcuts() = default;

    // GUI thread only. `callback` runs on the GUI thread, from its event
    // loop, each time the chord is pressed. Adding a shortcut again replaces it.
    // False when the chord cannot be had (another program holds it, no key
    // types it); lastError() then says why.
    virtual bool add(Shortcut shortcut, Chord chord, std::function<void()> callback) = 0;
    // Safe for a shortcut never added. The callback is not called afterwards.
    virtual void remove(Shortcut shortcut) = 0;
    virtual unsigned long lastError() = 0;
};

} // namespace platform
