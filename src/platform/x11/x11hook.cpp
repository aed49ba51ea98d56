// The desktop-wide keyboard hook, the capture grab and the global hot key.
// The hook listens to XInput2 raw key events on the root window of a
// connection of its own, read by a socket notifier on the GUI thread. Raw
// events cannot be swallowed, so while a capture is active the hook's
// connection also holds an active keyboard grab: the focused window then
// receives nothing. The server does not send raw events to the client that
// holds the grab; the grab's own key events report the keys instead.

#include "x11input.h"

#include "x11keytable.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform::x11 {
namespace {

constexpr int kVkF10 = 0x79;

bool isAltVk(int vk) {
    return vk == 0xA4 || vk == 0xA5;
}
bool isCtrlVk(int vk) {
    return vk == 0xA2 || vk == 0xA3;
}

xcb_connection_t *qtConnection() {
    // qGuiApp would be a bad cast under a plain QCoreApplication.
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

bool X11Input::openHookConnection() {
    hookDisplay_ = XOpenDisplay(DisplayString(display_));
    if (!hookDisplay_) {
        lastError_ = kErrorNoConnection;
        return false;
    }
    registerDisplay(hookDisplay_);
    int event = 0, errorBase = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(hookDisplay_, "XInputExtension", &xiOpcode_, &event, &errorBase) ||
        XIQueryVersion(hookDisplay_, &major, &minor) != Success || major * 10 + minor < 21) {
        lastError_ = kErrorNoXInput2;
        closeHookConnection();
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(hookDisplay_, DefaultRootWindow(hookDisplay_), &mask, 1);
    XSync(hookDisplay_, False);
    notifier_ =
        std::make_unique<QSocketNotifier>(ConnectionNumber(hookDisplay_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { readHookEvents(); });
    return true;
}

void X11Input::closeHookConnection() {
    if (dispatching_) {
        closePending_ = true; // the notifier is inside its own signal: close afterwards
        return;
    }
    closePending_ = false;
    notifier_.reset();
    if (hookDisplay_) {
        if (!hookLost_) {
            if (grabbed_)
                XUngrabKeyboard(hookDisplay_, CurrentTime);
            XSync(hookDisplay_, False);
        }
        unregisterDisplay(hookDisplay_);
        if (hookLost_)
            keepLostDisplay(hookDisplay_);
        else
            XCloseDisplay(hookDisplay_);
        hookDisplay_ = nullptr;
    }
    grabbed_ = false;
    altDown_ = ctrlDown_ = false;
}

void X11Input::readHookEvents() {
    dispatching_ = true;
    while (hookDisplay_ && !closePending_ && !hookLost_ && XPending(hookDisplay_) > 0) {
        XEvent ev;
        XNextEvent(hookDisplay_, &ev);
        // Core key events arrive only through our grab.
        if (ev.type == KeyPress || ev.type == KeyRelease) {
            if (grabbed_)
                dispatchKey(static_cast<int>(ev.xkey.keycode), ev.type == KeyPress);
            continue;
        }
        if (ev.xcookie.type != GenericEvent || ev.xcookie.extension != xiOpcode_ ||
            !XGetEventData(hookDisplay_, &ev.xcookie))
            continue;
        const int type = ev.xcookie.evtype;
        int keycode = 0;
        if (type == XI_RawKeyPress || type == XI_RawKeyRelease)
            keycode = static_cast<const XIRawEvent *>(ev.xcookie.data)->detail;
        XFreeEventData(hookDisplay_, &ev.xcookie);
        if (keycode && !grabbed_)
            dispatchKey(keycode, type == XI_RawKeyPress);
    }
    dispatching_ = false;
    if (hookLost_ && notifier_)
        notifier_->setEnabled(false); // the closed socket would wake us for ever
    if (closePending_)
        closeHookConnection();
}

int X11Input::vkForKeycode(int keycode) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return 0;
    pumpLocked();
    return vkForKeycodeLocked(keycode);
}

void X11Input::dispatchKey(int keycode, bool down) {
    const int vk = vkForKeycode(keycode);
    if (!vk || hooks_.empty())
        return;
    // Windows reports keys typed with Alt (and without Ctrl) as system keys.
    bool sys;
    if (isAltVk(vk)) {
        sys = !ctrlDown_;
        altDown_ = down;
    } else {
        if (isCtrlVk(vk))
            ctrlDown_ = down;
        sys = (altDown_ && !ctrlDown_) || vk == kVkF10;
    }
    const std::uintptr_t message =
        down ? (sys ? kWmSysKeyDown : kWmKeyDown) : (sys ? kWmSysKeyUp : kWmKeyUp);
    KeyboardHookEvent event;
    event.vkCode = static_cast<std::uint32_t>(vk);
    // Newest first; each procedure passes on through callNextHook.
    const KeyboardHookProc proc = hooks_.back().proc;
    proc(kHcAction, message, reinterpret_cast<std::intptr_t>(&event));
}

HookHandle X11Input::installKeyboardHook(KeyboardHookProc proc) {
    if (!proc)
        return nullptr;
    if (hookLost_)
        return nullptr;
    if (!hookDisplay_ && !openHookConnection())
        return nullptr;
    closePending_ = false;
    const std::uintptr_t serial = nextSerial_++;
    hooks_.push_back({proc, serial, false});
    return reinterpret_cast<HookHandle>(serial);
}

std::intptr_t X11Input::callNextHook(HookHandle hook, int code, std::uintptr_t message,
                                     std::intptr_t event) {
    const auto serial = reinterpret_cast<std::uintptr_t>(hook);
    for (size_t i = hooks_.size(); i-- > 0;)
        if (hooks_[i].serial == serial)
            return i > 0 ? hooks_[i - 1].proc(code, message, event) : 0;
    return 0;
}

void X11Input::uninstallKeyboardHook(HookHandle hook) {
    const auto serial = reinterpret_cast<std::uintptr_t>(hook);
    hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(),
                                [serial](const Hook &h) { return h.serial == serial; }),
                 hooks_.end());
    updateGrab();
    if (hooks_.empty())
        closeHookConnection();
}

void X11Input::setCaptureGrab(HookHandle hook, bool active) {
    const auto serial = reinterpret_cast<std::uintptr_t>(hook);
    for (Hook &h : hooks_)
        if (h.serial == serial)
            h.grab = active;
    updateGrab();
}

void X11Input::updateGrab() {
    const bool want =
        std::any_of(hooks_.begin(), hooks_.end(), [](const Hook &h) { return h.grab; });
    if (!hookDisplay_ || want == grabbed_)
        return;
    if (want) {
        // Another client's grab (an open menu, a key still held under a
        // passive grab) usually ends within moments.
        int status = GrabSuccess;
        for (int attempt = 0; attempt < 40; ++attempt) {
            status = XGrabKeyboard(hookDisplay_, DefaultRootWindow(hookDisplay_), False,
                                   GrabModeAsync, GrabModeAsync, CurrentTime);
            if (status == GrabSuccess)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        grabbed_ = status == GrabSuccess;
        if (!grabbed_) {
            lastError_ = kErrorGrabBase + static_cast<unsigned long>(status);
            qCWarning(lcX11Input) << "Could not grab the keyboard for the capture; status"
                                  << status;
        }
    } else {
        XUngrabKeyboard(hookDisplay_, CurrentTime);
        grabbed_ = false;
    }
    XFlush(hookDisplay_);
    // The grab's reply may have brought events into Xlib's queue, where the
    // socket notifier cannot see them.
    QMetaObject::invokeMethod(
        notifier_.get(), [this] { readHookEvents(); }, Qt::QueuedConnection);
}

bool X11Input::registerHotKey(int id, unsigned modifiers, unsigned vk) {
    xcb_connection_t *connection = qtConnection();
    if (!connection) {
        lastError_ = kErrorNoConnection;
        qCWarning(lcX11Input) << "No X connection of Qt's own for the hot key";
        return false;
    }
    unregisterHotKey(id);
    HotKey hotKey;
    hotKey.id = id;
    hotKey.askedModifiers = modifiers;
    hotKey.askedVk = vk;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pumpLocked();
        const KeyMap &map = keyMapLocked();
        hotKey.keycode = map.keycodeForLetterVk(static_cast<int>(vk));
        if (!hotKey.keycode)
            hotKey.keycode = map.keycodeFor(keysymForVk(static_cast<int>(vk)));
        if (modifiers & kModAlt)
            hotKey.mods |= map.altMask();
        if (modifiers & kModControl)
            hotKey.mods |= ControlMask;
        if (modifiers & kModShift)
            hotKey.mods |= ShiftMask;
        if (modifiers & kModWin)
            hotKey.mods |= map.superMask();
        hotKey.ignored = LockMask | map.numLockMask();
        hotKey.root = static_cast<std::uint32_t>(root_);
    }
    if (!hotKey.keycode) {
        lastError_ = kErrorNoKey;
        return false;
    }
    // The same key with Caps Lock and Num Lock on must fire too.
    std::vector<unsigned> variants{0, LockMask};
    if (hotKey.ignored != LockMask) {
        variants.push_back(hotKey.ignored & ~static_cast<unsigned>(LockMask));
        variants.push_back(hotKey.ignored);
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (unsigned v : variants)
        cookies.push_back(xcb_grab_key_checked(
            connection, 0, hotKey.root, static_cast<std::uint16_t>(hotKey.mods | v),
            static_cast<xcb_keycode_t>(hotKey.keycode), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    unsigned errorCode = 0;
    for (size_t i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookies[i])) {
            errorCode = error->error_code;
            std::free(error);
        } else {
            hotKey.variants.push_back(variants[i]);
        }
    }
    if (errorCode) {
        // Someone else holds the combination (BadAccess): undo our part.
        for (unsigned v : hotKey.variants)
            xcb_ungrab_key(connection, static_cast<xcb_keycode_t>(hotKey.keycode), hotKey.root,
                           static_cast<std::uint16_t>(hotKey.mods | v));
        xcb_flush(connection);
        lastError_ = errorCode;
        return false;
    }
    std::lock_guard<std::mutex> lock(hotKeyMutex_);
    hotKeys_.push_back(hotKey);
    return true;
}

void X11Input::unregisterHotKey(int id) {
    HotKey hotKey;
    {
        std::lock_guard<std::mutex> lock(hotKeyMutex_);
        auto it = std::find_if(hotKeys_.begin(), hotKeys_.end(),
                               [id](const HotKey &h) { return h.id == id; });
        if (it == hotKeys_.end())
            return;
        hotKey = *it;
        hotKeys_.erase(it);
    }
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return;
    for (unsigned v : hotKey.variants)
        xcb_ungrab_key(connection, static_cast<xcb_keycode_t>(hotKey.keycode), hotKey.root,
                       static_cast<std::uint16_t>(hotKey.mods | v));
    xcb_flush(connection);
}

void X11Input::regrabHotKeysLater() {
    if (guiContext_)
        QMetaObject::invokeMethod(
            guiContext_.get(), [this] { regrabHotKeys(); }, Qt::QueuedConnection);
}

void X11Input::regrabHotKeys() {
    if (!hotKeysStale_.exchange(false))
        return;
    std::vector<HotKey> held;
    {
        std::lock_guard<std::mutex> lock(hotKeyMutex_);
        held = hotKeys_;
    }
    for (const HotKey &h : held) {
        unregisterHotKey(h.id);
        if (!registerHotKey(h.id, h.askedModifiers, h.askedVk))
            qCWarning(lcX11Input) << "The hot key could not be grabbed again after a layout change";
    }
}

bool X11Input::isHotKeyEvent(const char *eventType, void *message, int *id) {
    if (!eventType || !message || std::strcmp(eventType, "xcb_generic_event_t") != 0)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    std::lock_guard<std::mutex> lock(hotKeyMutex_);
    for (const HotKey &h : hotKeys_) {
        // Pressed on the root (our grab), not typed into one of our windows,
        // with exactly the modifiers asked for, whatever the lock keys.
        const unsigned mods = press->state & 0xFFu & ~h.ignored;
        if (press->event == h.root && press->detail == h.keycode && mods == h.mods) {
            if (id)
                *id = h.id;
            return true;
        }
    }
    return false;
}

} // namespace platform::x11
