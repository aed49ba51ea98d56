#pragma once

// The program's one door to the operating system's input functions.
// Plain C++17 only: no Qt types here, so the Win32 sources compile without Qt
// and tests can swap in a recording implementation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct Point {
    int x = 0;
    int y = 0;
};

// Windows values are used on every system: stored projects and settings hold
// Windows virtual-key codes and must mean the same key everywhere.
constexpr int kHcAction = 0;
constexpr std::uintptr_t kWmKeyDown = 0x0100;
constexpr std::uintptr_t kWmKeyUp = 0x0101;
constexpr std::uintptr_t kWmSysKeyDown = 0x0104;
constexpr std::uintptr_t kWmSysKeyUp = 0x0105;

constexpr int kVkLButton = 0x01;
constexpr int kVkRButton = 0x02;

// Hot key modifier flags (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
constexpr unsigned kModAlt = 1;
constexpr unsigned kModControl = 2;
constexpr unsigned kModShift = 4;
constexpr unsigned kModWin = 8;

// Layout-compatible with the first field of KBDLLHOOKSTRUCT: the hook
// procedure reads only the key code.
struct KeyboardHookEvent {
    std::uint32_t vkCode = 0;
};

// Same shape as a Windows low-level hook procedure (LRESULT (int, WPARAM,
// LPARAM)); `event` points to a KeyboardHookEvent. A non-zero result swallows
// the event.
using KeyboardHookProc = std::intptr_t (*)(int code, std::uintptr_t message, std::intptr_t event);
using HookHandle = void *;

enum class MouseButton { Left, Right };

class InputLayer {
public:
    virtual ~InputLayer() = default;

    // Synthesis. Callable from any thread at once.
    virtual void keyDown(int vk) = 0;
    virtual void keyUp(int vk) = 0;
    // One UTF-16 code unit; a surrogate pair arrives as two downs/ups.
    virtual void unicodeDown(char16_t unit) = 0;
    virtual void unicodeUp(char16_t unit) = 0;
    // The text this thread is about to type through unicodeDown/Up, so that a
    // layer which must prepare characters can prepare many at once. A hint
    // only: typing something else is still right.
    virtual void textAhead(const char16_t *units, std::size_t count) {
        (void)units;
        (void)count;
    }
    // At the current pointer position.
    virtual void mouseDown(MouseButton button) = 0;
    virtual void mouseUp(MouseButton button) = 0;
    virtual Point cursorPos() = 0;
    virtual void setCursorPos(int x, int y) = 0;
    // True while the key (or mouse button, vk 1 and 2) is down at this moment.
    virtual bool isDown(int vk) = 0;

    // Desktop-wide keyboard hook. The procedure is called on the GUI thread.
    // Returns null on failure; lastError() then tells why.
    virtual HookHandle installKeyboardHook(KeyboardHookProc proc) = 0;
    virtual std::intptr_t callNextHook(HookHandle hook, int code, std::uintptr_t message,
                                       std::intptr_t event) = 0;
    virtual void uninstallKeyboardHook(HookHandle hook) = 0;
    // Where events cannot be swallowed one by one (X11), a capture must take
    // the keyboard while it is active. A no-op on Windows.
    virtual void setCaptureGrab(HookHandle hook, bool active) = 0;
    virtual unsigned long lastError() = 0;

    // One global hot key. Its event reaches Qt's native event filter, where
    // isHotKeyEvent recognises it (eventType as Qt passes it).
    virtual bool registerHotKey(int id, unsigned modifiers, unsigned vk) = 0;
    virtual void unregisterHotKey(int id) = 0;
    virtual bool isHotKeyEvent(const char *eventType, void *message, int *id) = 0;

    // Releases every key and button this layer pressed and did not release,
    // and restores any temporary keyboard bindings. Safe to call repeatedly.
    virtual void releaseAll() = 0;
};

// The process-wide layer. Never null: until one is installed, a layer that
// does nothing answers.
InputLayer &input();
// Installs `layer` (not owned) and returns the previous one; null restores
// the do-nothing layer.
InputLayer *setInput(InputLayer *layer);

// The layer of the system the program runs on (Win32 or X11). On failure
// returns null and puts a message for the user into `error`.
std::unique_ptr<InputLayer> createSystemInput(std::string &error);

// ---- Recording: listening to what the user does -------------------------------

// One physical input event as the system saw it.
struct RawInputEvent {
    enum class Type { KeyDown, KeyUp, ButtonDown, ButtonUp };
    Type type = Type::KeyDown;
    // Keys: the Windows virtual-key code, left/right-specific for modifiers
    // (0xA0 to 0xA5, 0x5B, 0x5C) as a low-level hook reports them.
    int vk = 0;
    // Key downs: the printable characters the key types in the present
    // keyboard state (Shift, Caps Lock, AltGr), as UTF-16. Empty for keys that
    // type nothing printable and for keys pressed with Ctrl, Alt or Win.
    std::u16string text;
    MouseButton button = MouseButton::Left;
    Point pos; // buttons: the pointer on the screen
    // Milliseconds on one monotonic clock of the recorder's (the system's
    // event time where it has one).
    std::int64_t timeMs = 0;
};

class RawInputListener {
public:
    virtual ~RawInputListener() = default;
    // Called on the recorder's own thread, in the order the events happened.
    virtual void onRawInput(const RawInputEvent &event) = 0;
};

// Listens to the user's keyboard and mouse buttons, desktop-wide, without
// taking anything away from the windows they are meant for.
class InputRecorder {
public:
    virtual ~InputRecorder() = default; // stops first
    // Starts delivering events to `listener` (not owned). On failure returns
    // false with a message for the user in `error`.
    virtual bool start(RawInputListener *listener, std::string &error) = 0;
    // Returns once the listener will not be called again. Safe to repeat.
    virtual void stop() = 0;
};

// A recorder for the system the program runs on (X11 or Win32), or what a
// factory installed by a test makes.
std::unique_ptr<InputRecorder> createRecorder();
std::unique_ptr<InputRecorder> createSystemRecorder();
using RecorderFactory = std::unique_ptr<InputRecorder> (*)();
// Null restores the system's recorder.
void setRecorderFactory(RecorderFactory factory);

} // namespace platform
