#include "x11input.h"

#include "x11keytable.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcX11Input, "tarnwick.platform")

namespace platform::x11 {
namespace {

// Errors on our own connections are answered by return values; Xlib's
// default handler would end the process. Errors on other connections go to
// whichever handler was there before.
std::atomic<Display *> ownDisplays[8];
XErrorHandler previousHandler = nullptr;
std::once_flag handlerOnce;

int onXError(Display *display, XErrorEvent *event) {
    for (auto &own : ownDisplays)
        if (own.load() == display) {
            return 0;
        }
    return previousHandler ? previousHandler(display, event) : 0;
}

int xkbEventBase = -1;

} // namespace

void registerDisplay(Display *display) {
    std::call_once(handlerOnce, [] { previousHandler = XSetErrorHandler(onXError); });
    for (auto &own : ownDisplays) {
        Display *expected = nullptr;
        if (own.compare_exchange_strong(expected, display))
            return;
    }
}

void unregisterDisplay(Display *display) {
    for (auto &own : ownDisplays) {
        Display *expected = display;
        own.compare_exchange_strong(expected, nullptr);
    }
}

std::unique_ptr<X11Input> X11Input::create(std::string &error) {
    std::unique_ptr<X11Input> layer(new X11Input());
    if (!layer->open(error))
        return nullptr;
    return layer;
}

bool X11Input::open(std::string &error) {
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "No X display: DISPLAY is not set. Start the program in an X session "
                "(for a virtual one: Xvfb :1 & DISPLAY=:1 ./run.sh).";
        return false;
    }
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        error = std::string("Cannot open the X display \"") + name +
                "\": is the X server running and may this user reach it?";
        return false;
    }
    registerDisplay(display_);
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &errorBase, &major, &minor)) {
        error = "The X server lacks the XTEST extension needed to send keys and clicks.";
        return false;
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display_, &opcode, &xkbEventBase, &errorBase, &major, &minor) ||
        !keyMap_.load(display_)) {
        error = "The X server lacks the XKEYBOARD extension needed to read the keyboard map.";
        return false;
    }
    // Locked modifiers (Caps Lock) change which level a key types; follow them.
    XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                          XkbModifierLockMask);
    // A whole new map (setxkbmap, a layout switch) comes only as this event:
    // the server sends no core MappingNotify for it to clients that use XKB.
    XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
    XkbStateRec state;
    if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success)
        lockedMods_ = state.locked_mods;
    root_ = DefaultRootWindow(display_);
    // A client answers a ping by sending it back to the root window, to
    // those that listen for substructure changes there.
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    netWmPing_ = XInternAtom(display_, "_NET_WM_PING", False);
    XSelectInput(display_, root_, StructureNotifyMask | SubstructureNotifyMask);
    spare_ = keyMap_.spareKeycodes();
    // Level 0 of every spare keycode first: a slot for keys held through
    // keyDown must be reachable without Shift.
    const int n = static_cast<int>(spare_.size());
    for (int level = 0; level < 2; ++level)
        for (int i = 0; i < n; ++i) {
            Slot slot;
            slot.keycode = spare_[static_cast<size_t>(i)];
            slot.level = level;
            slot.partner = level == 0 ? i + n : i;
            slots_.push_back(slot);
        }
    disableXtestAutoRepeat();
    XFlush(display_);
    restorer_ = std::thread([this] { restorerLoop(); });
    return true;
}

X11Input::~X11Input() {
    if (restorer_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        restorer_.join();
    }
    closeHookConnection();
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        std::vector<int> ids;
        {
            std::lock_guard<std::mutex> lock(hotKeyMutex_);
            for (const HotKey &h : hotKeys_)
                ids.push_back(h.id);
        }
        for (int id : ids)
            unregisterHotKey(id);
    }
    if (display_) {
        releaseAll();
        restoreXtestAutoRepeat();
        XSync(display_, False);
        unregisterDisplay(display_);
        XCloseDisplay(display_);
    }
}

// Our own XTest keys must not autorepeat (injected keys never do on
// Windows). XTest events come from their own slave device, so turning off
// RepeatKeys on that device alone leaves the user's keyboards as they are.
void X11Input::disableXtestAutoRepeat() {
    int xiOpcode = 0, event = 0, errorBase = 0;
    if (!XQueryExtension(display_, "XInputExtension", &xiOpcode, &event, &errorBase))
        return;
    int major = 2, minor = 2;
    if (XIQueryVersion(display_, &major, &minor) != Success)
        return;
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display_, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (devices[i].use == XISlaveKeyboard &&
            std::strcmp(devices[i].name, "Virtual core XTEST keyboard") == 0)
            xtestKeyboard_ = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    if (xtestKeyboard_ < 0) {
        qCWarning(lcX11Input) << "No XTEST keyboard device: keys held by a run may autorepeat";
        return;
    }
    XkbDescPtr desc = XkbGetMap(display_, 0, static_cast<unsigned>(xtestKeyboard_));
    if (desc && XkbGetControls(display_, XkbControlsEnabledMask, desc) == Success && desc->ctrls)
        xtestRepeatWasOn_ = (desc->ctrls->enabled_ctrls & XkbRepeatKeysMask) != 0;
    if (desc)
        XkbFreeKeyboard(desc, 0, True);
    XkbChangeEnabledControls(display_, static_cast<unsigned>(xtestKeyboard_), XkbRepeatKeysMask, 0);
}

void X11Input::restoreXtestAutoRepeat() {
    if (xtestKeyboard_ >= 0 && xtestRepeatWasOn_)
        XkbChangeEnabledControls(display_, static_cast<unsigned>(xtestKeyboard_), XkbRepeatKeysMask,
                                 XkbRepeatKeysMask);
}

void X11Input::pumpLocked() {
    while (XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (ev.type == MappingNotify) {
            // Our own bindings touch spare keycodes only; anything else is
            // the user changing the layout.
            const XMappingEvent &m = ev.xmapping;
            bool ours = m.request == MappingKeyboard;
            for (int kc = m.first_keycode; ours && kc < m.first_keycode + m.count; ++kc)
                ours = keyMap_.isSpare(kc);
            if (!ours)
                mapStale_ = true;
        } else if (ev.type == ClientMessage) {
            const XClientMessageEvent &c = ev.xclient;
            if (c.window == root_ && c.message_type == wmProtocols_ && c.format == 32 &&
                static_cast<unsigned long>(c.data.l[0]) == netWmPing_)
                onPongLocked(c.data.l[1]);
        } else if (ev.type == xkbEventBase) {
            const XkbEvent &xkb = reinterpret_cast<const XkbEvent &>(ev);
            if (xkb.any.xkb_type == XkbStateNotify) {
                lockedMods_ = xkb.state.locked_mods;
            } else if (xkb.any.xkb_type == XkbNewKeyboardNotify) {
                mapStale_ = true;
                // The new map replaced our temporary bindings too; a key held
                // through one keeps its slot until it is released.
                for (Slot &slot : slots_)
                    if (!slot.held) {
                        slot.keysym = 0;
                        slot.paired = false;
                    }
            }
        }
    }
}

const KeyMap &X11Input::keyMapLocked() {
    if (mapStale_) {
        mapStale_ = false;
        KeyMap fresh;
        if (fresh.load(display_)) {
            // The spare keycodes stay the ones found at start: some of them
            // may carry our bindings right now.
            keyMap_ = std::move(fresh);
            keyMap_.setSpare(spare_);
        }
    }
    return keyMap_;
}

void X11Input::fakeKeyLocked(int keycode, bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), down ? True : False, CurrentTime);
}

void X11Input::keyDown(int vk) {
    const unsigned long keysym = keysymForVk(vk);
    if (!keysym)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    pumpLocked();
    int keycode = keyMapLocked().keycodeFor(keysym);
    if (!keycode) {
        // A key the map lacks (F13 to F24 on most maps): bind it for as long
        // as it is held.
        const int slot = bindLocked(lock, keysym, true);
        if (slot < 0)
            return;
        keycode = slots_[static_cast<size_t>(slot)].keycode;
        ++slots_[static_cast<size_t>(slot)].held;
        ++pressedSlots_[slot];
    } else {
        // The release must reach this keycode even if the map changes.
        keyDownAt_[vk] = keycode;
    }
    fakeKeyLocked(keycode, true);
    ++pressedKeys_[keycode];
    XFlush(display_);
}

void X11Input::keyUp(int vk) {
    const unsigned long keysym = keysymForVk(vk);
    if (!keysym)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    pumpLocked();
    int keycode = 0;
    auto pressed = keyDownAt_.find(vk);
    if (pressed != keyDownAt_.end()) {
        keycode = pressed->second;
        keyDownAt_.erase(pressed);
    } else {
        keycode = keyMapLocked().keycodeFor(keysym);
    }
    if (!keycode) {
        const int slot = slotWithKeysymLocked(keysym, true);
        if (slot < 0)
            return;
        Slot &s = slots_[static_cast<size_t>(slot)];
        keycode = s.keycode;
        auto held = pressedSlots_.find(slot);
        if (held != pressedSlots_.end()) {
            s.held = std::max(0, s.held - 1);
            s.lastUse = lastTextUse_ = Clock::now();
            if (--held->second <= 0)
                pressedSlots_.erase(held);
        }
    }
    fakeKeyLocked(keycode, false);
    auto it = pressedKeys_.find(keycode);
    if (it != pressedKeys_.end() && --it->second <= 0)
        pressedKeys_.erase(it);
    XFlush(display_);
}

void X11Input::mouseDown(MouseButton button) {
    const unsigned x = button == MouseButton::Left ? Button1 : Button3;
    std::lock_guard<std::mutex> lock(mutex_);
    XTestFakeButtonEvent(display_, x, True, CurrentTime);
    pressedButtons_.insert(static_cast<int>(x));
    XFlush(display_);
}

void X11Input::mouseUp(MouseButton button) {
    const unsigned x = button == MouseButton::Left ? Button1 : Button3;
    std::lock_guard<std::mutex> lock(mutex_);
    XTestFakeButtonEvent(display_, x, False, CurrentTime);
    pressedButtons_.erase(static_cast<int>(x));
    XFlush(display_);
}

Point X11Input::cursorPos() {
    std::lock_guard<std::mutex> lock(mutex_);
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
    return {rootX, rootY};
}

void X11Input::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(mutex_);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XFlush(display_);
}

bool X11Input::isDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (vk == kVkLButton || vk == kVkRButton) {
        Window rootReturn = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
        return (mask & (vk == kVkLButton ? Button1Mask : Button3Mask)) != 0;
    }
    unsigned long keysyms[4];
    const int n = keysymsForVk(vk, keysyms, 4);
    if (n == 0)
        return false;
    pumpLocked();
    const KeyMap &map = keyMapLocked();
    char keys[32];
    XQueryKeymap(display_, keys);
    auto pressed = [&keys](int keycode) {
        return keycode >= 0 && keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8)));
    };
    for (int i = 0; i < n; ++i) {
        for (int keycode : map.keycodesAtFirstLevel(keysyms[i]))
            if (pressed(keycode))
                return true;
        const int slot = slotWithKeysymLocked(keysyms[i], true);
        if (slot >= 0 && pressed(slots_[static_cast<size_t>(slot)].keycode))
            return true;
    }
    return false;
}

unsigned long X11Input::lastError() {
    return lastError_.load();
}

void X11Input::releaseAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!display_)
        return;
    for (const auto &key : pressedKeys_)
        fakeKeyLocked(key.first, false);
    pressedKeys_.clear();
    keyDownAt_.clear();
    for (int button : pressedButtons_)
        XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    pressedButtons_.clear();
    for (const HeldChar &held : heldChars_)
        fakeKeyLocked(held.keycode, false);
    heldChars_.clear();
    for (Slot &slot : slots_)
        if (slot.held) {
            slot.held = 0;
            slot.lastUse = Clock::now(); // its release is on its way to the clients
        }
    pressedSlots_.clear();
    XFlush(display_);
    restoreBindingsLocked(lock, true);
}

} // namespace platform::x11

namespace platform {

std::unique_ptr<InputLayer> createSystemInput(std::string &error) {
    return x11::X11Input::create(error);
}

} // namespace platform
