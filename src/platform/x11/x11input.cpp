#include "x11input.h"

#include "x11keytable.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcX11Input, "tarnwick.platform")

namespace platform::x11 {
namespace {

int xkbEventBase = -1;

// The core keyboard's device id (XKB names it XkbUseCoreKbd in requests, but
// its events carry the real id).
int masterKeyboardId(Display *display) {
    int xiOpcode = 0, event = 0, errorBase = 0;
    if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &event, &errorBase))
        return -1;
    int major = 2, minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success)
        return -1;
    int count = 0, id = -1;
    XIDeviceInfo *devices = XIQueryDevice(display, XIAllMasterDevices, &count);
    for (int i = 0; i < count && id < 0; ++i)
        if (devices[i].use == XIMasterKeyboard)
            id = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    return id;
}

} // namespace

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
    // Changes of single keys (ours, xmodmap's) come as XkbMapNotify.
    const unsigned long mapEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display_, XkbUseCoreKbd, mapEvents, mapEvents);
    coreKeyboard_ = masterKeyboardId(display_);
    XkbStateRec state;
    if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success)
        lockedMods_ = state.locked_mods;
    root_ = DefaultRootWindow(display_);
    rootWidth_ = DisplayWidth(display_, DefaultScreen(display_));
    rootHeight_ = DisplayHeight(display_, DefaultScreen(display_));
    // A client answers a ping by sending it back to the root window, to
    // those that listen for substructure changes there.
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    netWmPing_ = XInternAtom(display_, "_NET_WM_PING", False);
    commAtom_ = XInternAtom(display_, "Comm", False);
    XSelectInput(display_, root_, StructureNotifyMask | SubstructureNotifyMask);
    adoptSpareKeycodesLocked(keyMap_);
    XFlush(display_);
    if (QCoreApplication::instance()) {
        guiContext_ = std::make_unique<QObject>();
        // What the server sends between our calls (a new keyboard map, the
        // end of the connection) is read at once, not at the next call.
        auto *watch = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read,
                                          guiContext_.get());
        QObject::connect(watch, &QSocketNotifier::activated, guiContext_.get(), [this, watch] {
            std::lock_guard<std::mutex> lock(mutex_);
            if (usableLocked()) {
                pumpLocked();
                if (mapStale_)
                    keyMapLocked();
            }
            if (lost_)
                watch->setEnabled(false); // a closed socket stays readable
        });
    }
    noteLayerAlive(this);
    restorer_ = std::thread([this] { restorerLoop(); });
    return true;
}

X11Input::~X11Input() {
    noteLayerGone(this);
    if (restorer_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        restorer_.join();
    }
    guiContext_.reset();
    if (display_) {
        releaseAll();
        unregisterDisplay(display_);
        if (lost_) {
            keepLostDisplay(display_);
        } else {
            XSync(display_, False);
            XCloseDisplay(display_);
        }
    }
}

// Our own XTest keys must not autorepeat (injected keys never do on
// Windows), and only while we hold a key, so a crash cannot leave it off.
// The server repeats a key through the device it came from and through the
// core keyboard, which copies the controls of a device only when events
// start coming from another one: after another XTest client's keys it may
// still repeat though the XTEST device does not. So the core keyboard goes
// off too; that reaches every keyboard, and the user's own are set back as
// they were. Their setting (what `xset r` chose) is also what the XTEST
// device goes back to, whatever another instance left on it.
bool X11Input::findXtestKeyboardLocked() {
    if (xtestKeyboard_ != -1)
        return xtestKeyboard_ >= 0;
    xtestKeyboard_ = -2;
    int xiOpcode = 0, event = 0, errorBase = 0;
    if (!XQueryExtension(display_, "XInputExtension", &xiOpcode, &event, &errorBase))
        return false;
    int major = 2, minor = 2;
    if (XIQueryVersion(display_, &major, &minor) != Success)
        return false;
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display_, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (devices[i].use == XISlaveKeyboard &&
            std::strcmp(devices[i].name, "Virtual core XTEST keyboard") == 0)
            xtestKeyboard_ = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    if (xtestKeyboard_ < 0)
        qCWarning(lcX11Input) << "No XTEST keyboard device: keys held by a run may autorepeat";
    return xtestKeyboard_ >= 0;
}

void X11Input::readUsersRepeatLocked() {
    usersKeyboards_.clear();
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display_, XIAllDevices, &count);
    int master = -1;
    for (int i = 0; i < count; ++i)
        if (devices[i].deviceid == xtestKeyboard_)
            master = devices[i].attachment;
    for (int i = 0; i < count; ++i) {
        const XIDeviceInfo &d = devices[i];
        if (d.use != XISlaveKeyboard || d.deviceid == xtestKeyboard_ || d.attachment != master)
            continue;
        XkbDescPtr desc = XkbGetMap(display_, 0, static_cast<unsigned>(d.deviceid));
        if (desc && XkbGetControls(display_, XkbControlsEnabledMask, desc) == Success &&
            desc->ctrls)
            usersKeyboards_.emplace_back(d.deviceid,
                                         (desc->ctrls->enabled_ctrls & XkbRepeatKeysMask) != 0);
        if (desc)
            XkbFreeKeyboard(desc, 0, True);
    }
    XIFreeDeviceInfo(devices);
}

bool X11Input::usersRepeatLocked() const {
    if (usersKeyboards_.empty())
        return true; // the server's default
    return std::any_of(usersKeyboards_.begin(), usersKeyboards_.end(),
                       [](const std::pair<int, bool> &k) { return k.second; });
}

void X11Input::writeRepeatLocked(Display *display, bool ours) const {
    // Every keyboard, the core one among them, takes what ours should do; then
    // the user's own go back to their setting.
    const bool value = ours && usersRepeatLocked();
    XkbChangeEnabledControls(display, XkbUseCoreKbd, XkbRepeatKeysMask,
                             value ? XkbRepeatKeysMask : 0);
    for (const auto &keyboard : usersKeyboards_)
        if (keyboard.second != value)
            XkbChangeEnabledControls(display, static_cast<unsigned>(keyboard.first),
                                     XkbRepeatKeysMask, keyboard.second ? XkbRepeatKeysMask : 0);
}

void X11Input::updateAutoRepeatLocked(bool soon) {
    const bool holding = !pressedKeys_.empty() || !heldChars_.empty();
    if (!usableLocked() || holding || !xtestRepeatOff_)
        return;
    if (soon) {
        // Typed text: once the typing pauses, not between characters.
        repeatRestoreDue_ = Clock::now() + kRepeatRestoreDelay;
        wake_.notify_all();
        return;
    }
    writeRepeatLocked(display_, true);
    xtestRepeatOff_ = false;
    repeatRestoreDue_ = {};
}

void X11Input::repeatOffBeforePressLocked(bool again) {
    if (!usableLocked() || !findXtestKeyboardLocked())
        return;
    repeatRestoreDue_ = {};
    if (xtestRepeatOff_ && !again)
        return;
    if (!xtestRepeatOff_)
        readUsersRepeatLocked();
    writeRepeatLocked(display_, false);
    xtestRepeatOff_ = true;
}

void X11Input::pumpLocked() {
    while (XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        // Map changes: XkbMapNotify below (Xlib also makes core
        // MappingNotify events of it, one per keyboard device).
        if (ev.type == ConfigureNotify && ev.xconfigure.window == root_) {
            rootWidth_ = ev.xconfigure.width;
            rootHeight_ = ev.xconfigure.height;
        } else if (ev.type == ClientMessage) {
            const XClientMessageEvent &c = ev.xclient;
            if (c.window == root_ && c.message_type == wmProtocols_ && c.format == 32 &&
                static_cast<unsigned long>(c.data.l[0]) == netWmPing_)
                onPongLocked(c.data.l[1]);
        } else if (ev.type == PropertyNotify) {
            // A Tk client took our message off its comm window.
            const XPropertyEvent &p = ev.xproperty;
            if (p.atom == commAtom_ && p.state == PropertyDelete)
                onCommTakenLocked(p.window);
        } else if (ev.type == xkbEventBase) {
            const XkbEvent &xkb = reinterpret_cast<const XkbEvent &>(ev);
            if (xkb.any.xkb_type == XkbStateNotify) {
                lockedMods_ = xkb.state.locked_mods;
            } else if (xkb.any.xkb_type == XkbMapNotify) {
                // One notice per keyboard device; the core keyboard's counts.
                if (xkb.map.device == coreKeyboard_)
                    noteMapNotifyLocked(xkb.map.changed, xkb.map.first_key_sym,
                                        xkb.map.num_key_syms);
            } else if (xkb.any.xkb_type == XkbNewKeyboardNotify) {
                // Which of our bindings the new map kept is seen on reload.
                mapStale_ = true;
            }
        }
    }
}

void X11Input::noteMapNotifyLocked(unsigned changed, int firstKey, int keys) {
    // Our own bindings come back in the order we made them; anything else is
    // another client changing the map (xmodmap, a layout).
    if ((changed & XkbKeySymsMask) && !ownChanges_.empty() &&
        ownChanges_.front().first == firstKey && ownChanges_.front().second == keys) {
        ownEcho_ = ownChanges_.front();
        ownChanges_.pop_front();
        return;
    }
    // An XKB map request of ours may come back twice (the master keyboard
    // and the one it was copied to); the echo is over once we synced.
    if ((changed & XkbKeySymsMask) && ownEcho_ == std::make_pair(firstKey, keys))
        return;
    mapStale_ = true;
    ownChanges_.clear(); // no telling any more which are ours
}

const KeyMap &X11Input::keyMapLocked() {
    if (mapStale_) {
        mapStale_ = false;
        KeyMap fresh;
        if (fresh.load(display_)) {
            adoptSpareKeycodesLocked(fresh);
            keyMap_ = std::move(fresh);
            keyMap_.setSpare(spare_);
            regrabHotKeysLater();
        }
    }
    return keyMap_;
}

void X11Input::adoptSpareKeycodesLocked(const KeyMap &fresh) {
    const std::vector<int> &free = fresh.spareKeycodes();
    const std::set<int> emptyNow(free.begin(), free.end());
    // Grows by the keycodes that still carry our bindings; the test below
    // must not see those, or a keycode's second slot would count as empty
    // and forget a binding a client may still be reading.
    std::set<int> spare = emptyNow;
    std::set<int> withSlots;
    for (Slot &slot : slots_) {
        withSlots.insert(slot.keycode);
        if (emptyNow.count(slot.keycode)) {
            // Nothing there now: ours to bind again; a binding it had is gone.
            slot.retired = false;
            if (!slot.held) {
                slot.keysym = 0;
                slot.paired = false;
            }
            continue;
        }
        if (slot.retired)
            continue;
        KeySym row[4];
        rowLocked(slot.keycode, row);
        // A core request may have stored a row of two equal keysyms as one.
        bool stillOurs = row[0] != NoSymbol;
        for (int level = 0; level < 4; ++level) {
            const unsigned long now = fresh.keysymAt(slot.keycode, level);
            stillOurs = stillOurs &&
                        (now == row[level] || (level == 1 && now == NoSymbol && row[1] == row[0]));
        }
        if (stillOurs) {
            spare.insert(slot.keycode);
        } else {
            // Another client bound this keycode: never write to it again.
            slot.retired = true;
            if (!slot.held) {
                slot.keysym = 0;
                slot.paired = false;
            }
        }
    }
    // Keycodes that became free: a slot for each of the four levels.
    for (int keycode : spare)
        if (!withSlots.count(keycode)) {
            const int first = static_cast<int>(slots_.size());
            for (int level = 0; level < 4; ++level) {
                Slot slot;
                slot.keycode = keycode;
                slot.level = level;
                slot.partner = first + (level ^ 1);
                slots_.push_back(slot);
            }
        }
    spare_.assign(spare.begin(), spare.end());
}

void X11Input::fakeKeyLocked(int keycode, bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), down ? True : False, CurrentTime);
}

void X11Input::keyDown(int vk) {
    const unsigned long keysym = keysymForVk(vk);
    if (!keysym)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    pumpLocked();
    // Letter and digit keys are the keys Windows would press on this layout.
    int keycode = keyMapLocked().keycodeForLetterVk(vk);
    if (!keycode)
        keycode = keyMapLocked().keycodeFor(keysym);
    if (!keycode) {
        // A key the map lacks (F13 to F24 on most maps): bind it for as long
        // as it is held.
        const int slot = bindLocked(lock, keysym, true);
        if (slot < 0)
            return;
        keycode = slots_[static_cast<size_t>(slot)].keycode;
        ++slots_[static_cast<size_t>(slot)].held;
        slots_[static_cast<size_t>(slot)].forKey = true;
        ++pressedSlots_[slot];
    } else {
        // The release must reach this keycode even if the map changes.
        keyDownAt_[vk] = keycode;
    }
    ++pressedKeys_[keycode];
    // Again for every key: another instance that stopped holding may have
    // turned it back on. Typed characters are let go at once and skip that.
    repeatOffBeforePressLocked(true);
    fakeKeyLocked(keycode, true);
    XFlush(display_);
}

void X11Input::keyUp(int vk) {
    const unsigned long keysym = keysymForVk(vk);
    if (!keysym)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
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
        const int slot = slotWithKeysymLocked(keysym, true, true);
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
            if (s.retired && !s.held)
                s.keysym = 0; // the keycode is another client's now
        }
    }
    fakeKeyLocked(keycode, false);
    auto it = pressedKeys_.find(keycode);
    if (it != pressedKeys_.end() && --it->second <= 0)
        pressedKeys_.erase(it);
    updateAutoRepeatLocked();
    XFlush(display_);
}

void X11Input::mouseDown(MouseButton button) {
    const unsigned x = button == MouseButton::Left ? Button1 : Button3;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    XTestFakeButtonEvent(display_, x, True, CurrentTime);
    pressedButtons_.insert(static_cast<int>(x));
    XFlush(display_);
}

void X11Input::mouseUp(MouseButton button) {
    const unsigned x = button == MouseButton::Left ? Button1 : Button3;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    XTestFakeButtonEvent(display_, x, False, CurrentTime);
    pressedButtons_.erase(static_cast<int>(x));
    XFlush(display_);
}

Point X11Input::cursorPos() {
    std::lock_guard<std::mutex> lock(mutex_);
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (usableLocked())
        XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
    return {rootX, rootY};
}

void X11Input::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    pumpLocked(); // the root window's size follows screen changes
    // The protocol carries 16-bit coordinates: far positions would wrap
    // round to the other side. Windows keeps the pointer on the desktop.
    x = std::clamp(x, 0, std::max(0, rootWidth_ - 1));
    y = std::clamp(y, 0, std::max(0, rootHeight_ - 1));
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XFlush(display_);
}

bool X11Input::isDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return false;
    if (vk == kVkLButton || vk == kVkRButton) {
        Window rootReturn = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
        return (mask & (vk == kVkLButton ? Button1Mask : Button3Mask)) != 0;
    }
    if (vk <= 0 || vk > 0xFF)
        return false;
    pumpLocked();
    char keys[32];
    XQueryKeymap(display_, keys);
    auto pressed = [&keys](int keycode) {
        return keycode >= 0 && keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8)));
    };
    auto at = keyDownAt_.find(vk);
    if (at != keyDownAt_.end() && pressed(at->second))
        return true;
    // Whatever key the hook reports as `vk` is down as `vk`: a stop key
    // captured from any key is found again.
    const KeyMap &map = keyMapLocked();
    for (int keycode = map.minKeycode(); keycode <= map.maxKeycode(); ++keycode)
        if (pressed(keycode) && vkMatches(vk, vkForKeycodeLocked(keycode)))
            return true;
    return false;
}

bool X11Input::vkMatches(int asked, int reported) {
    if (asked == reported)
        return true;
    switch (asked) { // a generic modifier code stands for both sides
    case 0x10:
        return reported == 0xA0 || reported == 0xA1;
    case 0x11:
        return reported == 0xA2 || reported == 0xA3;
    case 0x12:
        return reported == 0xA4 || reported == 0xA5;
    default:
        return false;
    }
}

int X11Input::vkForKeycodeLocked(int keycode) {
    const KeyMap &map = keyMapLocked();
    if (map.isSpare(keycode)) {
        // Our bindings: a key held through keyDown reads as that key, a
        // character as what Windows reports for injected characters.
        for (const Slot &slot : slots_)
            if (slot.keycode == keycode && slot.keysym) {
                const int vk = slot.forKey && slot.level == 0 ? vkForKeysym(slot.keysym) : 0;
                return vk ? vk : kVkPacket;
            }
    }
    const bool numLock = map.numLockMask() && (lockedMods_ & map.numLockMask());
    return map.vkAt(keycode, numLock);
}

void X11Input::releaseAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!display_)
        return;
    // A connection the server closed shows only on a round trip: what we
    // send on it now would go nowhere.
    if (!lost_)
        XSync(display_, False);
    if (lost_) {
        releaseThroughFreshConnectionLocked();
        return;
    }
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
    updateAutoRepeatLocked();
    XFlush(display_);
    restoreBindingsLocked(lock, true);
}

} // namespace platform::x11
