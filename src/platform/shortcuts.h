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

struct Chord {
    unsigned modifiers = 0; // kMod* flags, exactly these held
    int vk = 0;             // Windows virtual-key code
};

class GlobalShortcuts {
public:
    virtual ~GlobalShortcuts() = default;

    // GUI thread only. `callback` runs on the GUI thread, from its event
    // loop, each time the chord is pressed. Adding an id again replaces it.
    // False when the chord cannot be had (another program holds it, no key
    // types it); lastError() then says why.
    virtual bool add(int id, Chord chord, std::function<void()> callback) = 0;
    // Safe for an id never added. The callback is not called afterwards.
    virtual void remove(int id) = 0;
    virtual unsigned long lastError() = 0;
};

} // namespace platform
