#pragma once

// Input synthesis on X11. It goes through XTest on a private connection
// guarded by one mutex, so the run's worker threads may call it at once. The
// key events (x11keyevents.h) and the shortcuts (x11shortcuts.h) keep their
// own connections and ask this layer's keyboard map.

#include "platform/inputlayer.h"
#include "x11keymap.h"

#include <QLoggingCategory>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
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

    // Pacing of temporary bindings (see x11text.cpp): a keycode is rebound
    // once the focused client has confirmed that it handled every key sent
    // before (it answered a ping sent after them); a client that cannot be
    // asked is given kReuseAge, one that does not answer kPongTimeout.
    // Bindings are all undone after kIdleRestore without typing.
    static constexpr std::chrono::milliseconds kReuseAge{150};
    static constexpr std::chrono::milliseconds kPongTimeout{2000};
    static constexpr std::chrono::milliseconds kIdleRestore{500};
    static constexpr std::chrono::milliseconds kRepeatRestoreDelay{100};

    // Key events' and shortcuts' lastError() codes of our own; X protocol
    // error codes (BadAccess = 10 for a shortcut another client holds) are
    // passed on as they are.
    static constexpr unsigned long kErrorNoConnection = 0x10001;
    static constexpr unsigned long kErrorNoXInput2 = 0x10002;
    static constexpr unsigned long kErrorNoKey = 0x10003;
    static constexpr unsigned long kErrorGrabBase = 0x10100; // + the grab status

private:
    using Clock = std::chrono::steady_clock;

    X11Input() = default;
    bool open(std::string &error);

    // --- synthesis connection (all under mutex_) ---
    void pumpLocked();            // reads pending events, notices foreign map changes
    const KeyMap &keyMapLocked(); // reloads the map when it went stale
    void noteMapNotifyLocked(unsigned changed, int firstKey, int keys);
    void fakeKeyLocked(int keycode, bool down);
    unsigned lockedModsLocked();
    // Autorepeat of our keys is off while we hold one: turned off before
    // each press, back to the user's setting once nothing is held (`soon`:
    // after a short pause, for typed characters).
    void updateAutoRepeatLocked(bool soon = false);
    void repeatOffBeforePressLocked(bool again = false);
    bool findXtestKeyboardLocked();
    void readUsersRepeatLocked();
    bool usersRepeatLocked() const;
    void writeRepeatLocked(_XDisplay *display, bool ours) const;
    // False once the server dropped our connection: nothing more is sent on it.
    bool usableLocked() const { return display_ && !lost_.load(); }

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
    // A place to bind a keysym for a moment: a spare keycode at one of its
    // levels: unshifted (0), with Shift (1), and where the map has a level-3
    // shift, with it (2) and with both (3).
    struct Slot {
        int keycode = 0;
        int level = 0;
        unsigned long keysym = 0; // 0: nothing bound
        Clock::time_point lastUse{};
        int held = 0;
        int partner = -1;     // the level Shift pairs with on the same keycode (0-1, 2-3)
        bool paired = false;  // the keycode holds a letter's two cases
        bool forKey = false;  // bound for a key held through keyDown, not for text
        bool retired = false; // another client bound the keycode: never touched again
    };
    struct HeldChar {
        std::thread::id thread;
        char32_t cp;
        int keycode;
        int slot; // -1: a key of the map
    };
    void pressCodePoint(char32_t cp);
    // Binds `keysym` to a slot (reusing one that has it), waiting where a
    // binding is not yet safe to replace. Returns the slot, or -1 when there
    // are no spare keycodes.
    int bindLocked(std::unique_lock<std::mutex> &lock, unsigned long keysym, bool unshiftedOnly);
    // Binds `keysym` and the characters that follow it in the text ahead,
    // all missing from the map and without case, to every spare keycode that
    // is free, in one map change. -2 when there is no text ahead to use.
    int bindBlockLocked(std::unique_lock<std::mutex> &lock, unsigned long keysym);
    // Writes the rows of `keycodes` (sorted) in one request over the range
    // they span, the keys between them as the server has them.
    bool writeRowsLocked(const std::vector<int> &keycodes);
    int slotWithKeysymLocked(unsigned long keysym, bool unshiftedOnly,
                             bool includeRetired = false) const;
    // Takes the spare keycodes of a freshly read map: keycodes with nothing
    // on them, and those still carrying our bindings. Keycodes another client
    // bound are dropped and never written again.
    void adoptSpareKeycodesLocked(const KeyMap &fresh);
    // The keysyms our bindings put on a spare keycode's four levels; true
    // if the upper two are used (the key then takes the four-level type).
    bool rowLocked(int keycode, unsigned long row[4]) const;
    // Every level of the keycode is ours and none is held.
    bool keycodeFreeLocked(int keycode) const;
    // A keycode's four slots lie together in slots_, level 0 first.
    static const Slot &levelZeroOf(const Slot &slot) { return *(&slot - slot.level); }
    // Levels 2 and 3 can be typed on the current map.
    bool fourLevelsLocked() const { return keyMap_.fourLevelType() >= 0; }
    // Shortcuts are grabbed by keycode: after a map change, again.
    void regrabHotKeysLater();
    // When a binding last used at `lastUse` may be replaced or undone.
    Clock::time_point safeFromLocked(Clock::time_point lastUse) const;
    // Asks the focused client to answer once it has read everything sent so
    // far, unless a question sent at or after `lastUse` is still open.
    void pingFocusedClientLocked(Clock::time_point lastUse);
    // The window that takes the question for the focused client, 0: none;
    // sets pingByComm_.
    unsigned long pingTargetLocked();
    // A Tk application's comm window, when `window` belongs to one.
    unsigned long tkCommWindowLocked(unsigned long window);
    // Asks a Tk client that has not answered yet, so that its first answer
    // comes before a rebinding has to rely on it.
    void probeTkClientLocked();
    // The index in pings_ of the open message on a comm window, -1: none.
    int openMessageLocked(unsigned long commWindow) const;
    void onPongLocked(long serial);
    void onCommTakenLocked(unsigned long commWindow);
    void writeRowLocked(int keycode);
    void noteOwnChangeLocked(int first, int count);
    void restoreBindingsLocked(std::unique_lock<std::mutex> &lock, bool waitForSafety);
    void restorerLoop();

    // What Windows reports for injected characters.
    static constexpr int kVkPacket = 0xE7;
    int vkForKeycodeLocked(int keycode);
    static bool vkMatches(int asked, int reported);

    std::mutex mutex_;
    _XDisplay *display_ = nullptr;
    unsigned long root_ = 0;
    int rootWidth_ = 0; // the whole virtual desktop
    int rootHeight_ = 0;
    KeyMap keyMap_;
    bool mapStale_ = false;
    int coreKeyboard_ = -1; // XKB's device id of the core keyboard
    unsigned lockedMods_ = 0;
    std::vector<int> spare_;                     // keycodes with nothing bound but ours, sorted
    std::deque<std::pair<int, int>> ownChanges_; // our map changes not yet notified
    std::pair<int, int> ownEcho_{-1, -1};        // a block change of ours until synced

    std::map<int, int> pressedKeys_;  // keycode -> downs not yet released
    std::map<int, int> keyDownAt_;    // vk -> the keycode its last keyDown pressed
    std::map<int, int> pressedSlots_; // slot -> downs through keyDown not yet released
    std::set<int> pressedButtons_;
    int xtestKeyboard_ = -1;      // -1: not looked up yet, -2: none
    bool xtestRepeatOff_ = false; // we turned it off and owe the restore
    // The user's keyboards (not the XTEST one) and their RepeatKeys.
    std::vector<std::pair<int, bool>> usersKeyboards_;
    Clock::time_point repeatRestoreDue_{}; // none while nothing is due
    std::atomic<bool> lost_{false};
    std::atomic<bool> hookLost_{false};
    std::atomic<bool> lossHandled_{false};
    std::vector<HeldChar> heldChars_;
    std::vector<Slot> slots_;
    Clock::time_point lastBind_{};
    // The focused client's confirmations: _NET_WM_PING on its top-level or,
    // for Tk, which has no ping, an empty message on its `send` channel
    // (Tk reads and deletes it in turn with its other events).
    struct Ping {
        long serial;
        Clock::time_point sentAt;
        unsigned long commWindow = 0; // where a message to Tk went
    };
    unsigned long wmProtocols_ = 0;
    unsigned long netWmPing_ = 0;
    unsigned long pingFocus_ = 0;  // the focus window the target was found for
    unsigned long pingTarget_ = 0; // its top-level that answers pings, 0: none
    bool pingCapable_ = false;
    bool pingByComm_ = false;   // pingTarget_ is a Tk comm window
    bool commAnswered_ = false; // and it has answered once: its silence means busy
    unsigned long commAtom_ = 0;
    Clock::time_point lastPingAttempt_{};
    long nextPingSerial_ = 1;
    std::vector<Ping> pings_;        // sent and not answered, oldest first
    Clock::time_point caughtUpTo_{}; // the client has read all we sent before this
    Clock::time_point lastTextUse_{};
    bool stopping_ = false;
    std::condition_variable wake_;     // the restorer
    std::condition_variable bindWait_; // never notified: a timed wait that lets go of mutex_
    std::thread restorer_;
    std::unique_ptr<QObject> guiContext_; // queued work for the GUI thread dies with us

    std::atomic<X11KeyEvents *> keyEvents_{nullptr};
    X11Shortcuts *shortcuts_ = nullptr; // under mutex_
};

} // namespace platform::x11
