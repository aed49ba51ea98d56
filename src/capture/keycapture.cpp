#include "keycapture.h"

// Placeholder until key capture is built.
bool KeyCaptureState::installKeyboardHook() { return false; }
void KeyCaptureState::uninstallKeyboardHook() {}
void KeyCaptureState::beginCapture() {}
void KeyCaptureState::endCapture() {}
std::intptr_t KeyCaptureState::keyboardHookProc(int, std::uintptr_t, std::intptr_t) { return 0; }
KeyCaptureState &KeyCaptureState::editor() {
    static KeyCaptureState s(Client::Editor);
    return s;
}
KeyCaptureState &KeyCaptureState::runDialog() {
    static KeyCaptureState s(Client::RunDialog);
    return s;
}
void KeyCaptureState::setHeldModifier(int) {}
void KeyCaptureState::clearHeldModifier(int) {}
