#include "xserver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstring>

namespace testsupport {

XServer::XServer() {
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return;
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    XkbQueryExtension(display_, &opcode, &event, &error, &major, &minor);
}

XServer::~XServer() {
    if (display_)
        XCloseDisplay(display_);
}

void XServer::key(int keycode, bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), down ? True : False, CurrentTime);
    XSync(display_, False);
}

std::vector<int> XServer::pressedKeycodes() {
    char keys[32];
    XQueryKeymap(display_, keys);
    std::vector<int> out;
    for (int kc = 0; kc < 256; ++kc)
        if (keys[kc / 8] & (1 << (kc % 8)))
            out.push_back(kc);
    return out;
}

bool XServer::buttonDown(int button) {
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rx, &ry, &wx, &wy, &mask);
    return (mask & (Button1Mask << (button - 1))) != 0;
}

int XServer::minKeycode() {
    int min = 0, max = 0;
    XDisplayKeycodes(display_, &min, &max);
    return min;
}

int XServer::maxKeycode() {
    int min = 0, max = 0;
    XDisplayKeycodes(display_, &min, &max);
    return max;
}

bool XServer::isLockOrGroupKey(int keycode) {
    XkbDescPtr xkb = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    bool found = false;
    for (int g = 0; xkb && g < XkbKeyNumGroups(xkb, keycode); ++g)
        for (int l = 0; l < XkbKeyGroupWidth(xkb, keycode, g); ++l) {
            const KeySym s = XkbKeySymEntry(xkb, keycode, l, g);
            found = found || s == XK_Num_Lock || s == XK_Caps_Lock || s == XK_Shift_Lock ||
                    s == XK_Scroll_Lock || (s >= XK_ISO_Lock && s <= XK_ISO_Last_Group_Lock) ||
                    s == XK_Terminate_Server || s == XK_Pointer_EnableKeys || s == XK_Kana_Lock ||
                    s == XK_Eisu_toggle || s == XK_Mode_switch;
        }
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
    return found;
}

int XServer::keycodeFor(const char *keysymName, const char *placeName) {
    const KeySym wanted = XStringToKeysym(keysymName);
    XkbDescPtr xkb = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return 0;
    XkbGetNames(display_, XkbKeyNamesMask, xkb);
    int found = 0;
    for (int g = 0; g < 4 && !found; ++g)
        for (int kc = xkb->min_key_code; kc <= xkb->max_key_code && !found; ++kc)
            if (g < XkbKeyNumGroups(xkb, kc))
                for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g) && !found; ++l)
                    if (XkbKeySymEntry(xkb, kc, l, g) == wanted)
                        found = kc;
    for (int kc = xkb->min_key_code; !found && placeName && kc <= xkb->max_key_code; ++kc)
        if (xkb->names && std::strncmp(xkb->names->keys[kc].name, placeName, XkbKeyNameLength) == 0)
            found = kc;
    XkbFreeKeyboard(xkb, 0, True);
    return found;
}

void XServer::setNumLock(bool on) {
    const unsigned mask = XkbKeysymToModifiers(display_, XK_Num_Lock);
    XkbLockModifiers(display_, XkbUseCoreKbd, mask, on ? mask : 0);
    XSync(display_, False);
}

void XServer::resetState(bool numLock) {
    XkbLockGroup(display_, XkbUseCoreKbd, 0);
    XkbLockModifiers(display_, XkbUseCoreKbd, 0xFF, 0);
    setNumLock(numLock);
}

void XServer::setKeyboardsRepeat(bool on) {
    XKeyboardControl control;
    control.auto_repeat_mode = on ? AutoRepeatModeOn : AutoRepeatModeOff;
    XChangeKeyboardControl(display_, KBAutoRepeatMode, &control);
    XSync(display_, False);
}

std::map<std::string, bool> XServer::keyboardsRepeat() {
    std::map<std::string, bool> out;
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display_, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (devices[i].use != XISlaveKeyboard)
            continue;
        XkbDescPtr desc = XkbGetMap(display_, 0, static_cast<unsigned>(devices[i].deviceid));
        if (desc && XkbGetControls(display_, XkbControlsEnabledMask, desc) == Success)
            out[devices[i].name] = (desc->ctrls->enabled_ctrls & XkbRepeatKeysMask) != 0;
        if (desc)
            XkbFreeKeyboard(desc, 0, True);
    }
    XIFreeDeviceInfo(devices);
    return out;
}

bool XServer::xtestRepeats() {
    const std::map<std::string, bool> all = keyboardsRepeat();
    const auto xtest = all.find("Virtual core XTEST keyboard");
    return xtest != all.end() && xtest->second;
}

int XServer::killClientsOf(long pid, bool withWindows) {
    XResClientIdSpec spec = {0, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue *ids = nullptr;
    if (XResQueryClientIds(display_, 1, &spec, &count, &ids) != Success)
        return 0;
    const Atom window = XInternAtom(display_, "WINDOW", False);
    int killed = 0;
    for (long i = 0; i < count; ++i) {
        if (XResGetClientPid(&ids[i]) != pid)
            continue;
        int types = 0;
        XResType *resources = nullptr;
        XResQueryClientResources(display_, ids[i].spec.client, &types, &resources);
        int windows = 0;
        for (int t = 0; t < types; ++t)
            if (resources[t].resource_type == window)
                windows += static_cast<int>(resources[t].count);
        if (resources)
            XFree(resources);
        if ((windows > 0) == withWindows) {
            XKillClient(display_, ids[i].spec.client);
            ++killed;
        }
    }
    XResClientIdsDestroy(count, ids);
    XSync(display_, False);
    return killed;
}

void XServer::rewriteKeyRow(int keycode) {
    int perKeycode = 0;
    KeySym *row = XGetKeyboardMapping(display_, static_cast<KeyCode>(keycode), 1, &perKeycode);
    if (!row)
        return;
    XChangeKeyboardMapping(display_, keycode, perKeycode, row, 1);
    XFree(row);
    XSync(display_, False);
}

void XServer::focus(unsigned long window) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
}

void XServer::sync() {
    XSync(display_, False);
}

} // namespace testsupport
