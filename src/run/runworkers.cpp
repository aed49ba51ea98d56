// The action workers of a Run, the input primitives they share and the
// bookkeeping of their threads.

#include "run.h"

#include "core/keycombination.h"
#include "core/runkeys.h"
#include "core/timedwait.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "threadstart.h"

#include <chrono>

namespace {

// Far more actions than any project runs at once.
constexpr std::size_t kMaxLiveWorkers = 32;

bool trackable(int vk) {
    return vk >= 0 && vk < 256;
}

} // namespace

// ---- thread bookkeeping -------------------------------------------------------

bool Run::startWorker(std::function<void()> body) {
    // Endless runs start one worker per timed action and pass: join the ones
    // already over so only actions really in progress hold a thread.
    joinFinishedWorkers();
    // A project of quick actions repeated with no wait can start workers
    // faster than the input layer lets them finish; beyond this many at once
    // the dispatch waits for one of them to end.
    while (actionThreads.size() >= kMaxLiveWorkers) {
        if (stopping())
            return true; // nothing more is dispatched after a stop
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        joinFinishedWorkers();
    }

    auto done = std::make_unique<std::atomic<bool>>(false);
    std::atomic<bool> *doneFlag = done.get();
    std::thread thread;
    if (!startThread(thread, [body = std::move(body), doneFlag] {
            body();
            doneFlag->store(true);
        }))
        return false;
    actionThreads.push_back(std::move(thread));
    actionDone.push_back(std::move(done));
    return true;
}

void Run::joinFinishedWorkers() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < actionThreads.size(); ++i) {
        if (actionDone[i]->load()) {
            if (actionThreads[i].joinable())
                actionThreads[i].join();
            continue;
        }
        if (kept != i) {
            actionThreads[kept] = std::move(actionThreads[i]);
            actionDone[kept] = std::move(actionDone[i]);
        }
        ++kept;
    }
    actionThreads.resize(kept);
    actionDone.resize(kept);
}

void Run::joinAllWorkers() {
    for (std::thread &thread : actionThreads) {
        if (thread.joinable())
            thread.join();
    }
    actionThreads.clear();
    actionDone.clear();
}

void Run::releaseHeldInput() {
    for (int vk = 0; vk < 256; ++vk) {
        if (heldKeys[vk].exchange(0) > 0)
            platform::input().keyUp(vk);
    }
    if (heldButtons[0].exchange(0) > 0)
        platform::input().mouseUp(platform::MouseButton::Left);
    if (heldButtons[1].exchange(0) > 0)
        platform::input().mouseUp(platform::MouseButton::Right);
}

// ---- input primitives -----------------------------------------------------------

bool Run::isKeyDown(int vk) {
    return platform::input().isDown(vk);
}

void Run::sendKeyDown(int vk) {
    if (trackable(vk))
        heldKeys[vk].fetch_add(1);
    platform::input().keyDown(vk);
}

void Run::sendKeyUp(int vk) {
    platform::input().keyUp(vk);
    if (trackable(vk))
        heldKeys[vk].fetch_sub(1);
}

void Run::pressButton(bool left) {
    heldButtons[left ? 0 : 1].fetch_add(1);
    platform::input().mouseDown(left ? platform::MouseButton::Left : platform::MouseButton::Right);
}

void Run::releaseButton(bool left) {
    platform::input().mouseUp(left ? platform::MouseButton::Left : platform::MouseButton::Right);
    heldButtons[left ? 0 : 1].fetch_sub(1);
}

void Run::waitSeconds(double seconds) {
    timedwait::waitSeconds(seconds, [this] { return stopping(); });
}

// ---- workers --------------------------------------------------------------------

void Run::clickLeft(double hold) {
    pressButton(true);
    waitSeconds(hold);
    releaseButton(true); // also after a stop
}

void Run::clickRight(double hold) {
    pressButton(false);
    waitSeconds(hold);
    releaseButton(false);
}

void Run::smoothMove(int x, int y, double duration) {
    const platform::Point from = platform::input().cursorPos();
    if (!(duration > 0.0)) { // not above 0, or NaN
        platform::input().setCursorPos(x, y);
        return;
    }
    const auto t0 = timedwait::Clock::now();
    for (;;) {
        if (stopping())
            return; // the pointer stays where it is
        const double elapsed = std::chrono::duration<double>(timedwait::Clock::now() - t0).count();
        const double fraction = elapsed / duration;
        if (fraction >= 1.0) {
            if (!stopping())
                platform::input().setCursorPos(x, y);
            return;
        }
        // Each step goes where the elapsed time puts it, so a slow step never
        // delays the end.
        const MovePoint at = interpolateMove(from.x, from.y, x, y, fraction);
        platform::input().setCursorPos(at.x, at.y);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Run::pressKeys(const QString &spec) {
    const RunKeys keys = parseRunKeys(spec);
    if (keys.vk == 0)
        return;
    if (stopping())
        return;
    const int mask = keys.mask;
    if (mask & storedmask::Ctrl)
        sendKeyDown(vk::Control);
    if (mask & storedmask::Alt)
        sendKeyDown(vk::Menu);
    if (mask & storedmask::Shift)
        sendKeyDown(vk::Shift);
    if (mask & storedmask::Win)
        sendKeyDown(vk::LWin);
    sendKeyDown(keys.vk);

    // Held against a deadline in chunks of at most 10 ms; a stop ends the
    // hold early but never skips the releases.
    const auto deadline = timedwait::Clock::now() + std::chrono::milliseconds(keys.holdMs);
    timedwait::sleepUntil(deadline, std::chrono::milliseconds(10), [this] { return stopping(); });

    sendKeyUp(keys.vk);
    if (mask & storedmask::Win)
        sendKeyUp(vk::LWin);
    if (mask & storedmask::Shift)
        sendKeyUp(vk::Shift);
    if (mask & storedmask::Alt)
        sendKeyUp(vk::Menu);
    if (mask & storedmask::Ctrl)
        sendKeyUp(vk::Control);
}

void Run::typeText(const QString &text, double duration) {
    if (text.isEmpty() || !(duration > 0.0))
        return;
    const int n = text.size();
    const double interval = duration / n;
    platform::input().textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                                static_cast<std::size_t>(n));
    const auto t0 = timedwait::Clock::now();
    for (int i = 0; i < n; ++i) {
        if (stopping())
            return;
        const char16_t unit = text.at(i).unicode();
        platform::input().unicodeDown(unit);
        platform::input().unicodeUp(unit);
        // Counted from t0, so no drift builds up over a long text.
        const auto due = timedwait::deadlineAfter(t0, (i + 1) * interval);
        if (!timedwait::sleepUntil(due, std::chrono::milliseconds(1),
                                   [this] { return stopping(); }))
            return;
    }
}
