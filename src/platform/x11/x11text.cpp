// Text typing. Characters the keyboard map has are typed with their own key
// and shift level. Others are bound for a moment to spare keycodes (those
// with no keysym): the server applies a binding before any key event we send
// after it, but every client reads the new map only when it gets round to
// the notification, so a keycode must not be rebound while a client may
// still be reading its previous binding. Several spare keycodes are used in
// turn, a character already bound is reused as it is, and a keycode is
// rebound (or undone) only once the focused client has answered a ping sent
// after the keycode's last key: clients answer in the order of their events,
// so it has then read that key with its binding. However late a busy client
// reads, nothing is lost that way. Tk answers no ping but reads a message
// on its `send` channel in turn with its key events; it is asked that way.
// A client that cannot be asked is given kReuseAge.

#include "x11input.h"

#include <QGuiApplication>
#include <QThread>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

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
// The code points this thread said it is about to type (as pressCodePoint
// will see them) and how far typing has got through them.
thread_local std::u32string aheadText;
thread_local size_t aheadPos = 0;

// How far ahead a block looks for characters to bind.
constexpr size_t kAheadScan = 4096;

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

// The GUI thread cannot answer a ping to one of its own windows while it
// waits for the answer.
bool ownWindowOnGuiThread(unsigned long window) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() != QThread::currentThread())
        return false;
    auto *gui = qobject_cast<QGuiApplication *>(app);
    auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    return (window & ~static_cast<unsigned long>(setup->resource_id_mask)) ==
           setup->resource_id_base;
}

} // namespace

void X11Input::textAhead(const char16_t *units, std::size_t count) {
    aheadText.clear();
    aheadPos = 0;
    char32_t high = 0;
    bool afterCr = false;
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u)) {
            high = u;
            continue;
        }
        char32_t cp = u;
        if (isLowSurrogate(u)) {
            if (!high)
                continue;
            cp = 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00);
        }
        high = 0;
        const bool skip = cp == U'\n' && afterCr;
        afterCr = cp == U'\r';
        if (!skip)
            aheadText.push_back(cp);
    }
}

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
    if (!usableLocked())
        return;
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
    updateAutoRepeatLocked(true);
    XFlush(display_);
}

void X11Input::pressCodePoint(char32_t cp) {
    // Typing follows the text announced, or the announcement no longer holds.
    if (aheadPos < aheadText.size() && aheadText[aheadPos] == cp) {
        ++aheadPos;
    } else if (!aheadText.empty()) {
        aheadText.clear();
        aheadPos = 0;
    }
    const unsigned long keysym = keysymForCodePoint(cp);
    if (!keysym)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (!usableLocked())
        return;
    pumpLocked();
    const KeyMap &map = keyMapLocked();
    KeyStroke stroke;
    int slotIndex = -1;
    if (!map.strokeFor(keysym, lockedMods_, stroke)) {
        slotIndex = bindBlockLocked(lock, keysym);
        if (slotIndex == -2)
            slotIndex = bindLocked(lock, keysym, false);
        if (slotIndex < 0)
            return;
        const Slot &slot = slots_[static_cast<size_t>(slotIndex)];
        stroke.keycode = slot.keycode;
        // A letter's two cases share a keycode whose type takes Caps Lock
        // into account: otherwise clients would turn the letter upper case
        // while Caps Lock is on.
        const bool lockOn = (lockedMods_ & LockMask) != 0;
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
        Slot &slot = slots_[static_cast<size_t>(slotIndex)];
        ++slot.held;
        slot.lastUse = lastTextUse_ = Clock::now();
        wake_.notify_all();
    }
    XFlush(display_);
}

int X11Input::slotWithKeysymLocked(unsigned long keysym, bool unshiftedOnly,
                                   bool includeRetired) const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].keysym == keysym && (!unshiftedOnly || slots_[i].level == 0) &&
            (includeRetired || !slots_[i].retired))
            return static_cast<int>(i);
    return -1;
}

bool X11Input::rowLocked(int keycode, unsigned long row[4]) const {
    // Both levels of a pair always carry a keysym (the other one where a
    // level is free), so the server gives the key a type of our choosing,
    // never one that Caps Lock would turn.
    row[0] = row[1] = row[2] = row[3] = NoSymbol;
    for (const Slot &slot : slots_)
        if (slot.keycode == keycode && !slot.retired)
            row[slot.level] = slot.keysym;
    for (int pair = 0; pair < 4; pair += 2) {
        if (!row[pair])
            row[pair] = row[pair + 1];
        if (!row[pair + 1])
            row[pair + 1] = row[pair];
    }
    // The level-3 pair alone goes on the lower levels of a two-level key,
    // where the level-3 shift changes nothing.
    if (!row[0]) {
        row[0] = row[2];
        row[1] = row[3];
    }
    const bool four = row[2] != NoSymbol && (row[2] != row[0] || row[3] != row[1]);
    if (!four)
        row[2] = row[3] = NoSymbol;
    return four;
}

bool X11Input::keycodeFreeLocked(int keycode) const {
    for (const Slot &slot : slots_)
        if (slot.keycode == keycode && (slot.retired || slot.held || slot.forKey))
            return false;
    return true;
}

void X11Input::writeRowLocked(int keycode) {
    KeySym row[4];
    // Four levels need the four-level type, which only an XKB request sets.
    if (rowLocked(keycode, row) && writeRowsLocked({keycode}))
        return;
    XChangeKeyboardMapping(display_, keycode, 2, row, 1);
    noteOwnChangeLocked(keycode, 1);
}

void X11Input::noteOwnChangeLocked(int first, int count) {
    ownChanges_.emplace_back(first, count);
    if (ownChanges_.size() > 256) // notices we never got: stop trusting the list
        ownChanges_.clear();
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
        // (the pair goes as a whole) or when a case pair is to be bound. A
        // case pair takes the whole keycode: its key type minds Caps Lock,
        // which the upper levels must not.
        auto takesPartner = [&](const Slot &slot) { return cased || slot.paired; };
        auto takenAlong = [&](const Slot &slot) {
            std::vector<const Slot *> out;
            if (takesPartner(slot))
                out.push_back(&slots_[static_cast<size_t>(slot.partner)]);
            if (cased) {
                const Slot *base = &levelZeroOf(slot);
                out.push_back(base + 2);
                out.push_back(base + 3);
            }
            return out;
        };
        auto usable = [&](const Slot &slot) {
            if (slot.retired || slots_[static_cast<size_t>(slot.partner)].retired)
                return false;
            if (slot.held || (unshiftedOnly && slot.level != 0) || (cased && slot.level != 0))
                return false;
            if (slot.level >= 2 && (!fourLevelsLocked() || levelZeroOf(slot).paired))
                return false;
            for (const Slot *other : takenAlong(slot))
                if (other->held || other->retired)
                    return false;
            return true;
        };
        // The last key sent through the slot (and those it takes along)
        // while they had a binding.
        auto lastUse = [&](const Slot &slot) {
            Clock::time_point t{};
            if (slot.keysym)
                t = slot.lastUse;
            for (const Slot *other : takenAlong(slot))
                if (other->keysym)
                    t = std::max(t, other->lastUse);
            return t;
        };
        // When the slot (and those it takes along) may be rebound.
        auto readyAt = [&](const Slot &slot) {
            Clock::time_point t{};
            if (slot.keysym)
                t = safeFromLocked(slot.lastUse);
            for (const Slot *other : takenAlong(slot))
                if (other->keysym)
                    t = std::max(t, safeFromLocked(other->lastUse));
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
        const bool anyLeft = std::any_of(slots_.begin(), slots_.end(), [&](const Slot &slot) {
            return !slot.retired && !slots_[static_cast<size_t>(slot.partner)].retired;
        });
        if (!anyLeft) { // other clients took every spare keycode: waiting would never end
            qCWarning(lcX11Input) << "No spare keycode left to bind keysym" << Qt::hex << keysym;
            return -1;
        }
        if (candidate < 0) { // every slot is held down right now
            ready = std::max(ready, now + std::chrono::milliseconds(1));
        } else {
            pingFocusedClientLocked(lastUse(slots_[static_cast<size_t>(candidate)]));
            ready = std::max(ready, readyAt(slots_[static_cast<size_t>(candidate)]));
        }
        if (now < ready) {
            // Short steps: the client's answer may make the slot ready early.
            bindWait_.wait_until(lock, std::min(ready, now + std::chrono::milliseconds(1)));
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
            for (Slot *upperLevel = &slot + 2; upperLevel <= &slot + 3; ++upperLevel)
                upperLevel->keysym = 0;
        } else {
            if (slot.paired) {
                partner.keysym = 0;
                partner.paired = false;
            }
            slot.keysym = keysym;
            slot.paired = false;
        }
        slot.forKey = partner.forKey = false;
        writeRowLocked(slot.keycode);
        // The binding is in place at the server before any key we send next
        // (requests on one connection are handled in order); the round trip
        // also keeps us from running ahead of the server.
        XSync(display_, False);
        pumpLocked();
        slot.lastUse = lastBind_ = Clock::now();
        if (cased)
            partner.lastUse = slot.lastUse;
        probeTkClientLocked();
        return result;
    }
}

int X11Input::bindBlockLocked(std::unique_lock<std::mutex> &lock, unsigned long keysym) {
    if (aheadPos == 0 || aheadText.empty() || slots_.empty())
        return -2;
    KeySym lower = 0, upper = 0;
    XConvertCase(keysym, &lower, &upper);
    if (lower != upper)
        return -2; // a letter's two cases share a keycode: one at a time
    for (;;) {
        if (stopping_)
            return -1;
        const int bound = slotWithKeysymLocked(keysym, false);
        if (bound >= 0)
            return bound;
        const KeyMap &map = keyMapLocked();
        // Keycodes whose levels are all ours and none is held; the upper two
        // only where the map has a level-3 shift.
        auto freeSlot = [&](const Slot &slot) {
            const bool upperOk = fourLevelsLocked() && !levelZeroOf(slot).paired;
            return (slot.level < 2 || upperOk) && keycodeFreeLocked(slot.keycode);
        };
        size_t freeSlots = 0;
        for (const Slot &slot : slots_)
            freeSlots += freeSlot(slot) ? 1 : 0;
        if (freeSlots == 0)
            return -2;
        // The characters ahead, this one first, that need a binding, each
        // once; those already bound stay where they are.
        std::vector<unsigned long> wanted{keysym};
        std::set<unsigned long> keep;
        const size_t end = std::min(aheadText.size(), aheadPos + kAheadScan);
        for (size_t i = aheadPos; i < end && wanted.size() + keep.size() < freeSlots; ++i) {
            const unsigned long next = keysymForCodePoint(aheadText[i]);
            if (!next || keep.count(next) ||
                std::find(wanted.begin(), wanted.end(), next) != wanted.end())
                continue;
            KeyStroke stroke;
            if (map.strokeFor(next, lockedMods_, stroke))
                continue;
            XConvertCase(next, &lower, &upper);
            if (lower != upper)
                continue;
            if (slotWithKeysymLocked(next, false) >= 0)
                keep.insert(next);
            else
                wanted.push_back(next);
        }
        std::vector<int> targets;
        for (size_t k = 0; k < slots_.size(); ++k)
            if (freeSlot(slots_[k]) && !keep.count(slots_[k].keysym))
                targets.push_back(static_cast<int>(k));
        if (targets.empty())
            return -2;
        std::sort(targets.begin(), targets.end(), [this](int a, int b) {
            const Slot &x = slots_[static_cast<size_t>(a)];
            const Slot &y = slots_[static_cast<size_t>(b)];
            return x.keycode != y.keycode ? x.keycode < y.keycode : x.level < y.level;
        });
        targets.resize(std::min(targets.size(), wanted.size()));
        // Every key sent through these slots must have been read with its
        // binding before any of them changes.
        Clock::time_point latest{};
        for (int t : targets) {
            const Slot &slot = slots_[static_cast<size_t>(t)];
            if (slot.keysym)
                latest = std::max(latest, slot.lastUse);
            const Slot &partner = slots_[static_cast<size_t>(slot.partner)];
            if (partner.paired)
                latest = std::max(latest, partner.lastUse);
        }
        Clock::time_point ready = lastBind_ + kBindGap;
        if (latest != Clock::time_point{}) {
            pingFocusedClientLocked(latest);
            ready = std::max(ready, safeFromLocked(latest));
        }
        const Clock::time_point now = Clock::now();
        if (now < ready) {
            bindWait_.wait_until(lock, std::min(ready, now + std::chrono::milliseconds(1)));
            pumpLocked();
            continue;
        }
        std::vector<int> keycodes;
        for (size_t i = 0; i < targets.size(); ++i) {
            Slot &slot = slots_[static_cast<size_t>(targets[i])];
            Slot &partner = slots_[static_cast<size_t>(slot.partner)];
            if (slot.paired || partner.paired) {
                // A letter's two cases go as a whole.
                slot.paired = partner.paired = false;
                partner.keysym = 0;
            }
            slot.keysym = wanted[i];
            if (keycodes.empty() || keycodes.back() != slot.keycode)
                keycodes.push_back(slot.keycode);
        }
        if (!writeRowsLocked(keycodes))
            for (int keycode : keycodes)
                writeRowLocked(keycode);
        XSync(display_, False);
        pumpLocked();
        ownEcho_ = {-1, -1};
        lastBind_ = Clock::now();
        for (int t : targets)
            slots_[static_cast<size_t>(t)].lastUse = lastBind_;
        probeTkClientLocked();
        return targets.front();
    }
}

bool X11Input::writeRowsLocked(const std::vector<int> &keycodes) {
    if (keycodes.empty())
        return true;
    const int first = keycodes.front();
    const int count = keycodes.back() - first + 1;
    // The keys between ours are written back as the server has them; no
    // other client may change them in between.
    XGrabServer(display_);
    XkbDescPtr xkb = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    const int fourLevel = keyMap_.fourLevelType();
    bool ok = xkb && xkb->map && xkb->map->num_types > std::max(XkbTwoLevelIndex, fourLevel);
    for (size_t i = 0; ok && i < keycodes.size(); ++i) {
        const int keycode = keycodes[i];
        KeySym row[4];
        const bool four = rowLocked(keycode, row);
        if (row[0] == NoSymbol)
            continue;
        if (four && fourLevel < 0) {
            ok = false; // the map lost its four-level type: no such row can be written
            break;
        }
        const int width = four ? 4 : 2;
        KeySym *syms = XkbResizeKeySyms(xkb, keycode, width);
        if (!syms) {
            ok = false;
            break;
        }
        XkbSymMapRec &entry = xkb->map->key_sym_map[keycode];
        entry.kt_index[0] = static_cast<unsigned char>(four ? fourLevel : XkbTwoLevelIndex);
        entry.group_info = static_cast<unsigned char>(XkbSetGroupInfo(1, XkbWrapIntoRange, 0));
        entry.width = static_cast<unsigned char>(width);
        for (int level = 0; level < width; ++level)
            syms[level] = row[level];
    }
    if (ok) {
        XkbMapChangesRec changes;
        std::memset(&changes, 0, sizeof changes);
        changes.changed = XkbKeySymsMask;
        changes.first_key_sym = static_cast<KeyCode>(first);
        changes.num_key_syms = static_cast<unsigned char>(count);
        ok = XkbChangeMap(display_, xkb, &changes);
        if (ok)
            noteOwnChangeLocked(first, count);
    }
    XUngrabServer(display_);
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
    return ok;
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
        if (!waitForSafety)
            break;
        pingFocusedClientLocked(latest);
        const Clock::time_point safe = safeFromLocked(latest);
        const Clock::time_point now = Clock::now();
        if (now >= safe)
            break;
        bindWait_.wait_until(lock, std::min(safe, now + std::chrono::milliseconds(1)));
        pumpLocked();
    }
    // A keycode goes back to having nothing once neither level is held. One
    // request per run of consecutive keycodes: each request makes every
    // client reload its map once.
    auto restorable = [this](int keycode) {
        bool bound = false;
        for (const Slot &slot : slots_)
            if (slot.keycode == keycode) {
                if (slot.held || slot.retired)
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
        noteOwnChangeLocked(keycodes[i], static_cast<int>(j - i));
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

X11Input::Clock::time_point X11Input::safeFromLocked(Clock::time_point lastUse) const {
    if (lastUse <= caughtUpTo_)
        return lastUse;
    // A Tk client is trusted to answer once it has: an application that
    // died may have left its comm window's name to a newcomer's window.
    const bool answers = pingCapable_ && (!pingByComm_ || commAnswered_);
    return lastUse + (answers ? kPongTimeout : kReuseAge);
}

void X11Input::pingFocusedClientLocked(Clock::time_point lastUse) {
    if (lastUse <= caughtUpTo_)
        return;
    for (const Ping &ping : pings_)
        if (ping.sentAt >= lastUse)
            return; // its answer will tell
    const Clock::time_point now = Clock::now();
    // A client that cannot be pinged: look again only now and then.
    if (!pingCapable_ && now < lastPingAttempt_ + std::chrono::milliseconds(20))
        return;
    lastPingAttempt_ = now;
    const Window target = pingTargetLocked();
    pingCapable_ = target != 0 && !ownWindowOnGuiThread(target);
    if (!pingCapable_)
        return;
    if (pingByComm_) {
        // Tk reads the property once for all the notices it has queued: one
        // message at a time, or an answer could be taken for a later one.
        const int open = openMessageLocked(target);
        if (open >= 0) {
            if (now < pings_[static_cast<size_t>(open)].sentAt + kPongTimeout)
                return;
            pings_.erase(pings_.begin() + open);
        }
        pings_.push_back({nextPingSerial_++, now, target});
        XChangeProperty(display_, target, commAtom_, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XFlush(display_);
        return;
    }
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = target;
    ev.xclient.message_type = wmProtocols_;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(netWmPing_);
    ev.xclient.data.l[1] = nextPingSerial_;
    ev.xclient.data.l[2] = static_cast<long>(target);
    // Everything we sent before now precedes the ping in the client's queue.
    pings_.push_back({nextPingSerial_++, now});
    if (pings_.size() > 16)
        pings_.erase(pings_.begin());
    XSendEvent(display_, target, False, NoEventMask, &ev);
    XFlush(display_);
}

unsigned long X11Input::pingTargetLocked() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == PointerRoot || focus == None) {
        // Keys go to the window under the pointer.
        Window rootReturn = None;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        focus = None;
        XQueryPointer(display_, root_, &rootReturn, &focus, &rootX, &rootY, &winX, &winY, &mask);
    }
    if (focus == None || focus == root_)
        return 0;
    if (focus == pingFocus_)
        return pingTarget_;
    pingFocus_ = focus;
    pingTarget_ = 0;
    pingByComm_ = commAnswered_ = false;
    // The top-level above the focus that takes part in _NET_WM_PING.
    for (Window w = focus; w != None && w != root_;) {
        Atom *protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(display_, w, &protocols, &count)) {
            const bool pings =
                std::find(protocols, protocols + count, netWmPing_) != protocols + count;
            XFree(protocols);
            if (pings) {
                pingTarget_ = w;
                break;
            }
        }
        Window rootReturn = None, parent = None, *children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(display_, w, &rootReturn, &parent, &children, &childCount))
            break;
        if (children)
            XFree(children);
        w = parent;
    }
    if (!pingTarget_) {
        pingTarget_ = tkCommWindowLocked(focus);
        pingByComm_ = pingTarget_ != 0;
        if (pingByComm_)
            XSelectInput(display_, pingTarget_, PropertyChangeMask);
    }
    return pingTarget_;
}

unsigned long X11Input::tkCommWindowLocked(unsigned long window) {
    // Every Tk application lists its comm window on the root, as "<hex id>
    // <name>" entries ending in NUL; the one whose ids share the window's
    // client part is its own.
    const Atom registry = XInternAtom(display_, "InterpRegistry", True);
    if (registry == None)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display_, root_, registry, 0, 1 << 16, False, XA_STRING, &type, &format,
                           &count, &after, &data) != Success ||
        !data)
        return 0;
    const std::string entries(reinterpret_cast<const char *>(data), count);
    XFree(data);
    // The server's resource id mask, the same for every client (Xlib keeps
    // it as resource_mask, which its public header calls private4).
    const XID clientBits = ~reinterpret_cast<_XPrivDisplay>(display_)->private4;
    for (size_t at = 0; at < entries.size();) {
        size_t end = entries.find('\0', at);
        if (end == std::string::npos)
            end = entries.size();
        const std::string entry = entries.substr(at, end - at);
        at = end + 1;
        char *rest = nullptr;
        const unsigned long comm = std::strtoul(entry.c_str(), &rest, 16);
        if (comm != 0 && rest != entry.c_str() && *rest == ' ' &&
            (comm & clientBits) == (window & clientBits))
            return comm;
    }
    return 0;
}

void X11Input::probeTkClientLocked() {
    const Window target = pingTargetLocked();
    if (target && pingByComm_ && !commAnswered_ && openMessageLocked(target) < 0)
        pingFocusedClientLocked(Clock::now());
}

int X11Input::openMessageLocked(unsigned long commWindow) const {
    for (size_t i = 0; i < pings_.size(); ++i)
        if (pings_[i].commWindow == commWindow)
            return static_cast<int>(i);
    return -1;
}

void X11Input::onCommTakenLocked(unsigned long commWindow) {
    const int open = openMessageLocked(commWindow);
    if (open < 0)
        return; // Tk's own traffic, or a message we gave up on
    if (pingByComm_ && commWindow == pingTarget_)
        commAnswered_ = true;
    onPongLocked(pings_[static_cast<size_t>(open)].serial);
}

void X11Input::onPongLocked(long serial) {
    for (size_t i = 0; i < pings_.size(); ++i)
        if (pings_[i].serial == serial) {
            caughtUpTo_ = std::max(caughtUpTo_, pings_[i].sentAt);
            pings_.erase(pings_.begin(), pings_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return;
        }
}

void X11Input::restorerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (lost_) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        pumpLocked(); // answers to pings and root window notices pile up otherwise
        if (mapStale_)
            keyMapLocked(); // a layout switch while nothing types: the hot key follows
        if (repeatRestoreDue_ != Clock::time_point{}) {
            if (Clock::now() < repeatRestoreDue_) {
                wake_.wait_until(lock, repeatRestoreDue_);
                continue;
            }
            repeatRestoreDue_ = {};
            updateAutoRepeatLocked();
        }
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
