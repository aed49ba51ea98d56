#include "recordinginput.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

std::string InputEvent::text() const {
    std::string s = kind + " " + std::to_string(a);
    if (kind == "setCursorPos")
        s += " " + std::to_string(b);
    return s;
}

RecordingInput::RecordingInput() {
    previous_ = platform::setInput(this);
}

RecordingInput::~RecordingInput() {
    platform::setInput(previous_);
}

void RecordingInput::log(const char *kind, int a, int b) {
    // Caller holds the mutex.
    events_.push_back({kind, a, b, std::chrono::steady_clock::now()});
}

void RecordingInput::keyDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("keyDown", vk);
    down_.insert(vk);
}

void RecordingInput::keyUp(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("keyUp", vk);
    down_.erase(vk);
}

void RecordingInput::unicodeDown(char16_t unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("unicodeDown", unit);
}

void RecordingInput::unicodeUp(char16_t unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("unicodeUp", unit);
}

void RecordingInput::mouseDown(platform::MouseButton button) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool left = button == platform::MouseButton::Left;
    log("mouseDown", left ? 0 : 1);
    down_.insert(left ? platform::kVkLButton : platform::kVkRButton);
}

void RecordingInput::mouseUp(platform::MouseButton button) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool left = button == platform::MouseButton::Left;
    log("mouseUp", left ? 0 : 1);
    down_.erase(left ? platform::kVkLButton : platform::kVkRButton);
}

platform::Point RecordingInput::cursorPos() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cursor_;
}

void RecordingInput::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("setCursorPos", x, y);
    cursor_ = {x, y};
}

bool RecordingInput::isDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (down_.count(vk))
        return true;
    // Generic modifiers are down when either side is, as on Windows.
    switch (vk) {
    case 0x10:
        return down_.count(0xA0) || down_.count(0xA1);
    case 0x11:
        return down_.count(0xA2) || down_.count(0xA3);
    case 0x12:
        return down_.count(0xA4) || down_.count(0xA5);
    default:
        return false;
    }
}

platform::HookHandle RecordingInput::installKeyboardHook(platform::KeyboardHookProc proc) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failNextInstall_) {
        failNextInstall_ = false;
        lastError_ = failError_;
        return nullptr;
    }
    const int serial = nextSerial_++;
    hooks_.push_back({proc, serial});
    return reinterpret_cast<platform::HookHandle>(static_cast<std::intptr_t>(serial));
}

std::intptr_t RecordingInput::callNextHook(platform::HookHandle hook, int code,
                                           std::uintptr_t message, std::intptr_t event) {
    // Find the hook after `hook` in the chain (newest first) and call it.
    platform::KeyboardHookProc next = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int serial = static_cast<int>(reinterpret_cast<std::intptr_t>(hook));
        bool seen = false;
        for (auto it = hooks_.rbegin(); it != hooks_.rend(); ++it) {
            if (seen) {
                next = it->proc;
                break;
            }
            seen = it->serial == serial;
        }
    }
    return next ? next(code, message, event) : 0;
}

void RecordingInput::uninstallKeyboardHook(platform::HookHandle hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int serial = static_cast<int>(reinterpret_cast<std::intptr_t>(hook));
    hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(),
                                [serial](const Hook &h) { return h.serial == serial; }),
                 hooks_.end());
    if (hooks_.empty())
        grab_ = false;
}

void RecordingInput::setCaptureGrab(platform::HookHandle, bool active) {
    std::lock_guard<std::mutex> lock(mutex_);
    grab_ = active;
}

unsigned long RecordingInput::lastError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

bool RecordingInput::registerHotKey(int, unsigned, unsigned) {
    std::lock_guard<std::mutex> lock(mutex_);
    hotKeyRegistered_ = hotKeyAvailable_;
    return hotKeyAvailable_;
}

void RecordingInput::unregisterHotKey(int) {
    std::lock_guard<std::mutex> lock(mutex_);
    hotKeyRegistered_ = false;
}

bool RecordingInput::isHotKeyEvent(const char *eventType, void *message, int *id) {
    if (!eventType || std::strcmp(eventType, kHotKeyEventType) != 0 || !message)
        return false;
    if (id)
        *id = *static_cast<int *>(message);
    return true;
}

void RecordingInput::releaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    log("releaseAll", 0);
}

void RecordingInput::setDown(int vk, bool down) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (down)
        down_.insert(vk);
    else
        down_.erase(vk);
}

bool RecordingInput::sendHookEvent(int vk, bool down, bool sys) {
    platform::KeyboardHookProc first = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (down)
            down_.insert(vk);
        else
            down_.erase(vk);
        if (!hooks_.empty())
            first = hooks_.back().proc;
    }
    if (!first)
        return false;
    platform::KeyboardHookEvent event;
    event.vkCode = static_cast<std::uint32_t>(vk);
    const std::uintptr_t message = down ? (sys ? platform::kWmSysKeyDown : platform::kWmKeyDown)
                                        : (sys ? platform::kWmSysKeyUp : platform::kWmKeyUp);
    return first(platform::kHcAction, message, reinterpret_cast<std::intptr_t>(&event)) != 0;
}

bool RecordingInput::hookInstalled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !hooks_.empty();
}

int RecordingInput::hookCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(hooks_.size());
}

bool RecordingInput::captureGrabActive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return grab_;
}

void RecordingInput::failNextHookInstall(unsigned long error) {
    std::lock_guard<std::mutex> lock(mutex_);
    failNextInstall_ = true;
    failError_ = error;
}

void RecordingInput::setHotKeyAvailable(bool available) {
    std::lock_guard<std::mutex> lock(mutex_);
    hotKeyAvailable_ = available;
}

bool RecordingInput::hotKeyRegistered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hotKeyRegistered_;
}

std::vector<InputEvent> RecordingInput::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingInput::eventTexts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    out.reserve(events_.size());
    for (const auto &e : events_)
        out.push_back(e.text());
    return out;
}

void RecordingInput::clearEvents() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

} // namespace testsupport
