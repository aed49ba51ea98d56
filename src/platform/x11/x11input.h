#pragma once

// The input layer on X11. Synthesis goes through XTest on a private
// connection guarded by one mutex, so the run's worker threads may call it
// at once. X11Input is the facade; behind it, each called with that mutex
// held: the connection and its event pump (x11connection.h), the keyboard
// map (x11xkbmap.h), autorepeat (x11autorepeat.h), the key binder for what
// the map lacks (x11keybinder.h), the focused client's answers
// (x11clientsync.h) and a typing session per thread (platform/desktop/typingsession.h).
// The key events (x11keyevents.h) and the shortcuts (x11shortcuts.h) keep
// their own connections and ask this layer's keyboard map.

#include "platform/desktop/typingsession.h"
#include "platform/inputlayer.h"
#include "x11autorepeat.h"
#include "x11clientsync.h"
#include "x11connection.h"
#include "x11keybinder.h"
#include "x11keymap.h"
#include "x11xkbmap.h"

#include <QLoggingCategory>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;
class QObject;

Q_DECLARE_LOGGING_CATEGORY(lcX11Input)

namespace platform::x11 {

// X errors on the displays registered here are recorded, not fatal.
void registerDisplay(_XDisplay *display);
void unregisterDisplay(_XDisplay *display);

// Asks for the raw key events (and button events) of every master device on
// the root window, as the key events and the recorder hear them.
void selectRawInput(_XDisplay *display, bool buttons);

// A connection the server dropped: Xlib may have left it locked, so closing
// it could hang. It is kept, unused, until the process ends.
void keepLostDisplay(_XDisplay *display);

class X11Input;
class X11KeyEvents;
class X11Shortcuts;
// The layer that an abnormal exit or a lost connection must release.
void noteLayerAlive(X11Input *layer);
void noteLayerGone(X11Input *layer);

class X11Input final : public InputLayer {
public:
    // Opens the connections; on failure returns null and says why in `error`.
    static std::unique_ptr<X11Input> create(std::string &error);
    ~X11Input() override;

    void keyDown(int vk) override;
    void keyUp(int vk) override;
    void unicodeDown(char16_t unit) override;
    void unicodeUp(char16_t unit) override;
    void textAhead(const char16_t *units, std::size_t count) override;
    void mouseDown(MouseButton button) override;
    void mouseUp(MouseButton button) override;
    Point cursorPos() override;
    void setCursorPos(int x, int y) override;
    bool isDown(int vk) override;

    void releaseAll() override;

    // --- for the key events and shortcuts (x11keyevents.cpp, x11shortcuts.cpp) ---
    // The Windows code key events report for a keycode, and so the code
    // under which isDown finds it. 0: none.
    int vkForKeycode(int keycode);
    // What a shortcut grabs for a chord on the current keyboard map; keycode
    // 0 when no key types `vk`.
    struct ShortcutKey {
        int keycode = 0;
        unsigned mods = 0;
        unsigned ignored = 0; // lock modifiers that do not matter
        unsigned long root = 0;
    };
    ShortcutKey shortcutKey(unsigned modifiers, int vk);
    // The objects told of a lost connection and of keyboard map changes;
    // null: none. Set on the GUI thread.
    void setCompanions(X11KeyEvents *keyEvents, X11Shortcuts *shortcuts);

    // Pacing of temporary bindings (see x11keybinder.h): a keycode is rebound
    // once the focused client has confirmed that it handled every key sent
    // before (it answered a ping sent after them); a client that cannot be
    // asked is given kReuseAge, one that does not answer kPongTimeout.
    // Bindings are all undone after kIdleRestore without typing.
    static constexpr std::chrono::milliseconds kReuseAge = FocusedClientSync::kReuseAge;
    static constexpr std::chrono::milliseconds kPongTimeout = FocusedClientSync::kPongTimeout;
    static constexpr std::chrono::milliseconds kIdleRestore{500};
    static constexpr std::chrono::milliseconds kRepeatRestoreDelay = AutoRepeat::kRestoreDelay;

    // Key events' and shortcuts' lastError() codes of our own; X protocol
    // error codes (BadAccess = 10 for a shortcut another client holds) are
    // passed on as they are.
    static constexpr unsigned long kErrorNoConnection = 0x10001;
    static constexpr unsigned long kErrorNoXInput2 = 0x10002;
    static constexpr unsigned long kErrorNoKey = 0x10003;
    static constexpr unsigned long kErrorGrabBase = 0x10100; // + the grab status

private:
    using Slot = KeyBinder::Slot;

    X11Input() = default;
    bool open(std::string &error);

    // --- synthesis connection (all under mutex_) ---
    void pumpLocked() { connection_.pump(); }
    const KeyMap &keyMapLocked() { return xkbMap_.current(); } // read again when stale
    // The map was read again: the binder takes its spare keycodes from it.
    void mapReloadedLocked();
    void fakeKeyLocked(int keycode, bool down);
    // Autorepeat of our keys is off while we hold one: turned off before
    // each press, back to the user's setting once nothing is held (`soon`:
    // after a short pause, for typed characters).
    void updateAutoRepeatLocked(bool soon = false);
    void repeatOffBeforePressLocked(bool again = false);
    // False once the server dropped our connection: nothing more is sent on it.
    bool usableLocked() const { return connection_.usable(); }

    // --- lost connections and abnormal exits (x11lifetime.cpp) ---
public:
    // Called from Xlib's I/O error path: records, never calls into Xlib.
    void noteConnectionLost(_XDisplay *display);
    // exit() with the layer still alive (Qt's connection broke): release.
    void releaseForExit();

private:
    // On the GUI thread after a loss: releases through a fresh connection and
    // asks the program to end through its own termination path.
    void handleConnectionLost();
    // Lets go of everything through a connection of its own (ours is gone).
    void releaseThroughFreshConnectionLocked();

    // --- text and keys missing from the map (x11text.cpp) ---
    struct HeldChar {
        std::thread::id thread;
        char32_t cp;
        int keycode;
        int slot; // -1: a key of the map
    };
    void pressCodePointLocked(std::unique_lock<std::mutex> &lock,
                              const desktop::TypingSession &session, char32_t cp);
    // Held by a key or by a typed character.
    bool keycodeDownLocked(int keycode) const;
    // Shortcuts are grabbed by keycode: after a map change, again.
    void regrabHotKeysLater();
    void restorerLoop();

    // What Windows reports for injected characters.
    static constexpr int kVkPacket = 0xE7;
    int vkForKeycodeLocked(int keycode);
    static bool vkMatches(int asked, int reported);

    std::mutex mutex_;
    X11Connection connection_;
    _XDisplay *display_ = nullptr; // connection_'s
    unsigned long root_ = 0;
    XkbMap xkbMap_;
    FocusedClientSync clientSync_;
    KeyBinder binder_{xkbMap_, clientSync_};
    AutoRepeat repeat_;
    desktop::TypingSessions typing_;
    // keycode -> downs through keyDown not yet released: released with the
    // last, so a key one caller holds stays down while another one lets go
    // of it.
    std::map<int, int> pressedKeys_;
    std::map<int, int> keyDownAt_;    // vk -> the keycode its last keyDown pressed
    std::map<int, int> pressedSlots_; // slot -> downs through keyDown not yet released
    std::set<int> pressedButtons_;
    std::atomic<bool> hookLost_{false};
    std::atomic<bool> lossHandled_{false};
    std::vector<HeldChar> heldChars_;
    bool stopping_ = false;
    std::condition_variable wake_;         // the restorer
    std::condition_variable charReleased_; // a typed character came up
    std::thread restorer_;
    std::unique_ptr<QObject> guiContext_; // queued work for the GUI thread dies with us

    std::atomic<X11KeyEvents *> keyEvents_{nullptr};
    X11Shortcuts *shortcuts_ = nullptr; // under mutex_
};

} // namespace platform::x11
