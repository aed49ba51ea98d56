#pragma once

// Input synthesis: the keys, characters and clicks a run sends, and the
// state it polls. One of the capabilities of a platform backend (backend.h).
// Plain C++17 only: no Qt types here, so the Win32 sources compile without Qt
// and tests can swap in a recording implementation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "windowaccess.h"

namespace platform {

struct Point {
    int x = 0;
    int y = 0;
};

constexpr int kVkLButton = 0x01;
constexpr int kVkRButton = 0x02;

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

    // Releases every key and button this layer pressed and did not release,
    // and restores any temporary keyboard bindings. Safe to call repeatedly.
    virtual void releaseAll() = 0;
};

// The process-wide layer. Never null: until one is installed, a layer that
// does nothing answers. Installing a backend (backend.h) installs its
// synthesis here too.
InputLayer &input();
// Installs `layer` (not owned) and returns the previous one; null restores
// the do-nothing layer.
InputLayer *setInput(InputLayer *layer);

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
    // False where the system does not say where the pointer is (Wayland's
    // input devices): `pos` means nothing then.
    bool hasPos = true;
    // Button downs: the top-level window under the pointer, where the
    // recording could ask (id 0 where not); filled in by the listener's owner.
    WindowInfo window;
    // Milliseconds on one monotonic clock of the recorder's (the system's
    // event time where it has one).
    std::int64_t timeMs = 0;
};

class RawInputListener {
public:
    virtual ~RawInputListener() = default;
    // Called on the recorder's own thread, in the order the events happened.
    virtual void onRawInput(const RawInputEvent &event) = 0;
    // Called, on the same thread and in the same order, where the recorder
    // kept input back because it went to a protected input: a password field,
    // or a program holding the keyboard as password prompts and screen
    // lockers do. Says only when, never what nor how much.
    virtual void onInputWithheld(std::int64_t timeMs) { (void)timeMs; }
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
    // The present moment on the clock of the events' timeMs, so that a caller
    // can split events by when they happened rather than when they arrived;
    // -1 where the recorder cannot tell. Callable from any thread while
    // started.
    virtual std::int64_t now() const { return -1; }
};

} // namespace platform
