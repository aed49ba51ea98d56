#include "keycapture.h"

#include "capturelog.h"
#include "core/keycombination.h"
#include "platform/virtualkeys.h"

Q_LOGGING_CATEGORY(lcCapture, "tarnwick.capture")

namespace {

// The system calls a hook procedure without a context pointer, so each
// instance gets its own plain function that reaches it directly.
std::intptr_t editorHookProc(int code, std::uintptr_t message, std::intptr_t event) {
    return KeyCaptureState::editor().keyboardHookProc(code, message, event);
}

std::intptr_t runDialogHookProc(int code, std::uintptr_t message, std::intptr_t event) {
    return KeyCaptureState::runDialog().keyboardHookProc(code, message, event);
}

bool isKeyDownMessage(std::uintptr_t message) {
    return message == platform::kWmKeyDown || message == platform::kWmSysKeyDown;
}

bool isKeyUpMessage(std::uintptr_t message) {
    return message == platform::kWmKeyUp || message == platform::kWmSysKeyUp;
}

} // namespace

bool KeyCaptureState::installKeyboardHook() {
    if (keyboardHook)
        return true;
    platform::InputLayer &in = platform::input();
    keyboardHook =
        in.installKeyboardHook(client_ == Client::Editor ? &editorHookProc : &runDialogHookProc);
    if (!keyboardHook) {
        if (client_ == Client::RunDialog)
            qCWarning(lcCapture) << "Failed to install keyboard hook. Error:" << in.lastError();
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
    platform::input().uninstallKeyboardHook(keyboardHook);
    keyboardHook = nullptr;
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
    platform::input().setCaptureGrab(keyboardHook, active);
    grabbed_ = active;
}

// Runs for every key event of the desktop: atomics only, no allocation, no
// waiting.
std::intptr_t KeyCaptureState::keyboardHookProc(int code, std::uintptr_t message,
                                                std::intptr_t event) {
    const auto passOn = [&] {
        return platform::input().callNextHook(keyboardHook, code, message, event);
    };
    if (code != platform::kHcAction || event == 0)
        return passOn();
    const int vk =
        static_cast<int>(reinterpret_cast<const platform::KeyboardHookEvent *>(event)->vkCode);
    if (captureActive.load() != 1)
        return passOn();

    if (isKeyDownMessage(message)) {
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
        return 1;
    }
    if (isKeyUpMessage(message)) {
        if (!isModifierKey(vk))
            return 1;
        // A modifier pressed and released on its own is itself the key.
        // The mask goes first so a poll never sees the key with a stale mask.
        if (lastKey.load() == 0 && heldModifiers.load() == modifierBit(vk)) {
            lastMask.exchange(0);
            lastKey.exchange(vk);
        }
        clearHeldModifier(vk);
        return 1;
    }
    return passOn();
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
