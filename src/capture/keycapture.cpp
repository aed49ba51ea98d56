#include "keycapture.h"

#include "capturelog.h"
#include "core/keycombination.h"
#include "platform/backend.h"
#include "platform/virtualkeys.h"

Q_LOGGING_CATEGORY(lcCapture, "tarnwick.capture")

namespace {

// The process-wide backend's key events, null where it has none.
platform::KeyEvents *keyEvents() {
    return platform::backend().keyEvents();
}

} // namespace

bool KeyCaptureState::installKeyboardHook() {
    if (keyboardHook)
        return true;
    platform::KeyEvents *events = keyEvents();
    keyboardHook = events && events->addListener(this);
    if (!keyboardHook) {
        if (client_ == Client::RunDialog)
            qCWarning(lcCapture) << "Failed to install keyboard hook. Error:"
                                 << (events ? events->lastError() : 0UL);
        return false;
    }
    // The editor marks the capture active before it installs the hook.
    if (captureActive.load() == 1)
        setGrab(true);
    return true;
}

void KeyCaptureState::uninstallKeyboardHook() {
    if (!keyboardHook)
        return;
    // Never leave the keyboard taken by a hook that no longer exists.
    setGrab(false);
    if (platform::KeyEvents *events = keyEvents())
        events->removeListener(this);
    keyboardHook = false;
}

void KeyCaptureState::beginCapture() {
    lastKey.exchange(0);
    lastMask.exchange(0);
    heldModifiers.exchange(0);
    captureActive.exchange(1);
    if (keyboardHook)
        setGrab(true);
}

void KeyCaptureState::endCapture() {
    captureActive.exchange(0);
    setGrab(false);
}

void KeyCaptureState::setGrab(bool active) {
    if (grabbed_ == active || (active && !keyboardHook))
        return;
    if (platform::KeyEvents *events = keyEvents())
        events->setSwallowing(this, active);
    grabbed_ = active;
}

// Runs for every key event of the desktop: atomics only, no allocation, no
// waiting.
bool KeyCaptureState::onKey(const platform::KeyEvent &event) {
    if (captureActive.load() != 1)
        return false;
    const int vk = event.vk;
    if (event.down) {
        if (isModifierKey(vk)) {
            setHeldModifier(vk);
        } else {
            int mask = heldModifiers.load();
            // A modifier held since before the capture began was never seen
            // going down.
            if (mask == 0)
                mask = currentModifierMask();
            lastMask.exchange(mask);
            lastKey.exchange(vk);
        }
        return true;
    }
    if (!isModifierKey(vk))
        return true;
    // A modifier pressed and released on its own is itself the key.
    // The mask goes first so a poll never sees the key with a stale mask.
    if (lastKey.load() == 0 && heldModifiers.load() == modifierBit(vk)) {
        lastMask.exchange(0);
        lastKey.exchange(vk);
    }
    clearHeldModifier(vk);
    return true;
}

KeyCaptureState &KeyCaptureState::editor() {
    static KeyCaptureState s(Client::Editor);
    return s;
}

KeyCaptureState &KeyCaptureState::runDialog() {
    static KeyCaptureState s(Client::RunDialog);
    return s;
}

void KeyCaptureState::setHeldModifier(int vk) {
    const int bit = modifierBit(vk);
    if (bit == 0)
        return;
    int expected = heldModifiers.load();
    while (!heldModifiers.compare_exchange_weak(expected, expected | bit)) {
    }
}

void KeyCaptureState::clearHeldModifier(int vk) {
    const int bit = modifierBit(vk);
    if (bit == 0)
        return;
    int expected = heldModifiers.load();
    while (!heldModifiers.compare_exchange_weak(expected, expected & ~bit)) {
    }
}

int currentModifierMask() {
    platform::InputLayer &in = platform::input();
    int mask = 0;
    for (const int vk : {vk::Control, vk::Menu, vk::Shift}) {
        if (in.isDown(vk))
            mask |= modifierBit(vk);
    }
    // Every one of the five keys is asked, in this order, each time.
    const bool leftWin = in.isDown(vk::LWin);
    const bool rightWin = in.isDown(vk::RWin);
    if (leftWin || rightWin)
        mask |= modifierBit(vk::LWin);
    return mask;
}
