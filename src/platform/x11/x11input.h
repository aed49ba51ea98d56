#pragma once

// The input layer on X11. Synthesis goes through XTest on a private
// connection guarded by one mutex, so the run's worker threads may call it
// at once. X11Input is the facade; behind it, each called with that mutex
// held: the connection and its event pump (x11connection.h), the keyboard
// map (x11xkbmap.h), autorepeat (x11autorepeat.h), the key binder for what
// the map lacks (x11keybinder.h), the focused client's answers
// (x11clientsync.h) and a typing session per thread (x11typingsession.h).
// The keyboard hook and the capture grab use a second connection read on the
// GUI thread; the hot key is grabbed on Qt's own connection so that its
// event reaches Qt's native event filters.

#include "platform/inputlayer.h"
#include "x11autorepeat.h"
#include "x11clientsync.h"
#include "x11connection.h"
#include "x11keybinder.h"
#include "x11keymap.h"
#include "x11typingsession.h"
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
class QSocketNotifier;
class QObject;

Q_DECLARE_LOGGING_CATEGORY(lcX11Input)

namespace platform::x11 {

// X errors on the displays registered here are recorded, not fatal.
void registerDisplay(_XDisplay *display);
void unregisterDisplay(_XDisplay *display);

// A connection the server dropped: Xlib may have left it locked, so closing
// it could hang. It is kept, unused, until the process ends.
void keepLostDisplay(_XDisplay *display);

class X11Input;
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

    HookHandle installKeyboardHook(KeyboardHookProc proc) override;
    std::intptr_t callNextHook(HookHandle hook, int code, std::uintptr_t message,
                               std::intptr_t event) override;
    void uninstallKeyboardHook(HookHandle hook) override;
    void setCaptureGrab(HookHandle hook, bool active) override;
    unsigned long lastError() override;

    bool registerHotKey(int id, unsigned modifiers, unsigned vk) override;
    void unregisterHotKey(int id) override;
    bool isHotKeyEvent(const char *eventType, void *message, int *id) override;

    void releaseAll() override;

    // Pacing of temporary bindings (see x11keybinder.h): a keycode is rebound
    // once the focused client has confirmed that it handled every key sent
    // before (it answered a ping sent after them); a client that cannot be
    // asked is given kReuseAge, one that does not answer kPongTimeout.
    // Bindings are all undone after kIdleRestore without typing.
    static constexpr std::chrono::milliseconds kReuseAge = FocusedClientSync::kReuseAge;
    static constexpr std::chrono::milliseconds kPongTimeout = FocusedClientSync::kPongTimeout;
    static constexpr std::chrono::milliseconds kIdleRestore{500};
    static constexpr std::chrono::milliseconds kRepeatRestoreDelay = AutoRepeat::kRestoreDelay;

    // lastError() codes of our own; X protocol error codes (BadAccess = 10
    // for a hot key another client holds) are passed on as they are.
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
    void pressCodePointLocked(std::unique_lock<std::mutex> &lock, const TypingSession &session,
                              char32_t cp);
    // The hot keys are grabbed by keycode: after a map change, again.
    void regrabHotKeysLater();
    void regrabHotKeys();
    void restorerLoop();

    // --- hook and hot key (x11hook.cpp) ---
    struct Hook {
        KeyboardHookProc proc;
        std::uintptr_t serial;
        bool grab;
    };
    struct HotKey {
        int id = 0;
        int keycode = 0;
        unsigned mods = 0;
        unsigned ignored = 0; // lock modifiers that do not matter
        std::uint32_t root = 0;
        std::vector<unsigned> variants;
        unsigned askedModifiers = 0; // as registered, to grab again after a map change
        unsigned askedVk = 0;
    };
    // What Windows reports for injected characters.
    static constexpr int kVkPacket = 0xE7;
    // The Windows code the hook reports for a keycode, and so the code under
    // which isDown finds it.
    int vkForKeycodeLocked(int keycode);
    static bool vkMatches(int asked, int reported);
    bool openHookConnection();
    void readHookEvents();
    void dispatchKey(int keycode, bool down);
    int vkForKeycode(int keycode);
    void updateGrab();
    void closeHookConnection();

    std::mutex mutex_;
    X11Connection connection_;
    _XDisplay *display_ = nullptr; // connection_'s
    unsigned long root_ = 0;
    XkbMap xkbMap_;
    FocusedClientSync clientSync_;
    KeyBinder binder_{xkbMap_, clientSync_};
    AutoRepeat repeat_;
    TypingSessions typing_;
    std::atomic<bool> hotKeysStale_{false};
    std::map<int, int> pressedKeys_;  // keycode -> downs not yet released
    std::map<int, int> keyDownAt_;    // vk -> the keycode its last keyDown pressed
    std::map<int, int> pressedSlots_; // slot -> downs through keyDown not yet released
    std::set<int> pressedButtons_;
    std::atomic<bool> hookLost_{false};
    std::atomic<bool> lossHandled_{false};
    std::vector<HeldChar> heldChars_;
    bool stopping_ = false;
    std::condition_variable wake_; // the restorer
    std::thread restorer_;
    std::unique_ptr<QObject> guiContext_; // queued work for the GUI thread dies with us

    // GUI thread only.
    _XDisplay *hookDisplay_ = nullptr;
    int xiOpcode_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Hook> hooks_;
    std::uintptr_t nextSerial_ = 1;
    bool grabbed_ = false;
    bool dispatching_ = false;
    bool closePending_ = false;
    bool altDown_ = false;
    bool ctrlDown_ = false;

    std::mutex hotKeyMutex_;
    std::vector<HotKey> hotKeys_;

    std::atomic<unsigned long> lastError_{0};
};

} // namespace platform::x11
