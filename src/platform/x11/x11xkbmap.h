#pragma once

// The server's keyboard map as the layer uses it: read through XKB, read
// again when another client changes it (our own changes come back as
// notices too and are told apart), the locked modifiers, and the writes of
// the key binder's rows. Called with the layer's mutex held.

#include "x11keybinder.h"
#include "x11keymap.h"

#include <deque>
#include <functional>
#include <utility>

namespace platform::x11 {

class X11Connection;

// Tells our own map changes from other clients' when their notices come
// back: ours come back in the order we made them, an XKB request of ours
// possibly twice (the master keyboard and the one it was copied to).
class OwnChanges {
public:
    // We changed the keysyms of `count` keycodes from `first`.
    void noteWritten(int first, int count);
    // A notice that the keysyms of `count` keycodes from `first` changed:
    // true if it is one of ours. Any other notice makes the list useless.
    bool claim(int first, int count);
    // After a round trip: every notice of what we wrote has come.
    void synced() { echo_ = {-1, -1}; }
    // No telling any more which notices are ours.
    void forget() { pending_.clear(); }

private:
    std::deque<std::pair<int, int>> pending_; // written, not notified yet
    std::pair<int, int> echo_{-1, -1};        // the last one notified, until synced
};

class XkbMap final : public MapWriter {
public:
    // Selects the XKB notices it needs on `connection` and reads the map.
    // False when the map cannot be read.
    bool open(X11Connection &connection);
    // Called after the map was read again, before current() returns it.
    void onReload(std::function<void()> handler) { onReload_ = std::move(handler); }

    // The map in force, read again first if it went stale.
    const KeyMap &current();
    // The map as last read, without reading it again.
    const KeyMap &last() const { return keyMap_; }
    // Declares the keycodes that hold nothing but our bindings.
    void setSpare(const std::vector<int> &keycodes) { keyMap_.setSpare(keycodes); }
    bool stale() const { return stale_; }
    // Caps Lock, Num Lock: they change which level a key types.
    unsigned lockedMods() const { return lockedMods_; }

    void refresh() override { current(); }
    std::vector<int> emptyKeycodes() const override { return keyMap_.spareKeycodes(); }
    unsigned long keysymAt(int keycode, int level) const override {
        return keyMap_.keysymAt(keycode, level);
    }
    bool fourLevels() const override { return keyMap_.fourLevelType() >= 0; }
    bool typesWithoutBinding(unsigned long keysym) override;
    bool writeRows(const std::vector<KeyRow> &rows) override;
    void writeTwoLevels(const KeyRow &row) override;
    void clearRows(int first, int count) override;
    void sync() override;

private:
    void noteMapNotify(unsigned changed, int firstKey, int keys);

    X11Connection *connection_ = nullptr;
    KeyMap keyMap_;
    bool stale_ = false;
    int coreKeyboard_ = -1; // XKB's device id of the core keyboard
    unsigned lockedMods_ = 0;
    OwnChanges own_;
    std::function<void()> onReload_;
};

} // namespace platform::x11
