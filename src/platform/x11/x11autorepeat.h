#pragma once

// Our own XTest keys must not autorepeat (injected keys never do on
// Windows), and only while we hold a key, so a crash cannot leave it off.
// Autorepeat of our keys is turned off before each press and goes back to
// the user's setting once nothing is held. Called with the layer's mutex
// held.

#include <chrono>
#include <utility>
#include <vector>

struct _XDisplay;

namespace platform::x11 {

class AutoRepeat {
public:
    using Clock = std::chrono::steady_clock;
    // Typed characters: the setting comes back once typing pauses this long.
    static constexpr std::chrono::milliseconds kRestoreDelay{100};

    // Before a press. `again`: even if we turned it off already (another
    // instance that stopped holding may have turned it back on).
    void offBeforePress(_XDisplay *display, bool again);
    // Nothing of ours is held: the user's setting comes back, at once or
    // (`soon`) after kRestoreDelay. True when a later restore was scheduled.
    bool nothingHeld(_XDisplay *display, bool soon);
    // When the scheduled restore is due; the epoch: none.
    Clock::time_point restoreDue() const { return restoreDue_; }
    void clearDue() { restoreDue_ = {}; }
    // Sets the user's setting back through another connection (ours is gone).
    void restoreThrough(_XDisplay *display);

private:
    bool findXtestKeyboard(_XDisplay *display);
    void readUsersRepeat(_XDisplay *display);
    bool usersRepeat() const;
    void write(_XDisplay *display, bool ours) const;

    int xtestKeyboard_ = -1; // -1: not looked up yet, -2: none
    bool off_ = false;       // we turned it off and owe the restore
    // The user's keyboards (not the XTEST one) and their RepeatKeys.
    std::vector<std::pair<int, bool>> usersKeyboards_;
    Clock::time_point restoreDue_{}; // none while nothing is due
};

} // namespace platform::x11
