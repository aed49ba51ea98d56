#pragma once

// Records one key combination through the desktop's key events (the
// backend's keyboard hook). Two independent instances exist: the editor's and
// the run settings dialog's. onKey runs on the GUI thread and shares only the
// four atomic fields with the client's 50 ms poll.

#include "platform/keyevents.h"

#include <atomic>

class KeyCaptureState final : public platform::KeyListener {
public:
    enum class Client { Editor, RunDialog };

    std::atomic<int> lastKey{0};
    std::atomic<int> lastMask{0}; // capture mask
    std::atomic<int> heldModifiers{0};
    std::atomic<int> captureActive{0};
    bool keyboardHook = false; // listening to the backend's key events

    // True when the instance (now) listens. The run dialog's instance logs
    // "Failed to install keyboard hook. Error:" with the system's code on failure.
    bool installKeyboardHook();
    void uninstallKeyboardHook();

    // Resets lastKey, lastMask and heldModifiers and sets captureActive to 1
    // (taking the keyboard where the system needs a grab for swallowing).
    void beginCapture();
    // Sets captureActive to 0 (and gives the keyboard back). Clients end a
    // capture through this rather than by storing 0 themselves, or the
    // keyboard stays taken where the system needed a grab.
    void endCapture();

    // The hook algorithm on this instance's fields: while a capture is
    // active every key is taken.
    bool onKey(const platform::KeyEvent &event) override;

    Client client() const { return client_; }

    // The two instances, with static lifetime.
    static KeyCaptureState &editor();
    static KeyCaptureState &runDialog();

private:
    explicit KeyCaptureState(Client client) : client_(client) {}
    KeyCaptureState(const KeyCaptureState &) = delete;
    KeyCaptureState &operator=(const KeyCaptureState &) = delete;
    void setHeldModifier(int vk);
    void clearHeldModifier(int vk);
    // Takes or gives back the keyboard where the system needs it; GUI thread.
    void setGrab(bool active);

    Client client_;
    bool grabbed_ = false;
};

// Modifiers held at this moment, as a capture mask, from the input layer.
// It lives here rather than beside the mask helpers so that the core never
// reads the system.
int currentModifierMask();
