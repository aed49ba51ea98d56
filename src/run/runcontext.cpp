#include "runcontext.h"

#include "core/keycombination.h"
#include "core/runkeys.h"
#include "core/timedwait.h"
#include "keywatch.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "terminationguard.h"
#include "threadstart.h"

#include <algorithm>

namespace {

// Far more actions than any project runs at once.
constexpr std::size_t kMaxLiveWorkers = 32;

bool trackable(int vk) {
    return vk >= 0 && vk < 256;
}

platform::MouseButton button(bool left) {
    return left ? platform::MouseButton::Left : platform::MouseButton::Right;
}

} // namespace

RunContext::RunContext() {
    for (std::atomic<int> &count : heldKeys_)
        count.store(0);
    for (std::atomic<int> &count : heldButtons_)
        count.store(0);
}

RunContext::~RunContext() {
    stopRequested_.store(true);
    joinAllWorkers();
    // Workers release what they press before they end; this covers any path
    // that left something down all the same.
    releaseHeld();
}

void RunContext::requestStop() {
    stopRequested_.store(true);
    // Taken once, so a step between its look at the flag and its wait
    // cannot miss the notification.
    { std::lock_guard<std::mutex> lock(pauseMutex_); }
    resumed_.notify_all();
    if (keyWatch_)
        keyWatch_->wake();
}

bool RunContext::requestPause() {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    if (stopping() || !pauseClock_.pause(Clock::now()))
        return false;
    paused_.store(true);
    releaseHeldLocked();
    noteOwnModifiersLocked();
    return true;
}

bool RunContext::requestResume() {
    {
        std::lock_guard<std::mutex> lock(pauseMutex_);
        if (!pauseClock_.resume(Clock::now()))
            return false;
        paused_.store(false);
        if (!stopping())
            pressHeldLocked();
        noteOwnModifiersLocked();
    }
    resumed_.notify_all();
    return true;
}

bool RunContext::holdWhilePaused() {
    if (paused_.load()) {
        std::unique_lock<std::mutex> lock(pauseMutex_);
        // A termination signal sets its flag without notifying: looked at
        // every few milliseconds.
        while (paused_.load() && !stopping())
            resumed_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return !stopping();
}

RunContext::Clock::time_point RunContext::now() const {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    return pauseClock_.runTime(Clock::now());
}

void RunContext::setPace(const runpace::Pace &pace, std::uint64_t seed) {
    pace_ = pace;
    random_.seed(seed);
}

double RunContext::playSeconds(double written) {
    double unit = 0.0;
    if (pace_.variationPercent > 0)
        unit = std::uniform_real_distribution<double>(-1.0, 1.0)(random_);
    return runpace::seconds(written, pace_, unit);
}

void RunContext::varyPoint(int &x, int &y, const Area &area) {
    if (pace_.variationPixels <= 0 || area.width <= 0 || area.height <= 0)
        return;
    std::uniform_real_distribution<double> draw(-1.0, 1.0);
    const double ux = draw(random_);
    const double uy = draw(random_);
    x = runpace::coordinate(x, pace_.variationPixels, ux, area.x, area.x + area.width - 1);
    y = runpace::coordinate(y, pace_.variationPixels, uy, area.y, area.y + area.height - 1);
}

bool RunContext::stopping() const {
    return stopRequested_.load() || terminationRequested();
}

void RunContext::fail(RunFailure::Reason reason, const windowmatch::Choice &window, int x, int y) {
    // A run already being stopped was not stopped by this page.
    if (stopping())
        return;
    if (catchingHere()) {
        caught_ = {reason, page_.load(), window, x, y};
        return;
    }
    {
        std::lock_guard<std::mutex> lock(failureMutex_);
        if (!failure_.failed()) {
            failure_.reason = reason;
            failure_.page = page_.load();
            failure_.window = window;
            failure_.x = x;
            failure_.y = y;
        }
    }
    requestStop();
}

RunFailure RunContext::failure() const {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return failure_;
}

QTime RunContext::timeOfDay() const {
    return QTime::currentTime();
}

bool RunContext::waitUntil(const std::function<bool()> &met, std::chrono::milliseconds interval) {
    for (;;) {
        // Nothing the page waits for counts while the run is paused; a stop
        // ends the hold, and `met` is still asked once as before.
        holdWhilePaused();
        if (met())
            return true;
        if (stopping())
            return false;
        if (limitedHere()) {
            const Clock::time_point at = now();
            if (at >= limit_)
                return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(interval, limit_ - at));
            continue;
        }
        std::this_thread::sleep_for(interval);
    }
}

void RunContext::catchFailures(bool on) {
    caught_ = RunFailure();
    catchThread_ = std::this_thread::get_id();
    catching_ = on;
}

void RunContext::setTimeLimit(Clock::time_point limit) {
    limit_ = limit;
    limitThread_ = std::this_thread::get_id();
    limited_ = true;
}

void RunContext::branchTo(const QString &page, bool skipCondition) {
    flow_.branch = page;
    flow_.skipCondition = skipCondition;
}

void RunContext::goTo(const QString &page, int times) {
    flow_.goTo = page;
    flow_.times = times;
}

RunContext::Flow RunContext::takeFlow() {
    Flow flow = std::move(flow_);
    flow_ = Flow();
    return flow;
}

void RunContext::callProject(const QString &written) {
    if (caller_)
        caller_(written);
}

void RunContext::waitSeconds(double seconds) {
    if (!(seconds > 0.0)) // not above 0, or NaN
        return;
    sleepUntil(timedwait::deadlineAfter(now(), seconds), std::chrono::milliseconds(5));
}

bool RunContext::sleepUntil(Clock::time_point deadline, std::chrono::nanoseconds step) {
    for (;;) {
        if (!holdWhilePaused())
            return false;
        const Clock::time_point at = now();
        if (at >= deadline)
            return true;
        // Never past the deadline; the run's clock runs with the steady one
        // between pauses.
        std::this_thread::sleep_for(std::min<Clock::duration>(deadline - at, step));
    }
}

// ---- input ----------------------------------------------------------------------

platform::InputLayer &RunContext::input() const {
    return platform::input();
}

platform::WindowAccess *RunContext::windows() const {
    return platform::backend().windowAccess();
}

platform::ScreenReader *RunContext::screen() const {
    return platform::backend().screenReader();
}

void RunContext::rememberPlace(int x, int y) {
    placeX_ = x;
    placeY_ = y;
    placeKnown_ = true;
}

bool RunContext::rememberedPlace(int &x, int &y) const {
    if (!placeKnown_)
        return false;
    x = placeX_;
    y = placeY_;
    return true;
}

bool RunContext::windowGeometry() const {
    return platform::backend().capabilities().windowGeometry;
}

bool RunContext::isDown(int vk) const {
    return platform::input().isDown(vk);
}

int RunContext::heldModifiers() const {
    int mask = 0;
    if (isDown(vk::Control) || isDown(vk::LControl) || isDown(vk::RControl))
        mask |= storedmask::Ctrl;
    if (isDown(vk::Menu) || isDown(vk::LMenu) || isDown(vk::RMenu))
        mask |= storedmask::Alt;
    if (isDown(vk::Shift) || isDown(vk::LShift) || isDown(vk::RShift))
        mask |= storedmask::Shift;
    if (isDown(vk::LWin) || isDown(vk::RWin))
        mask |= storedmask::Win;
    return mask;
}

// A press waits for a resume, and a press after a stop is not made: its
// release then finds nothing of ours down and sends nothing either.
void RunContext::keyDown(int vk) {
    std::unique_lock<std::mutex> lock(pauseMutex_);
    while (paused_.load() && !stopping())
        resumed_.wait_for(lock, std::chrono::milliseconds(10));
    if (stopping())
        return;
    if (trackable(vk))
        heldKeys_[vk].fetch_add(1);
    noteOwnModifiersLocked();
    platform::input().keyDown(vk);
}

void RunContext::keyUp(int vk) {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    if (trackable(vk)) {
        if (heldKeys_[vk].load() <= 0)
            return;
        heldKeys_[vk].fetch_sub(1);
    }
    // A pause has let it go already.
    if (!paused_.load())
        platform::input().keyUp(vk);
    noteOwnModifiersLocked();
}

void RunContext::buttonDown(bool left) {
    std::unique_lock<std::mutex> lock(pauseMutex_);
    while (paused_.load() && !stopping())
        resumed_.wait_for(lock, std::chrono::milliseconds(10));
    if (stopping())
        return;
    heldButtons_[left ? 0 : 1].fetch_add(1);
    platform::input().mouseDown(button(left));
}

void RunContext::buttonUp(bool left) {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    std::atomic<int> &count = heldButtons_[left ? 0 : 1];
    if (count.load() <= 0)
        return;
    count.fetch_sub(1);
    if (!paused_.load())
        platform::input().mouseUp(button(left));
}

void RunContext::releaseHeldLocked() {
    for (int vk = 0; vk < 256; ++vk) {
        if (heldKeys_[vk].load() > 0)
            platform::input().keyUp(vk);
    }
    if (heldButtons_[0].load() > 0)
        platform::input().mouseUp(platform::MouseButton::Left);
    if (heldButtons_[1].load() > 0)
        platform::input().mouseUp(platform::MouseButton::Right);
}

void RunContext::noteOwnModifiersLocked() {
    int mask = 0;
    if (!paused_.load()) {
        for (int vk = 0; vk < 256; ++vk) {
            if (heldKeys_[vk].load() > 0)
                mask |= storedModifierBit(vk);
        }
    }
    ownModifiers_->store(mask);
}

void RunContext::pressHeldLocked() {
    // Modifiers first, so a held Ctrl+C comes back as Ctrl+C.
    for (const bool modifiers : {true, false}) {
        for (int vk = 0; vk < 256; ++vk) {
            if ((storedModifierBit(vk) != 0) == modifiers && heldKeys_[vk].load() > 0)
                platform::input().keyDown(vk);
        }
    }
    if (heldButtons_[0].load() > 0)
        platform::input().mouseDown(platform::MouseButton::Left);
    if (heldButtons_[1].load() > 0)
        platform::input().mouseDown(platform::MouseButton::Right);
}

void RunContext::releaseHeld() {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    // As often as it went down: a layer keeps a key two callers hold down
    // until both have let go.
    for (int vk = 0; vk < 256; ++vk) {
        for (int downs = heldKeys_[vk].exchange(0); downs > 0; --downs)
            platform::input().keyUp(vk);
    }
    if (heldButtons_[0].exchange(0) > 0)
        platform::input().mouseUp(platform::MouseButton::Left);
    if (heldButtons_[1].exchange(0) > 0)
        platform::input().mouseUp(platform::MouseButton::Right);
}

// ---- action workers -----------------------------------------------------------------

bool RunContext::waitForWorkerRoom() {
    // Endless runs start one worker per timed action and pass: join the ones
    // already over so only actions really in progress hold a thread.
    joinFinishedWorkers();
    // A project of quick actions repeated with no wait can start workers
    // faster than the input layer lets them finish; beyond this many at once
    // the dispatch waits for one of them to end.
    return waitUntil(
        [this] {
            if (workers_.size() < kMaxLiveWorkers)
                return true;
            joinFinishedWorkers();
            return workers_.size() < kMaxLiveWorkers;
        },
        std::chrono::milliseconds(1));
}

bool RunContext::startWorker(std::function<void()> body) {
    if (!waitForWorkerRoom())
        return true; // nothing more is dispatched after a stop

    auto done = std::make_unique<std::atomic<bool>>(false);
    std::atomic<bool> *doneFlag = done.get();
    std::thread thread;
    if (!startThread(thread, [body = std::move(body), doneFlag] {
            body();
            doneFlag->store(true);
        }))
        return false;
    workers_.push_back(std::move(thread));
    workerDone_.push_back(std::move(done));
    return true;
}

void RunContext::joinFinishedWorkers() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < workers_.size(); ++i) {
        if (workerDone_[i]->load()) {
            if (workers_[i].joinable())
                workers_[i].join();
            continue;
        }
        if (kept != i) {
            workers_[kept] = std::move(workers_[i]);
            workerDone_[kept] = std::move(workerDone_[i]);
        }
        ++kept;
    }
    workers_.resize(kept);
    workerDone_.resize(kept);
}

void RunContext::joinAllWorkers() {
    for (std::thread &thread : workers_) {
        if (thread.joinable())
            thread.join();
    }
    workers_.clear();
    workerDone_.clear();
}
