#pragma once

// What the steps of a run use of it: the input layer, with note of what is
// held down; the stop flag; the clocks; and the threads of timed actions.
// One per Run. The run thread, the action workers and the stop watcher share
// it; they share only atomics (the key watch, where there is one, and the
// typing order have locks of their own). Workers are started and
// joined by one thread at a time: the run thread while it runs, else the
// run's owner.

#include "core/runpace.h"
#include "core/windowmatch.h"
#include "typingorder.h"

#include <QString>
#include <QTime>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace platform {
class InputLayer;
class ScreenReader;
class WindowAccess;
} // namespace platform
class KeyWatch;

// Why a page stopped the run: it could not find or bring up its window, or
// could not see what it looks for, and going on would send input to whatever
// else has the focus or to the wrong place.
struct RunFailure {
    enum class Reason {
        None,
        NoWindowAccess,   // the backend cannot list windows
        BadPattern,       // the regular expression does not compile
        NotFound,         // no window matches (or it went away)
        NotActive,        // it did not become active in time
        NoScreen,         // the backend cannot read the screen
        ImageNotFound,    // an Image Jump did not find its image in time
        NoPlaceFound,     // an Image Jump without an image: nothing found yet this pass
        NoGeometry,       // a position in the window, and the backend cannot tell where it is
        PatternTooCostly, // the regular expression hit the engine's limits on a title
        OffScreen,        // a Colour condition's pixel is on no screen
    };
    Reason reason = Reason::None;
    int page = 0; // counted from 1
    windowmatch::Choice window;
    int x = 0; // the pixel, for OffScreen
    int y = 0;

    bool failed() const { return reason != Reason::None; }
};

class RunContext {
public:
    using Clock = std::chrono::steady_clock;

    RunContext();
    // Joins the workers and releases what they still hold.
    ~RunContext();
    RunContext(const RunContext &) = delete;
    RunContext &operator=(const RunContext &) = delete;

    // ---- stop ----
    // From any thread; also wakes a Key condition waiting on the key watch.
    void requestStop();
    // True once a stop was requested (or the process is being terminated).
    bool stopping() const;

    // Stops the run for a reason the user is told (the first one counts),
    // naming the page being played.
    void fail(RunFailure::Reason reason, const windowmatch::Choice &window, int x = 0, int y = 0);
    RunFailure failure() const;
    // The page being played, counted from 1; set by the run thread.
    void setPage(int page) { page_.store(page); }

    // ---- pause ----
    // Any thread. A pause lets go at once of the keys and buttons the steps
    // hold and stops the run's clock; a resume presses them again and the
    // clock goes on, so every wait keeps what it had left. True when the
    // state changed.
    bool requestPause();
    bool requestResume();
    bool paused() const { return paused_.load(); }
    // The modifiers (stored mask) the steps hold down now; 0 while paused.
    // Shared, so a key watch that outlives the run can still read it.
    std::shared_ptr<const std::atomic<int>> ownModifiers() const { return ownModifiers_; }
    // Blocks while paused; false once a stop was requested.
    bool holdWhilePaused();

    // ---- pace ----
    // Set before the run starts. Draws are made on the run thread as each
    // page starts, in page order, so a seed repeats a run's variation.
    void setPace(const runpace::Pace &pace, std::uint64_t seed);
    const runpace::Pace &pace() const { return pace_; }
    // A duration written in the project, at the run's speed and variation.
    double playSeconds(double written);
    // A written position, varied within `area` (the screen, or the target
    // window's client area); unchanged without pixel variation.
    struct Area {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    void varyPoint(int &x, int &y, const Area &area);
    // The screen's extent, where positions are kept when varied; set on the
    // GUI thread before the run starts. An empty one keeps positions as they
    // are written.
    void setScreenArea(const Area &area) { screenArea_ = area; }
    const Area &screenArea() const { return screenArea_; }

    // ---- clocks ----
    // The run's own clock: it stands still while the run is paused.
    Clock::time_point now() const;
    // The wall clock the clock-time condition reads.
    QTime timeOfDay() const;

    // ---- waits, all ended early by a stop ----
    // Asks `met` every `interval` until it holds (true) or a stop or the
    // time limit (false). Every polling wait of a run goes through here.
    bool waitUntil(const std::function<bool()> &met, std::chrono::milliseconds interval);
    // A time limit on the run's clock for the waits of one condition (run
    // thread only): waitUntil gives up at it, and so do the waits that ask
    // givingUp().
    void setTimeLimit(Clock::time_point limit);
    void clearTimeLimit() { limited_ = false; }
    // Only for the thread that set it: an action's worker waits on.
    bool timeUp() const { return limitedHere() && now() >= limit_; }
    bool givingUp() const { return stopping() || timeUp(); }

    // While on (for the thread that turned it on), a failure is kept for the
    // caller instead of stopping the run: a step that branches where another
    // would stop.
    void catchFailures(bool on);
    RunFailure caught() const { return caught_; }

    // ---- where the run goes after the page (run thread only) ----
    struct Flow {
        QString branch;             // a page's name: go there
        bool skipCondition = false; // at once, without the page's condition
        QString goTo;               // a Go to page's target
        int times = -1;             // how often it jumps, -1: every time
    };
    void branchTo(const QString &page, bool skipCondition = false);
    void goTo(const QString &page, int times);
    Flow takeFlow();
    bool skipsCondition() const { return flow_.skipCondition; }
    // A Call project page plays the project through what the player set.
    void setCaller(std::function<void(const QString &written)> caller) {
        caller_ = std::move(caller);
    }
    void callProject(const QString &written);
    // Waits `seconds` of the run's clock (nothing when not above 0).
    void waitSeconds(double seconds);
    // Sleeps until `deadline` (the run's clock) in steps of at most `step`,
    // held while paused; false when stopped.
    bool sleepUntil(Clock::time_point deadline, std::chrono::nanoseconds step);

    // ---- input and windows ----
    platform::InputLayer &input() const;
    // Null where the backend cannot see windows.
    platform::WindowAccess *windows() const;
    // Null where the backend cannot read the screen.
    platform::ScreenReader *screen() const;
    // The display's scale when the run was prepared (set on the GUI thread
    // before the run starts, read by the run thread after).
    void setDisplayScale(double scale) { displayScale_ = scale; }
    double displayScale() const { return displayScale_; }

    // ---- the place an Image page found, for the pages after it in the pass ----
    // Run thread only.
    void rememberPlace(int x, int y);
    bool rememberedPlace(int &x, int &y) const;
    void forgetPlace() { placeKnown_ = false; }

    // Whether the window access tells where windows are (not on Wayland).
    bool windowGeometry() const;
    bool isDown(int vk) const;
    // Held modifiers as a stored mask (Alt 1, Ctrl 2, Shift 4, Win 8).
    int heldModifiers() const;
    // Presses and releases that are noted, so whatever ends the run can
    // release what is still down.
    void keyDown(int vk);
    void keyUp(int vk);
    void buttonDown(bool left);
    void buttonUp(bool left);
    void releaseHeld();

    // ---- key events ----
    // Set by the run before it starts, where the backend pushes key events;
    // null when the steps must ask the input layer.
    void setKeyWatch(std::shared_ptr<KeyWatch> watch) { keyWatch_ = std::move(watch); }
    KeyWatch *keyWatch() const { return keyWatch_.get(); }

    // ---- the order of typed characters across overlapping pages ----
    TypingOrder &typingOrder() { return typingOrder_; }

    // ---- action workers ----
    // Runs `body` on a thread of its own. Beyond a cap of live workers it
    // waits for one to end (returning true without starting `body` when a
    // stop comes first). False when no thread could be started.
    bool startWorker(std::function<void()> body);
    // Run thread: waits until a worker may start at once (false: a stop came
    // first).
    bool waitForWorkerRoom();
    void joinFinishedWorkers();
    void joinAllWorkers();
    std::size_t liveWorkers() const { return workers_.size(); }

private:
    // Presses again what a pause let go; pauseMutex_ held.
    void pressHeldLocked();
    void releaseHeldLocked();
    void noteOwnModifiersLocked();

    std::atomic<bool> stopRequested_{false};
    // Taken by every press and release of the steps as well as by pause and
    // resume, so nothing is pressed between a pause's release and its end.
    mutable std::mutex pauseMutex_;
    std::condition_variable resumed_;
    runpace::PauseClock pauseClock_;
    std::atomic<bool> paused_{false};
    std::shared_ptr<std::atomic<int>> ownModifiers_ = std::make_shared<std::atomic<int>>(0);
    runpace::Pace pace_;
    std::mt19937_64 random_;
    Area screenArea_;
    std::atomic<int> page_{0};
    mutable std::mutex failureMutex_;
    RunFailure failure_;
    std::shared_ptr<KeyWatch> keyWatch_;
    double displayScale_ = 1.0;
    bool placeKnown_ = false;
    bool limitedHere() const { return limited_ && std::this_thread::get_id() == limitThread_; }
    bool catchingHere() const { return catching_ && std::this_thread::get_id() == catchThread_; }
    std::atomic<bool> catching_{false};
    std::thread::id catchThread_;
    RunFailure caught_;
    std::atomic<bool> limited_{false};
    std::thread::id limitThread_;
    Clock::time_point limit_;
    Flow flow_;
    std::function<void(const QString &)> caller_;
    int placeX_ = 0;
    int placeY_ = 0;
    TypingOrder typingOrder_;
    std::vector<std::thread> workers_;
    // One "done" flag per worker (same order), set as its last step, so
    // finished workers can be joined at once.
    std::vector<std::unique_ptr<std::atomic<bool>>> workerDone_;
    // Keys (by virtual-key code) and mouse buttons (left, right) the workers
    // hold down now.
    std::atomic<int> heldKeys_[256];
    std::atomic<int> heldButtons_[2];
};
