#include "x11keybinder.h"

#include <QLoggingCategory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <set>

Q_DECLARE_LOGGING_CATEGORY(lcX11Input)

namespace platform::x11 {

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

void KeyBinder::waitStep(std::unique_lock<std::mutex> &lock, Clock::time_point until) {
    wait_.wait_until(lock, std::min(until, Clock::now() + std::chrono::milliseconds(1)));
    sync_.poll();
}

int KeyBinder::slotWithKeysym(unsigned long keysym, bool unshiftedOnly, bool includeRetired) const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].keysym == keysym && (!unshiftedOnly || slots_[i].level == 0) &&
            (includeRetired || !slots_[i].retired))
            return static_cast<int>(i);
    return -1;
}

void KeyBinder::press(int index, bool forKey) {
    Slot &slot = slots_[static_cast<size_t>(index)];
    ++slot.held;
    if (forKey)
        slot.forKey = true;
    else
        slot.lastUse = lastUse_ = Clock::now();
}

void KeyBinder::release(int index) {
    Slot &slot = slots_[static_cast<size_t>(index)];
    slot.held = std::max(0, slot.held - 1);
    slot.lastUse = lastUse_ = Clock::now();
    if (slot.retired && !slot.held)
        slot.keysym = 0; // the keycode is another client's now
}

void KeyBinder::releaseAll() {
    for (Slot &slot : slots_)
        if (slot.held) {
            slot.held = 0;
            slot.lastUse = Clock::now(); // its release is on its way to the clients
            if (slot.retired)
                slot.keysym = 0; // the keycode is another client's now
        }
}

void KeyBinder::forgetAll() {
    for (Slot &slot : slots_) {
        slot.keysym = 0;
        slot.held = 0;
        slot.paired = false;
    }
}

bool KeyBinder::anyRestorable() const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [](const Slot &s) { return s.keysym != 0 && s.held == 0; });
}

KeyRow KeyBinder::rowOf(int keycode) const {
    // Both levels of a pair always carry a keysym (the other one where a
    // level is free), so the server gives the key a type of our choosing,
    // never one that Caps Lock would turn.
    KeyRow out;
    out.keycode = keycode;
    unsigned long *row = out.syms;
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
    out.fourLevel = row[2] != NoSymbol && (row[2] != row[0] || row[3] != row[1]);
    if (!out.fourLevel)
        row[2] = row[3] = NoSymbol;
    return out;
}

bool KeyBinder::keycodeFree(int keycode) const {
    for (const Slot &slot : slots_)
        if (slot.keycode == keycode && (slot.retired || slot.held || slot.forKey))
            return false;
    return true;
}

bool KeyBinder::writeRows(const std::vector<int> &keycodes) {
    if (keycodes.empty())
        return true;
    std::vector<KeyRow> rows;
    for (int keycode : keycodes)
        rows.push_back(rowOf(keycode));
    return writer_.writeRows(rows);
}

void KeyBinder::writeRow(int keycode) {
    const KeyRow row = rowOf(keycode);
    // Four levels need the four-level type, which only a whole-row write sets.
    if (row.fourLevel && writer_.writeRows({row}))
        return;
    writer_.writeTwoLevels(row);
}

void KeyBinder::adoptSpareKeycodes() {
    const std::vector<int> free = writer_.emptyKeycodes();
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
        const KeyRow row = rowOf(slot.keycode);
        // A core request may have stored a row of two equal keysyms as one.
        bool stillOurs = row.syms[0] != NoSymbol;
        for (int level = 0; level < 4; ++level) {
            const unsigned long now = writer_.keysymAt(slot.keycode, level);
            stillOurs = stillOurs && (now == row.syms[level] || (level == 1 && now == NoSymbol &&
                                                                 row.syms[1] == row.syms[0]));
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

int KeyBinder::bind(std::unique_lock<std::mutex> &lock, unsigned long keysym, bool unshiftedOnly) {
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
        const int bound = slotWithKeysym(keysym, unshiftedOnly);
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
            if (slot.level >= 2 && (!writer_.fourLevels() || levelZeroOf(slot).paired))
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
                t = sync_.safeFrom(slot.lastUse);
            for (const Slot *other : takenAlong(slot))
                if (other->keysym)
                    t = std::max(t, sync_.safeFrom(other->lastUse));
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
            sync_.ask(lastUse(slots_[static_cast<size_t>(candidate)]));
            ready = std::max(ready, readyAt(slots_[static_cast<size_t>(candidate)]));
        }
        if (now < ready) {
            waitStep(lock, ready);
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
        writeRow(slot.keycode);
        // The binding is in place at the server before any key we send next
        // (requests on one connection are handled in order); the round trip
        // also keeps us from running ahead of the server.
        writer_.sync();
        slot.lastUse = lastBind_ = Clock::now();
        if (cased)
            partner.lastUse = slot.lastUse;
        sync_.probe();
        return result;
    }
}

int KeyBinder::bindBlock(std::unique_lock<std::mutex> &lock, unsigned long keysym,
                         const std::u32string &ahead, size_t from) {
    if (from == 0 || ahead.empty() || slots_.empty())
        return -2;
    KeySym lower = 0, upper = 0;
    XConvertCase(keysym, &lower, &upper);
    if (lower != upper)
        return -2; // a letter's two cases share a keycode: one at a time
    for (;;) {
        if (stopping_)
            return -1;
        const int bound = slotWithKeysym(keysym, false);
        if (bound >= 0)
            return bound;
        writer_.refresh();
        // Keycodes whose levels are all ours and none is held; the upper two
        // only where the map has a level-3 shift.
        auto freeSlot = [&](const Slot &slot) {
            const bool upperOk = writer_.fourLevels() && !levelZeroOf(slot).paired;
            return (slot.level < 2 || upperOk) && keycodeFree(slot.keycode);
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
        const size_t end = std::min(ahead.size(), from + kAheadScan);
        for (size_t i = from; i < end && wanted.size() + keep.size() < freeSlots; ++i) {
            const unsigned long next = keysymForCodePoint(ahead[i]);
            if (!next || keep.count(next) ||
                std::find(wanted.begin(), wanted.end(), next) != wanted.end())
                continue;
            if (writer_.typesWithoutBinding(next))
                continue;
            XConvertCase(next, &lower, &upper);
            if (lower != upper)
                continue;
            if (slotWithKeysym(next, false) >= 0)
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
            sync_.ask(latest);
            ready = std::max(ready, sync_.safeFrom(latest));
        }
        if (Clock::now() < ready) {
            waitStep(lock, ready);
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
        if (!writeRows(keycodes))
            for (int keycode : keycodes)
                writeRow(keycode);
        writer_.sync();
        lastBind_ = Clock::now();
        for (int t : targets)
            slots_[static_cast<size_t>(t)].lastUse = lastBind_;
        sync_.probe();
        return targets.front();
    }
}

void KeyBinder::restore(std::unique_lock<std::mutex> &lock, bool waitForSafety) {
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
        sync_.ask(latest);
        const Clock::time_point safe = sync_.safeFrom(latest);
        if (Clock::now() >= safe)
            break;
        waitStep(lock, safe);
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
        writer_.clearRows(keycodes[i], static_cast<int>(j - i));
        for (size_t k = i; k < j; ++k)
            for (Slot &slot : slots_)
                if (slot.keycode == keycodes[k]) {
                    slot.keysym = 0;
                    slot.paired = false;
                }
        i = j;
    }
    writer_.sync();
}

} // namespace platform::x11
