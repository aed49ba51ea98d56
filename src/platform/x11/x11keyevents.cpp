#include "x11keyevents.h"

#include "x11input.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform::x11 {

X11KeyEvents::X11KeyEvents(X11Input &input) : input_(input) {}

X11KeyEvents::~X11KeyEvents() {
    listeners_.clear();
    buttonListeners_.clear();
    dispatching_ = false;
    closeConnection();
}

bool X11KeyEvents::openConnection() {
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        lastError_ = X11Input::kErrorNoConnection;
        return false;
    }
    registerDisplay(display_);
    int event = 0, errorBase = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display_, "XInputExtension", &xiOpcode_, &event, &errorBase) ||
        XIQueryVersion(display_, &major, &minor) != Success || major * 10 + minor < 21) {
        lastError_ = X11Input::kErrorNoXInput2;
        closeConnection();
        return false;
    }
    selectRawInput(display_, true);
    notifier_ =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { readEvents(); });
    return true;
}

void X11KeyEvents::closeConnection() {
    if (dispatching_) {
        closePending_ = true; // the notifier is inside its own signal: close afterwards
        return;
    }
    closePending_ = false;
    notifier_.reset();
    if (display_) {
        if (!lost_) {
            if (grabbed_)
                XUngrabKeyboard(display_, CurrentTime);
            XSync(display_, False);
        }
        unregisterDisplay(display_);
        if (lost_)
            keepLostDisplay(display_);
        else
            XCloseDisplay(display_);
        display_ = nullptr;
    }
    grabbed_ = false;
}

bool X11KeyEvents::noteLost(_XDisplay *display) {
    if (!display || display != display_)
        return false;
    lost_ = true;
    return true;
}

void X11KeyEvents::readEvents() {
    dispatching_ = true;
    while (display_ && !closePending_ && !lost_ && XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        // Core key events arrive only through our grab.
        if (ev.type == KeyPress || ev.type == KeyRelease) {
            if (grabbed_)
                dispatch(static_cast<int>(ev.xkey.keycode), ev.type == KeyPress, ev.xkey.time);
            continue;
        }
        if (ev.xcookie.type != GenericEvent || ev.xcookie.extension != xiOpcode_ ||
            !XGetEventData(display_, &ev.xcookie))
            continue;
        const int type = ev.xcookie.evtype;
        int keycode = 0;
        int button = 0;
        unsigned long time = 0;
        if (type == XI_RawKeyPress || type == XI_RawKeyRelease) {
            const auto *raw = static_cast<const XIRawEvent *>(ev.xcookie.data);
            keycode = raw->detail;
            time = raw->time;
        } else if (type == XI_RawButtonPress || type == XI_RawButtonRelease) {
            const auto *raw = static_cast<const XIRawEvent *>(ev.xcookie.data);
            button = raw->detail;
            time = raw->time;
        }
        XFreeEventData(display_, &ev.xcookie);
        if (keycode && !grabbed_)
            dispatch(keycode, type == XI_RawKeyPress, time);
        if (button)
            dispatchButton(button, type == XI_RawButtonPress, time);
    }
    dispatching_ = false;
    // Listeners taken out from inside onKey or onButton.
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [](const Entry &e) { return !e.listener; }),
                     listeners_.end());
    buttonListeners_.erase(std::remove(buttonListeners_.begin(), buttonListeners_.end(), nullptr),
                           buttonListeners_.end());
    if (lost_ && notifier_)
        notifier_->setEnabled(false); // the closed socket would wake us for ever
    if (closePending_)
        closeConnection();
}

void X11KeyEvents::dispatch(int keycode, bool down, unsigned long time) {
    if (listeners_.empty())
        return;
    const int vk = input_.vkForKeycode(keycode);
    if (!vk)
        return;
    KeyEvent event;
    event.vk = vk;
    event.down = down;
    event.timeMs = static_cast<std::int64_t>(time);
    // Newest first; a listener added from inside onKey waits for the next key.
    for (size_t i = listeners_.size(); i-- > 0;) {
        KeyListener *listener = listeners_[i].listener;
        if (listener && listener->onKey(event))
            break;
    }
}

void X11KeyEvents::dispatchButton(int button, bool down, unsigned long time) {
    if (buttonListeners_.empty() || lost_)
        return;
    // Raw events carry the device's button; windows see it through the
    // pointer mapping (a left-handed mouse swaps 1 and 3).
    unsigned char map[256] = {};
    const int mapped = std::min(XGetPointerMapping(display_, map, sizeof map), int(sizeof map));
    if (button >= 1 && button <= mapped)
        button = map[button - 1];
    if (button != Button1 && button != Button3)
        return;
    ButtonEvent event;
    event.vk = button == Button1 ? kVkLButton : kVkRButton;
    event.down = down;
    event.timeMs = static_cast<std::int64_t>(time);
    for (size_t i = buttonListeners_.size(); i-- > 0;) {
        if (ButtonListener *listener = buttonListeners_[i])
            listener->onButton(event);
    }
}

bool X11KeyEvents::addButtonListener(ButtonListener *listener) {
    if (!listener || lost_)
        return false;
    if (std::find(buttonListeners_.begin(), buttonListeners_.end(), listener) !=
        buttonListeners_.end())
        return true;
    if (!display_ && !openConnection())
        return false;
    closePending_ = false;
    buttonListeners_.push_back(listener);
    return true;
}

void X11KeyEvents::removeButtonListener(ButtonListener *listener) {
    std::replace(buttonListeners_.begin(), buttonListeners_.end(), listener,
                 static_cast<ButtonListener *>(nullptr));
    if (!dispatching_)
        buttonListeners_.erase(
            std::remove(buttonListeners_.begin(), buttonListeners_.end(), nullptr),
            buttonListeners_.end());
    closeIfUnused();
}

void X11KeyEvents::closeIfUnused() {
    const bool keys = std::any_of(listeners_.begin(), listeners_.end(),
                                  [](const Entry &e) { return e.listener != nullptr; });
    const bool buttons = std::any_of(buttonListeners_.begin(), buttonListeners_.end(),
                                     [](const ButtonListener *l) { return l != nullptr; });
    if (!keys && !buttons)
        closeConnection();
}

bool X11KeyEvents::addListener(KeyListener *listener) {
    if (!listener || lost_)
        return false;
    for (const Entry &e : listeners_)
        if (e.listener == listener)
            return true;
    if (!display_ && !openConnection())
        return false;
    closePending_ = false;
    listeners_.push_back({listener, false});
    return true;
}

void X11KeyEvents::removeListener(KeyListener *listener) {
    for (Entry &e : listeners_)
        if (e.listener == listener) {
            e.listener = nullptr;
            e.swallow = false;
        }
    if (!dispatching_)
        listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                        [](const Entry &e) { return !e.listener; }),
                         listeners_.end());
    updateGrab();
    closeIfUnused();
}

void X11KeyEvents::setSwallowing(KeyListener *listener, bool active) {
    for (Entry &e : listeners_)
        if (e.listener && e.listener == listener)
            e.swallow = active;
    updateGrab();
}

unsigned long X11KeyEvents::lastError() {
    return lastError_.load();
}

bool X11KeyEvents::swallowWanted() const {
    return std::any_of(listeners_.begin(), listeners_.end(),
                       [](const Entry &e) { return e.listener && e.swallow; });
}

void X11KeyEvents::updateGrab() {
    const bool want = swallowWanted();
    if (!display_ || lost_ || want == grabbed_)
        return;
    if (want) {
        // Another client's grab (an open menu, a key still held under a
        // passive grab) usually ends within moments.
        int status = GrabSuccess;
        for (int attempt = 0; attempt < 40; ++attempt) {
            status = XGrabKeyboard(display_, DefaultRootWindow(display_), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
            if (status == GrabSuccess)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        grabbed_ = status == GrabSuccess;
        if (!grabbed_) {
            lastError_ = X11Input::kErrorGrabBase + static_cast<unsigned long>(status);
            qCWarning(lcX11Input) << "Could not grab the keyboard for the capture; status"
                                  << status;
        }
    } else {
        XUngrabKeyboard(display_, CurrentTime);
        grabbed_ = false;
    }
    XFlush(display_);
    // The grab's reply may have brought events into Xlib's queue, where the
    // socket notifier cannot see them.
    QMetaObject::invokeMethod(
        notifier_.get(), [this] { readEvents(); }, Qt::QueuedConnection);
}

// The synthesis layer's side: its keyboard map names the keys.
int X11Input::vkForKeycode(int keycode) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return 0;
    pumpLocked();
    return vkForKeycodeLocked(keycode);
}

void X11Input::setCompanions(X11KeyEvents *keyEvents, X11Shortcuts *shortcuts) {
    keyEvents_ = keyEvents;
    std::lock_guard<std::mutex> lock(mutex_);
    shortcuts_ = shortcuts;
}

void selectRawInput(Display *display, bool buttons) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    if (buttons) {
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
    }
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
}

} // namespace platform::x11
