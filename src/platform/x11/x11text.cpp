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
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform::x11 {
namespace {

// The least time between two new bindings. Every binding makes every client
// reload its keyboard map (a Qt client takes about 2 ms for that); binding
// faster than clients reload piles up work and delays their reading. On Xvfb
// 1 ms between bindings let a Qt client fall behind and lose a fifth of the
// characters; 2.5 ms kept it exact.
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
    if (it->slot >= 0) {
        Slot &slot = slots_[static_cast<size_t>(it->slot)];
        slot.held = std::max(0, slot.held - 1);
        slot.lastUse = lastTextUse_ = Clock::now();
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
    int slotIndex = -1;
    if (!map.strokeFor(keysym, lockedMods_, stroke)) {
        slotIndex = bindLocked(lock, keysym, false);
        if (slotIndex < 0)
            return;
        const Slot &slot = slots_[static_cast<size_t>(slotIndex)];
        stroke.keycode = slot.keycode;
        // A letter's two cases share a keycode whose type takes Caps Lock
        // into account: otherwise clients would turn the letter upper case
        // while Caps Lock is on.
        const bool lockOn = (lockedMods_ & LockMask) != 0;
        const bool upperLevel = slot.level == 1;
        stroke.mods = (slot.paired ? upperLevel != lockOn : upperLevel) ? ShiftMask : 0;
    }
    const KeyMap &current = keyMapLocked();
    const int shift = (stroke.mods & ShiftMask) ? current.shiftKeycode() : 0;
    const int level3 = (stroke.mods & current.level3Mask()) ? current.level3Keycode() : 0;
    if (shift)
        fakeKeyLocked(shift, true);
    if (level3)
        fakeKeyLocked(level3, true);
    fakeKeyLocked(stroke.keycode, true);
    // The character is made on the press; the modifiers need not stay.
    if (level3)
        fakeKeyLocked(level3, false);
    if (shift)
        fakeKeyLocked(shift, false);
    heldChars_.push_back({std::this_thread::get_id(), cp, stroke.keycode, slotIndex});
    if (slotIndex >= 0) {
        Slot &slot = slots_[static_cast<size_t>(slotIndex)];
        ++slot.held;
        slot.lastUse = lastTextUse_ = Clock::now();
        wake_.notify_all();
    }
    XFlush(display_);
}

int X11Input::slotWithKeysymLocked(unsigned long keysym, bool unshiftedOnly) const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].keysym == keysym && (!unshiftedOnly || slots_[i].level == 0))
            return static_cast<int>(i);
    return -1;
}

void X11Input::writeRowLocked(int keycode) {
    // Both levels always carry a keysym (the other one where a level is
    // free), so the server gives the key a two-level type, never one that
    // Caps Lock would turn.
    KeySym row[2] = {NoSymbol, NoSymbol};
    for (const Slot &slot : slots_)
        if (slot.keycode == keycode)
            row[slot.level] = slot.keysym;
    if (!row[0])
        row[0] = row[1];
    if (!row[1])
        row[1] = row[0];
    XChangeKeyboardMapping(display_, keycode, 2, row, 1);
}

int X11Input::bindLocked(std::unique_lock<std::mutex> &lock, unsigned long keysym,
                         bool unshiftedOnly) {
    if (slots_.empty()) {
        qCWarning(lcX11Input) << "No spare keycode to bind keysym" << Qt::hex << keysym;
        return -1;
    }
    KeySym lower = 0, upper = 0;
    XConvertCase(keysym, &lower, &upper);
    const bool cased = lower != upper && !unshiftedOnly;
    for (;;) {
        if (stopping_)
            return -1;
        const int bound = slotWithKeysymLocked(keysym, unshiftedOnly);
        if (bound >= 0 && (!cased || slots_[static_cast<size_t>(bound)].paired))
            return bound;
        const Clock::time_point now = Clock::now();
        // A slot is taken with its partner when either holds a case pair
        // (the pair goes as a whole) or when a case pair is to be bound.
        auto takesPartner = [&](const Slot &slot) { return cased || slot.paired; };
        auto usable = [&](const Slot &slot) {
            if (slot.held || (unshiftedOnly && slot.level != 0) || (cased && slot.level != 0))
                return false;
            return !takesPartner(slot) || !slots_[static_cast<size_t>(slot.partner)].held;
        };
        // When the slot (and the partner it takes along) may be rebound.
        auto readyAt = [&](const Slot &slot) {
            Clock::time_point t{};
            if (slot.keysym)
                t = slot.lastUse + kReuseAge;
            const Slot &partner = slots_[static_cast<size_t>(slot.partner)];
            if (takesPartner(slot) && partner.keysym)
                t = std::max(t, partner.lastUse + kReuseAge);
            return t;
        };
        int candidate = -1;
        for (size_t k = 0; k < slots_.size(); ++k) {
            if (!usable(slots_[k]))
                continue;
            // Free first, then the one that rested longest.
            if (candidate < 0 ||
                readyAt(slots_[k]) < readyAt(slots_[static_cast<size_t>(candidate)]))
                candidate = static_cast<int>(k);
        }
        Clock::time_point ready = lastBind_ + kBindGap;
        if (candidate < 0) // every slot is held down right now
            ready = std::max(ready, now + std::chrono::milliseconds(1));
        else
            ready = std::max(ready, readyAt(slots_[static_cast<size_t>(candidate)]));
        if (now < ready) {
            bindWait_.wait_until(lock, ready);
            pumpLocked();
            continue;
        }
        Slot &slot = slots_[static_cast<size_t>(candidate)];
        Slot &partner = slots_[static_cast<size_t>(slot.partner)];
        int result = candidate;
        if (cased) {
            slot.keysym = lower;
            partner.keysym = upper;
            slot.paired = partner.paired = true;
            result = keysym == upper ? slot.partner : candidate;
        } else {
            if (slot.paired) {
                partner.keysym = 0;
                partner.paired = false;
            }
            slot.keysym = keysym;
            slot.paired = false;
        }
        writeRowLocked(slot.keycode);
        // The binding is in place at the server before any key we send next
        // (requests on one connection are handled in order); the round trip
        // also keeps us from running ahead of the server.
        XSync(display_, False);
        pumpLocked();
        slot.lastUse = lastBind_ = Clock::now();
        if (cased)
            partner.lastUse = slot.lastUse;
        return result;
    }
}

void X11Input::restoreBindingsLocked(std::unique_lock<std::mutex> &lock, bool waitForSafety) {
    for (;;) {
        Clock::time_point latest{};
        bool any = false;
        for (const Slot &slot : slots_)
            if (slot.keysym != 0 && !slot.held) {
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
    // A keycode goes back to having nothing once neither level is held. One
    // request per run of consecutive keycodes: each request makes every
    // client reload its map once.
    auto restorable = [this](int keycode) {
        bool bound = false;
        for (const Slot &slot : slots_)
            if (slot.keycode == keycode) {
                if (slot.held)
                    return false;
                bound = bound || slot.keysym != 0;
            }
        return bound;
    };
    std::vector<int> keycodes = spare_;
    std::sort(keycodes.begin(), keycodes.end());
    for (size_t i = 0; i < keycodes.size();) {
        if (!restorable(keycodes[i])) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < keycodes.size() && keycodes[j] == keycodes[j - 1] + 1 && restorable(keycodes[j]))
            ++j;
        std::vector<KeySym> none(2 * (j - i), NoSymbol);
        XChangeKeyboardMapping(display_, keycodes[i], 2, none.data(), static_cast<int>(j - i));
        for (size_t k = i; k < j; ++k)
            for (Slot &slot : slots_)
                if (slot.keycode == keycodes[k]) {
                    slot.keysym = 0;
                    slot.paired = false;
                }
        i = j;
    }
    XSync(display_, False);
    pumpLocked();
}

void X11Input::restorerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const bool anyFreeBound = std::any_of(slots_.begin(), slots_.end(), [](const Slot &s) {
            return s.keysym != 0 && s.held == 0;
        });
        if (!anyFreeBound) {
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
