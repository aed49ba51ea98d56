#include "x11xkbmap.h"

#include "x11connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <cstring>

namespace platform::x11 {
namespace {

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

bool XkbMap::open(X11Connection &connection) {
    connection_ = &connection;
    Display *display = connection.display();
    if (!keyMap_.load(display))
        return false;
    // Locked modifiers (Caps Lock) change which level a key types; follow them.
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                          XkbModifierLockMask);
    // A whole new map (setxkbmap, a layout switch) comes only as this event:
    // the server sends no core MappingNotify for it to clients that use XKB.
    // Changes of single keys (ours, xmodmap's) come as XkbMapNotify (Xlib
    // also makes core MappingNotify events of it, one per keyboard device).
    const unsigned long mapEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display, XkbUseCoreKbd, mapEvents, mapEvents);
    coreKeyboard_ = masterKeyboardId(display);
    XkbStateRec state;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success)
        lockedMods_ = state.locked_mods;
    connection.subscribe(connection.xkbEventType(), [this](const XEvent &ev) {
        const XkbEvent &xkb = reinterpret_cast<const XkbEvent &>(ev);
        if (xkb.any.xkb_type == XkbStateNotify) {
            lockedMods_ = xkb.state.locked_mods;
        } else if (xkb.any.xkb_type == XkbMapNotify) {
            // One notice per keyboard device; the core keyboard's counts.
            if (xkb.map.device == coreKeyboard_)
                noteMapNotify(xkb.map.changed, xkb.map.first_key_sym, xkb.map.num_key_syms);
        } else if (xkb.any.xkb_type == XkbNewKeyboardNotify) {
            // Which of our bindings the new map kept is seen on reload.
            stale_ = true;
        }
    });
    return true;
}

void OwnChanges::noteWritten(int first, int count) {
    pending_.emplace_back(first, count);
    if (pending_.size() > 256) // notices we never got: stop trusting the list
        pending_.clear();
}

bool OwnChanges::claim(int first, int count) {
    const std::pair<int, int> change(first, count);
    if (!pending_.empty() && pending_.front() == change) {
        echo_ = change;
        pending_.pop_front();
        return true;
    }
    // The second notice of one XKB request; the echo is over once we synced.
    return echo_ == change;
}

void XkbMap::noteMapNotify(unsigned changed, int firstKey, int keys) {
    // Anything but our own change is another client changing the map
    // (xmodmap, a layout).
    if ((changed & XkbKeySymsMask) && own_.claim(firstKey, keys))
        return;
    stale_ = true;
    own_.forget();
}

const KeyMap &XkbMap::current() {
    if (stale_) {
        stale_ = false;
        KeyMap fresh;
        if (fresh.load(connection_->display())) {
            keyMap_ = std::move(fresh);
            if (onReload_)
                onReload_();
        }
    }
    return keyMap_;
}

bool XkbMap::typesWithoutBinding(unsigned long keysym) {
    KeyStroke stroke;
    return keyMap_.strokeFor(keysym, lockedMods_, stroke);
}

bool XkbMap::writeRows(const std::vector<KeyRow> &rows) {
    if (rows.empty())
        return true;
    Display *display = connection_->display();
    const int first = rows.front().keycode;
    const int count = rows.back().keycode - first + 1;
    // The keys between ours are written back as the server has them; no
    // other client may change them in between.
    XGrabServer(display);
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    const int fourLevel = keyMap_.fourLevelType();
    bool ok = xkb && xkb->map && xkb->map->num_types > std::max(XkbTwoLevelIndex, fourLevel);
    for (size_t i = 0; ok && i < rows.size(); ++i) {
        const KeyRow &row = rows[i];
        if (row.syms[0] == NoSymbol)
            continue;
        if (row.fourLevel && fourLevel < 0) {
            ok = false; // the map lost its four-level type: no such row can be written
            break;
        }
        const int width = row.fourLevel ? 4 : 2;
        KeySym *syms = XkbResizeKeySyms(xkb, row.keycode, width);
        if (!syms) {
            ok = false;
            break;
        }
        XkbSymMapRec &entry = xkb->map->key_sym_map[row.keycode];
        entry.kt_index[0] =
            static_cast<unsigned char>(row.fourLevel ? fourLevel : XkbTwoLevelIndex);
        entry.group_info = static_cast<unsigned char>(XkbSetGroupInfo(1, XkbWrapIntoRange, 0));
        entry.width = static_cast<unsigned char>(width);
        for (int level = 0; level < width; ++level)
            syms[level] = row.syms[level];
    }
    if (ok) {
        XkbMapChangesRec changes;
        std::memset(&changes, 0, sizeof changes);
        changes.changed = XkbKeySymsMask;
        changes.first_key_sym = static_cast<KeyCode>(first);
        changes.num_key_syms = static_cast<unsigned char>(count);
        ok = XkbChangeMap(display, xkb, &changes);
        if (ok)
            own_.noteWritten(first, count);
    }
    XUngrabServer(display);
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
    return ok;
}

void XkbMap::writeTwoLevels(const KeyRow &row) {
    KeySym syms[2] = {row.syms[0], row.syms[1]};
    XChangeKeyboardMapping(connection_->display(), row.keycode, 2, syms, 1);
    own_.noteWritten(row.keycode, 1);
}

void XkbMap::clearRows(int first, int count) {
    std::vector<KeySym> none(2 * static_cast<size_t>(count), NoSymbol);
    XChangeKeyboardMapping(connection_->display(), first, 2, none.data(), count);
    own_.noteWritten(first, count);
}

void XkbMap::sync() {
    connection_->sync();
    own_.synced();
}

} // namespace platform::x11
