#pragma once

// The run's ears for the keyboard where the backend pushes key events: the
// stop command and the Key condition hear each key as it goes down or up
// instead of asking the input layer again and again whether it is down. Where
// the backend pushes button events too, the Click condition hears each press,
// however short.
//
// The watch is a key listener, so it is added, called and removed on the GUI
// thread; the run thread only waits on it. It lives in a shared_ptr held by
// the run and, until the GUI thread has removed it, by that removal: a key
// event that arrives after the run is gone finds the watch alive and calls
// nothing of the run's (detach() cuts the stop callback first).

#include "platform/keyevents.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class KeyWatch final : public platform::KeyListener,
                       public platform::ButtonListener,
                       public std::enable_shared_from_this<KeyWatch> {
public:
    // GUI thread. Listens with the process-wide backend; null where it pushes
    // no key events or refused the listener (the run then polls). `stopVk` 0:
    // no stop command. `onStop` runs once, on the GUI thread, on the first
    // key event after which the stop key and exactly `stopModifiers` (a
    // stored mask) are held.
    // Modifiers already held now are read from the input layer where there is
    // one. `onPause`, where `pauseVk` is not 0, runs on the GUI thread each
    // time the pause key goes down with exactly `pauseModifiers` held (once
    // per press: the keys must let go of the chord before it counts again).
    // `buttons`: listens to the buttons too, where the backend lets it
    // (hearsButtons()).
    static std::shared_ptr<KeyWatch>
    attach(int stopVk, int stopModifiers, std::function<void()> onStop, int pauseVk = 0,
           int pauseModifiers = 0, std::function<void()> onPause = {}, bool buttons = false);
    ~KeyWatch() override;
    KeyWatch(const KeyWatch &) = delete;
    KeyWatch &operator=(const KeyWatch &) = delete;

    // Any thread, more than once. When it returns, `onStop` is not running
    // and never runs again; the listener is taken off the backend on the GUI
    // thread (at once when called there, else queued).
    void detach();

    bool onKey(const platform::KeyEvent &event) override;
    void onButton(const platform::ButtonEvent &event) override;
    // Button events come: waitForButton can be used.
    bool hearsButtons() const { return hearsButtons_; }

    // Run thread: the Key condition. Waits for `vk` to be held with exactly
    // `wanted` modifiers, then to come up; a key held when the wait
    // begins (`heldNow`, or seen down) must come up and go down again first.
    // True when met; false as soon as `stopping` holds (asked at least every
    // few milliseconds, and at once after wake()).
    bool waitForPressAndRelease(int vk, int wanted, bool heldNow,
                                const std::function<bool()> &stopping);
    // Run thread: the Click condition. True as soon as the button (1 left, 2
    // right) goes down after the wait begins, or at once when it is held
    // then (seen down, or `heldNow`, asked after the wait has begun, so a
    // press in between is not lost); false as soon as `stopping` holds.
    bool waitForButton(int vk, const std::function<bool()> &heldNow,
                       const std::function<bool()> &stopping);
    // Any thread: a waiting Key condition looks at `stopping` again now.
    void wake();
    // The modifiers (stored mask) the run itself holds down now: the pause
    // keys match whether or not those are down too, so a run holding Ctrl
    // can still be paused.
    void setOwnModifiers(std::shared_ptr<const std::atomic<int>> own);

private:
    enum class Phase { Idle, Released, Up, Pressed, Met };

    KeyWatch(int stopVk, int stopModifiers, std::function<void()> onStop, int pauseVk,
             int pauseModifiers, std::function<void()> onPause);
    int heldModifiersLocked() const;
    bool heldLocked(int vk) const;

    const int stopVk_;
    const int stopModifiers_;
    const int pauseVk_;
    const int pauseModifiers_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool down_[256] = {};
    bool stopHeard_ = false;
    bool pauseHeld_ = false; // the pause chord is held now
    std::shared_ptr<const std::atomic<int>> ownModifiers_;
    int armedVk_ = 0;
    int armedWanted_ = 0;
    Phase phase_ = Phase::Idle;
    bool hearsButtons_ = false;
    bool buttonDown_[2] = {};
    // Presses heard so far, per button: a wait is met when its count moves.
    unsigned long long buttonPresses_[2] = {};

    // Apart from mutex_, so onStop may wake a waiting condition.
    std::mutex stopMutex_;
    std::function<void()> onStop_;
    std::function<void()> onPause_;
    bool detached_ = false;
};
