#pragma once

// A stand-in for the system's backend: it performs nothing, logs every
// synthesis call with a monotonic time stamp, answers "is down" from a state
// that the test scripts, and delivers the key events and shortcut presses a
// test sends. Thread-safe, since the run's workers call it at once.

#include "platform/backend.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

struct InputEvent {
    // "keyDown", "keyUp", "unicodeDown", "unicodeUp", "mouseDown", "mouseUp",
    // "setCursorPos", "releaseAll", "activate" (a: the window id)
    std::string kind;
    int a = 0; // vk, code unit, button (0 left, 1 right) or x
    int b = 0; // y for setCursorPos
    std::chrono::steady_clock::time_point time;

    std::string text() const; // "keyDown 17", "setCursorPos 10 20", ...
};

// A window of the scripted desktop, and how it answers being activated.
struct FakeWindow {
    enum class Activation {
        AtOnce,  // active when activate() returns
        Never,   // the system refuses
        Delayed, // active `delayMs` after activate(), which returns false
    };
    platform::WindowInfo info;
    Activation activation = Activation::AtOnce;
    int delayMs = 0;
};

// The screen of the scripted desktop: pictures shown from given times on
// (the latest one due is what a read sees), its origin at (0, 0). Counts
// its reads, and which window each window-anchored read named.
class ScriptedScreen final : public platform::ScreenReader {
public:
    // `image` is on the screen `after` from now on, until a later one is due.
    void show(const QImage &image, std::chrono::milliseconds after = std::chrono::milliseconds(0));
    int reads() const;
    std::vector<std::uint64_t> windowReads() const;
    // Every region read, in order (windowRegion's too).
    std::vector<platform::Rect> readRects() const;

    // What changesSince answers: Unknown (the reader cannot tell), Told (the
    // bounds of the pixels that differ from the scene the last call saw),
    // Silent (nothing changed, whatever the screen shows: every event
    // lost). A new size is never known.
    enum class Changes { Unknown, Told, Silent };
    void tellChanges(Changes how);

    bool pixel(int x, int y, platform::Rgb &colour) override;
    bool region(const platform::Rect &rect, platform::ScreenImage &image) override;
    bool bounds(platform::Rect &rect) override;
    bool windowRegion(std::uint64_t window, const platform::Rect &rect,
                      platform::ScreenImage &image) override;
    bool changesSince(std::uint64_t &token, std::vector<platform::Rect> &changed) override;

private:
    QImage nowLocked(); // caller holds the mutex
    mutable std::mutex mutex_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, QImage>> scenes_;
    int reads_ = 0;
    std::vector<std::uint64_t> windowReads_;
    std::vector<platform::Rect> readRects_;
    Changes changes_ = Changes::Unknown;
    std::uint64_t token_ = 0; // the last one handed out
    QImage told_;             // the scene it was handed out on
};

// The run keys of the scripted desktop: every question gets the scripted
// answer (Heard, as on X11, until told otherwise); a bind that is answered
// Bound keeps its request until unbound.
class ScriptedRunKeys final : public platform::RunKeys {
public:
    void setAnswer(const platform::RunKeyAnswer &answer);
    platform::RunKeyAnswer answer() const;
    // What is bound, by id.
    std::map<int, platform::RunKeyRequest> bound() const;

    platform::RunKeyAnswer ask(const platform::RunKeyRequest &request) override;
    platform::RunKeyAnswer bind(int id, const platform::RunKeyRequest &request) override;
    void unbind(int id) override;

private:
    mutable std::mutex mutex_;
    platform::RunKeyAnswer answer_{platform::RunKeyWay::Heard, {}, {}};
    std::map<int, platform::RunKeyRequest> bound_;
};

class RecordingInput final : public platform::Backend,
                             public platform::InputLayer,
                             public platform::KeyEvents,
                             public platform::GlobalShortcuts,
                             public platform::WindowAccess {
public:
    RecordingInput();           // installs itself as the process-wide backend
    ~RecordingInput() override; // and uninstalls itself

    // Backend: everything but recording (ScriptedRecorder stands in for it);
    // the windows and the screen are the scripted ones below.
    platform::Capabilities capabilities() const override;
    platform::InputLayer *synthesis() override { return this; }
    platform::KeyEvents *keyEvents() override { return keyEventsOffered_ ? this : nullptr; }
    platform::GlobalShortcuts *shortcuts() override { return this; }
    std::unique_ptr<platform::InputRecorder> createRecorder() override { return nullptr; }
    platform::WindowAccess *windowAccess() override {
        return windowAccessOffered_ ? this : nullptr;
    }
    platform::ScreenReader *screenReader() override { return screenOffered_ ? &screen_ : nullptr; }
    ScriptedRunKeys *runKeys() override { return &runKeys_; }

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

    bool addListener(platform::KeyListener *listener) override;
    void removeListener(platform::KeyListener *listener) override;
    void setSwallowing(platform::KeyListener *listener, bool active) override;
    bool addButtonListener(platform::ButtonListener *listener) override;
    void removeButtonListener(platform::ButtonListener *listener) override;
    unsigned long lastError() override; // of the key events and the shortcuts

    // Window access: the scripted windows, topmost first. Activation is
    // logged and raises the window to the top.
    std::vector<platform::WindowInfo> windows() override;
    bool info(std::uint64_t id, platform::WindowInfo &out) override;
    std::uint64_t activeWindow() override;
    std::uint64_t windowAt(int x, int y) override; // by client area
    bool activate(std::uint64_t id) override;

    bool add(platform::Shortcut id, platform::Chord chord, std::function<void()> callback) override;
    void remove(platform::Shortcut id) override;
    void releaseAll() override;

    // --- test controls ---
    // Scripted "is down" state (does not log).
    void setDown(int vk, bool down);
    // Delivers a physical key event to the listeners, newest first as
    // Windows chains its hooks. Returns true when a listener took it. `sys`
    // (Windows' system key messages) makes no difference to a listener.
    bool sendHookEvent(int vk, bool down, bool sys = false);
    // The same event without the scripted state: a key "is down" never sees.
    bool sendKeyEventOnly(int vk, bool down);
    // A button event (vk 1 left, 2 right) to the button listeners, the
    // scripted state left as it is: a tap that "is down" never sees.
    void sendButtonEvent(int vk, bool down);
    int buttonListenerCount() const;
    // Off: key events without buttons (addButtonListener refuses).
    void offerButtonEvents(bool offered) { buttonEventsOffered_ = offered; }
    // Off: a backend without key events (keyEvents() null), as one that
    // only synthesises.
    void offerKeyEvents(bool offered) { keyEventsOffered_ = offered; }
    // Off: a backend that cannot see windows (windowAccess() null).
    void offerWindowAccess(bool offered) { windowAccessOffered_ = offered; }
    // Off: a backend that cannot read the screen (screenReader() null).
    void offerScreen(bool offered) { screenOffered_ = offered; }
    ScriptedScreen &screen() { return screen_; }
    // Off: windows without places, as Wayland's (Capabilities::windowGeometry).
    void offerWindowGeometry(bool offered) { windowGeometryOffered_ = offered; }
    // The name the capabilities give.
    void setName(const std::string &name) { name_ = name; }
    // The desktop's windows, topmost first, and which one is active (0: none).
    void setWindows(const std::vector<FakeWindow> &windows, std::uint64_t active = 0);
    // The window closes (and is no longer active).
    void closeWindow(std::uint64_t id);
    bool hookInstalled() const; // a listener listens
    int hookCount() const;
    bool captureGrabActive() const;                           // a listener swallows
    void failNextHookInstall(unsigned long error);            // next addListener fails
    void setHotKeyAvailable(bool available);                  // add's answer
    bool hotKeyRegistered() const;                            // a shortcut is held
    platform::Chord hotKeyChord(platform::Shortcut id) const; // {0, 0}: none held
    // The user pressing the shortcut `id`: runs its callback as the backend
    // would. False when no shortcut `id` is held.
    bool fireShortcut(platform::Shortcut id);

    std::vector<InputEvent> events() const;
    std::vector<std::string> eventTexts() const; // without time stamps
    void clearEvents();

private:
    struct Listener {
        platform::KeyListener *listener;
        bool swallow;
    };
    void log(const char *kind, int a, int b = 0);
    bool deliver(int vk, bool down);

    mutable std::mutex mutex_;
    std::vector<InputEvent> events_;
    std::set<int> down_;
    platform::Point cursor_;
    std::vector<Listener> listeners_;
    std::vector<platform::ButtonListener *> buttonListeners_;
    std::atomic<bool> buttonEventsOffered_{true};
    unsigned long failError_ = 0;
    bool failNextInstall_ = false;
    unsigned long lastError_ = 0;
    bool hotKeyAvailable_ = true;
    std::map<platform::Shortcut, std::pair<platform::Chord, std::function<void()>>> shortcuts_;
    platform::Backend *previous_ = nullptr;
    std::atomic<bool> keyEventsOffered_{true};
    std::atomic<bool> windowAccessOffered_{true};
    std::atomic<bool> screenOffered_{true};
    ScriptedScreen screen_;
    ScriptedRunKeys runKeys_;
    std::atomic<bool> windowGeometryOffered_{true};
    std::string name_ = "recording";
    std::vector<FakeWindow> windows_;
    std::uint64_t active_ = 0;
    // A delayed activation: the window and when it becomes active.
    std::uint64_t pendingActive_ = 0;
    std::chrono::steady_clock::time_point pendingAt_;
    void settleActivation(); // caller holds the mutex
};

} // namespace testsupport
