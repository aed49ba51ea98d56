#include "runcontext.h"

#include "core/keycombination.h"
#include "core/timedwait.h"
#include "keywatch.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "terminationguard.h"
#include "threadstart.h"

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
    if (keyWatch_)
        keyWatch_->wake();
}

bool RunContext::stopping() const {
    return stopRequested_.load() || terminationRequested();
}

void RunContext::fail(RunFailure::Reason reason, const windowmatch::Choice &window) {
    // A run already being stopped was not stopped by this page.
    if (stopping())
        return;
    {
        std::lock_guard<std::mutex> lock(failureMutex_);
        if (!failure_.failed()) {
            failure_.reason = reason;
            failure_.page = page_.load();
            failure_.window = window;
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
        if (met())
            return true;
        if (stopping())
            return false;
        std::this_thread::sleep_for(interval);
    }
}

void RunContext::waitSeconds(double seconds) {
    timedwait::waitSeconds(seconds, [this] { return stopping(); });
}

bool RunContext::sleepUntil(Clock::time_point deadline, std::chrono::nanoseconds step) {
    return timedwait::sleepUntil(deadline, step, [this] { return stopping(); });
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

void RunContext::keyDown(int vk) {
    if (trackable(vk))
        heldKeys_[vk].fetch_add(1);
    platform::input().keyDown(vk);
}

void RunContext::keyUp(int vk) {
    platform::input().keyUp(vk);
    if (trackable(vk))
        heldKeys_[vk].fetch_sub(1);
}

void RunContext::buttonDown(bool left) {
    heldButtons_[left ? 0 : 1].fetch_add(1);
    platform::input().mouseDown(button(left));
}

void RunContext::buttonUp(bool left) {
    platform::input().mouseUp(button(left));
    heldButtons_[left ? 0 : 1].fetch_sub(1);
}

void RunContext::releaseHeld() {
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
