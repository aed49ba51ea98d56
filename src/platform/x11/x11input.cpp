#include "x11input.h"

#include "x11keytable.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcX11Input, "tarnwick.platform")

namespace platform::x11 {

std::unique_ptr<X11Input> X11Input::create(std::string &error) {
    std::unique_ptr<X11Input> layer(new X11Input());
    if (!layer->open(error))
        return nullptr;
    return layer;
}

bool X11Input::open(std::string &error) {
    if (!connection_.open(error))
        return false;
    display_ = connection_.display();
    root_ = connection_.root();
    if (!xkbMap_.open(connection_)) {
        error = "The X server lacks the XKEYBOARD extension needed to read the keyboard map.";
        return false;
    }
    xkbMap_.onReload([this] { mapReloadedLocked(); });
    clientSync_.open(connection_);
    binder_.adoptSpareKeycodes();
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
                if (xkbMap_.stale())
                    keyMapLocked();
            }
            if (connection_.lost())
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
            binder_.stop();
        }
        wake_.notify_all();
        restorer_.join();
    }
    guiContext_.reset();
    if (display_)
        releaseAll();
    // connection_ closes the display as the members go.
}

void X11Input::updateAutoRepeatLocked(bool soon) {
    const bool holding = !pressedKeys_.empty() || !heldChars_.empty();
    if (!usableLocked() || holding)
        return;
    if (repeat_.nothingHeld(display_, soon))
        wake_.notify_all(); // the restorer sets it back once typing pauses
}

void X11Input::repeatOffBeforePressLocked(bool again) {
    if (usableLocked())
        repeat_.offBeforePress(display_, again);
}

void X11Input::mapReloadedLocked() {
    binder_.adoptSpareKeycodes();
    xkbMap_.setSpare(binder_.spare());
    regrabHotKeysLater();
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
        const int slot = binder_.bind(lock, keysym, true);
        if (slot < 0)
            return;
        keycode = binder_.slot(slot).keycode;
        binder_.press(slot, true);
        ++pressedSlots_[slot];
    } else {
        // The release must reach this keycode even if the map changes.
        keyDownAt_[vk] = keycode;
        // A character another thread is typing on this key comes up at
        // once: pressed now, the key would be dropped as a repeat and let go
        // with the character.
        const std::thread::id self = std::this_thread::get_id();
        charReleased_.wait_for(lock, std::chrono::milliseconds(200), [&] {
            return std::none_of(heldChars_.begin(), heldChars_.end(), [&](const HeldChar &h) {
                return h.keycode == keycode && h.thread != self;
            });
        });
        if (!usableLocked())
            return;
    }
    // Again for every key: another instance that stopped holding may have
    // turned it back on. Typed characters are let go at once and skip that.
    repeatOffBeforePressLocked(true);
    // Held by another caller already: pressed again as a hand would (up,
    // then down, or the server drops the press as a repeat), and released
    // only with the last caller's keyUp.
    if (pressedKeys_[keycode]++ > 0)
        fakeKeyLocked(keycode, false);
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
    } else {
        keycode = keyMapLocked().keycodeFor(keysym);
    }
    if (!keycode) {
        const int slot = binder_.slotWithKeysym(keysym, true, true);
        if (slot < 0)
            return;
        keycode = binder_.slot(slot).keycode;
        auto held = pressedSlots_.find(slot);
        if (held != pressedSlots_.end()) {
            binder_.release(slot);
            if (--held->second <= 0)
                pressedSlots_.erase(held);
        }
    }
    auto it = pressedKeys_.find(keycode);
    if (it != pressedKeys_.end() && --it->second > 0)
        return; // another caller still holds it
    if (it != pressedKeys_.end())
        pressedKeys_.erase(it);
    if (pressed != keyDownAt_.end())
        keyDownAt_.erase(pressed);
    fakeKeyLocked(keycode, false);
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
    x = std::clamp(x, 0, std::max(0, connection_.rootWidth() - 1));
    y = std::clamp(y, 0, std::max(0, connection_.rootHeight() - 1));
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
        for (const Slot &slot : binder_.allSlots())
            if (slot.keycode == keycode && slot.keysym) {
                const int vk = slot.forKey && slot.level == 0 ? vkForKeysym(slot.keysym) : 0;
                return vk ? vk : kVkPacket;
            }
    }
    const bool numLock = map.numLockMask() && (xkbMap_.lockedMods() & map.numLockMask());
    return map.vkAt(keycode, numLock);
}

void X11Input::releaseAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!display_)
        return;
    // A connection the server closed shows only on a round trip: what we
    // send on it now would go nowhere.
    if (!connection_.lost())
        XSync(display_, False);
    if (connection_.lost()) {
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
    charReleased_.notify_all();
    binder_.releaseAll();
    pressedSlots_.clear();
    updateAutoRepeatLocked();
    XFlush(display_);
    binder_.restore(lock, true);
}

} // namespace platform::x11
