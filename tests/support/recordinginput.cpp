#include "recordinginput.h"

#include <algorithm>
#include <utility>

namespace testsupport {

std::string InputEvent::text() const {
    std::string s = kind + " " + std::to_string(a);
    if (kind == "setCursorPos")
        s += " " + std::to_string(b);
    return s;
}

RecordingInput::RecordingInput() {
    previous_ = platform::setBackend(this);
}

RecordingInput::~RecordingInput() {
    platform::setBackend(previous_);
}

platform::Capabilities RecordingInput::capabilities() const {
    platform::Capabilities c;
    c.name = name_;
    c.synthesis = true;
    c.keyEvents = keyEventsOffered_;
    c.swallowKeys = keyEventsOffered_;
    c.globalShortcuts = true;
    c.windowAccess = windowAccessOffered_;
    c.screenReading = screenOffered_;
    c.windowGeometry = windowAccessOffered_ && windowGeometryOffered_;
    c.runKeys = runKeys_.answer().way;
    return c;
}

void ScriptedRunKeys::setAnswer(const platform::RunKeyAnswer &answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = answer;
}

platform::RunKeyAnswer ScriptedRunKeys::answer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answer_;
}

std::map<int, platform::RunKeyRequest> ScriptedRunKeys::bound() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bound_;
}

platform::RunKeyAnswer ScriptedRunKeys::ask(const platform::RunKeyRequest &) {
    return answer();
}

platform::RunKeyAnswer ScriptedRunKeys::bind(int id, const platform::RunKeyRequest &request) {
    std::lock_guard<std::mutex> lock(mutex_);
    bound_.erase(id);
    if (answer_.way == platform::RunKeyWay::Bound)
        bound_[id] = request;
    return answer_;
}

void ScriptedRunKeys::unbind(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    bound_.erase(id);
}

void ScriptedScreen::show(const QImage &image, std::chrono::milliseconds after) {
    std::lock_guard<std::mutex> lock(mutex_);
    scenes_.emplace_back(std::chrono::steady_clock::now() + after,
                         image.convertToFormat(QImage::Format_RGB32));
}

int ScriptedScreen::reads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
}

std::vector<std::uint64_t> ScriptedScreen::windowReads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return windowReads_;
}

QImage ScriptedScreen::nowLocked() {
    const auto now = std::chrono::steady_clock::now();
    const QImage *latest = nullptr;
    auto latestAt = std::chrono::steady_clock::time_point::min();
    for (const auto &scene : scenes_) {
        if (scene.first <= now && scene.first >= latestAt) {
            latest = &scene.second;
            latestAt = scene.first;
        }
    }
    return latest ? *latest : QImage();
}

std::vector<platform::Rect> ScriptedScreen::readRects() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return readRects_;
}

void ScriptedScreen::tellChanges(Changes how) {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_ = how;
}

bool ScriptedScreen::changesSince(std::uint64_t &token, std::vector<platform::Rect> &changed) {
    std::lock_guard<std::mutex> lock(mutex_);
    changed.clear();
    const QImage screen = nowLocked();
    const bool known = changes_ != Changes::Unknown && token != 0 && token == token_;
    token = ++token_;
    const QImage before = std::exchange(told_, screen);
    // A new size is not known, as a reader's contract asks, even with
    // every change of the pixels lost.
    if (!known || before.size() != screen.size())
        return false;
    if (changes_ == Changes::Silent)
        return true;
    QRect differs;
    for (int y = 0; y < screen.height(); ++y) {
        const auto *was = reinterpret_cast<const QRgb *>(before.constScanLine(y));
        const auto *is = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        if (std::equal(is, is + screen.width(), was))
            continue;
        for (int x = 0; x < screen.width(); ++x)
            if (was[x] != is[x])
                differs |= QRect(x, y, 1, 1);
    }
    if (!differs.isEmpty())
        changed.push_back({differs.x(), differs.y(), differs.width(), differs.height()});
    return true;
}

bool ScriptedScreen::pixel(int x, int y, platform::Rgb &colour) {
    platform::ScreenImage image;
    if (!region({x, y, 1, 1}, image))
        return false;
    colour = {image.bytes[2], image.bytes[1], image.bytes[0]};
    return true;
}

bool ScriptedScreen::region(const platform::Rect &rect, platform::ScreenImage &image) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reads_;
    readRects_.push_back(rect);
    const QImage screen = nowLocked();
    if (screen.isNull() || rect.width <= 0 || rect.height <= 0 || rect.x < 0 || rect.y < 0 ||
        rect.x > screen.width() - rect.width || rect.y > screen.height() - rect.height)
        return false;
    image.width = rect.width;
    image.height = rect.height;
    image.stride = rect.width * 4;
    image.bytes.resize(std::size_t(image.stride) * rect.height);
    for (int y = 0; y < rect.height; ++y)
        std::copy_n(screen.constScanLine(rect.y + y) + rect.x * 4, image.stride,
                    image.bytes.data() + std::size_t(image.stride) * y);
    return true;
}

bool ScriptedScreen::bounds(platform::Rect &rect) {
    std::lock_guard<std::mutex> lock(mutex_);
    const QImage screen = nowLocked();
    rect = {0, 0, screen.width(), screen.height()};
    return !screen.isNull();
}

bool ScriptedScreen::windowRegion(std::uint64_t window, const platform::Rect &rect,
                                  platform::ScreenImage &image) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        windowReads_.push_back(window);
    }
    return region(rect, image);
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

bool RecordingInput::addListener(platform::KeyListener *listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failNextInstall_) {
        failNextInstall_ = false;
        lastError_ = failError_;
        return false;
    }
    for (const Listener &l : listeners_)
        if (l.listener == listener)
            return true;
    listeners_.push_back({listener, false});
    return true;
}

void RecordingInput::removeListener(platform::KeyListener *listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(
        std::remove_if(listeners_.begin(), listeners_.end(),
                       [listener](const Listener &l) { return l.listener == listener; }),
        listeners_.end());
}

bool RecordingInput::addButtonListener(platform::ButtonListener *listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!buttonEventsOffered_)
        return false;
    if (std::find(buttonListeners_.begin(), buttonListeners_.end(), listener) ==
        buttonListeners_.end())
        buttonListeners_.push_back(listener);
    return true;
}

void RecordingInput::removeButtonListener(platform::ButtonListener *listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    buttonListeners_.erase(std::remove(buttonListeners_.begin(), buttonListeners_.end(), listener),
                           buttonListeners_.end());
}

void RecordingInput::sendButtonEvent(int vk, bool down) {
    std::vector<platform::ButtonListener *> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listeners = buttonListeners_;
    }
    platform::ButtonEvent event;
    event.vk = vk;
    event.down = down;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        (*it)->onButton(event);
}

int RecordingInput::buttonListenerCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(buttonListeners_.size());
}

void RecordingInput::setSwallowing(platform::KeyListener *listener, bool active) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Listener &l : listeners_)
        if (l.listener == listener)
            l.swallow = active;
}

unsigned long RecordingInput::lastError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

bool RecordingInput::add(platform::Shortcut id, platform::Chord chord,
                         std::function<void()> callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    shortcuts_.erase(id);
    if (!hotKeyAvailable_)
        return false;
    shortcuts_[id] = {chord, std::move(callback)};
    return true;
}

void RecordingInput::remove(platform::Shortcut id) {
    std::lock_guard<std::mutex> lock(mutex_);
    shortcuts_.erase(id);
}

void RecordingInput::releaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    log("releaseAll", 0);
}

void RecordingInput::settleActivation() {
    if (pendingActive_ != 0 && std::chrono::steady_clock::now() >= pendingAt_) {
        active_ = pendingActive_;
        pendingActive_ = 0;
    }
}

std::vector<platform::WindowInfo> RecordingInput::windows() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<platform::WindowInfo> out;
    for (const FakeWindow &w : windows_)
        out.push_back(w.info);
    return out;
}

bool RecordingInput::info(std::uint64_t id, platform::WindowInfo &out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const FakeWindow &w : windows_) {
        if (w.info.id == id) {
            out = w.info;
            return true;
        }
    }
    return false;
}

std::uint64_t RecordingInput::activeWindow() {
    std::lock_guard<std::mutex> lock(mutex_);
    settleActivation();
    return active_;
}

std::uint64_t RecordingInput::windowAt(int x, int y) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const FakeWindow &w : windows_) {
        const platform::Rect &r = w.info.client;
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
            return w.info.id;
    }
    return 0;
}

bool RecordingInput::activate(std::uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    log("activate", int(id));
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const FakeWindow &w) { return w.info.id == id; });
    if (it == windows_.end())
        return false;
    const FakeWindow window = *it;
    switch (window.activation) {
    case FakeWindow::Activation::Never:
        return false;
    case FakeWindow::Activation::Delayed:
        pendingActive_ = id;
        pendingAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(window.delayMs);
        return false;
    case FakeWindow::Activation::AtOnce:
        break;
    }
    windows_.erase(it);
    windows_.insert(windows_.begin(), window);
    active_ = id;
    return true;
}

void RecordingInput::setWindows(const std::vector<FakeWindow> &windows, std::uint64_t active) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_ = windows;
    active_ = active;
    pendingActive_ = 0;
}

void RecordingInput::closeWindow(std::uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [id](const FakeWindow &w) { return w.info.id == id; }),
                   windows_.end());
    if (active_ == id)
        active_ = 0;
    if (pendingActive_ == id)
        pendingActive_ = 0;
}

void RecordingInput::setDown(int vk, bool down) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (down)
        down_.insert(vk);
    else
        down_.erase(vk);
}

bool RecordingInput::sendHookEvent(int vk, bool down, bool) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (down)
            down_.insert(vk);
        else
            down_.erase(vk);
    }
    return deliver(vk, down);
}

bool RecordingInput::sendKeyEventOnly(int vk, bool down) {
    return deliver(vk, down);
}

bool RecordingInput::deliver(int vk, bool down) {
    std::vector<platform::KeyListener *> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Listener &l : listeners_)
            listeners.push_back(l.listener);
    }
    platform::KeyEvent event;
    event.vk = vk;
    event.down = down;
    event.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count();
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        if ((*it)->onKey(event))
            return true;
    return false;
}

bool RecordingInput::hookInstalled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !listeners_.empty();
}

int RecordingInput::hookCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(listeners_.size());
}

bool RecordingInput::captureGrabActive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(listeners_.begin(), listeners_.end(),
                       [](const Listener &l) { return l.swallow; });
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
    return !shortcuts_.empty();
}

platform::Chord RecordingInput::hotKeyChord(platform::Shortcut id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = shortcuts_.find(id);
    return it == shortcuts_.end() ? platform::Chord{} : it->second.first;
}

bool RecordingInput::fireShortcut(platform::Shortcut id) {
    std::function<void()> callback;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = shortcuts_.find(id);
        if (it == shortcuts_.end())
            return false;
        callback = it->second.second;
    }
    if (callback)
        callback();
    return true;
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
