#include "evdevinput.h"

#include "waylandkeymap.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <linux/input-event-codes.h>

#include <algorithm>

namespace platform::wayland {
namespace {

// A wait of the reader ends this often to see whether it should stop, even
// if an interrupt were lost.
constexpr int kReadTimeoutMs = 250;

bool sameKey(int heard, int asked) {
    switch (asked) {
    case 0x10:
        return heard == 0xA0 || heard == 0xA1;
    case 0x11:
        return heard == 0xA2 || heard == 0xA3;
    case 0x12:
        return heard == 0xA4 || heard == 0xA5;
    default:
        return heard == asked;
    }
}

class EvdevRecorder final : public InputRecorder {
public:
    explicit EvdevRecorder(EvdevInput &input) : input_(input) {}
    ~EvdevRecorder() override { stop(); }
    bool start(RawInputListener *listener, std::string &error) override {
        if (listener_) {
            error = "the recording has already started";
            return false;
        }
        listener_ = listener;
        input_.addRawListener(listener_);
        return true;
    }
    void stop() override {
        if (!listener_)
            return;
        input_.removeRawListener(listener_);
        listener_ = nullptr;
    }
    std::int64_t now() const override { return input_.nowMs(); }

private:
    EvdevInput &input_;
    RawInputListener *listener_ = nullptr;
};

} // namespace

// The key listeners, on the thread the EvdevInput was made on. Events come
// queued to `context`, which is deleted (dropping what is still queued)
// only once the reader has ended.
class EvdevInput::Listeners final : public KeyEvents {
public:
    Listeners() : context(new QObject) {}
    ~Listeners() override { delete context; }
    Listeners(const Listeners &) = delete;
    Listeners &operator=(const Listeners &) = delete;

    bool addListener(KeyListener *listener) override {
        removeListener(listener);
        listeners_.push_back(listener);
        return true;
    }
    void removeListener(KeyListener *listener) override {
        // Inside onKey the list is walked: only marked, swept afterwards.
        std::replace(listeners_.begin(), listeners_.end(), listener,
                     static_cast<KeyListener *>(nullptr));
        if (!dispatching_)
            sweep();
    }
    // The compositor must keep the keyboard, so a capture only listens.
    void setSwallowing(KeyListener *, bool) override {}
    unsigned long lastError() override { return 0; }
    bool addButtonListener(ButtonListener *listener) override {
        removeButtonListener(listener);
        buttonListeners_.push_back(listener);
        return true;
    }
    void removeButtonListener(ButtonListener *listener) override {
        std::replace(buttonListeners_.begin(), buttonListeners_.end(), listener,
                     static_cast<ButtonListener *>(nullptr));
        if (!dispatching_)
            sweep();
    }

    void dispatch(const KeyEvent &event) {
        dispatching_ = true;
        for (std::size_t i = listeners_.size(); i-- > 0;) {
            KeyListener *listener = listeners_[i];
            if (listener && listener->onKey(event))
                break;
        }
        dispatching_ = false;
        sweep();
    }
    void dispatch(const ButtonEvent &event) {
        dispatching_ = true;
        for (std::size_t i = buttonListeners_.size(); i-- > 0;)
            if (ButtonListener *listener = buttonListeners_[i])
                listener->onButton(event);
        dispatching_ = false;
        sweep();
    }

    QObject *context;

private:
    void sweep() {
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), nullptr),
                         listeners_.end());
        buttonListeners_.erase(
            std::remove(buttonListeners_.begin(), buttonListeners_.end(), nullptr),
            buttonListeners_.end());
    }

    std::vector<KeyListener *> listeners_; // oldest first
    std::vector<ButtonListener *> buttonListeners_;
    bool dispatching_ = false;
};

EvdevInput::EvdevInput(std::unique_ptr<DeviceSource> source)
    : source_(std::move(source)), listeners_(std::make_unique<Listeners>()) {
    reader_ = std::thread([this] { readLoop(); });
}

EvdevInput::~EvdevInput() {
    stopping_ = true;
    source_->interrupt();
    reader_.join();
}

bool EvdevInput::isDown(int vk) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    for (const auto &device : held_)
        for (unsigned code : device.second) {
            if ((vk == kVkLButton && code == BTN_LEFT) || (vk == kVkRButton && code == BTN_RIGHT))
                return true;
            if (const int heard = vkForEvdev(code); heard != 0 && sameKey(heard, vk))
                return true;
        }
    return false;
}

KeyEvents &EvdevInput::keyEvents() {
    return *listeners_;
}

std::unique_ptr<InputRecorder> EvdevInput::createRecorder() {
    return std::make_unique<EvdevRecorder>(*this);
}

void EvdevInput::addRawListener(RawInputListener *listener) {
    std::lock_guard<std::recursive_mutex> lock(rawMutex_);
    if (std::find(raw_.begin(), raw_.end(), listener) == raw_.end())
        raw_.push_back(listener);
}

void EvdevInput::removeRawListener(RawInputListener *listener) {
    std::lock_guard<std::recursive_mutex> lock(rawMutex_);
    std::replace(raw_.begin(), raw_.end(), listener, static_cast<RawInputListener *>(nullptr));
}

std::int64_t EvdevInput::nowMs() const {
    return source_->nowMs();
}

void EvdevInput::readLoop() {
    std::vector<DeviceEvent> events;
    std::vector<Translated> translated;
    while (!stopping_) {
        events.clear();
        if (!source_->read(events, kReadTimeoutMs))
            return;
        translated.clear();
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            for (const DeviceEvent &e : events)
                takeLocked(e, translated);
        }
        if (!translated.empty())
            deliver(translated);
    }
}

void EvdevInput::takeLocked(const DeviceEvent &e, std::vector<Translated> &out) {
    switch (e.kind) {
    case DeviceEvent::Kind::Added:
        devices_[e.device] = e.kinds;
        // Already down: known to isDown, but no event says they went down.
        held_[e.device].insert(e.held.begin(), e.held.end());
        return;
    case DeviceEvent::Kind::Removed: {
        // A keyboard unplugged with a key down lets it go, so no listener
        // waits for its release for ever.
        const std::set<unsigned> held = held_[e.device];
        for (unsigned code : held)
            pressLocked(e.device, code, false, e.timeMs, out);
        held_.erase(e.device);
        devices_.erase(e.device);
        return;
    }
    case DeviceEvent::Kind::Input:
        if (e.type != EV_KEY || devices_.count(e.device) == 0)
            return;
        pressLocked(e.device, e.code, e.value != 0, e.timeMs, out);
        return;
    }
}

void EvdevInput::pressLocked(int device, unsigned code, bool down, std::int64_t timeMs,
                             std::vector<Translated> &out) {
    std::set<unsigned> &mine = held_[device];
    if (down) {
        mine.insert(code);
    } else if (mine.erase(code) == 0) {
        return; // an up for a down we never saw
    } else {
        // Another device still holds it: not up yet.
        for (const auto &other : held_)
            if (other.second.count(code))
                return;
    }
    Translated t;
    t.down = down;
    t.timeMs = timeMs;
    if (code == BTN_LEFT || code == BTN_RIGHT) {
        t.button = code == BTN_LEFT ? MouseButton::Left : MouseButton::Right;
    } else {
        t.vk = vkForEvdev(code);
        if (t.vk == 0)
            return;
        t.key = true;
    }
    out.push_back(t);
}

void EvdevInput::deliver(const std::vector<Translated> &events) {
    {
        std::lock_guard<std::recursive_mutex> lock(rawMutex_);
        // Listeners removed by a call from here are only marked; the list
        // is swept once nobody walks it.
        for (const Translated &t : events) {
            RawInputEvent raw;
            raw.timeMs = t.timeMs;
            raw.hasPos = false;
            if (t.key) {
                raw.type = t.down ? RawInputEvent::Type::KeyDown : RawInputEvent::Type::KeyUp;
                raw.vk = t.vk;
            } else {
                raw.type = t.down ? RawInputEvent::Type::ButtonDown : RawInputEvent::Type::ButtonUp;
                raw.button = t.button;
            }
            for (std::size_t i = 0; i < raw_.size(); ++i)
                if (raw_[i])
                    raw_[i]->onRawInput(raw);
        }
        raw_.erase(std::remove(raw_.begin(), raw_.end(), nullptr), raw_.end());
    }
    // Keys and buttons in the order they came, as the listeners expect.
    Listeners *listeners = listeners_.get();
    std::vector<Translated> pushed = events;
    QMetaObject::invokeMethod(
        listeners->context,
        [listeners, pushed] {
            for (const Translated &t : pushed) {
                if (t.key) {
                    listeners->dispatch(KeyEvent{t.vk, t.down, t.timeMs});
                } else {
                    const int vk = t.button == MouseButton::Left ? kVkLButton : kVkRButton;
                    listeners->dispatch(ButtonEvent{vk, t.down, t.timeMs});
                }
            }
        },
        Qt::QueuedConnection);
}

} // namespace platform::wayland
