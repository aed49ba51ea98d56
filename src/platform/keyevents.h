#pragma once

// The user's key presses anywhere on the desktop, pushed to listeners as
// they happen: the key capture reads them, and may keep them from the
// window they were meant for. Where the backend hears them, the left and
// right mouse buttons too, so that a click shorter than any polling interval
// (a touchpad tap) is not missed. One of the capabilities of a platform
// backend (backend.h). Plain C++17 only.

#include <cstdint>

namespace platform {

struct KeyEvent {
    // The Windows virtual-key code, left/right-specific for modifiers
    // (0xA0 to 0xA5), as a low-level keyboard hook reports it on Windows.
    int vk = 0;
    bool down = false;
    // Milliseconds on the system's event clock (only differences mean anything).
    std::int64_t timeMs = 0;
};

class KeyListener {
public:
    virtual ~KeyListener() = default;
    // Called on the GUI thread for every key event of the desktop. Returning
    // true takes the event: no older listener sees it, and where the system
    // lets events be kept one by one (Windows) no window receives it. Must
    // return at once.
    virtual bool onKey(const KeyEvent &event) = 0;
};

struct ButtonEvent {
    // 1 for the left button, 2 for the right one, as "is down" names them
    // (InputLayer::isDown).
    int vk = 0;
    bool down = false;
    // Milliseconds on the system's event clock (only differences mean anything).
    std::int64_t timeMs = 0;
};

class ButtonListener {
public:
    virtual ~ButtonListener() = default;
    // Called on the GUI thread for every press and release of the left or
    // right button, in order. Only listens: the windows get the buttons as
    // ever. Must return at once.
    virtual void onButton(const ButtonEvent &event) = 0;
};

class KeyEvents {
public:
    virtual ~KeyEvents() = default;

    // GUI thread only. The newest listener is asked first. False when the
    // system refused to listen; lastError() then says why.
    virtual bool addListener(KeyListener *listener) = 0;
    // Safe for a listener that was never added, and from inside onKey.
    virtual void removeListener(KeyListener *listener) = 0;
    // While any listener asks for it, no window receives keys: where events
    // cannot be kept one by one (X11) the keyboard is taken. Ends with the
    // listener's removal at the latest.
    virtual void setSwallowing(KeyListener *listener, bool active) = 0;
    // GUI thread. False where this backend hears no buttons (the caller
    // then asks "is down" instead).
    virtual bool addButtonListener(ButtonListener *listener) {
        (void)listener;
        return false;
    }
    // Safe for a listener that was never added, and from inside onButton.
    virtual void removeButtonListener(ButtonListener *listener) { (void)listener; }
    // The system's code for the last failure (Windows error codes, X
    // protocol error codes or codes of the backend's own).
    virtual unsigned long lastError() = 0;
};

} // namespace platform
