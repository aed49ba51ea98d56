#pragma once

// A stand-in for the system's input layer: it performs nothing, logs every
// call with a monotonic time stamp, and answers "is down" from a state that
// the test scripts. Thread-safe, since the run's workers call it at once.

#include "platform/inputlayer.h"

#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

struct InputEvent {
    // "keyDown", "keyUp", "unicodeDown", "unicodeUp", "mouseDown", "mouseUp",
    // "setCursorPos", "releaseAll"
    std::string kind;
    int a = 0; // vk, code unit, button (0 left, 1 right) or x
    int b = 0; // y for setCursorPos
    std::chrono::steady_clock::time_point time;

    std::string text() const; // "keyDown 17", "setCursorPos 10 20", ...
};

class RecordingInput final : public platform::InputLayer {
public:
    RecordingInput();           // installs itself as the process-wide layer
    ~RecordingInput() override; // and uninstalls itself

    // Synthesis: logged; keys and buttons also change the scripted state.
    void keyDown(int vk) override;
    void keyUp(int vk) override;
    void unicodeDown(char16_t unit) override;
    void unicodeUp(char16_t unit) override;
    void mouseDown(platform::MouseButton button) override;
    void mouseUp(platform::MouseButton button) override;
    platform::Point cursorPos() override;
    void setCursorPos(int x, int y) override;
    bool isDown(int vk) override;

    platform::HookHandle installKeyboardHook(platform::KeyboardHookProc proc) override;
    std::intptr_t callNextHook(platform::HookHandle hook, int code, std::uintptr_t message,
                               std::intptr_t event) override;
    void uninstallKeyboardHook(platform::HookHandle hook) override;
    void setCaptureGrab(platform::HookHandle hook, bool active) override;
    unsigned long lastError() override;

    bool registerHotKey(int id, unsigned modifiers, unsigned vk) override;
    void unregisterHotKey(int id) override;
    bool isHotKeyEvent(const char *eventType, void *message, int *id) override;
    void releaseAll() override;

    // --- test controls ---
    // Scripted "is down" state (does not log).
    void setDown(int vk, bool down);
    // Delivers a physical key event through the installed hooks, newest
    // first as Windows chains them. Returns true when a hook swallowed it.
    bool sendHookEvent(int vk, bool down, bool sys = false);
    bool hookInstalled() const;
    int hookCount() const;
    bool captureGrabActive() const;
    void failNextHookInstall(unsigned long error); // next install returns null
    void setHotKeyAvailable(bool available);       // registerHotKey's answer
    bool hotKeyRegistered() const;
    // The native event a test passes to a filter to fake the hot key firing.
    static constexpr const char *kHotKeyEventType = "recording_hotkey";

    std::vector<InputEvent> events() const;
    std::vector<std::string> eventTexts() const; // without time stamps
    void clearEvents();

private:
    struct Hook {
        platform::KeyboardHookProc proc;
        int serial;
    };
    void log(const char *kind, int a, int b = 0);

    mutable std::mutex mutex_;
    std::vector<InputEvent> events_;
    std::set<int> down_;
    platform::Point cursor_;
    std::vector<Hook> hooks_;
    int nextSerial_ = 1;
    bool grab_ = false;
    unsigned long failError_ = 0;
    bool failNextInstall_ = false;
    unsigned long lastError_ = 0;
    bool hotKeyAvailable_ = true;
    bool hotKeyRegistered_ = false;
    platform::InputLayer *previous_ = nullptr;
};

} // namespace testsupport
