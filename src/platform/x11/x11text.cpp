// Text typing. Characters the keyboard map has are typed with their own key
// and shift level; others are bound for a moment to spare keycodes by the
// key binder (x11keybinder.h), in blocks where the text ahead is known.
// Each typing thread has a session of its own (x11typingsession.h).

#include "x11input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

namespace platform::x11 {

void X11Input::textAhead(const char16_t *units, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    typing_.of(self).announce(units, count);
    typing_.endIfIdle(self);
}

void X11Input::unicodeDown(char16_t unit) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    desktop::TypingSession &session = typing_.of(self);
    char32_t cp = 0;
    if (session.take(unit, cp)) {
        // Typing follows the text announced, or the announcement no longer holds.
        session.follow(cp);
        pressCodePointLocked(lock, session, cp);
    }
    typing_.endIfIdle(self);
}

void X11Input::unicodeUp(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return; // the first half of a pair: its character comes up with the second
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    const std::thread::id self = std::this_thread::get_id();
    auto it = std::find_if(heldChars_.begin(), heldChars_.end(), [&](const HeldChar &h) {
        if (h.thread != self)
            return false;
        if (h.cp >= 0x10000)
            return unit >= 0xDC00 && unit <= 0xDFFF &&
                   (0xDC00 + ((h.cp - 0x10000) & 0x3FF)) == unit;
        return h.cp == unit;
    });
    if (it == heldChars_.end())
        return;
    fakeKeyLocked(it->keycode, false);
    if (it->slot >= 0)
        binder_.release(it->slot);
    heldChars_.erase(it);
    charReleased_.notify_all();
    updateAutoRepeatLocked(true);
    XFlush(display_);
}

void X11Input::pressCodePointLocked(std::unique_lock<std::mutex> &lock,
                                    const desktop::TypingSession &session, char32_t cp) {
    const unsigned long keysym = keysymForCodePoint(cp);
    if (!keysym)
        return;
    if (!usableLocked())
        return;
    pumpLocked();
    const KeyMap &map = keyMapLocked();
    KeyStroke stroke;
    int slotIndex = -1;
    const bool onMap = map.strokeFor(keysym, xkbMap_.lockedMods(), stroke);
    // A key already down (a held key, or another thread's character) cannot
    // type: the server takes a second press for a repeat and drops it, and
    // the character's release would let go of what its holder still holds.
    // The character goes through a spare keycode instead.
    const bool keyBusy = onMap && keycodeDownLocked(stroke.keycode);
    if (!onMap || keyBusy) {
        slotIndex =
            keyBusy ? -2 : binder_.bindBlock(lock, keysym, session.ahead(), session.typed());
        if (slotIndex == -2)
            slotIndex = binder_.bind(lock, keysym, false);
        if (slotIndex < 0)
            return;
        const Slot &slot = binder_.slot(slotIndex);
        stroke.keycode = slot.keycode;
        // A letter's two cases share a keycode whose type takes Caps Lock
        // into account: otherwise clients would turn the letter upper case
        // while Caps Lock is on.
        const bool lockOn = (xkbMap_.lockedMods() & LockMask) != 0;
        const bool upperLevel = slot.level % 2 == 1;
        stroke.mods = (slot.paired ? upperLevel != lockOn : upperLevel) ? ShiftMask : 0;
        if (slot.level >= 2)
            stroke.mods |= keyMapLocked().level3Mask();
    }
    // The character is made on the press, so the modifiers it needs are
    // latched rather than held: the server applies them to the next key
    // press only, and the window has no Shift or level-3 key events to
    // handle for the character.
    const unsigned latch = stroke.mods & (ShiftMask | keyMapLocked().level3Mask());
    repeatOffBeforePressLocked();
    if (latch)
        XkbLatchModifiers(display_, XkbUseCoreKbd, latch, latch);
    fakeKeyLocked(stroke.keycode, true);
    heldChars_.push_back({std::this_thread::get_id(), cp, stroke.keycode, slotIndex});
    if (slotIndex >= 0) {
        binder_.press(slotIndex, false);
        wake_.notify_all();
    }
    XFlush(display_);
}

bool X11Input::keycodeDownLocked(int keycode) const {
    if (pressedKeys_.count(keycode))
        return true;
    return std::any_of(heldChars_.begin(), heldChars_.end(),
                       [keycode](const HeldChar &h) { return h.keycode == keycode; });
}

void X11Input::restorerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (connection_.lost()) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        pumpLocked(); // answers to pings and root window notices pile up otherwise
        if (xkbMap_.stale())
            keyMapLocked(); // a layout switch while nothing types: the hot key follows
        const Clock::time_point repeatDue = repeat_.restoreDue();
        if (repeatDue != Clock::time_point{}) {
            if (Clock::now() < repeatDue) {
                wake_.wait_until(lock, repeatDue);
                continue;
            }
            repeat_.clearDue();
            updateAutoRepeatLocked();
        }
        if (!binder_.anyRestorable()) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        const Clock::time_point due = binder_.lastUse() + kIdleRestore;
        if (Clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        binder_.restore(lock, true);
    }
}

} // namespace platform::x11
