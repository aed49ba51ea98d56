#pragma once

// Characters and keys the keyboard map lacks are bound for a moment to spare
// keycodes (those with no keysym): the server applies a binding before any
// key event sent after it, but every client reads the new map only when it
// gets round to the notification, so a keycode must not be rebound while a
// client may still be reading its previous binding. Several spare keycodes
// are used in turn, a character already bound is reused as it is, and a
// keycode is rebound (or undone) only once the focused client has answered
// for the keys sent through it (ClientSync). However late a busy client
// reads, nothing is lost that way.
//
// The binder knows no X: it writes rows of keysyms through a MapWriter and
// asks a ClientSync; both are called with the caller's lock held, and the
// binder lets go of that lock only while it waits.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace platform::x11 {

using Clock = std::chrono::steady_clock;

// The keysym that types a code point: control characters as their keys,
// Latin-1 as itself, the rest as Unicode keysyms. 0: none.
unsigned long keysymForCodePoint(char32_t cp);

// One keycode's levels as the binder wants them: unshifted, with Shift, with
// the level-3 shift, with both.
struct KeyRow {
    int keycode = 0;
    unsigned long syms[4] = {};
    bool fourLevel = false; // the upper two are used: the key needs the four-level type
};

// The keyboard map as far as the binder sees it.
class MapWriter {
public:
    virtual ~MapWriter() = default;
    // Reads the map again if it changed since; the caller of the binder
    // has the binder adopt the new one (adoptSpareKeycodes).
    virtual void refresh() = 0;
    // The map as last read: keycodes with nothing on them (and no modifier),
    // and what a keycode carries at a level of group 1.
    virtual std::vector<int> emptyKeycodes() const = 0;
    virtual unsigned long keysymAt(int keycode, int level) const = 0;
    // Levels 2 and 3 can be typed (the map has a level-3 shift and a
    // four-level key type).
    virtual bool fourLevels() const = 0;
    // The map's own keys type `keysym`: it needs no binding.
    virtual bool typesWithoutBinding(unsigned long keysym) = 0;
    // Writes `rows` (sorted by keycode) in one change over the range they
    // span, the keys between them as they are. False when it could not;
    // then nothing was written.
    virtual bool writeRows(const std::vector<KeyRow> &rows) = 0;
    // Writes a row's lower two levels in a request any server takes.
    virtual void writeTwoLevels(const KeyRow &row) = 0;
    // Gives `count` keycodes from `first` nothing again.
    virtual void clearRows(int first, int count) = 0;
    // What was written is in force at the server, and what the server sent
    // back (a foreign change among it) has been read.
    virtual void sync() = 0;
};

// Whether the focused client has read the keys sent to it.
class ClientSync {
public:
    virtual ~ClientSync() = default;
    // When a binding last used at `lastUse` may be replaced or undone:
    // `lastUse` itself once the client answered for it, otherwise the
    // longest the client is given.
    virtual Clock::time_point safeFrom(Clock::time_point lastUse) const = 0;
    // Asks the client to answer once it has read everything sent so far,
    // unless a question sent at or after `lastUse` is still open.
    virtual void ask(Clock::time_point lastUse) = 0;
    // After a new binding: a client whose answers are not known yet is
    // asked now, so that its first answer comes before one is needed.
    virtual void probe() = 0;
    // Reads the answers (and anything else) that came in.
    virtual void poll() = 0;
};

class KeyBinder {
public:
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

    // The least time between two new bindings. Every binding makes every
    // client reload its keyboard map (a Qt client takes about 2 ms for
    // that); binding faster than clients reload piles up work and delays
    // their reading. On Xvfb 1 ms between bindings let a Qt client fall
    // behind and lose a fifth of the characters; 2.5 ms kept it exact.
    static constexpr std::chrono::microseconds kBindGap{2500};
    // How far ahead a block looks for characters to bind.
    static constexpr size_t kAheadScan = 4096;

    KeyBinder(MapWriter &writer, ClientSync &sync) : writer_(writer), sync_(sync) {}

    // Binds `keysym` to a slot (reusing one that has it), waiting where a
    // binding is not yet safe to replace. Returns the slot, or -1 when there
    // are no spare keycodes (or stop() was called).
    int bind(std::unique_lock<std::mutex> &lock, unsigned long keysym, bool unshiftedOnly);
    // Binds `keysym` and the characters of `ahead` from `from` on, all
    // missing from the map and without case, to every spare keycode that is
    // free, in one map change. -2 when there is nothing ahead to use.
    int bindBlock(std::unique_lock<std::mutex> &lock, unsigned long keysym,
                  const std::u32string &ahead, size_t from);
    // Undoes every binding no key holds, once safe (or at once).
    void restore(std::unique_lock<std::mutex> &lock, bool waitForSafety);

    // Takes the spare keycodes of the map as the writer read it last:
    // keycodes with nothing on them, and those still carrying our bindings.
    // Keycodes another client bound are dropped and never written again.
    void adoptSpareKeycodes();
    // Keycodes with nothing bound but ours, sorted.
    const std::vector<int> &spare() const { return spare_; }

    int slotWithKeysym(unsigned long keysym, bool unshiftedOnly, bool includeRetired = false) const;
    const std::vector<Slot> &allSlots() const { return slots_; }
    const Slot &slot(int index) const { return slots_[static_cast<size_t>(index)]; }
    // A key goes down through a slot (for a key held through keyDown, or
    // for a character).
    void press(int index, bool forKey);
    // Its key came up: the slot rests from now.
    void release(int index);
    // Every slot's keys were let go of (their releases are on their way).
    void releaseAll();
    // Nothing bound stays: the connection is gone, and the map with it.
    void forgetAll();

    // A binding no key holds is waiting to be undone.
    bool anyRestorable() const;
    // The last key sent through any slot.
    Clock::time_point lastUse() const { return lastUse_; }
    // Ends every wait: bind and bindBlock return -1.
    void stop() { stopping_ = true; }

private:
    // The keysyms our bindings put on a keycode's four levels.
    KeyRow rowOf(int keycode) const;
    // Every level of the keycode is ours and none is held.
    bool keycodeFree(int keycode) const;
    void writeRow(int keycode);
    bool writeRows(const std::vector<int> &keycodes);
    // A keycode's four slots lie together in slots_, level 0 first.
    static const Slot &levelZeroOf(const Slot &slot) { return *(&slot - slot.level); }
    // A short wait that lets go of the lock: an answer may come early.
    void waitStep(std::unique_lock<std::mutex> &lock, Clock::time_point until);

    MapWriter &writer_;
    ClientSync &sync_;
    std::vector<Slot> slots_;
    std::vector<int> spare_;
    Clock::time_point lastBind_{};
    Clock::time_point lastUse_{};
    bool stopping_ = false;
    std::condition_variable wait_; // never notified: a timed wait that lets go of the lock
};

} // namespace platform::x11
