// Text typing. Characters the keyboard map has are typed with their own key
// and shift level. Others are bound for a moment to spare keycodes (those
// with no keysym): the server applies a binding before any key event we send
// after it, but every client reads the new map only when it gets round to
// the notification, so a keycode must not be rebound while a client may
// still be reading its previous binding. Several spare keycodes are used in
// turn, a character already bound is reused as it is, and a keycode is
// rebound only after it has rested for kReuseAge.

#include "x11input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform::x11 {
namespace {

// The least time between two new bindings. Every binding makes every client
// reload its keyboard map (a Qt client takes about 2 ms for that); binding
// faster than clients reload would pile up work and delay their reading.
constexpr std::chrono::microseconds kBindGap{2500};

// Per typing thread: the first half of a surrogate pair, and whether the
// last character was a carriage return (so CR LF makes one line break).
thread_local char16_t pendingHigh = 0;
thread_local bool afterCarriageReturn = false;

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

unsigned long keysymForCodePoint(char32_t cp) {
    switch (cp) {
    case U'\r':
    case U'\n':
        return XK_Return;
    case U'\t':
        return XK_Tab;
    case U'\b':
        return XK_BackSpace;
    case 0x1B:
        return XK_Escape;
    default:
        break;
    }
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp > 0x10FFFF)
        return 0;
    if (cp < 0x100)
        return cp; // Latin-1 keysyms are their code points
    return 0x1000000 | cp;
}

} // namespace

void X11Input::unicodeDown(char16_t unit) {
    char32_t cp = unit;
    if (isHighSurrogate(unit)) {
        pendingHigh = unit; // X takes whole code points: wait for the other half
        return;
    }
    if (isLowSurrogate(unit)) {
        if (!pendingHigh)
            return;
        cp = 0x10000 + ((static_cast<char32_t>(pendingHigh) - 0xD800) << 10) + (unit - 0xDC00);
    }
    pendingHigh = 0;
    const bool skip = cp == U'\n' && afterCarriageReturn;
    afterCarriageReturn = cp == U'\r';
    if (!skip)
        pressCodePoint(cp);
}

void X11Input::unicodeUp(char16_t unit) {
    if (isHighSurrogate(unit))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    auto it = std::find_if(heldChars_.begin(), heldChars_.end(), [&](const HeldChar &h) {
        if (h.thread != self)
            return false;
        if (h.cp >= 0x10000)
            return isLowSurrogate(unit) && (0xDC00 + ((h.cp - 0x10000) & 0x3FF)) == unit;
        return h.cp == unit;
    });
    if (it == heldChars_.end())
        return;
    fakeKeyLocked(it->keycode, false);
    if (it->spare)
        for (Slot &slot : slots_)
            if (slot.keycode == it->keycode) {
                slot.held = std::max(0, slot.held - 1);
                slot.lastUse = Clock::now();
            }
    heldChars_.erase(it);
    XFlush(display_);
}

void X11Input::pressCodePoint(char32_t cp) {
    const unsigned long keysym = keysymForCodePoint(cp);
    if (!keysym)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    pumpLocked();
    const KeyMap &map = keyMapLocked();
    KeyStroke stroke;
    if (map.strokeFor(keysym, lockedMods_, stroke)) {
        const int shift = (stroke.mods & ShiftMask) ? map.shiftKeycode() : 0;
        const int level3 = (stroke.mods & map.level3Mask()) ? map.level3Keycode() : 0;
        if (shift)
            fakeKeyLocked(shift, true);
        if (level3)
            fakeKeyLocked(level3, true);
        fakeKeyLocked(stroke.keycode, true);
        if (level3)
            fakeKeyLocked(level3, false);
        if (shift)
            fakeKeyLocked(shift, false);
        heldChars_.push_back({std::this_thread::get_id(), cp, stroke.keycode, false});
        XFlush(display_);
        return;
    }
    const int index = bindLocked(lock, cp);
    if (index < 0)
        return;
    Slot &slot = slots_[static_cast<size_t>(index)];
    fakeKeyLocked(slot.keycode, true);
    ++slot.held;
    slot.lastUse = lastTextUse_ = Clock::now();
    heldChars_.push_back({std::this_thread::get_id(), cp, slot.keycode, true});
    XFlush(display_);
    wake_.notify_all();
}

int X11Input::bindLocked(std::unique_lock<std::mutex> &lock, char32_t cp) {
    if (slots_.empty()) {
        qCWarning(lcX11Input) << "No spare keycode to type U+" << Qt::hex << unsigned(cp);
        return -1;
    }
    for (;;) {
        if (stopping_)
            return -1;
        const Clock::time_point now = Clock::now();
        int candidate = -1;
        for (size_t i = 0; i < slots_.size(); ++i) {
            const Slot &slot = slots_[i];
            if (slot.cp == cp)
                return static_cast<int>(i);
            if (slot.held)
                continue;
            if (candidate < 0) {
                candidate = static_cast<int>(i);
                continue;
            }
            const Slot &best = slots_[static_cast<size_t>(candidate)];
            // Unbound keycodes first, then the one that rested longest.
            if ((slot.cp == 0) != (best.cp == 0) ? slot.cp == 0 : slot.lastUse < best.lastUse)
                candidate = static_cast<int>(i);
        }
        Clock::time_point ready = lastBind_ + kBindGap;
        if (candidate >= 0 && slots_[static_cast<size_t>(candidate)].cp != 0)
            ready = std::max(ready, slots_[static_cast<size_t>(candidate)].lastUse + kReuseAge);
        if (candidate < 0) // every spare key is held down right now
            ready = now + std::chrono::milliseconds(1);
        if (now < ready) {
            bindWait_.wait_until(lock, ready);
            pumpLocked();
            continue;
        }
        Slot &slot = slots_[static_cast<size_t>(candidate)];
        KeySym keysym = keysymForCodePoint(cp);
        XChangeKeyboardMapping(display_, slot.keycode, 1, &keysym, 1);
        // A round trip: the binding is in place at the server before the key.
        XSync(display_, False);
        pumpLocked();
        slot.cp = cp;
        slot.lastUse = lastBind_ = Clock::now();
        return candidate;
    }
}

void X11Input::restoreBindingsLocked(std::unique_lock<std::mutex> &lock, bool waitForSafety) {
    for (;;) {
        Clock::time_point latest{};
        bool any = false;
        for (const Slot &slot : slots_)
            if (slot.cp != 0) {
                any = true;
                latest = std::max(latest, slot.lastUse);
            }
        if (!any)
            return;
        const Clock::time_point safe = latest + kReuseAge;
        if (!waitForSafety || Clock::now() >= safe)
            break;
        bindWait_.wait_until(lock, safe);
    }
    // One request per run of consecutive spare keycodes: each request makes
    // every client reload its map once.
    std::vector<int> keycodes = spare_;
    std::sort(keycodes.begin(), keycodes.end());
    auto bound = [this](int keycode) {
        for (const Slot &slot : slots_)
            if (slot.keycode == keycode)
                return slot.cp != 0 && slot.held == 0;
        return false;
    };
    for (size_t i = 0; i < keycodes.size();) {
        size_t j = i + 1;
        while (j < keycodes.size() && keycodes[j] == keycodes[j - 1] + 1)
            ++j;
        bool needed = false;
        for (size_t k = i; k < j; ++k)
            needed = needed || bound(keycodes[k]);
        if (needed) {
            std::vector<KeySym> none(j - i, NoSymbol);
            XChangeKeyboardMapping(display_, keycodes[i], 1, none.data(), static_cast<int>(j - i));
        }
        i = j;
    }
    for (Slot &slot : slots_)
        if (slot.held == 0)
            slot.cp = 0;
    XSync(display_, False);
    pumpLocked();
}

void X11Input::restorerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const bool anyBound =
            std::any_of(slots_.begin(), slots_.end(), [](const Slot &s) { return s.cp != 0; });
        const bool anyHeld =
            std::any_of(slots_.begin(), slots_.end(), [](const Slot &s) { return s.held != 0; });
        if (!anyBound || anyHeld) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        const Clock::time_point due = lastTextUse_ + kIdleRestore;
        if (Clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        restoreBindingsLocked(lock, true);
    }
}

} // namespace platform::x11
