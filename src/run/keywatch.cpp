#include "keywatch.h"

#include "core/runkeys.h"
#include "platform/backend.h"
#include "platform/virtualkeys.h"
#include "runlog.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>

namespace {

// How often a waiting Key condition looks at the stop flag when nothing wakes
// it: a termination signal sets the flag and cannot notify.
constexpr std::chrono::milliseconds kStopCheck(10);

// Every code that counts as a modifier, generic or of one side.
const int kModifierCodes[] = {vk::Shift,    vk::Control, vk::Menu,   vk::LWin,
                              vk::RWin,     vk::LShift,  vk::RShift, vk::LControl,
                              vk::RControl, vk::LMenu,   vk::RMenu};

int genericOf(int code) {
    switch (code) {
    case vk::LShift:
    case vk::RShift:
        return vk::Shift;
    case vk::LControl:
    case vk::RControl:
        return vk::Control;
    case vk::LMenu:
    case vk::RMenu:
        return vk::Menu;
    default:
        return code;
    }
}

// A generic modifier code and either side's code name the same key, as the
// input layer's "is down" reads them.
bool sameKey(int reported, int wanted) {
    return reported == wanted || genericOf(reported) == wanted || genericOf(wanted) == reported;
}

void removeFromBackend(KeyWatch *watch) {
    if (platform::KeyEvents *events = platform::backend().keyEvents()) {
        events->removeListener(watch);
        events->removeButtonListener(watch);
    }
}

int buttonIndex(int vk) {
    return vk == platform::kVkRButton ? 1 : 0;
}

} // namespace

KeyWatch::KeyWatch(int stopVk, int stopModifiers, std::function<void()> onStop, int pauseVk,
                   int pauseModifiers, std::function<void()> onPause)
    : stopVk_(stopVk), stopModifiers_(stopModifiers), pauseVk_(pauseVk),
      pauseModifiers_(pauseModifiers), onStop_(std::move(onStop)), onPause_(std::move(onPause)) {}

KeyWatch::~KeyWatch() = default;

std::shared_ptr<KeyWatch> KeyWatch::attach(int stopVk, int stopModifiers,
                                           std::function<void()> onStop, int pauseVk,
                                           int pauseModifiers, std::function<void()> onPause,
                                           bool buttons) {
    platform::KeyEvents *events = platform::backend().keyEvents();
    if (!events)
        return nullptr;
    std::shared_ptr<KeyWatch> watch(new KeyWatch(stopVk, stopModifiers, std::move(onStop), pauseVk,
                                                 pauseModifiers, std::move(onPause)));
    // A modifier held since before the run sends no event of its own. By
    // side only: "is down" for a generic code answers for either side, and
    // the generic code would then outlive the side's release.
    if (platform::InputLayer *input = platform::backend().synthesis()) {
        for (int code : kModifierCodes) {
            if (genericOf(code) != code || code == vk::LWin || code == vk::RWin)
                watch->down_[code] = input->isDown(code);
        }
        if (stopVk > 0 && stopVk < 256 && genericOf(stopVk) == stopVk)
            watch->down_[stopVk] = watch->down_[stopVk] || input->isDown(stopVk);
        // A pause chord held as the run starts does not pause it.
        watch->pauseHeld_ = pauseVk > 0 && pauseVk < 256 && input->isDown(pauseVk);
    }
    if (!events->addListener(watch.get())) {
        qCWarning(lcRun) << "[Run] no key events (error" << events->lastError()
                         << "); the stop command and the key condition ask for the keys instead";
        return nullptr;
    }
    if (buttons)
        watch->hearsButtons_ = events->addButtonListener(watch.get());
    return watch;
}

void KeyWatch::detach() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        detached_ = true;
        onStop_ = nullptr;
        onPause_ = nullptr;
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        removeFromBackend(this);
        return;
    }
    // The lambda keeps the watch alive until the listener is off the backend.
    std::shared_ptr<KeyWatch> self = shared_from_this();
    QMetaObject::invokeMethod(
        app, [self] { removeFromBackend(self.get()); }, Qt::QueuedConnection);
}

bool KeyWatch::onKey(const platform::KeyEvent &event) {
    if (event.vk <= 0 || event.vk >= 256)
        return false;
    bool stopHeard = false;
    bool pauseHeard = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        down_[event.vk] = event.down;
        if (!event.down && storedModifierBit(event.vk) != 0) {
            // A release under the other code (generic or one side) of the
            // same modifier must not leave it held for ever.
            for (int code : kModifierCodes) {
                if (code != event.vk && genericOf(code) == genericOf(event.vk) &&
                    (genericOf(code) == code || genericOf(event.vk) == event.vk))
                    down_[code] = false;
            }
        }
        // Matched on the state after every event, as polling would see it:
        // the key down with exactly the modifiers, in whichever order they
        // came (a modifier the run itself holds may come up last). After the
        // update, so a lone modifier as the key counts itself.
        const int held = heldModifiersLocked();
        if (stopVk_ != 0 && !stopHeard_ && heldLocked(stopVk_) && held == stopModifiers_) {
            stopHeard_ = true;
            stopHeard = true;
        }
        if (pauseVk_ != 0) {
            const int own = ownModifiers_ ? ownModifiers_->load() : 0;
            const bool pauseHeld = heldLocked(pauseVk_) && ((held ^ pauseModifiers_) & ~own) == 0;
            pauseHeard = pauseHeld && !pauseHeld_;
            pauseHeld_ = pauseHeld;
        }
        const bool armedKey = armedVk_ != 0 && sameKey(event.vk, armedVk_);
        switch (phase_) {
        case Phase::Released:
            if (armedKey && !heldLocked(armedVk_))
                phase_ = Phase::Up;
            break;
        case Phase::Up:
            if (heldLocked(armedVk_) && held == armedWanted_)
                phase_ = Phase::Pressed;
            break;
        case Phase::Pressed:
            if (armedKey && !heldLocked(armedVk_))
                phase_ = Phase::Met;
            break;
        default:
            break;
        }
    }
    changed_.notify_all();
    if (stopHeard || pauseHeard) {
        std::lock_guard<std::mutex> lock(stopMutex_);
        if (stopHeard && onStop_ && !detached_)
            onStop_();
        if (pauseHeard && onPause_ && !detached_)
            onPause_();
    }
    return false; // the keys still reach the windows
}

bool KeyWatch::waitForPressAndRelease(int vk, int wanted, bool heldNow,
                                      const std::function<bool()> &stopping) {
    std::unique_lock<std::mutex> lock(mutex_);
    armedVk_ = vk;
    armedWanted_ = wanted;
    phase_ = heldNow || heldLocked(vk) ? Phase::Released : Phase::Up;
    bool met = false;
    for (;;) {
        met = phase_ == Phase::Met;
        if (met || stopping())
            break;
        changed_.wait_for(lock, kStopCheck);
    }
    armedVk_ = 0;
    phase_ = Phase::Idle;
    return met;
}

void KeyWatch::setOwnModifiers(std::shared_ptr<const std::atomic<int>> own) {
    std::lock_guard<std::mutex> lock(mutex_);
    ownModifiers_ = std::move(own);
}

void KeyWatch::onButton(const platform::ButtonEvent &event) {
    if (event.vk != platform::kVkLButton && event.vk != platform::kVkRButton)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int i = buttonIndex(event.vk);
        if (event.down)
            ++buttonPresses_[i];
        buttonDown_[i] = event.down;
    }
    changed_.notify_all();
}

bool KeyWatch::waitForButton(int vk, const std::function<bool()> &heldNow,
                             const std::function<bool()> &stopping) {
    const int i = buttonIndex(vk);
    std::unique_lock<std::mutex> lock(mutex_);
    const unsigned long long before = buttonPresses_[i];
    if (buttonDown_[i])
        return true;
    lock.unlock();
    // Asked without the lock: the input layer may wait for its own.
    if (heldNow())
        return true;
    lock.lock();
    for (;;) {
        if (buttonPresses_[i] != before)
            return true;
        if (stopping())
            return false;
        changed_.wait_for(lock, kStopCheck);
    }
}

void KeyWatch::wake() {
    // Taken once, so a waiter between its look at the stop flag and its wait
    // cannot miss the notification.
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
}

int KeyWatch::heldModifiersLocked() const {
    int mask = 0;
    for (int code : kModifierCodes) {
        if (down_[code])
            mask |= storedModifierBit(code);
    }
    return mask;
}

bool KeyWatch::heldLocked(int vk) const {
    if (vk <= 0 || vk >= 256)
        return false;
    if (down_[vk])
        return true;
    for (int code : kModifierCodes) {
        if (code != vk && down_[code] && sameKey(code, vk))
            return true;
    }
    return false;
}
